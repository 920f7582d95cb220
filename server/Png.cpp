#include "Png.h"

#include <array>
#include <cmath>

namespace png {

namespace {

uint32_t crc32(const std::string &data, size_t from)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = from; i < data.size(); ++i)
        c = table[(c ^ static_cast<uint8_t>(data[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void put32(std::string &out, uint32_t v)
{
    out += static_cast<char>(v >> 24);
    out += static_cast<char>(v >> 16);
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v);
}

void chunk(std::string &out, const char *type, const std::string &data)
{
    put32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.append(type, 4);
    out += data;
    put32(out, crc32(out, start));
}

} // namespace

std::string encodeRgba(uint32_t width, uint32_t height, const std::vector<uint8_t> &rgba)
{
    std::string raw;
    raw.reserve(static_cast<size_t>(height) * (width * 4 + 1));
    for (uint32_t y = 0; y < height; ++y) {
        raw += '\0'; // filter type: none
        raw.append(reinterpret_cast<const char *>(rgba.data()) + static_cast<size_t>(y) * width * 4, width * 4);
    }

    std::string z = "\x78\x01";
    uint32_t a = 1, b = 0;
    for (const char ch : raw) {
        a = (a + static_cast<uint8_t>(ch)) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t pos = 0; pos < raw.size() || pos == 0;) {
        const size_t len = std::min<size_t>(65535, raw.size() - pos);
        const bool last = pos + len >= raw.size();
        z += static_cast<char>(last ? 1 : 0);
        z += static_cast<char>(len & 0xFF);
        z += static_cast<char>(len >> 8);
        z += static_cast<char>(~len & 0xFF);
        z += static_cast<char>((~len >> 8) & 0xFF);
        z.append(raw, pos, len);
        pos += len;
        if (last)
            break;
    }
    put32(z, (b << 16) | a);

    std::string header;
    put32(header, width);
    put32(header, height);
    header += '\x08'; // bit depth
    header += '\x06'; // RGBA
    header += std::string(3, '\0');

    std::string out = "\x89PNG\r\n\x1a\n";
    chunk(out, "IHDR", header);
    chunk(out, "IDAT", z);
    chunk(out, "IEND", std::string());
    return out;
}

std::string avatar(uint32_t size, uint32_t rgb)
{
    std::vector<uint8_t> px(static_cast<size_t>(size) * size * 4, 0);
    const double r = size / 2.0;
    for (uint32_t y = 0; y < size; ++y) {
        for (uint32_t x = 0; x < size; ++x) {
            const double dx = x + 0.5 - r, dy = y + 0.5 - r;
            if (dx * dx + dy * dy > r * r)
                continue;
            uint8_t *p = &px[(static_cast<size_t>(y) * size + x) * 4];
            // Head: a circle in the upper half; shoulders: an ellipse cut off by the disc.
            const double hx = dx / (size * 0.18), hy = (dy + size * 0.12) / (size * 0.18);
            const double sx = dx / (size * 0.34), sy = (dy - size * 0.36) / (size * 0.26);
            const bool figure = hx * hx + hy * hy <= 1.0 || sx * sx + sy * sy <= 1.0;
            p[0] = figure ? 250 : static_cast<uint8_t>(rgb >> 16);
            p[1] = figure ? 250 : static_cast<uint8_t>(rgb >> 8);
            p[2] = figure ? 252 : static_cast<uint8_t>(rgb);
            p[3] = 255;
        }
    }
    return encodeRgba(size, size, px);
}

} // namespace png
