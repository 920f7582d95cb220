#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace png {

// Encodes 8-bit RGBA pixels (row by row, 4 bytes each) as a PNG file. The image data goes into stored
// (uncompressed) deflate blocks: avatars are small and this needs no compression library.
std::string encodeRgba(uint32_t width, uint32_t height, const std::vector<uint8_t> &rgba);

// A round avatar: a disc of `rgb` with a light head-and-shoulders figure, transparent outside.
std::string avatar(uint32_t size, uint32_t rgb);

} // namespace png
