// Our own decoder of PCX pictures, the one format a picture box takes that the toolkits do not decode.
//
// Takes 8 bits per pixel in one plane (256-colour palette at the end of the file, grey levels when it has
// none), three planes (RGB) or four (RGBA), and 1 bit per pixel in one to four planes (black and white,
// or the 16 default EGA colours). Any other layout, a header that does not add up, a picture larger than
// kPcxMaxPixels or pixel data that ends early decodes to the empty image: the bytes come from the
// network and are never trusted.
//
//   RgbaImage img = pcx_decode(bytes.bytes());
//   if (!img.empty()) show(img.width, img.height, img.pixels.data());
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// A decoded picture: rows top to bottom, each pixel 0xAARRGGBB.
struct RgbaImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;

    bool empty() const { return pixels.empty(); }
};

inline constexpr int64_t kPcxMaxPixels = int64_t{1} << 25;

// The picture in `bytes`, or the empty image when they are no PCX picture we can decode.
RgbaImage pcx_decode(std::string_view bytes);
