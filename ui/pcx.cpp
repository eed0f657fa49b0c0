#include "ui/pcx.h"

#include <algorithm>
#include <array>

namespace {

constexpr size_t kHeaderSize = 128;
constexpr size_t kPaletteSize = 769;  // 0x0C and 256 RGB triples at the very end

unsigned u8(std::string_view s, size_t i) { return static_cast<unsigned char>(s[i]); }
unsigned u16(std::string_view s, size_t i) { return u8(s, i) | (u8(s, i + 1) << 8); }

constexpr uint32_t argb(unsigned r, unsigned g, unsigned b, unsigned a = 0xFF) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// The colours that version 3 files, which carry no palette, are shown in.
constexpr std::array<uint32_t, 16> kEgaPalette = {
    argb(0x00, 0x00, 0x00), argb(0x00, 0x00, 0xAA), argb(0x00, 0xAA, 0x00), argb(0x00, 0xAA, 0xAA),
    argb(0xAA, 0x00, 0x00), argb(0xAA, 0x00, 0xAA), argb(0xAA, 0x55, 0x00), argb(0xAA, 0xAA, 0xAA),
    argb(0x55, 0x55, 0x55), argb(0x55, 0x55, 0xFF), argb(0x55, 0xFF, 0x55), argb(0x55, 0xFF, 0xFF),
    argb(0xFF, 0x55, 0x55), argb(0xFF, 0x55, 0xFF), argb(0xFF, 0xFF, 0x55), argb(0xFF, 0xFF, 0xFF),
};

// Expands the run-length coded pixel data into exactly `out.size()` bytes; false when the data ends first.
// A run may carry over from one scan line into the next, as some writers produce it.
bool unpack_runs(std::string_view data, std::vector<uint8_t>& out) {
    size_t in = 0, n = 0;
    while (n < out.size()) {
        if (in >= data.size()) return false;
        unsigned b = u8(data, in++);
        size_t count = 1;
        if ((b & 0xC0) == 0xC0) {
            count = b & 0x3F;
            if (in >= data.size()) return false;
            b = u8(data, in++);
        }
        for (; count > 0 && n < out.size(); --count) out[n++] = static_cast<uint8_t>(b);
    }
    return true;
}

}  // namespace

RgbaImage pcx_decode(std::string_view bytes) {
    if (bytes.size() <= kHeaderSize || u8(bytes, 0) != 0x0A || u8(bytes, 2) != 1) return {};
    const unsigned version = u8(bytes, 1);
    const unsigned bits = u8(bytes, 3);
    const unsigned x_min = u16(bytes, 4), y_min = u16(bytes, 6), x_max = u16(bytes, 8), y_max = u16(bytes, 10);
    const unsigned planes = u8(bytes, 65);
    const size_t bytes_per_line = u16(bytes, 66);
    if (x_max < x_min || y_max < y_min) return {};
    const int64_t width = int64_t{x_max} - x_min + 1;
    const int64_t height = int64_t{y_max} - y_min + 1;
    if (width * height > kPcxMaxPixels) return {};

    const bool paletted8 = bits == 8 && planes == 1;
    const bool truecolour = bits == 8 && (planes == 3 || planes == 4);
    const bool planar1 = bits == 1 && planes >= 1 && planes <= 4;
    if (!paletted8 && !truecolour && !planar1) return {};
    if (bytes_per_line * 8 < static_cast<size_t>(width) * bits) return {};

    std::string_view data = bytes.substr(kHeaderSize);
    std::array<uint32_t, 256> palette{};
    if (paletted8) {
        if (bytes.size() >= kHeaderSize + kPaletteSize && u8(bytes, bytes.size() - kPaletteSize) == 0x0C) {
            const size_t p = bytes.size() - kPaletteSize + 1;
            for (size_t i = 0; i < 256; ++i)
                palette[i] = argb(u8(bytes, p + 3 * i), u8(bytes, p + 3 * i + 1), u8(bytes, p + 3 * i + 2));
            data.remove_suffix(kPaletteSize);
        } else {
            for (unsigned i = 0; i < 256; ++i) palette[i] = argb(i, i, i);
        }
    } else if (planar1) {
        if (planes == 1) {
            palette[0] = argb(0, 0, 0);
            palette[1] = argb(0xFF, 0xFF, 0xFF);
        } else if (version == 3) {
            std::copy(kEgaPalette.begin(), kEgaPalette.end(), palette.begin());
        } else {
            for (size_t i = 0; i < 16; ++i)
                palette[i] = argb(u8(bytes, 16 + 3 * i), u8(bytes, 17 + 3 * i), u8(bytes, 18 + 3 * i));
        }
    }

    // Each coded pair yields at most 63 bytes: refuse a header that claims more than the data could hold
    // before allocating for it.
    const size_t line_bytes = bytes_per_line * planes;
    const size_t total = line_bytes * static_cast<size_t>(height);
    // Padding aside, no layout takes more than four bytes a pixel; wide padded lines do not get past this.
    if (total > static_cast<size_t>(kPcxMaxPixels) * 4) return {};
    if (total / 63 > data.size() / 2 + 1) return {};
    std::vector<uint8_t> raw(total);
    if (!unpack_runs(data, raw)) return {};

    RgbaImage image;
    image.width = static_cast<int32_t>(width);
    image.height = static_cast<int32_t>(height);
    image.pixels.resize(static_cast<size_t>(width * height));
    for (int64_t y = 0; y < height; ++y) {
        const uint8_t* line = raw.data() + static_cast<size_t>(y) * line_bytes;
        uint32_t* out = image.pixels.data() + static_cast<size_t>(y * width);
        for (int64_t x = 0; x < width; ++x) {
            if (paletted8) {
                out[x] = palette[line[x]];
            } else if (truecolour) {
                const unsigned a = planes == 4 ? line[3 * bytes_per_line + x] : 0xFF;
                out[x] = argb(line[x], line[bytes_per_line + x], line[2 * bytes_per_line + x], a);
            } else {
                unsigned index = 0;
                for (unsigned p = 0; p < planes; ++p) {
                    const unsigned bit = (line[p * bytes_per_line + x / 8] >> (7 - x % 8)) & 1;
                    index |= bit << p;
                }
                out[x] = palette[index];
            }
        }
    }
    return image;
}
