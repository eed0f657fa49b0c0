// xunpan-cli end to end: the real program (with its connections sent to a local HTTPS server that plays the
// marketplace and the image host), its output in each format, its exit status and the requests it made.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/fixtures/test_server.h"

namespace {

// tests/windows builds this test a second time to drive the Windows driver under Wine. WinINet names the
// server it really connects to in the TLS handshake, so there a mapped connection names the local server.
#ifdef XP_CLI_DRIVER_WININET
constexpr bool kTlsNamesTheMappedHost = false;
#else
constexpr bool kTlsNamesTheMappedHost = true;
#endif
#ifdef XP_CLI_DRIVER_WININET
constexpr bool kOnPseudoTerminal = false;  // Wine's console under a pseudo-terminal is a story of its own
#else
constexpr bool kOnPseudoTerminal = true;
#endif

const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + std::string("\0\0\0\rIHDR-not-a-real-image", 23);

std::string read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

class CliEndToEnd : public testing::Test {
protected:
    void SetUp() override {
        server_.on("/detail/compareProducts.html?ids=1600123456789&pids=",
                   TestResponse{.body = read_file(std::string(XP_FIXTURES) + "/pages/compare_ok.html")});
        server_.on("/detail/compareProducts.html?ids=2&pids=", TestResponse{.body = "<html>no such product</html>"});
        server_.on("/detail/compareProducts.html?ids=3&pids=",
                   TestResponse{.body = "<html><div id=\"nc_1_n1z\">slide to verify (captcha)</div></html>"});
        server_.on("/detail/compareProducts.html?ids=4&pids=", TestResponse{.status = 204, .reason = "No Content"});
        server_.on("/kf/H1234abcd/flask.png_350x350.png", TestResponse{.body = kPng});
        plain_.on("/", TestResponse{.status = 404, .reason = "Not Found"});
        dir_ = std::filesystem::temp_directory_path() / ("xunpan-cli-e2e-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // The driver's connections for the marketplace and the image host go to the local HTTPS server; a page
    // without an image URL makes the image request for "https:" alone: the host "https", port 80.
    std::string connect_to_env() const {
        const std::string port = std::to_string(server_.port());
        return "XP_TEST_CONNECT_TO='www.alibaba.com:443:127.0.0.1:" + port +
               ",img.example-cdn.com:443:127.0.0.1:" + port + ",https:80:127.0.0.1:" + std::to_string(plain_.port()) +
               "'";
    }

    // Runs the driver with `args`, standard input from `input`.
    CliRun run(const std::string& args, const std::string& input = "") {
        const std::string in = (dir_ / "stdin").string(), out = (dir_ / "stdout").string(),
                          err = (dir_ / "stderr").string();
        std::ofstream(in, std::ios::binary) << input;
        const std::string cmd =
            connect_to_env() + " '" XP_CLI_DRIVER "' " + args + " <'" + in + "' >'" + out + "' 2>'" + err + "'";
        CliRun r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = read_file(out);
        r.err = read_file(err);
        return r;
    }

    TestServer server_{TestServer::Scheme::kHttps};
    TestServer plain_{TestServer::Scheme::kHttp};
    std::filesystem::path dir_;
};

TEST_F(CliEndToEnd, JsonRecordsAndTheRequestsMade) {
    CliRun r = run("--format json --delay 0 1600123456789 2");
    EXPECT_EQ(r.status, 1) << r.err;  // the second ID has no data
    EXPECT_EQ(
        r.out,
        "{\"id\":\"1600123456789\",\"status\":\"ok\",\"inquiries\":\"1,234+\",\"viewers\":\"5,678\","
        "\"image_url\":\"https://img.example-cdn.com/kf/H1234abcd/flask.png_350x350.png\","
        "\"detail_url\":\"https://www.alibaba.com/product-detail/Stainless-Steel-Vacuum-Flask_1600123456789.html\","
        "\"inquiries_count\":1234,\"viewers_count\":5678,\"image_bytes\":31,\"image_type\":\"png\"}\n"
        "{\"id\":\"2\",\"status\":\"no data\",\"inquiries\":\"\",\"viewers\":\"\",\"image_url\":\"\","
        "\"detail_url\":\"\",\"inquiries_count\":null,\"viewers_count\":null,\"image_bytes\":0,"
        "\"image_type\":\"\"}\n");

    auto requests = server_.requests();
    ASSERT_GE(requests.size(), 2u);
    const TestRequest& page = requests[0];
    EXPECT_EQ(page.method, "GET");
    EXPECT_EQ(page.target, "/detail/compareProducts.html?ids=1600123456789&pids=");
    EXPECT_EQ(page.header("Host"), "www.alibaba.com");
    if (kTlsNamesTheMappedHost) {
        EXPECT_EQ(page.server_name, "www.alibaba.com");
    }
    EXPECT_EQ(page.header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    EXPECT_EQ(page.header("Accept"), "*/*");
    EXPECT_EQ(page.header("Referer"), "https://www.alibaba.com/detail/compareProducts.html?ids=1600123456789&pids=");
    EXPECT_EQ(page.header("Accept-Language"), "zh-cn");
    EXPECT_EQ(requests[1].header("Host"), "img.example-cdn.com");
    EXPECT_EQ(requests[1].target, "/kf/H1234abcd/flask.png_350x350.png");
    // The second ID's page has no image URL: its image request goes to "https:" alone, as the window's does.
    ASSERT_EQ(plain_.requests().size(), 1u);
    EXPECT_EQ(plain_.requests()[0].target, "/");
}

TEST_F(CliEndToEnd, CsvFromStandardInputWithImagesSaved) {
    const std::string images = (dir_ / "images").string();
    CliRun r = run("--format csv --delay 0 --images '" + images + "'", "# my products\n1600123456789\n\n4\n");
    EXPECT_EQ(r.status, 1) << r.err;  // 4 answers with an empty body
    EXPECT_EQ(
        r.out,
        "\xEF\xBB\xBFid,status,inquiries,viewers,image_url,detail_url,inquiries_count,viewers_count,"
        "image_bytes,image_type\r\n"
        "1600123456789,ok,\"1,234+\",\"5,678\",https://img.example-cdn.com/kf/H1234abcd/flask.png_350x350.png,"
        "https://www.alibaba.com/product-detail/Stainless-Steel-Vacuum-Flask_1600123456789.html,1234,5678,31,png\r\n"
        "4,no response,,,,,,,0,\r\n");
    EXPECT_EQ(read_file(images + "/1600123456789.png"), kPng);
    EXPECT_FALSE(std::filesystem::exists(images + "/4.png"));
}

TEST_F(CliEndToEnd, BlockedPageNamesTheUrlToOpen) {
    CliRun r = run("--delay 0 3");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("https://www.alibaba.com/detail/compareProducts.html?ids=3&pids="), std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("blocked"), std::string::npos) << r.out;
}

TEST_F(CliEndToEnd, TableAndExitStatusWhenAllOk) {
    CliRun r = run("1600123456789");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("ID             STATUS"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1,234+"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");
}

TEST_F(CliEndToEnd, UsageErrorsExitWithTwoAndMakeNoRequest) {
    for (const char* args : {"--delay soon 1", "--format xml 1", "--images /dev/null/x 1", "--bogus"}) {
        SCOPED_TRACE(args);
        CliRun r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.substr(0, 12), "xunpan-cli: ");
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_TRUE(server_.requests().empty());
}

TEST_F(CliEndToEnd, NonDigitIdIsWarnedAboutAndLookedUpAsGiven) {
    CliRun r = run("--format json --delay 0 ab");
    EXPECT_NE(r.err.find("warning: ID 'ab' is not all digits"), std::string::npos) << r.err;
    ASSERT_FALSE(server_.requests().empty());
    EXPECT_EQ(server_.requests()[0].target, "/detail/compareProducts.html?ids=ab&pids=");
}

TEST_F(CliEndToEnd, ProgressLineOnATerminalOnly) {
    if (!kOnPseudoTerminal) GTEST_SKIP() << "needs a pseudo-terminal";
    // script(1) runs the tool on a pseudo-terminal, so standard error is a terminal and shows the progress.
    const std::string out = (dir_ / "pty").string();
    const std::string cmd = "script -qec \"" + connect_to_env() +
                            " '" XP_CLI_DRIVER "' --format json --delay 0 1600123456789 2\" /dev/null >'" + out +
                            "' 2>&1";
    ASSERT_NE(std::system(cmd.c_str()), -1);
    const std::string shown = read_file(out);
    EXPECT_NE(shown.find("[1/2] 1600123456789"), std::string::npos) << shown;
    EXPECT_NE(shown.find("[2/2] 2"), std::string::npos) << shown;
    // Without a terminal standard error carries no progress line.
    CliRun plain = run("--format json --delay 0 1600123456789 2");
    EXPECT_EQ(plain.err.find("[1/2]"), std::string::npos) << plain.err;
}

}  // namespace
