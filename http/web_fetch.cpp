#include "http/web_fetch.h"

#include <algorithm>
#include <array>
#include <string>

#include "http/client.h"
#include "http/cookies.h"
#include "http/headers.h"
#include "http/url.h"
#include "text/markers.h"
#include "text/primitives.h"

namespace {

constexpr const char* kVerbs[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};
constexpr uint32_t kReadChunk = 1024;
constexpr uint32_t kHeaderBufferSize = 5000;
// The most a Content-Length may make web_fetch reserve ahead of the data; a larger body still grows.
constexpr uint32_t kMaxReserve = 256u << 20;
// A client that keeps asking for more room is not followed for ever.
constexpr int kHeaderQueryAttempts = 4;

// The raw response headers. The first query offers 5000 bytes filled with blanks; when the client reports
// that the headers need more, the query is repeated with the size it asks for, so that large header blocks
// (and the cookies in them) are not lost. A query that writes nothing leaves the blanks in place.
Text query_raw_headers(HttpClient& client, HttpHandle request) {
    std::string buffer(kHeaderBufferSize, ' ');
    for (int attempt = 0; attempt < kHeaderQueryAttempts; ++attempt) {
        uint32_t length = static_cast<uint32_t>(buffer.size());
        if (client.query_info(request, kQueryRawHeadersCrlf, buffer.data(), &length, nullptr)) break;
        if (length <= buffer.size()) break;
        buffer.assign(length, ' ');
    }
    return Text(std::string_view(buffer));  // up to the first zero byte
}

// Room for the body when the response announces its length: a download of many megabytes is then written
// once into memory touched once, instead of being moved at every doubling of the buffer.
void reserve_announced_length(HttpClient& client, HttpHandle request, ByteSet& body) {
    uint32_t length = 0;
    uint32_t size = sizeof length;
    if (client.query_info(request, kQueryContentLength | kQueryFlagNumber, &length, &size, nullptr)) {
        body.storage().reserve(std::min(length, kMaxReserve));
    }
}

// Each "Set-Cookie" line (that exact letter case, followed by ": ") gives its first name=value pair;
// attributes after the first ";" are dropped.
Text cookies_from_headers(const Text& raw_headers) {
    std::string cookies;
    for (const Text& line : txt_split(raw_headers, Text("\r\n"))) {
        if (txt_cmp(left_of(line, ": "), "Set-Cookie") != 0) continue;
        Text value = txt_find(line, ";") != -1
                         ? txt_trim(extract_between(line, "Set-Cookie:", ";"))
                         : txt_trim(txt_replace(line, "Set-Cookie:", Text(), std::nullopt, std::nullopt, false));
        cookies += value.bytes();
        cookies += "; ";
    }
    int32_t keep = static_cast<int32_t>(cookies.size()) - 2;
    return txt_head(Text(std::move(cookies)), keep);
}

// The URL as it may stand in the Referer line: a CR or LF in it would end that line and start a header of
// the URL's choosing, so both are percent-encoded there. URLs come from pages, not only from the user.
Text referer_of(const Text& request_url) {
    if (request_url.view().find_first_of("\r\n") == std::string_view::npos) return request_url;
    // Byte by byte: a line break right after a lead byte must not hide inside a two-byte character.
    std::string out;
    for (char c : request_url.view()) {
        if (c == '\r') {
            out += "%0D";
        } else if (c == '\n') {
            out += "%0A";
        } else {
            out += c;
        }
    }
    return Text(std::move(out));
}

}  // namespace

