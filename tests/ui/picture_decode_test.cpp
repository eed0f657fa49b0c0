// Recognising picture formats by their first bytes, and our PCX decoder on well-formed and hostile files.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "ui/image_format.h"
#include "ui/pcx.h"

namespace {

using namespace std::string_literals;

TEST(ImageFormat, RecognisesEachFormatByItsFirstBytes) {
    struct Row {
        const char* name;
        std::string bytes;
        ImageFormat format;
    };
    const Row rows[] = {
        // The signatures, each padded to the 8 bytes a picture needs at least.
        {"jpeg", "\xFF\xD8\xFF\xE0\0\x10JF"s, ImageFormat::kJpeg},
        {"bmp", "BM\x36\0\0\0\0\0"s, ImageFormat::kBmp},
        {"png", "\x89PNG\r\n\x1A\n"s, ImageFormat::kPng},
        {"gif87a", "GIF87a\x01\0"s, ImageFormat::kGif},
        {"gif89a", "GIF89a\x01\0"s, ImageFormat::kGif},
        {"icon", "\0\0\x01\0\x01\0\x10\x10"s, ImageFormat::kIcon},
        {"cursor", "\0\0\x02\0\x02\0\x20\x20"s, ImageFormat::kIcon},
        {"icon with 256 images", "\0\0\x01\0\0\x01\x10\x10"s, ImageFormat::kIcon},
        {"pcx version 5, 8 bits", "\x0A\x05\x01\x08\0\0\0\0"s, ImageFormat::kPcx},
        {"pcx version 0, 8 bits", "\x0A\x00\x01\x08\0\0\0\0"s, ImageFormat::kPcx},
        {"pcx version 3, 1 bit", "\x0A\x03\x01\x01\0\0\0\0"s, ImageFormat::kPcx},
        // Near misses.
        {"seven bytes of a png", "\x89PNG\r\n\x1A"s, ImageFormat::kNone},
        {"empty", ""s, ImageFormat::kNone},
        {"gif88a", "GIF88a\x01\0"s, ImageFormat::kNone},
        {"gif89b", "GIF89b\x01\0"s, ImageFormat::kNone},
        {"icon without images", "\0\0\x01\0\0\0\x10\x10"s, ImageFormat::kNone},
        {"icon of type 3", "\0\0\x03\0\x01\0\x10\x10"s, ImageFormat::kNone},
        {"icon with a reserved byte set", "\0\x01\x01\0\x01\0\x10\x10"s, ImageFormat::kNone},
        {"pcx version 6", "\x0A\x06\x01\x08\0\0\0\0"s, ImageFormat::kNone},
        {"pcx without run-length coding", "\x0A\x05\x00\x08\0\0\0\0"s, ImageFormat::kNone},
        {"pcx with 4 bits", "\x0A\x05\x01\x04\0\0\0\0"s, ImageFormat::kNone},
        {"pcx version 5, 1 bit", "\x0A\x05\x01\x01\0\0\0\0"s, ImageFormat::kNone},
        {"html", "<!DOCTYPE html>"s, ImageFormat::kNone},
        {"jpeg marker at offset 1", "\0\xFF\xD8\xFF\xE0\0\x10J"s, ImageFormat::kNone},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(image_format_of(row.bytes), row.format);
    }
}

// A PCX file with the given layout; `lines` holds each scan line's planes one after another.
struct PcxLayout {
    uint8_t version = 5;
    uint8_t bits = 8;
    uint8_t planes = 1;
    uint16_t x_min = 0, y_min = 0, x_max = 0, y_max = 0;
    uint16_t bytes_per_line = 0;
};

std::string pcx_header(const PcxLayout& s) {
    std::string h(128, '\0');
    auto put16 = [&](size_t at, uint16_t v) {
        h[at] = static_cast<char>(v & 0xFF);
        h[at + 1] = static_cast<char>(v >> 8);
    };
    h[0] = 0x0A;
    h[1] = static_cast<char>(s.version);
    h[2] = 1;
    h[3] = static_cast<char>(s.bits);
    put16(4, s.x_min);
    put16(6, s.y_min);
    put16(8, s.x_max);
    put16(10, s.y_max);
    h[65] = static_cast<char>(s.planes);
    put16(66, s.bytes_per_line);
    return h;
}

// Run-length codes `raw` the way PCX writers do: runs of up to 63, and single bytes of 0xC0 and above as
// runs of one.
std::string pcx_runs(const std::vector<uint8_t>& raw) {
    std::string out;
    for (size_t i = 0; i < raw.size();) {
        size_t n = 1;
        while (i + n < raw.size() && raw[i + n] == raw[i] && n < 63) ++n;
        if (n > 1 || raw[i] >= 0xC0) out += static_cast<char>(0xC0 | n);
        out += static_cast<char>(raw[i]);
        i += n;
    }
    return out;
}

std::string vga_palette(const std::vector<uint32_t>& rgb) {
    std::string p(769, '\0');
    p[0] = 0x0C;
    for (size_t i = 0; i < rgb.size(); ++i) {
        p[1 + 3 * i] = static_cast<char>(rgb[i] >> 16);
        p[2 + 3 * i] = static_cast<char>(rgb[i] >> 8);
        p[3 + 3 * i] = static_cast<char>(rgb[i]);
    }
    return p;
}

constexpr uint32_t opaque(uint32_t rgb) { return 0xFF000000u | rgb; }

TEST(PcxDecode, DecodesEachSupportedLayout) {
    struct Row {
        const char* name;
        std::string file;
        int32_t width, height;
        std::vector<uint32_t> pixels;
    };
    const std::vector<uint32_t> vga = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    const Row rows[] = {
        {"8 bits with a palette at the end",
         pcx_header({.x_max = 1, .y_max = 1, .bytes_per_line = 2}) + pcx_runs({1, 2, 3, 0}) + vga_palette(vga),
         2,
         2,
         {opaque(0xFF0000), opaque(0x00FF00), opaque(0x0000FF), opaque(0)}},
        {"8 bits without a palette are grey levels",
         pcx_header({.x_max = 2, .y_max = 0, .bytes_per_line = 4}) + pcx_runs({0x00, 0x80, 0xFF, 0}),
         3,
         1,
         {opaque(0), opaque(0x808080), opaque(0xFFFFFF)}},
        {"three planes are red, green and blue",
         pcx_header({.planes = 3, .x_max = 1, .y_max = 0, .bytes_per_line = 2}) +
             pcx_runs({0x10, 0x20, 0x30, 0x40, 0x50, 0x60}),
         2,
         1,
         {opaque(0x103050), opaque(0x204060)}},
        {"a fourth plane is alpha",
         pcx_header({.planes = 4, .x_max = 0, .y_max = 0, .bytes_per_line = 2}) + pcx_runs({1, 0, 2, 0, 3, 0, 0x80, 0}),
         1,
         1,
         {0x80010203u}},
        {"1 bit in one plane is black and white",
         pcx_header({.version = 3, .bits = 1, .x_max = 9, .y_max = 0, .bytes_per_line = 2}) +
             pcx_runs({0b10100000, 0b01000000}),
         10,
         1,
         {opaque(0xFFFFFF), opaque(0), opaque(0xFFFFFF), opaque(0), opaque(0), opaque(0), opaque(0), opaque(0),
          opaque(0), opaque(0xFFFFFF)}},
        {"1 bit in four planes of version 3 uses the EGA colours",
         pcx_header({.version = 3, .bits = 1, .planes = 4, .x_max = 1, .y_max = 0, .bytes_per_line = 2}) +
             // pixel 0: planes 0 and 2 set (index 5, magenta); pixel 1: all planes (index 15, white)
             pcx_runs({0b11000000, 0, 0b01000000, 0, 0b11000000, 0, 0b01000000, 0}),
         2,
         1,
         {opaque(0xAA00AA), opaque(0xFFFFFF)}},
        {"a run carries over into the next line and the origin is not at zero",
         pcx_header({.x_min = 10, .y_min = 20, .x_max = 11, .y_max = 21, .bytes_per_line = 2}) + "\xC4\x02"s +
             vga_palette(vga),
         2,
         2,
         {opaque(0x00FF00), opaque(0x00FF00), opaque(0x00FF00), opaque(0x00FF00)}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const RgbaImage img = pcx_decode(row.file);
        EXPECT_EQ(img.width, row.width);
        EXPECT_EQ(img.height, row.height);
        EXPECT_EQ(img.pixels, row.pixels);
    }
}

TEST(PcxDecode, RefusesFilesThatDoNotAddUp) {
    const std::string good = pcx_header({.x_max = 1, .y_max = 1, .bytes_per_line = 2}) + pcx_runs({1, 2, 3, 0});
    ASSERT_FALSE(pcx_decode(good).empty());
    struct Row {
        const char* name;
        std::string file;
    };
    const Row rows[] = {
        {"pixel data ends early", good.substr(0, good.size() - 1)},
        {"a run's value byte is missing",
         pcx_header({.x_max = 1, .y_max = 1, .bytes_per_line = 2}) + "\x01\x02\x03\xC1"s},
        {"header only", good.substr(0, 128)},
        {"shorter than a header", good.substr(0, 60)},
        {"right edge before left edge",
         pcx_header({.x_min = 5, .x_max = 4, .y_max = 0, .bytes_per_line = 2}) + "\xC2\x01"s},
        {"bottom edge before top edge",
         pcx_header({.y_min = 1, .x_max = 1, .y_max = 0, .bytes_per_line = 2}) + "\xC2\x01"s},
        {"scan lines narrower than the picture",
         pcx_header({.x_max = 3, .y_max = 0, .bytes_per_line = 2}) + "\xC4\x01"s},
        {"two planes of 8 bits", pcx_header({.planes = 2, .x_max = 0, .y_max = 0, .bytes_per_line = 2}) + "\xC4\x01"s},
        {"1 bit in five planes",
         pcx_header({.version = 3, .bits = 1, .planes = 5, .x_max = 0, .y_max = 0, .bytes_per_line = 2}) + "\xCA\x01"s},
        {"4 bits per pixel", pcx_header({.bits = 4, .x_max = 0, .y_max = 0, .bytes_per_line = 2}) + "\xC2\x01"s},
        {"65536 x 65536 claimed by a few bytes",
         pcx_header({.x_max = 0xFFFF, .y_max = 0xFFFF, .bytes_per_line = 0xFFFF}) + "\xFF\x01\xFF\x01"s},
        {"5000 x 5000 within the pixel limit but not in the data",
         pcx_header({.x_max = 4999, .y_max = 4999, .bytes_per_line = 5000}) + std::string(1000, '\xFF')},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_TRUE(pcx_decode(row.file).empty());
    }
}

// Bytes from the network: every single-byte change of a valid file, and random files behind a valid
// signature, decode to a consistent picture or to nothing, without reading or writing out of bounds.
TEST(PcxDecode, HostileBytesNeverBreakIt) {
    std::vector<uint8_t> raw(16 * 4);
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(i * 37);
    const std::string valid =
        pcx_header({.x_max = 15, .y_max = 3, .bytes_per_line = 16}) + pcx_runs(raw) + vga_palette({0xFFFFFF});
    auto check = [](const std::string& file) {
        const RgbaImage img = pcx_decode(file);
        if (img.empty()) return;
        EXPECT_GT(img.width, 0);
        EXPECT_GT(img.height, 0);
        EXPECT_EQ(img.pixels.size(), static_cast<size_t>(img.width) * static_cast<size_t>(img.height));
    };
    for (size_t at = 0; at < 128 + 80; ++at) {
        for (uint8_t v : {0x00, 0x01, 0x03, 0x08, 0x7F, 0xC0, 0xFF}) {
            std::string f = valid;
            f[at] = static_cast<char>(v);
            check(f);
        }
    }
    std::mt19937 rng(20210401);
    for (int i = 0; i < 3000; ++i) {
        std::string f(128 + rng() % 900, '\0');
        for (char& c : f) c = static_cast<char>(rng());
        f[0] = 0x0A;
        f[2] = 1;
        f[3] = (i & 1) ? 8 : 1;
        f[65] = static_cast<char>(1 + rng() % 4);
        f[9] = static_cast<char>(rng() % 2);  // keep most sizes small enough to decode
        f[11] = static_cast<char>(rng() % 2);
        check(f);
    }
}

}  // namespace
