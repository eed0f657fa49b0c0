// One HTTP or HTTPS request through the platform HTTP client, returning the response body.
//
// Only the URL is required. Every option carries its provided mark: a pointer left null or a
// std::optional left empty is "left out". By-reference parameters are pointers to the caller's variables;
// a null pointer reads as empty and discards what the routine would write there. Status codes are not
// interpreted: an error page is a body like any other. A request that cannot be set up gives an empty
// ByteSet and writes none of the outputs. out_headers receives the status line and header lines of the final
// response however long they are; when the client delivers none, it holds 5000 blanks.
//
//   Text headers;
//   ByteSet body = web_fetch(url, {.out_headers = &headers});
#pragma once

#include <cstdint>
#include <optional>

#include "text/types.h"

class HttpClient;

struct WebFetchOptions {
    int32_t method_index = 0;                    // 0 GET 1 POST 2 HEAD 3 PUT 4 OPTIONS 5 DELETE 6 TRACE 7 CONNECT
    const Text* post_text = nullptr;             // body as text, used when post_bytes is empty
    Text* send_cookies = nullptr;                // provided (even empty): client cookie store off, merging on
    Text* out_cookies = nullptr;                 // written: cookies the response set
    const Text* extra_headers = nullptr;         // the caller's header lines, CR LF separated
    Text* out_headers = nullptr;                 // written: raw response headers
    bool no_redirect = false;
    ByteSet* post_bytes = nullptr;               // body as bytes; filled from post_text when empty
    const Text* proxy_server = nullptr;          // empty: direct connection
    std::optional<bool> merge_sent_cookies = std::nullopt;  // left out: true
    std::optional<bool> default_headers = std::nullopt;     // left out: true
    std::optional<bool> normalize_names = std::nullopt;     // left out: true
};

// The response body, or an empty ByteSet; uses the process's HTTP client.
ByteSet web_fetch(const Text& request_url, const WebFetchOptions& options = {});
// The same through a given client (the recording double in tests).
ByteSet web_fetch(HttpClient& client, const Text& request_url, const WebFetchOptions& options = {});