ByteSet web_fetch(HttpClient& client, const Text& request_url, const WebFetchOptions& options) {
    const bool merge_sent_cookies = options.merge_sent_cookies.value_or(true);
    const bool default_headers = options.default_headers.value_or(true);
    const bool normalize_names = options.normalize_names.value_or(true);
    const bool cookies_provided = options.send_cookies != nullptr;

    Text headers = options.extra_headers ? *options.extra_headers : Text();
    if (normalize_names) headers = normalize_header_names(headers);

    int32_t method_index = options.method_index;
    if (method_index < 0 || method_index > 7) method_index = 0;
    const char* verb = kVerbs[method_index];

    const bool https = txt_cmp(txt_lower(txt_head(request_url, 8)), "https://") == 0;
    const Text agent = choose_user_agent(headers);

    const Text proxy = options.proxy_server ? *options.proxy_server : Text();
    HttpHandle internet = nullptr;
    if (proxy.empty()) {
        internet = client.open(agent.c_str_or_null(), kInternetOpenTypeDirect, nullptr, nullptr, 0);
    } else {
        // Without a scheme prefix the proxy serves every scheme; "http=" keeps it to plain HTTP.
        const Text proxy_list = https ? proxy : txt_join("http=", proxy);
        internet = client.open(agent.c_str_or_null(), kInternetOpenTypeProxy, proxy_list.c_str_or_null(), "", 0);
    }
    if (!internet) return ByteSet();

    const Text host = url_host(request_url);
    const auto port = static_cast<uint16_t>(url_port(request_url));  // the platform's port is 16 bits
    HttpHandle connection = client.connect(internet, host.c_str_or_null(), port, nullptr, nullptr,
                                           kInternetServiceHttp, 0, 0);
    if (!connection) {
        client.close(internet);
        return ByteSet();
    }

    int32_t flags = static_cast<int32_t>(kFlagReload | kFlagNeedFile);
    if (cookies_provided) flags = bit_or(flags, static_cast<int32_t>(kFlagNoCookies));
    if (options.no_redirect) flags = bit_or(flags, static_cast<int32_t>(kFlagNoAutoRedirect));
    flags = bit_or(flags, static_cast<int32_t>(https ? kFlagSecure : kFlagIgnoreRedirectToHttps));

    const Text path = url_path(request_url);
    HttpHandle request = client.open_request(connection, verb, path.c_str_or_null(), "HTTP/1.1", nullptr, nullptr,
                                             static_cast<uint32_t>(flags), 0);
    if (!request) {
        client.close(connection);
        client.close(internet);
        return ByteSet();
    }

    const uint32_t security_flags = kSecurityFlagsIgnoreAll;
    client.set_option(request, kOptionSecurityFlags, &security_flags, sizeof security_flags);

    if (default_headers) headers = add_default_headers(headers, referer_of(request_url), method_index);
    headers = add_cookie_header(headers, options.send_cookies ? *options.send_cookies : Text());

    const auto headers_length = static_cast<uint32_t>(txt_len(headers));
    if (method_index == 0) {
        client.send_request(request, headers.c_str_or_null(), headers_length, nullptr, 0);
    } else {
        ByteSet local_body;
        ByteSet& post_bytes = options.post_bytes ? *options.post_bytes : local_body;
        if (post_bytes.empty()) post_bytes = bin_from_text(options.post_text ? *options.post_text : Text());
        client.send_request(request, headers.c_str_or_null(), headers_length, post_bytes.data_or_null(),
                            static_cast<uint32_t>(bin_len(post_bytes)));
    }

    // Appended in place: the body grows with amortised reallocation, never re-copied chunk by chunk.
    ByteSet body;
    reserve_announced_length(client, request, body);
    std::array<char, kReadChunk> buffer{};
    for (;;) {
        uint32_t count = 0;
        client.read(request, buffer.data(), kReadChunk, &count);
        if (count == 0) break;
        body.storage().append(buffer.data(), std::min(count, kReadChunk));
    }

    Text raw_headers = query_raw_headers(client, request);
    if (options.out_headers) *options.out_headers = raw_headers;

    client.close(request);
    client.close(connection);
    client.close(internet);

    Text cookies = cookies_from_headers(raw_headers);
    if (merge_sent_cookies && cookies_provided) cookies = merge_cookies(*options.send_cookies, cookies);
    if (options.out_cookies) *options.out_cookies = cookies;

    return body;
}
