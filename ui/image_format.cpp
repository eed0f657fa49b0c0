#include "ui/image_format.h"

namespace {

unsigned byte_at(std::string_view s, size_t i) { return static_cast<unsigned char>(s[i]); }

}  // namespace

ImageFormat image_format_of(std::string_view b) {
    if (b.size() < 8) return ImageFormat::kNone;
    if (byte_at(b, 0) == 0xFF && byte_at(b, 1) == 0xD8) return ImageFormat::kJpeg;
    if (b.starts_with("BM")) return ImageFormat::kBmp;
    if (b.starts_with("\x89PNG")) return ImageFormat::kPng;
    if (b.starts_with("GIF87a") || b.starts_with("GIF89a")) return ImageFormat::kGif;
    if (byte_at(b, 0) == 0 && byte_at(b, 1) == 0 && (byte_at(b, 2) == 1 || byte_at(b, 2) == 2) && byte_at(b, 3) == 0 &&
        (byte_at(b, 4) | byte_at(b, 5)) != 0) {
        return ImageFormat::kIcon;
    }
    if (byte_at(b, 0) == 0x0A) {
        const unsigned version = byte_at(b, 1), encoding = byte_at(b, 2), bits = byte_at(b, 3);
        if (version <= 5 && encoding == 1 && bits == 8) return ImageFormat::kPcx;
        if (version == 3 && encoding == 1 && bits == 1) return ImageFormat::kPcx;
    }
    return ImageFormat::kNone;
}
