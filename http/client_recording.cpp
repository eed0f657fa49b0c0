#include "http/client_recording.h"

#include <algorithm>
#include <cstring>

namespace {

std::optional<std::string> text_or_null(const char* s) {
    return s ? std::optional<std::string>(s) : std::nullopt;
}

}  // namespace

HttpHandle RecordingHttpClient::new_handle() {
    auto h = reinterpret_cast<HttpHandle>(next_handle_);
    next_handle_ += 0x10;
    open_.insert(h);
    return h;
}

HttpHandle RecordingHttpClient::open(const char* agent, uint32_t access_type, const char* proxy,
                                     const char* proxy_bypass, uint32_t flags) {
    HttpHandle h = response.fail_open ? nullptr : new_handle();
    calls_.push_back({"open", nullptr, {text_or_null(agent), text_or_null(proxy), text_or_null(proxy_bypass)},
                      {access_type, flags}, std::nullopt, h});
    return h;
}

HttpHandle RecordingHttpClient::connect(HttpHandle internet, const char* server, uint16_t port, const char* user,
                                        const char* password, uint32_t service, uint32_t flags,
                                        uintptr_t context) {
    HttpHandle h = response.fail_connect || !open_.count(internet) ? nullptr : new_handle();
    calls_.push_back({"connect", internet,
                      {text_or_null(server), text_or_null(user), text_or_null(password)},
                      {port, service, flags, context}, std::nullopt, h});
    return h;
}

HttpHandle RecordingHttpClient::open_request(HttpHandle connection, const char* verb, const char* object_name,
                                             const char* version, const char* referrer, const char** accept_types,
                                             uint32_t flags, uintptr_t context) {
    HttpHandle h = response.fail_open_request || !open_.count(connection) ? nullptr : new_handle();
    calls_.push_back({"open_request", connection,
                      {text_or_null(verb), text_or_null(object_name), text_or_null(version), text_or_null(referrer)},
                      {flags, context, accept_types ? 1u : 0u}, std::nullopt, h});
    read_offset_ = 0;
    sent_ = false;
    return h;
}

bool RecordingHttpClient::set_option(HttpHandle handle, uint32_t option, const void* buffer, uint32_t length) {
    std::optional<std::string> bytes;
    if (buffer) bytes = std::string(static_cast<const char*>(buffer), length);
    calls_.push_back({"set_option", handle, {}, {option, length}, bytes, nullptr});
    return open_.count(handle) > 0;
}

bool RecordingHttpClient::send_request(HttpHandle request, const char* headers, uint32_t headers_length,
                                       const void* body, uint32_t body_length) {
    std::optional<std::string> header_bytes;
    if (headers) header_bytes = std::string(headers, headers_length);
    std::optional<std::string> body_bytes;
    if (body) body_bytes = std::string(static_cast<const char*>(body), body_length);
    calls_.push_back({"send_request", request, {header_bytes}, {headers_length, body_length}, body_bytes, nullptr});
    sent_ = !response.fail_send && open_.count(request) > 0;
    return sent_;
}

bool RecordingHttpClient::read(HttpHandle request, void* buffer, uint32_t to_read, uint32_t* bytes_read) {
    calls_.push_back({"read", request, {}, {to_read}, std::nullopt, nullptr});
    size_t n = 0;
    if (sent_ && open_.count(request)) {
        n = std::min<size_t>(to_read, response.body.size() - read_offset_);
        std::memcpy(buffer, response.body.data() + read_offset_, n);
        read_offset_ += n;
    }
    *bytes_read = static_cast<uint32_t>(n);
    return sent_;
}

bool RecordingHttpClient::query_info(HttpHandle request, uint32_t info_level, void* buffer, uint32_t* buffer_length,
                                     uint32_t* index) {
    calls_.push_back({"query_info", request, {}, {info_level, *buffer_length, index ? 1u : 0u}, std::nullopt,
                      nullptr});
    if (!sent_ || !open_.count(request)) return false;
    if (info_level == (kQueryContentLength | kQueryFlagNumber) && response.content_length) {
        if (*buffer_length < sizeof(uint32_t)) {
            *buffer_length = sizeof(uint32_t);
            return false;
        }
        std::memcpy(buffer, &*response.content_length, sizeof(uint32_t));
        *buffer_length = sizeof(uint32_t);
        return true;
    }
    if (!response.headers_available || info_level != kQueryRawHeadersCrlf) return false;
    const std::string& h = response.raw_headers;
    if (h.size() + 1 > *buffer_length) {
        *buffer_length = static_cast<uint32_t>(h.size() + 1);
        return false;
    }
    std::memcpy(buffer, h.data(), h.size());
    static_cast<char*>(buffer)[h.size()] = '\0';
    *buffer_length = static_cast<uint32_t>(h.size());
    return true;
}

bool RecordingHttpClient::close(HttpHandle handle) {
    calls_.push_back({"close", handle, {}, {}, std::nullopt, nullptr});
    return open_.erase(handle) > 0;
}

std::vector<RecordedCall> RecordingHttpClient::calls_of(const std::string& op) const {
    std::vector<RecordedCall> out;
    std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(out),
                 [&](const RecordedCall& c) { return c.op == op; });
    return out;
}

std::vector<std::string> RecordingHttpClient::call_sequence() const {
    std::vector<std::string> out;
    for (const RecordedCall& c : calls_) {
        if (c.op == "read" && !out.empty() && out.back() == "read") continue;
        out.push_back(c.op);
    }
    return out;
}
