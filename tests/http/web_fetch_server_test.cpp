// web_fetch and the platform's client backend against real servers on 127.0.0.1, over HTTP and HTTPS.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "http/client.h"
#include "http/client_testing.h"
#include "http/web_fetch.h"
#include "tests/fixtures/test_server.h"

namespace {

// The suite also runs on Windows, through WinINet under Wine (tests/windows/run). Where that client
// legitimately behaves otherwise, the expectation says so at the place it matters.
#ifdef _WIN32
constexpr bool kWinInet = true;
#else
constexpr bool kWinInet = false;
#endif

TestServer* g_http = nullptr;
TestServer* g_https = nullptr;

class ServerEnvironment : public testing::Environment {
public:
    void SetUp() override {
        http_ = std::make_unique<TestServer>(TestServer::Scheme::kHttp);
        https_ = std::make_unique<TestServer>(TestServer::Scheme::kHttps);
        g_http = http_.get();
        g_https = https_.get();
        // A server that never answers is given up on after 2 s here instead of 30.
        http_testing_set_timeouts(5, 2);
    }
    void TearDown() override {
        g_http = g_https = nullptr;
        https_.reset();
        http_.reset();
    }

private:
    std::unique_ptr<TestServer> http_, https_;
};

[[maybe_unused]] testing::Environment* const g_environment =
    testing::AddGlobalTestEnvironment(new ServerEnvironment);

std::string first_line(const Text& headers) {
    return headers.bytes().substr(0, headers.bytes().find("\r\n"));
}

uint16_t closed_port() { return test_closed_port(); }

// What a header query leaves when no response came: nothing, or on Wine's WinINet an empty header block.
void expect_no_response_headers(const std::string& headers) {
    if (kWinInet && headers == "\r\n") return;
    EXPECT_EQ(headers, std::string(5000, ' '));
}

class BothSchemes : public testing::TestWithParam<TestServer::Scheme> {
protected:
    TestServer& server() { return GetParam() == TestServer::Scheme::kHttps ? *g_https : *g_http; }
    void SetUp() override { server().clear_requests(); }
};

INSTANTIATE_TEST_SUITE_P(Http, BothSchemes, testing::Values(TestServer::Scheme::kHttp, TestServer::Scheme::kHttps),
                         [](const auto& info) {
                             return info.param == TestServer::Scheme::kHttps ? std::string("Https")
                                                                             : std::string("Http");
                         });

TEST_P(BothSchemes, GetSendsTheDefaultRequestAndReturnsTheWholeBody) {
    std::string body;
    for (int i = 0; i < 300000; ++i) body += static_cast<char>(i * 7 % 256);  // zeros included
    server().on("/detail/page.html", TestResponse{.body = body, .headers = {{"X-Test", "1"}}});
    const std::string url = server().url("/detail/page.html?ids=5&pids=");

    Text headers;
    ByteSet got = web_fetch(Text(url), {.out_headers = &headers});

    EXPECT_EQ(got.bytes(), body);
    EXPECT_EQ(first_line(headers), "HTTP/1.1 200 OK");
    EXPECT_NE(headers.bytes().find("\r\nX-Test: 1\r\n"), std::string::npos);
    EXPECT_EQ(headers.bytes().substr(headers.bytes().size() - 4), "\r\n\r\n");

    const TestRequest r = server().last_request();
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.target, "/detail/page.html?ids=5&pids=");
    EXPECT_EQ(r.version, "HTTP/1.1");
    EXPECT_EQ(r.header("Host"), "127.0.0.1:" + std::to_string(server().port()));
    EXPECT_EQ(r.header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    EXPECT_EQ(r.header("Accept"), "*/*");
    EXPECT_EQ(r.header("Referer"), url);
    EXPECT_EQ(r.header("Accept-Language"), "zh-cn");
    EXPECT_EQ(r.header_count("Accept"), 1u);
    EXPECT_EQ(r.header_count("Cookie"), 0u);
    EXPECT_EQ(r.header_count("Content-Type"), 0u);
    EXPECT_TRUE(r.body.empty());
}

TEST_P(BothSchemes, PostPutAndHead) {
    server().on("/echo", [](const TestRequest& r) {
        return TestResponse{.body = r.method + ":" + r.body, .headers = {{"X-Method", r.method}}};
    });
    const Text url(server().url("/echo"));

    Text form("a=1&b=%E4");
    ByteSet post_bytes;
    EXPECT_EQ(web_fetch(url, {.method_index = 1, .post_text = &form, .post_bytes = &post_bytes}).bytes(),
              "POST:a=1&b=%E4");
    EXPECT_EQ(post_bytes.bytes(), "a=1&b=%E4");
    TestRequest post = server().last_request();
    EXPECT_EQ(post.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(post.header("Content-Length"), "9");
    EXPECT_EQ(post.header_count("Expect"), 0u);

    ByteSet binary(std::string("\x00\x01\xFF", 3));
    EXPECT_EQ(web_fetch(url, {.method_index = 3, .post_bytes = &binary}).bytes(), std::string("PUT:\x00\x01\xFF", 7));
    EXPECT_EQ(server().last_request().header_count("Content-Type"), 0u);

    Text headers;
    EXPECT_TRUE(web_fetch(url, {.method_index = 2, .out_headers = &headers}).empty());
    EXPECT_EQ(server().last_request().method, "HEAD");
    EXPECT_NE(headers.bytes().find("X-Method: HEAD"), std::string::npos);

    EXPECT_EQ(web_fetch(url, {.method_index = 5}).bytes(), "DELETE:");
}

TEST_P(BothSchemes, ErrorStatusBodyIsReturned) {
    Text headers;
    ByteSet got = web_fetch(Text(server().url("/missing")), {.out_headers = &headers});
    EXPECT_EQ(got.bytes(), "no such page");
    EXPECT_EQ(first_line(headers), "HTTP/1.1 404 Not Found");
}

TEST_P(BothSchemes, RedirectsFollowedOrReturned) {
    server().on("/old", TestResponse::redirect(302, "/new"));
    server().on("/new", TestResponse{.body = "new page"});
    const Text url(server().url("/old"));

    Text headers;
    EXPECT_EQ(web_fetch(url, {.out_headers = &headers}).bytes(), "new page");
    EXPECT_EQ(first_line(headers), "HTTP/1.1 200 OK");
    EXPECT_EQ(server().last_request().target, "/new");

    server().clear_requests();
    ByteSet got = web_fetch(url, {.out_headers = &headers, .no_redirect = true});
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(first_line(headers), "HTTP/1.1 302 Redirect");
    EXPECT_NE(headers.bytes().find("Location: /new"), std::string::npos);
    EXPECT_EQ(server().requests().size(), 1u);
}

TEST_P(BothSchemes, CookiesOfTheResponseAreCollectedAndMerged) {
    server().on("/cookies/set", TestResponse{.body = "ok",
                                             .headers = {{"Set-Cookie", "a=1; Path=/cookies; HttpOnly"},
                                                         {"Set-Cookie", "b=2"},
                                                         {"set-cookie", "ignored=1"},
                                                         {"Set-Cookie", "gone=deleted"}}});
    Text sent("gone=0; c=3"), out;
    web_fetch(Text(server().url("/cookies/set")), {.send_cookies = &sent, .out_cookies = &out});
    EXPECT_EQ(server().last_request().header("Cookie"), "gone=0; c=3");
    EXPECT_EQ(out.bytes(), "a=1; b=2; c=3");
    EXPECT_EQ(sent.bytes(), "a=1; b=2; c=3");
}

TEST_P(BothSchemes, HeadersLargerThan5000BytesArriveWhole) {
    const std::string big(7000, 'h');
    const std::string part(1400, 'p');
    server().on("/big", TestResponse{.body = "b",
                                     .headers = {{"X-Big", big},
                                                 {"X-Part-1", part},
                                                 {"X-Part-2", part},
                                                 {"X-Part-3", part},
                                                 {"X-Part-4", part},
                                                 {"Set-Cookie", "late=1; Path=/big"}}});
    Text headers, cookies, sent;
    ByteSet got = web_fetch(Text(server().url("/big")), {.send_cookies = &sent, .out_cookies = &cookies,
                                                         .out_headers = &headers});
    EXPECT_EQ(got.bytes(), "b");
    // Wine's WinINet drops a single header line longer than its line buffer; lines of ordinary length
    // that add up to more than 5000 bytes arrive from both clients.
    if (!kWinInet) {
        EXPECT_NE(headers.bytes().find("X-Big: " + big + "\r\n"), std::string::npos);
    }
    EXPECT_NE(headers.bytes().find("X-Part-4: " + part + "\r\n"), std::string::npos);
    EXPECT_GT(headers.bytes().size(), 5000u);
    EXPECT_EQ(cookies.bytes(), "late=1");
}

TEST_P(BothSchemes, BytesThatCannotStandInATargetArriveEncoded) {
    std::string url = server().url("/a b\r\nX-Injected: 1\x7F?q=\xD6\xD0&r=%41");
    web_fetch(Text(url));
    const TestRequest r = server().last_request();
    EXPECT_EQ(r.target, "/a%20b%0D%0AX-Injected:%201%7F?q=%D6%D0&r=%41");
    EXPECT_EQ(r.header_count("X-Injected"), 0u);
    EXPECT_EQ(r.header("Referer"), server().url("/a b%0D%0AX-Injected: 1\x7F?q=\xD6\xD0&r=%41"));
}

TEST_P(BothSchemes, CallerHeaderLinesCannotSplitTheRequest) {
    server().on("/h", TestResponse{.body = "h"});
    Text extra("X-One: 1\nX-Two: 2\rX-Three: 3\r\nUser-Agent: Agent/1\r\nX-Empty:");
    web_fetch(Text(server().url("/h")), {.extra_headers = &extra});
    const TestRequest r = server().last_request();
    EXPECT_EQ(r.header("X-One"), "1");
    EXPECT_EQ(r.header("X-Two"), "2");
    EXPECT_EQ(r.header("X-Three"), "3");
    EXPECT_EQ(r.header("User-Agent"), "Agent/1");
    EXPECT_EQ(r.header_count("User-Agent"), 1u);
    EXPECT_EQ(r.header_count("X-Empty"), 1u);
}

TEST(WebFetchServerTest, RedirectsCrossBetweenHttpAndHttps) {
    g_http->on("/to-https", TestResponse::redirect(301, g_https->url("/to-http")));
    g_https->on("/to-http", TestResponse::redirect(302, g_http->url("/landed")));
    g_http->on("/landed", TestResponse{.body = "landed"});
    Text headers;
    EXPECT_EQ(web_fetch(Text(g_http->url("/to-https")), {.out_headers = &headers}).bytes(), "landed");
    EXPECT_EQ(first_line(headers), "HTTP/1.1 200 OK");
    EXPECT_EQ(g_https->last_request().target, "/to-http");
}

TEST(WebFetchServerTest, ProcessCookieStoreServesCallsWithoutSendCookies) {
    g_http->on("/store/set", TestResponse{.body = "set", .headers = {{"Set-Cookie", "kept=1; Path=/store"}}});
    g_http->on("/store/check", TestResponse{.body = "check"});
    const Text check(g_http->url("/store/check"));

    web_fetch(Text(g_http->url("/store/set")));
    web_fetch(check);
    EXPECT_EQ(g_http->last_request().header("Cookie"), "kept=1");

    // Provided cookies switch the store off for that request: only the caller's cookies go out.
    Text none = Text::present_empty();
    web_fetch(check, {.send_cookies = &none});
    EXPECT_EQ(g_http->last_request().header_count("Cookie"), 0u);
    Text own("own=2");
    web_fetch(check, {.send_cookies = &own});
    EXPECT_EQ(g_http->last_request().header("Cookie"), "own=2");

    // And such a request does not feed the store either.
    g_http->on("/store/other", TestResponse{.headers = {{"Set-Cookie", "private=1; Path=/store"}}});
    Text mine = Text::present_empty();
    web_fetch(Text(g_http->url("/store/other")), {.send_cookies = &mine});
    web_fetch(check);
    EXPECT_EQ(g_http->last_request().header("Cookie"), "kept=1");
}

TEST(WebFetchServerTest, TransportFailuresGiveTheEmptyBody) {
    struct Row {
        const char* name;
        std::string url;
    };
    const Row rows[] = {
        // An empty label makes the resolver give up on the name at once, so no query leaves the machine.
        {"unknown_host", "http://no..such-host/x"},
        {"refused", "http://127.0.0.1:" + std::to_string(closed_port()) + "/x"},
        {"refused_https", "https://127.0.0.1:" + std::to_string(closed_port()) + "/x"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Text headers, cookies, sent("s=1");
        ByteSet got = web_fetch(Text(row.url), {.send_cookies = &sent, .out_cookies = &cookies,
                                                .out_headers = &headers});
        EXPECT_TRUE(got.empty());
        expect_no_response_headers(headers.bytes());
        EXPECT_EQ(cookies.bytes(), "s=1");
    }
    // Without a host there is nothing to connect to: the request is not set up and nothing is written.
    Text headers("untouched");
    EXPECT_TRUE(web_fetch(Text("//x/y"), {.out_headers = &headers}).empty());
    EXPECT_EQ(headers.bytes(), "untouched");
}

TEST(WebFetchServerTest, ServerThatNeverAnswersIsGivenUp) {
    g_http->on("/silent", TestResponse{.never_answer = true});
    g_http->clear_requests();
    Text headers;
    ByteSet got = web_fetch(Text(g_http->url("/silent")), {.out_headers = &headers});
    EXPECT_TRUE(got.empty());
    expect_no_response_headers(headers.bytes());
    EXPECT_EQ(g_http->requests().size(), 1u);
}

TEST(WebFetchServerTest, BodyThatStallsHalfwayEndsWithWhatArrived) {
    // The headers promise ten bytes, four come, then silence on an open connection.
    g_http->on("/stall", TestResponse{.raw = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nfour", .hold_open = true});
    Text headers;
    ByteSet got = web_fetch(Text(g_http->url("/stall")), {.out_headers = &headers});
    // WinINet's blocking read waits for the whole 1024-byte chunk or the end of the data, so when the time
    // runs out the four bytes it holds are not handed over.
    EXPECT_EQ(got.bytes(), kWinInet ? "" : "four");
    EXPECT_EQ(first_line(headers), "HTTP/1.1 200 OK");
}

TEST(WebFetchServerTest, ConnectionRedirectKeepsTheHostName) {
    http_testing_connect_to("www.example.test", 443, "127.0.0.1", g_https->port());
    g_https->on("/mapped", TestResponse{.body = "mapped"});
    ByteSet got = web_fetch(Text("https://www.example.test/mapped"));
    http_testing_clear_connect_to();
    EXPECT_EQ(got.bytes(), "mapped");
    EXPECT_EQ(g_https->last_request().header("Host"), "www.example.test");
    // WinINet names the server it really connects to in the TLS handshake.
    EXPECT_EQ(g_https->last_request().server_name, kWinInet ? "127.0.0.1" : "www.example.test");
}

TEST(WebFetchServerTest, PlainHttpGoesThroughTheProxy) {
    // WinINet writes the default port into the target it sends to a proxy.
    const std::string target = kWinInet ? "http://origin.test:80/via" : "http://origin.test/via";
    g_http->on(target, TestResponse{.body = "proxied"});
    Text proxy("127.0.0.1:" + std::to_string(g_http->port()));
    EXPECT_EQ(web_fetch(Text("http://origin.test/via"), {.proxy_server = &proxy}).bytes(), "proxied");
    const TestRequest r = g_http->last_request();
    EXPECT_EQ(r.target, target);
    EXPECT_EQ(r.header("Host"), "origin.test");
}

// The seam directly: what the backend makes of the arguments web_fetch does not vary.
class ClientSeamTest : public testing::Test {
protected:
    struct Result {
        bool sent = false;
        std::string body;
        std::string headers;
    };
    Result fetch(const char* proxy, uint32_t access, const TestServer& server, const char* path, bool set_security) {
        HttpClient& c = http_client();
        HttpHandle net = c.open("seam", access, proxy, proxy ? "" : nullptr, 0);
        HttpHandle conn = c.connect(net, "127.0.0.1", server.port(), nullptr, nullptr, kInternetServiceHttp, 0, 0);
        uint32_t flags = kFlagReload | kFlagNoCookies | (server.origin().starts_with("https") ? kFlagSecure : 0);
        HttpHandle req = c.open_request(conn, "GET", path, "HTTP/1.1", nullptr, nullptr, flags, 0);
        if (set_security) {
            uint32_t value = kSecurityFlagsIgnoreAll;
            c.set_option(req, kOptionSecurityFlags, &value, 4);
        }
        Result r;
        r.sent = c.send_request(req, nullptr, 0, nullptr, 0);
        char buffer[1024];
        uint32_t n = 0;
        while (c.read(req, buffer, sizeof buffer, &n) && n > 0) r.body.append(buffer, n);
        char headers[4096] = {};
        uint32_t length = sizeof headers;
        if (c.query_info(req, kQueryRawHeadersCrlf, headers, &length, nullptr)) r.headers.assign(headers, length);
        EXPECT_TRUE(c.close(req));
        EXPECT_TRUE(c.close(conn));
        EXPECT_TRUE(c.close(net));
        EXPECT_FALSE(c.close(req));  // a closed handle is refused
        return r;
    }
};

TEST_F(ClientSeamTest, CertificateErrorsAreIgnoredOnlyWhenAsked) {
    g_https->on("/cert", TestResponse{.body = "trusted"});
    Result strict = fetch(nullptr, kInternetOpenTypeDirect, *g_https, "/cert", false);
    EXPECT_FALSE(strict.sent);
    EXPECT_TRUE(strict.body.empty());
    EXPECT_TRUE(strict.headers.empty() || (kWinInet && strict.headers == "\r\n"));
    Result relaxed = fetch(nullptr, kInternetOpenTypeDirect, *g_https, "/cert", true);
    EXPECT_TRUE(relaxed.sent);
    EXPECT_EQ(relaxed.body, "trusted");
}

TEST_F(ClientSeamTest, ProxyListForPlainHttpLeavesHttpsDirect) {
    // web_fetch never gives an HTTPS request a proxy list; Wine's WinINet would send it to the http= proxy.
    if (kWinInet) GTEST_SKIP() << "Wine's WinINet uses an http= proxy for HTTPS too";
    g_https->on("/direct", TestResponse{.body = "direct"});
    std::string proxy = "http=127.0.0.1:" + std::to_string(closed_port());
    EXPECT_EQ(fetch(proxy.c_str(), kInternetOpenTypeProxy, *g_https, "/direct", true).body, "direct");
}

TEST_F(ClientSeamTest, UnknownHandlesAndBadNamesAreRefused) {
    HttpClient& c = http_client();
    int not_a_handle = 0;
    EXPECT_EQ(c.connect(&not_a_handle, "a", 80, nullptr, nullptr, kInternetServiceHttp, 0, 0), nullptr);
    HttpHandle net = c.open(nullptr, kInternetOpenTypeDirect, nullptr, nullptr, 0);
    EXPECT_EQ(c.connect(net, nullptr, 80, nullptr, nullptr, kInternetServiceHttp, 0, 0), nullptr);
    HttpHandle conn = c.connect(net, "bad/host", 80, nullptr, nullptr, kInternetServiceHttp, 0, 0);
    HttpHandle req = c.open_request(conn, "GET", "/", "HTTP/1.1", nullptr, nullptr, 0, 0);
    EXPECT_FALSE(c.send_request(req, nullptr, 0, nullptr, 0));
    uint32_t n = 7;
    char buffer[16];
    c.read(req, buffer, sizeof buffer, &n);
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(c.close(req));
    EXPECT_TRUE(c.close(conn));
    EXPECT_TRUE(c.close(net));
}

}  // namespace
