// What the portable part of http/ hands to every HTTP client backend: the connection mappings and limits
// that tests may set (http/client_testing.h). Included by backend files only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct HttpConnectTarget {
    std::string host;  // lower case
    uint16_t port = 0;
    std::string to_host;
    uint16_t to_port = 0;
};

struct HttpTimeouts {
    int32_t connect_seconds = 30;
    int32_t stall_seconds = 30;
};

inline constexpr HttpTimeouts kDefaultHttpTimeouts{};

// A copy of the current mappings; empty unless a test set some.
std::vector<HttpConnectTarget> http_connect_targets();
HttpTimeouts http_timeouts();

// The request target as it may go on the wire: bytes that may not stand there (blanks, control bytes, CR
// and LF among them, DEL and bytes 0x80 and above) percent-encoded, so no caller text can split or forge a
// request. Every other byte, "%" included, passes as the caller wrote it.
std::string http_encode_target(std::string_view object_name);
