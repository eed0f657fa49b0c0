// A recording HTTP client for tests: answers every request with a scripted response and records each call
// with its arguments, so a test can assert exactly what web_fetch passed to the platform client.
//
//   RecordingHttpClient client;
//   client.response.body = "hello";
//   client.response.raw_headers = "HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\n\r\n";
//   ByteSet body = web_fetch(client, Text("https://a.b/x"));
//   EXPECT_EQ(client.calls_of("open_request")[0].text(1), "/x");
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "http/client.h"

struct RecordedCall {
    std::string op;                                 // "open", "connect", "open_request", ...
    HttpHandle handle = nullptr;                    // the handle the call acted on; null for open
    std::vector<std::optional<std::string>> texts;  // string arguments in order, nullopt for a null pointer
    std::vector<uint64_t> numbers;                  // numeric arguments in order
    std::optional<std::string> bytes;               // the send body or the option buffer; nullopt for null
    HttpHandle result = nullptr;                    // the handle an open returned

    // The string argument at `i`, or "<null>" for a null pointer.
    std::string text(size_t i) const { return i < texts.size() && texts[i] ? *texts[i] : "<null>"; }
};

struct ScriptedResponse {
    std::string body;
    // What the raw-header query returns, without its terminating zero.
    std::string raw_headers = "HTTP/1.1 200 OK\r\n\r\n";
    bool fail_open = false;
    bool fail_connect = false;
    bool fail_open_request = false;
    bool fail_send = false;  // send reports failure; nothing is read or queried afterwards
    bool headers_available = true;  // false: the header query fails and writes nothing
    // What the length query answers; left out, the query fails.
    std::optional<uint32_t> content_length = std::nullopt;
};

class RecordingHttpClient : public HttpClient {
public:
    ScriptedResponse response;

    HttpHandle open(const char* agent, uint32_t access_type, const char* proxy, const char* proxy_bypass,
                    uint32_t flags) override;
    HttpHandle connect(HttpHandle internet, const char* server, uint16_t port, const char* user,
                       const char* password, uint32_t service, uint32_t flags, uintptr_t context) override;
    HttpHandle open_request(HttpHandle connection, const char* verb, const char* object_name, const char* version,
                            const char* referrer, const char** accept_types, uint32_t flags,
                            uintptr_t context) override;
    bool set_option(HttpHandle handle, uint32_t option, const void* buffer, uint32_t length) override;
    bool send_request(HttpHandle request, const char* headers, uint32_t headers_length, const void* body,
                      uint32_t body_length) override;
    bool read(HttpHandle request, void* buffer, uint32_t to_read, uint32_t* bytes_read) override;
    bool query_info(HttpHandle request, uint32_t info_level, void* buffer, uint32_t* buffer_length,
                    uint32_t* index) override;
    bool close(HttpHandle handle) override;

    const std::vector<RecordedCall>& calls() const { return calls_; }
    std::vector<RecordedCall> calls_of(const std::string& op) const;
    // The operations in call order, reads collapsed into one "read" per run of reads.
    std::vector<std::string> call_sequence() const;
    // Handles opened and not yet closed.
    size_t open_handles() const { return open_.size(); }

private:
    HttpHandle new_handle();

    std::vector<RecordedCall> calls_;
    std::set<HttpHandle> open_;
    uintptr_t next_handle_ = 0x100;
    size_t read_offset_ = 0;
    bool sent_ = false;
};
