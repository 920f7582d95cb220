#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace util {

// Hex text of `bytes` random bytes from libsodium's CSPRNG.
std::string randomHex(size_t bytes);
// A random identifier in the canonical 8-4-4-4-12 form (version 4 bits set).
std::string randomUuid();
// Hex of a BLAKE2b hash: tokens are stored only as their hash.
std::string hashToken(std::string_view token);

int64_t nowMicros();
// "yyyy-MM-ddTHH:mm:ss.SSSSSSZ" in UTC.
std::string formatTimestamp(int64_t micros);

// Percent-encodes every byte outside the RFC 3986 unreserved set.
std::string percentEncode(std::string_view text);

// Replaces invalid UTF-8 sequences with U+FFFD.
std::string sanitizeUtf8(std::string_view text);
bool isValidUtf8(std::string_view text);

// What remains of an uploaded file name once any directories, control characters and excess length are gone.
std::string cleanFileName(std::string_view name);

// Browsers write a double quote, CR and LF in a multipart file name as %22, %0D and %0A; this undoes only that.
std::string decodeFormFileName(std::string_view name);

// MIME type by file name extension (case-insensitive); "application/octet-stream" when unknown.
std::string mimeTypeForName(std::string_view name);

// A Content-Disposition value that keeps any name safe in a header: an ASCII fallback plus the RFC 5987 form.
std::string contentDisposition(std::string_view disposition, std::string_view fileName);

std::string toLower(std::string_view text);

} // namespace util
