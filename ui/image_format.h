// Recognising a picture's format by its first bytes, the way a picture box decides how to decode the bytes
// it is given. Bytes from the network arrive here, so nothing is assumed about them beyond their length.
//
//   if (image_format_of(bytes.bytes()) == ImageFormat::kPcx) { RgbaImage img = pcx_decode(bytes.bytes()); }
#pragma once

#include <cstdint>
#include <string_view>

enum class ImageFormat : uint8_t {
    kNone,  // fewer than 8 bytes or no signature we know
    kJpeg,  // FF D8
    kBmp,   // 42 4D ("BM")
    kPng,   // 89 50 4E 47
    kGif,   // "GIF87a" or "GIF89a"
    kIcon,  // 00 00, type 01 00 (icon) or 02 00 (cursor), a non-zero image count
    kPcx,   // 0A, version 0..5, encoding 01, 8 bits per pixel; or 0A 03 01 01
};

// The format the first bytes of `bytes` announce; kNone for fewer than 8 bytes.
ImageFormat image_format_of(std::string_view bytes);
