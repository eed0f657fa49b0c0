// The lookup on the real Win32 window, through WinINet, against a local HTTPS marketplace (the servers run
// natively beside Wine): the ID typed into the edit box, a press on the query label, and what the window
// then shows.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "http/client_testing.h"
#include "tests/fixtures/read_fixture.h"
#include "tests/fixtures/test_server.h"
#include "ui/main_window.h"
#include "ui/pictures.h"
#include "ui/toolkit.h"

namespace {

constexpr char kPagePath[] = "/detail/compareProducts.html?ids=1600123456789&pids=";

// A 1 x 1 24-bit BMP of one colour (0xRRGGBB).
std::string bmp_of(uint32_t rgb) {
    std::string b("BM\x3a\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x01\0\0\0\x01\0\0\0\x01\0\x18\0\0\0\0\0\x04\0\0\0"
                  "\x13\x0b\0\0\x13\x0b\0\0\0\0\0\0\0\0\0\0",
                  54);
    b += static_cast<char>(rgb & 0xFF);
    b += static_cast<char>((rgb >> 8) & 0xFF);
    b += static_cast<char>((rgb >> 16) & 0xFF);
    b += '\0';
    return b;
}

HWND control_hwnd(std::string_view name) {
    const WindowDescription& d = main_window_description();
    for (size_t i = 0; i < d.controls.size(); ++i) {
        if (d.controls[i].name != name) continue;
        HWND parent = d.controls[i].parent.empty() ? FindWindowW(L"XunpanMainWindow", nullptr)
                                                   : control_hwnd(d.controls[i].parent);
        return GetDlgItem(parent, static_cast<int>(i) + 1);
    }
    return nullptr;
}

// The colour at the centre of a control as it paints itself, 0xRRGGBB.
uint32_t centre_colour(HWND hwnd) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    HGDIOBJ old = SelectObject(dc, bmp);
    SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    COLORREF c = GetPixel(dc, rc.right / 2, rc.bottom / 2);
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

class LookupWindowWin32 : public testing::Test {
protected:
    void SetUp() override {
        // The marketplace and the image host both live on the local HTTPS server; "https:" alone (the image
        // request of a page without an image URL) is a plain request to the host "https", port 80.
        http_testing_connect_to("www.alibaba.com", 443, "127.0.0.1", secure_.port());
        http_testing_connect_to("img.example-cdn.com", 443, "127.0.0.1", secure_.port());
        http_testing_connect_to("https", 80, "127.0.0.1", plain_.port());
        secure_.on("/kf/H1234abcd/flask.png_350x350.png", TestResponse{.body = bmp_of(0xFF0000)});
        secure_.on("/button.png", TestResponse{.body = std::string(reinterpret_cast<const char*>(kPictureQueryButton),
                                                                   sizeof kPictureQueryButton)});
        ui_startup();
        ui_create_main_window(main_window_description());
        ASSERT_NE(control_hwnd("透明标签196"), nullptr);
    }
    void TearDown() override {
        http_testing_clear_connect_to();
        if (HWND h = FindWindowW(L"XunpanMainWindow", nullptr)) PostMessageW(h, WM_CLOSE, 0, 0);
        ui_run_message_loop();
    }

    // Types the ID into the edit box and presses the query label, as a user would.
    void look_up(const std::wstring& id) {
        HWND edit = control_hwnd("当前ID");
        SetWindowTextW(edit, L"");
        for (wchar_t c : id) SendMessageW(edit, WM_CHAR, c, 0);
        SendMessageW(control_hwnd("透明标签196"), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 12));
        SendMessageW(control_hwnd("透明标签196"), WM_LBUTTONUP, 0, MAKELPARAM(50, 12));
    }

    TestServer secure_{TestServer::Scheme::kHttps};
    TestServer plain_{TestServer::Scheme::kHttp};
};

TEST_F(LookupWindowWin32, APageShapedLikeTheRealOneFillsTheWindow) {
    secure_.on(kPagePath, TestResponse{.body = read_fixture("pages/compare_ok.html")});
    EXPECT_EQ(ui_get_text("透明标签193"), Text("0"));
    look_up(L"1600123456789");

    EXPECT_EQ(ui_get_text("透明标签193"), Text("1,234+"));
    EXPECT_EQ(ui_get_text("透明标签179"), Text("5,678"));
    EXPECT_EQ(ui_get_text("透明标签1"),
              Text("https://www.alibaba.com/product-detail/Stainless-Steel-Vacuum-Flask_1600123456789.html"));
    EXPECT_EQ(centre_colour(control_hwnd("图片框27")), 0xFF0000u);

    const std::vector<TestRequest> requests = secure_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, kPagePath);
    EXPECT_EQ(requests[0].header("Host"), "www.alibaba.com");
    EXPECT_EQ(requests[0].header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    EXPECT_EQ(requests[0].header("Referer"), std::string("https://www.alibaba.com") + kPagePath);
    EXPECT_EQ(requests[1].header("Host"), "img.example-cdn.com");
    EXPECT_TRUE(plain_.requests().empty());
}

TEST_F(LookupWindowWin32, ASecondLookupReplacesEveryValue) {
    secure_.on(kPagePath, TestResponse{.body = read_fixture("pages/compare_ok.html")});
    look_up(L"1600123456789");
    ASSERT_EQ(centre_colour(control_hwnd("图片框27")), 0xFF0000u);

    struct Row {
        const char* name;
        const char* page;
        const char* inquiries;
        const char* viewers;
        const char* link;
        uint32_t picture;
        size_t plain_requests;  // image requests for "https:" alone
    };
    const Row rows[] = {
        {"every field",
         R"({"iquiries":"1","pageViews":"2","imageUrl":"\/\/img.example-cdn.com\/button.png",)"
         R"("productDetailUrl":"\/\/d.example\/p"})",
         "1", "2", "https://d.example/p", 0x41A8FF, 0},
        {"no image and no detail: white box, bare scheme", R"({"iquiries":"3","pageViews":"4"})", "3", "4", "https:",
         0xFFFFFF, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        plain_.clear_requests();
        secure_.on(kPagePath, TestResponse{.body = row.page});
        look_up(L"1600123456789");
        EXPECT_EQ(ui_get_text("透明标签193"), Text(row.inquiries));
        EXPECT_EQ(ui_get_text("透明标签179"), Text(row.viewers));
        EXPECT_EQ(ui_get_text("透明标签1"), Text(row.link));
        EXPECT_EQ(centre_colour(control_hwnd("图片框27")), row.picture);
        EXPECT_EQ(plain_.requests().size(), row.plain_requests);
    }
}

TEST_F(LookupWindowWin32, TheTypedIdGoesIntoTheUrl) {
    look_up(L"12 34");
    const std::vector<TestRequest> requests = secure_.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0].target, "/detail/compareProducts.html?ids=12%2034&pids=");
}

}  // namespace
