#include "http/client_backend.h"

std::string http_encode_target(std::string_view object_name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(object_name.size());
    for (unsigned char c : object_name) {
        if (c <= 0x20 || c >= 0x7F) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}
