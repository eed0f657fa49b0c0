// web_fetch against the recording client: exactly what reaches the platform client, and what comes back.
#include "http/web_fetch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "http/client_recording.h"
#include "http/headers.h"

namespace {

using ::testing::ElementsAre;

const std::string kDefaultBlock(const std::string& url) {
    return "Accept: */*\r\nReferer: " + url + "\r\nAccept-Language: zh-cn";
}

uint32_t option_value(const RecordedCall& c) {
    uint32_t v = 0;
    if (c.bytes && c.bytes->size() == 4) std::memcpy(&v, c.bytes->data(), 4);
    return v;
}

TEST(WebFetchTest, HttpsUrlWithEveryOptionLeftOut) {
    RecordingHttpClient client;
    client.response.body = std::string(2500, 'b') + "end";
    client.response.raw_headers = "HTTP/1.1 200 OK\r\nContent-Length: 2503\r\n\r\n";
    const std::string url = "https://www.A.test/detail/x.html?ids=1&pids=";

    ByteSet body = web_fetch(client, Text(url));

    EXPECT_EQ(body.bytes(), client.response.body);
    EXPECT_THAT(client.call_sequence(), ElementsAre("open", "connect", "open_request", "set_option", "send_request",
                                                    "query_info", "read", "query_info", "close", "close", "close"));
    EXPECT_EQ(client.open_handles(), 0u);

    const RecordedCall open = client.calls_of("open")[0];
    EXPECT_EQ(open.text(0), kDefaultUserAgent);
    EXPECT_EQ(open.text(1), "<null>");  // proxy
    EXPECT_EQ(open.text(2), "<null>");  // bypass list
    EXPECT_THAT(open.numbers, ElementsAre(kInternetOpenTypeDirect, 0u));

    const RecordedCall connect = client.calls_of("connect")[0];
    EXPECT_EQ(connect.handle, open.result);
    EXPECT_EQ(connect.text(0), "www.a.test");
    EXPECT_EQ(connect.text(1), "<null>");
    EXPECT_EQ(connect.text(2), "<null>");
    EXPECT_THAT(connect.numbers, ElementsAre(443u, kInternetServiceHttp, 0u, 0u));

    const RecordedCall request = client.calls_of("open_request")[0];
    EXPECT_EQ(request.handle, connect.result);
    EXPECT_EQ(request.text(0), "GET");
    EXPECT_EQ(request.text(1), "/detail/x.html?ids=1&pids=");
    EXPECT_EQ(request.text(2), "HTTP/1.1");
    EXPECT_EQ(request.text(3), "<null>");  // referrer
    EXPECT_THAT(request.numbers, ElementsAre(0x80800010u, 0u, 0u));  // flags, context, no accept types

    const RecordedCall option = client.calls_of("set_option")[0];
    EXPECT_EQ(option.handle, request.result);
    EXPECT_THAT(option.numbers, ElementsAre(kOptionSecurityFlags, 4u));
    EXPECT_EQ(option_value(option), 0x1F380u);

    const RecordedCall send = client.calls_of("send_request")[0];
    EXPECT_EQ(send.text(0), kDefaultBlock(url));
    EXPECT_THAT(send.numbers, ElementsAre(kDefaultBlock(url).size(), 0u));
    EXPECT_FALSE(send.bytes.has_value());

    for (const RecordedCall& read : client.calls_of("read")) EXPECT_THAT(read.numbers, ElementsAre(1024u));
    EXPECT_EQ(client.calls_of("read").size(), 4u);  // 1024, 1024, 455, then 0

    // The announced length is asked for first, to size the body; then the raw headers.
    const auto queries = client.calls_of("query_info");
    EXPECT_THAT(queries[0].numbers, ElementsAre(kQueryContentLength | kQueryFlagNumber, 4u, 0u));
    EXPECT_THAT(queries[1].numbers, ElementsAre(kQueryRawHeadersCrlf, 5000u, 0u));

    const auto closes = client.calls_of("close");
    EXPECT_EQ(closes[0].handle, request.result);
    EXPECT_EQ(closes[1].handle, connect.result);
    EXPECT_EQ(closes[2].handle, open.result);
}

TEST(WebFetchTest, SchemeDecidesFlagsAndUrlPortDecidesPort) {
    struct Row {
        const char* name;
        const char* url;
        uint32_t flags;
        const char* host;
        uint32_t port;
        const char* object;
    };
    const Row rows[] = {
        {"http", "http://a.b/x", 0x80004010u, "a.b", 80, "/x"},
        {"https_upper_case", "HTTPS://a.b:8443/x", 0x80800010u, "a.b", 8443, "/x"},
        {"no_scheme_host_begins_with_https", "httpsa.b/x", 0x80004010u, "httpsa.b", 443, "/x"},
        {"scheme_alone", "https:", 0x80004010u, "https", 0, "/"},
        {"port_beyond_16_bits", "http://a.b:65617/", 0x80004010u, "a.b", 81, "/"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingHttpClient client;
        web_fetch(client, Text(row.url));
        EXPECT_EQ(client.calls_of("open_request")[0].numbers[0], row.flags);
        EXPECT_EQ(client.calls_of("open_request")[0].text(1), row.object);
        EXPECT_EQ(client.calls_of("connect")[0].text(0), row.host);
        EXPECT_EQ(client.calls_of("connect")[0].numbers[0], row.port);
    }
}

TEST(WebFetchTest, MethodsAndBodies) {
    struct Row {
        const char* name;
        int32_t method_index;
        const char* post_text;      // nullptr: left out
        const char* post_bytes;     // the caller's post_bytes before the call
        const char* verb;
        const char* body_sent;      // nullptr: no body pointer
        const char* post_bytes_after;
        bool content_type_line;
    };
    const Row rows[] = {
        {"get_ignores_bytes", 0, "t=1", "b=2", "GET", nullptr, "b=2", false},
        {"index_8_is_get", 8, "t=1", "b=2", "GET", nullptr, "b=2", false},
        {"index_minus_1_is_get", -1, "t=1", "b=2", "GET", nullptr, "b=2", false},
        {"post_text_fills_bytes", 1, "a=1", "", "POST", "a=1", "a=1", true},
        {"post_bytes_win_over_text", 1, "a=1", "raw", "POST", "raw", "raw", true},
        {"post_without_body", 1, nullptr, "", "POST", nullptr, "", true},
        {"head", 2, nullptr, "", "HEAD", nullptr, "", false},
        {"put_has_no_content_type", 3, "p=1", "", "PUT", "p=1", "p=1", false},
        {"options", 4, nullptr, "", "OPTIONS", nullptr, "", false},
        {"delete", 5, nullptr, "", "DELETE", nullptr, "", false},
        {"trace", 6, nullptr, "", "TRACE", nullptr, "", false},
        {"connect", 7, nullptr, "", "CONNECT", nullptr, "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingHttpClient client;
        Text post_text = row.post_text ? Text(row.post_text) : Text();
        ByteSet post_bytes(std::string(row.post_bytes));
        web_fetch(client, Text("http://a.b/"),
                  {.method_index = row.method_index,
                   .post_text = row.post_text ? &post_text : nullptr,
                   .post_bytes = &post_bytes});

        EXPECT_EQ(client.calls_of("open_request")[0].text(0), row.verb);
        const RecordedCall send = client.calls_of("send_request")[0];
        if (row.body_sent) {
            ASSERT_TRUE(send.bytes.has_value());
            EXPECT_EQ(*send.bytes, row.body_sent);
            EXPECT_EQ(send.numbers[1], std::strlen(row.body_sent));
        } else {
            EXPECT_FALSE(send.bytes.has_value());
            EXPECT_EQ(send.numbers[1], 0u);
        }
        EXPECT_EQ(post_bytes.bytes(), row.post_bytes_after);
        const std::string block = send.text(0);
        EXPECT_EQ(block.find("Content-Type: application/x-www-form-urlencoded") != std::string::npos,
                  row.content_type_line);
    }
}

TEST(WebFetchTest, HeaderBlockAndAgent) {
    struct Row {
        const char* name;
        const char* extra_headers;
        std::optional<bool> default_headers;
        std::optional<bool> normalize_names;
        const char* agent;
        const char* block;
    };
    const Row rows[] = {
        {"names_normalised_agent_taken", "user-agent: Foo/2\r\nx-a: 1", std::nullopt, std::nullopt, "Foo/2",
         "User-Agent: Foo/2\r\nX-A: 1\r\nAccept: */*\r\nReferer: http://a.b/\r\nAccept-Language: zh-cn"},
        // Not normalised, the small-letter line is read with header_value of the whole block.
        {"raw_block_as_given", "user-agent: Foo/2\r\nx-a: 1", false, false, "Foo/2\r\nx-a: 1",
         "user-agent: Foo/2\r\nx-a: 1"},
        {"caller_defaults_kept", "Accept: text/html\r\nReferer: r", std::nullopt, std::nullopt, kDefaultUserAgent,
         "Accept: text/html\r\nReferer: r\r\nAccept-Language: zh-cn"},
        {"trailing_crlf_kept_when_not_normalised", "X: 1\r\n", std::nullopt, false, kDefaultUserAgent,
         "X: 1\r\n\r\nAccept: */*\r\nReferer: http://a.b/\r\nAccept-Language: zh-cn"},
        {"no_headers_at_all", nullptr, false, std::nullopt, kDefaultUserAgent, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingHttpClient client;
        Text extra = row.extra_headers ? Text(row.extra_headers) : Text();
        web_fetch(client, Text("http://a.b/"),
                  {.extra_headers = row.extra_headers ? &extra : nullptr,
                   .default_headers = row.default_headers,
                   .normalize_names = row.normalize_names});
        EXPECT_EQ(client.calls_of("open")[0].text(0), row.agent);
        const RecordedCall send = client.calls_of("send_request")[0];
        EXPECT_EQ(send.text(0) == "<null>" ? "" : send.text(0), row.block);
        EXPECT_EQ(send.numbers[0], std::strlen(row.block));
    }
}

TEST(WebFetchTest, LineBreaksOfTheUrlCannotStartHeaderLinesInTheReferer) {
    RecordingHttpClient client;
    web_fetch(client, Text("http://a.b/x\r\nX-Forged: 1\xD6\r\n"));
    EXPECT_EQ(client.calls_of("send_request")[0].text(0),
              "Accept: */*\r\nReferer: http://a.b/x%0D%0AX-Forged: 1\xD6%0D%0A\r\nAccept-Language: zh-cn");
    // The object name goes to the client as it is; the client encodes it on the wire.
    EXPECT_EQ(client.calls_of("open_request")[0].text(1), "/x\r\nX-Forged: 1\xD6\r\n");
}

TEST(WebFetchTest, ProxyForms) {
    struct Row {
        const char* name;
        const char* url;
        const char* proxy;
        uint32_t access;
        const char* list;
        const char* bypass;
    };
    const Row rows[] = {
        {"https_every_scheme", "https://a.b/", "p:8080", kInternetOpenTypeProxy, "p:8080", ""},
        {"http_only_http", "http://a.b/", "p:8080", kInternetOpenTypeProxy, "http=p:8080", ""},
        {"empty_is_direct", "http://a.b/", "", kInternetOpenTypeDirect, "<null>", "<null>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingHttpClient client;
        Text proxy(row.proxy);
        web_fetch(client, Text(row.url), {.proxy_server = &proxy});
        const RecordedCall open = client.calls_of("open")[0];
        EXPECT_EQ(open.numbers[0], row.access);
        EXPECT_EQ(open.text(1), row.list);
        EXPECT_EQ(open.text(2), row.bypass);
    }
}

TEST(WebFetchTest, NoRedirectFlag) {
    RecordingHttpClient client;
    web_fetch(client, Text("https://a.b/"), {.no_redirect = true});
    EXPECT_EQ(client.calls_of("open_request")[0].numbers[0], 0x80800010u | kFlagNoAutoRedirect);
}

TEST(WebFetchTest, SetCookieLinesAreCollectedByTheirExactLetterCase) {
    RecordingHttpClient client;
    client.response.raw_headers =
        "HTTP/1.1 200 OK\r\n"
        "Set-Cookie: a=1; path=/; HttpOnly\r\n"
        "set-cookie: c=3\r\n"
        "Set-Cookie:d=4\r\n"
        "SET-COOKIE: e=5\r\n"
        "X-Note: Set-Cookie: z=9\r\n"
        "Set-Cookie: b=2\r\n"
        "Set-Cookie:  set-cookie:f=6  \r\n"
        "Set-Cookie: a=1\r\n"
        "\r\n";
    Text cookies("stale"), headers;
    web_fetch(client, Text("http://a.b/"), {.out_cookies = &cookies, .out_headers = &headers});
    EXPECT_EQ(cookies.bytes(), "a=1; b=2; f=6; a=1");  // left out send_cookies: no merge, repeats stay
    EXPECT_EQ(headers.bytes(), client.response.raw_headers);
}

TEST(WebFetchTest, SentCookies) {
    const std::string set = "HTTP/1.1 200 OK\r\nSet-Cookie: b=3; path=/\r\nSet-Cookie: c=4\r\nSet-Cookie: c=4\r\n\r\n";
    struct Row {
        const char* name;
        const char* sent;
        std::optional<bool> merge;
        const char* cookie_line;  // nullptr: none
        const char* out_cookies;
        const char* sent_after;
    };
    const Row rows[] = {
        {"merged", "a=1; b=2", std::nullopt, "Cookie: a=1; b=2", "b=3; c=4; a=1", "b=3; c=4; a=1"},
        {"provided_empty", "", std::nullopt, nullptr, "b=3; c=4", "b=3; c=4"},
        {"merge_off", "a=1", false, "Cookie: a=1", "b=3; c=4; c=4", "a=1"},
        {"whole_cookie_line", "Cookie: a=1", false, "Cookie: a=1", "b=3; c=4; c=4", "Cookie: a=1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingHttpClient client;
        client.response.raw_headers = set;
        Text sent(row.sent), out;
        web_fetch(client, Text("http://a.b/"),
                  {.send_cookies = &sent, .out_cookies = &out, .merge_sent_cookies = row.merge});
        EXPECT_EQ(client.calls_of("open_request")[0].numbers[0], 0x80004010u | kFlagNoCookies);
        std::string block = client.calls_of("send_request")[0].text(0);
        if (row.cookie_line) {
            EXPECT_EQ(block.substr(block.rfind("\r\n") + 2), row.cookie_line);
        } else {
            EXPECT_EQ(block.find("Cookie"), std::string::npos);
        }
        EXPECT_EQ(out.bytes(), row.out_cookies);
        EXPECT_EQ(sent.bytes(), row.sent_after);
    }
}

TEST(WebFetchTest, FailedHeaderQueryLeavesBlanksAndCollectsNothing) {
    RecordingHttpClient client;
    client.response.fail_send = true;
    Text headers, out, sent("a=1; b=2;");
    ByteSet body = web_fetch(client, Text("http://unreachable.test/"),
                             {.send_cookies = &sent, .out_cookies = &out, .out_headers = &headers});
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(headers.bytes(), std::string(5000, ' '));
    EXPECT_EQ(out.bytes(), "a=1; b=2");
    EXPECT_EQ(sent.bytes(), "a=1; b=2");
    EXPECT_EQ(client.open_handles(), 0u);
}

TEST(WebFetchTest, HeadersLargerThanTheFirstBufferAreQueriedAgain) {
    RecordingHttpClient client;
    client.response.raw_headers =
        "HTTP/1.1 200 OK\r\nX-Pad: " + std::string(6000, 'p') + "\r\nSet-Cookie: late=1; path=/\r\n\r\n";
    Text headers, cookies;
    web_fetch(client, Text("http://a.b/"), {.out_cookies = &cookies, .out_headers = &headers});
    EXPECT_EQ(headers.bytes(), client.response.raw_headers);
    EXPECT_EQ(cookies.bytes(), "late=1");
    auto queries = client.calls_of("query_info");
    std::erase_if(queries, [](const RecordedCall& c) { return c.numbers[0] != kQueryRawHeadersCrlf; });
    ASSERT_EQ(queries.size(), 2u);
    EXPECT_EQ(queries[0].numbers[1], 5000u);
    EXPECT_EQ(queries[1].numbers[1], client.response.raw_headers.size() + 1);
}

TEST(WebFetchTest, EarlyFailuresCloseWhatWasOpenedAndWriteNothing) {
    struct Row {
        const char* name;
        bool fail_open, fail_connect, fail_request;
        std::vector<std::string> sequence;
    };
    const Row rows[] = {
        {"open", true, false, false, {"open"}},
        {"connect", false, true, false, {"open", "connect", "close"}},
        {"request", false, false, true, {"open", "connect", "open_request", "close", "close"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingHttpClient client;
        client.response.fail_open = row.fail_open;
        client.response.fail_connect = row.fail_connect;
        client.response.fail_open_request = row.fail_request;
        client.response.body = "never";
        Text post_text("a=1"), sent("s=1"), out("out"), headers("headers");
        ByteSet post_bytes;
        ByteSet body = web_fetch(client, Text("https://a.b/"),
                                 {.method_index = 1,
                                  .post_text = &post_text,
                                  .send_cookies = &sent,
                                  .out_cookies = &out,
                                  .out_headers = &headers,
                                  .post_bytes = &post_bytes});
        EXPECT_TRUE(body.empty());
        EXPECT_EQ(client.call_sequence(), row.sequence);
        EXPECT_EQ(client.open_handles(), 0u);
        if (row.fail_request) {
            const auto closes = client.calls_of("close");
            EXPECT_EQ(closes[0].handle, client.calls_of("connect")[0].result);
            EXPECT_EQ(closes[1].handle, client.calls_of("open")[0].result);
        }
        EXPECT_TRUE(post_bytes.empty());
        EXPECT_EQ(sent.bytes(), "s=1");
        EXPECT_EQ(out.bytes(), "out");
        EXPECT_EQ(headers.bytes(), "headers");
    }
}

TEST(WebFetchTest, AnnouncedLengthSizesTheBufferButNotTheBody) {
    struct Row {
        const char* name;
        uint32_t announced;
    };
    const Row rows[] = {{"exact", 3000}, {"too_small", 10}, {"too_large", 1u << 30}, {"zero", 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingHttpClient client;
        client.response.body = std::string(3000, 'x');
        client.response.content_length = row.announced;
        EXPECT_EQ(web_fetch(client, Text("http://a.b/")).bytes(), client.response.body);
    }
}

TEST(WebFetchTest, ResponseWithoutBody) {
    RecordingHttpClient client;
    client.response.raw_headers = "HTTP/1.1 204 No Content\r\nSet-Cookie: n=1\r\n\r\n";
    Text headers, cookies;
    ByteSet body = web_fetch(client, Text("http://a.b/"), {.out_cookies = &cookies, .out_headers = &headers});
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(headers.bytes(), client.response.raw_headers);
    EXPECT_EQ(cookies.bytes(), "n=1");
}

}  // namespace
