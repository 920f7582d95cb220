#include "Util.h"

#include <sodium.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

namespace util {

namespace {

std::string toHex(const unsigned char *data, size_t size)
{
    std::string out(size * 2 + 1, '\0');
    sodium_bin2hex(out.data(), out.size(), data, size);
    out.pop_back();
    return out;
}

// Length of the valid UTF-8 sequence starting at `i`, or 0 when it is not valid.
size_t utf8SequenceLength(std::string_view s, size_t i)
{
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80)
        return 1;
    size_t len = 0;
    uint32_t cp = 0;
    if ((c & 0xE0) == 0xC0) {
        len = 2;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    for (size_t k = 1; k < len; ++k) {
        const auto cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF
        || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

} // namespace

std::string randomHex(size_t bytes)
{
    std::vector<unsigned char> buffer(bytes);
    randombytes_buf(buffer.data(), buffer.size());
    return toHex(buffer.data(), buffer.size());
}

std::string randomUuid()
{
    unsigned char b[16];
    randombytes_buf(b, sizeof b);
    b[6] = (b[6] & 0x0F) | 0x40;
    b[8] = (b[8] & 0x3F) | 0x80;
    const std::string hex = toHex(b, sizeof b);
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) + "-"
        + hex.substr(20);
}

std::string hashToken(std::string_view token)
{
    unsigned char out[32];
    crypto_generichash(out, sizeof out, reinterpret_cast<const unsigned char *>(token.data()), token.size(), nullptr,
                       0);
    return toHex(out, sizeof out);
}

int64_t nowMicros()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

std::string formatTimestamp(int64_t micros)
{
    int64_t seconds = micros / 1000000;
    int64_t fraction = micros % 1000000;
    if (fraction < 0) {
        fraction += 1000000;
        seconds -= 1;
    }
    const time_t t = static_cast<time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%06lldZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<long long>(fraction));
    return buffer;
}

std::string percentEncode(std::string_view text)
{
    static const char *const digits = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
            || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 0x0F];
        }
    }
    return out;
}

bool isValidUtf8(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        const size_t len = utf8SequenceLength(text, i);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

std::string sanitizeUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t len = utf8SequenceLength(text, i);
        if (len == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(text.substr(i, len));
            i += len;
        }
    }
    return out;
}

std::string cleanFileName(std::string_view name)
{
    const auto slash = name.find_last_of("/\\");
    if (slash != std::string_view::npos)
        name = name.substr(slash + 1);
    std::string cleaned;
    for (const char ch : sanitizeUtf8(name)) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F)
            continue;
        cleaned += ch;
    }
    // Names of only dots would read as directories to anyone who later writes them to disk.
    if (cleaned.find_first_not_of(". ") == std::string::npos)
        cleaned = "file";
    // Keep at most 200 bytes without cutting a UTF-8 sequence in half.
    if (cleaned.size() > 200) {
        size_t cut = 200;
        while (cut > 0 && (static_cast<unsigned char>(cleaned[cut]) & 0xC0) == 0x80)
            --cut;
        cleaned.resize(cut);
    }
    return cleaned;
}

std::string decodeFormFileName(std::string_view name)
{
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '%' && i + 2 < name.size()) {
            const std::string code = toLower(name.substr(i + 1, 2));
            const char decoded = code == "22" ? '"' : code == "0d" ? '\r' : code == "0a" ? '\n' : '\0';
            if (decoded) {
                out += decoded;
                i += 2;
                continue;
            }
        }
        out += name[i];
    }
    return out;
}

std::string toLower(std::string_view text)
{
    std::string out(text);
    for (auto &c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string mimeTypeForName(std::string_view name)
{
    struct Entry {
        const char *ext;
        const char *type;
    };
    static const Entry table[] = {
        {"png", "image/png"},        {"jpg", "image/jpeg"},        {"jpeg", "image/jpeg"},
        {"gif", "image/gif"},        {"webp", "image/webp"},       {"svg", "image/svg+xml"},
        {"bmp", "image/bmp"},        {"heic", "image/heic"},       {"pdf", "application/pdf"},
        {"zip", "application/zip"},  {"gz", "application/gzip"},   {"tar", "application/x-tar"},
        {"7z", "application/x-7z-compressed"},                     {"rar", "application/vnd.rar"},
        {"txt", "text/plain"},       {"md", "text/markdown"},      {"csv", "text/csv"},
        {"json", "application/json"}, {"xml", "application/xml"},  {"html", "text/html"},
        {"mp3", "audio/mpeg"},       {"ogg", "audio/ogg"},         {"opus", "audio/opus"},
        {"wav", "audio/wav"},        {"flac", "audio/flac"},       {"m4a", "audio/mp4"},
        {"mp4", "video/mp4"},        {"webm", "video/webm"},       {"mov", "video/quicktime"},
        {"mkv", "video/x-matroska"}, {"doc", "application/msword"},
        {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
        {"xls", "application/vnd.ms-excel"},
        {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
        {"ppt", "application/vnd.ms-powerpoint"},
        {"pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
        {"odt", "application/vnd.oasis.opendocument.text"},
    };
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return "application/octet-stream";
    const std::string ext = toLower(name.substr(dot + 1));
    for (const auto &e : table) {
        if (ext == e.ext)
            return e.type;
    }
    return "application/octet-stream";
}

std::string contentDisposition(std::string_view disposition, std::string_view fileName)
{
    std::string fallback;
    for (const char ch : fileName) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\' || c == '%' || c == ';')
            fallback += '_';
        else
            fallback += ch;
    }
    return std::string(disposition) + "; filename=\"" + fallback + "\"; filename*=UTF-8''" + percentEncode(fileName);
}

} // namespace util
