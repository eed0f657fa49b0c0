// What the portable part of http/ hands to every HTTP client backend: the connection mappings and limits
// that tests may set (http/client_testing.h). Included by backend files only.
#pragma once

#include <cstdint>
#include <string>
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
