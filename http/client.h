// The HTTP client seam: the blocking operations web_fetch drives, shaped like the platform client's.
//
// A backend implements every operation with the platform's argument list and meaning: handles are opaque
// (null on failure), strings are zero-terminated code page 936 bytes or null, `read` reports 0 bytes at
// the end of the data and on failure. Backends: libcurl (Linux), WinINet (Windows), and a recording
// double for tests. Nothing here assumes a particular backend.
//
//   HttpClient& c = http_client();
//   HttpHandle net = c.open(agent, kInternetOpenTypeDirect, nullptr, nullptr, 0);
#pragma once

#include <cstdint>

using HttpHandle = void*;

inline constexpr uint32_t kInternetOpenTypeDirect = 1;
inline constexpr uint32_t kInternetOpenTypeProxy = 3;
inline constexpr uint32_t kInternetServiceHttp = 3;
inline constexpr uint32_t kFlagReload = 0x80000000u;
inline constexpr uint32_t kFlagNeedFile = 0x10u;
inline constexpr uint32_t kFlagNoCookies = 0x80000u;
inline constexpr uint32_t kFlagNoAutoRedirect = 0x200000u;
inline constexpr uint32_t kFlagSecure = 0x800000u;
inline constexpr uint32_t kFlagIgnoreRedirectToHttps = 0x4000u;
inline constexpr uint32_t kOptionSecurityFlags = 31;
inline constexpr uint32_t kSecurityFlagsIgnoreAll = 0x1F380u;
inline constexpr uint32_t kQueryRawHeadersCrlf = 22;
inline constexpr uint32_t kQueryContentLength = 5;
inline constexpr uint32_t kQueryFlagNumber = 0x20000000u;  // answer as a 32-bit number, not text

class HttpClient {
public:
    virtual ~HttpClient() = default;
    virtual HttpHandle open(const char* agent, uint32_t access_type, const char* proxy, const char* proxy_bypass,
                            uint32_t flags) = 0;
    virtual HttpHandle connect(HttpHandle internet, const char* server, uint16_t port, const char* user,
                               const char* password, uint32_t service, uint32_t flags, uintptr_t context) = 0;
    virtual HttpHandle open_request(HttpHandle connection, const char* verb, const char* object_name,
                                    const char* version, const char* referrer, const char** accept_types,
                                    uint32_t flags, uintptr_t context) = 0;
    virtual bool set_option(HttpHandle handle, uint32_t option, const void* buffer, uint32_t length) = 0;
    virtual bool send_request(HttpHandle request, const char* headers, uint32_t headers_length, const void* body,
                              uint32_t body_length) = 0;
    virtual bool read(HttpHandle request, void* buffer, uint32_t to_read, uint32_t* bytes_read) = 0;
    // HTTP_QUERY_RAW_HEADERS_CRLF, and HTTP_QUERY_CONTENT_LENGTH with the number flag (a 32-bit value).
    // When the buffer is too small, returns false and sets *buffer_length to the size needed (terminating
    // zero included), as the platform does. A header the response lacks gives false and writes nothing.
    virtual bool query_info(HttpHandle request, uint32_t info_level, void* buffer, uint32_t* buffer_length,
                            uint32_t* index) = 0;
    virtual bool close(HttpHandle handle) = 0;
};

// The process's client: the backend this build was made with, created at first use and kept.
HttpClient& http_client();
