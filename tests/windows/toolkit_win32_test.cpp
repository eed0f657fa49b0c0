// The Win32 window toolkit on real windows (under Wine and Xvfb in tests/windows/run): the main window
// built from its description, texts in and out, pictures of every format the boxes take, what transparent
// labels show, presses, and the keys that close the window or do nothing.
//
// Controls are found by their child-window IDs (their 1-based place in the description); pixels are read
// by asking a control to paint into a bitmap of ours (WM_PRINTCLIENT).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/main_window.h"
#include "ui/pictures.h"
#include "ui/toolkit.h"

namespace {

const WindowDescription& desc() { return main_window_description(); }

HWND main_hwnd() { return FindWindowW(L"XunpanMainWindow", nullptr); }

int index_of(const WindowDescription& d, std::string_view name) {
    for (size_t i = 0; i < d.controls.size(); ++i) {
        if (d.controls[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

HWND control_hwnd(const WindowDescription& d, std::string_view name) {
    const int i = index_of(d, name);
    if (i < 0) return nullptr;
    const ControlDescription& c = d.controls[i];
    HWND parent = c.parent.empty() ? main_hwnd() : control_hwnd(d, c.parent);
    return GetDlgItem(parent, i + 1);
}

HWND control_hwnd(std::string_view name) { return control_hwnd(desc(), name); }

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// What a control paints, pixel by pixel, as 0xRRGGBB.
struct Rendering {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
    bool all(uint32_t rgb) const {
        for (uint32_t p : pixels) {
            if ((p & 0xFFFFFF) != rgb) return false;
        }
        return true;
    }
};

Rendering render(HWND hwnd) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    Rendering r{rc.right, rc.bottom, {}};
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = r.width;
    bi.bmiHeader.biHeight = -r.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    r.pixels.assign(p, p + static_cast<size_t>(r.width) * r.height);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bmp);
    return r;
}

// Closes the window the way its close box does and lets the message loop see it out.
void close_main_window() {
    if (HWND h = main_hwnd()) PostMessageW(h, WM_CLOSE, 0, 0);
    ui_run_message_loop();
}

class Win32Window : public testing::Test {
protected:
    void SetUp() override {
        ui_startup();
        ui_create_main_window(desc());
        ASSERT_NE(main_hwnd(), nullptr);
    }
    void TearDown() override {
        close_main_window();
        EXPECT_EQ(main_hwnd(), nullptr);
    }
};

// --- The window and its controls -----------------------------------------------------------------------

TEST_F(Win32Window, FixedFrameCentredWithItsTitle) {
    HWND h = main_hwnd();
    const LONG style = GetWindowLongW(h, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);

    RECT rc{};
    GetWindowRect(h, &rc);
    EXPECT_EQ(rc.right - rc.left, 805);
    EXPECT_EQ(rc.bottom - rc.top, 463);
    EXPECT_EQ(rc.left, (GetSystemMetrics(SM_CXSCREEN) - 805) / 2);
    EXPECT_EQ(rc.top, (GetSystemMetrics(SM_CYSCREEN) - 463) / 2);

    wchar_t title[64] = {};
    GetWindowTextW(h, title, 64);
    EXPECT_EQ(std::wstring(title), L"查询盘数  2021.4   by   VORANT");
    EXPECT_NE(SendMessageW(h, WM_GETICON, ICON_BIG, 0), 0) << "the program's icon in the title bar";
}

TEST_F(Win32Window, ControlsSitWhereDescribedEarlierOnesAbove) {
    for (size_t i = 0; i < desc().controls.size(); ++i) {
        const ControlDescription& c = desc().controls[i];
        SCOPED_TRACE(std::string(c.name));
        HWND h = control_hwnd(c.name);
        ASSERT_NE(h, nullptr);
        RECT rc{};
        GetWindowRect(h, &rc);
        MapWindowPoints(HWND_DESKTOP, GetParent(h), reinterpret_cast<POINT*>(&rc), 2);
        EXPECT_EQ(rc.left, c.left);
        EXPECT_EQ(rc.top, c.top);
        EXPECT_EQ(rc.right - rc.left, c.width);
        EXPECT_EQ(rc.bottom - rc.top, c.height);
        EXPECT_TRUE(IsWindowVisible(h));
        // Every later sibling lies below this one.
        for (size_t j = i + 1; j < desc().controls.size(); ++j) {
            if (desc().controls[j].parent != c.parent) continue;
            bool below = false;
            for (HWND w = GetWindow(h, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT)) {
                if (w == control_hwnd(desc().controls[j].name)) below = true;
            }
            EXPECT_TRUE(below) << std::string(desc().controls[j].name) << " should lie below";
        }
    }
}

TEST_F(Win32Window, EachControlShowsItsDescribedCursor) {
    const HCURSOR hand = LoadCursorA(nullptr, IDC_HAND);
    const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    for (const ControlDescription& c : desc().controls) {
        SCOPED_TRACE(std::string(c.name));
        HWND h = control_hwnd(c.name);
        SetCursor(nullptr);
        SendMessageW(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(GetCursor(), c.cursor == MouseCursor::kHand ? hand : arrow);
    }
}

TEST_F(Win32Window, FontsCarryTheDescribedLogicalFont) {
    for (const ControlDescription& c : desc().controls) {
        if (c.kind == ControlKind::kPictureBox) continue;
        SCOPED_TRACE(std::string(c.name));
        const LogicalFont& want = c.kind == ControlKind::kEditBox ? c.edit.font : c.label.font;
        auto font = reinterpret_cast<HFONT>(SendMessageW(control_hwnd(c.name), WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr);
        LOGFONTW lf{};
        ASSERT_EQ(GetObjectW(font, sizeof lf, &lf), static_cast<int>(sizeof lf));
        EXPECT_EQ(lf.lfHeight, want.height);
        EXPECT_EQ(lf.lfWeight, 400);
        EXPECT_FALSE(lf.lfItalic || lf.lfUnderline || lf.lfStrikeOut);
        EXPECT_EQ(lf.lfCharSet, 134);
        EXPECT_EQ(lf.lfOutPrecision, 3);
        EXPECT_EQ(lf.lfClipPrecision, 2);
        EXPECT_EQ(lf.lfQuality, 1);
        EXPECT_EQ(lf.lfPitchAndFamily, 0x22);
        EXPECT_EQ(std::wstring(lf.lfFaceName), L"微软雅黑");
    }
}

// --- Texts ------------------------------------------------------------------------------------------------

TEST_F(Win32Window, TextsGoInAndComeOutAsCodePage936) {
    // "中文" in code page 936, beside ASCII, so a wrong conversion on either side shows.
    const Text chinese("ID \xD6\xD0\xCE\xC4 42");
    for (const char* name : {"透明标签193", "透明标签1", "当前ID"}) {
        SCOPED_TRACE(name);
        ui_set_text(name, chinese);
        EXPECT_EQ(ui_get_text(name), chinese);
        EXPECT_TRUE(ui_get_text(name).present());
        ui_set_text(name, Text());
        EXPECT_FALSE(ui_get_text(name).present()) << "an empty text comes back absent";
    }
    ui_set_text("当前ID", chinese);
    wchar_t shown[32] = {};
    GetWindowTextW(control_hwnd("当前ID"), shown, 32);
    EXPECT_EQ(std::wstring(shown), L"ID 中文 42") << "the edit box shows the characters, not the bytes";

    EXPECT_EQ(ui_get_text("表计数59"), Text(desc().controls[index_of(desc(), "表计数59")].label.caption));
    EXPECT_FALSE(ui_get_text("no such control").present());
    ui_set_text("no such control", chinese);  // ignored
}

// --- Pictures ---------------------------------------------------------------------------------------------

// A 2 x 2 24-bit BMP: top left red, top right green, bottom left blue, bottom right yellow.
std::string four_colour_bmp() {
    std::string b = "BM";
    auto le32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>(v >> (8 * i)));
    };
    auto le16 = [&](uint16_t v) {
        b.push_back(static_cast<char>(v));
        b.push_back(static_cast<char>(v >> 8));
    };
    le32(54 + 16);
    le32(0);
    le32(54);
    le32(40);
    le32(2);
    le32(2);  // bottom-up rows
    le16(1);
    le16(24);
    le32(0);
    le32(16);
    le32(2835);
    le32(2835);
    le32(0);
    le32(0);
    b += std::string("\xFF\x00\x00\x00\xFF\xFF\x00\x00", 8);  // bottom row: blue, yellow (BGR), padding
    b += std::string("\x00\x00\xFF\x00\xFF\x00\x00\x00", 8);  // top row: red, green, padding
    return b;
}

// A 2 x 2 PCX, 8 bits per pixel in one plane, every pixel palette entry 1 (#123456).
std::string blue_grey_pcx() {
    std::string h(128, '\0');
    h[0] = 0x0A;
    h[1] = 5;
    h[2] = 1;
    h[3] = 8;
    h[8] = 1;   // xmax
    h[10] = 1;  // ymax
    h[65] = 1;  // planes
    h[66] = 2;  // bytes per line
    h[68] = 1;  // colour palette
    std::string data = h + std::string("\x01\x01\x01\x01", 4) + "\x0C";
    std::string palette(768, '\0');
    palette[3] = 0x12;
    palette[4] = 0x34;
    palette[5] = 0x56;
    return data + palette;
}

// GIF89a, 4 x 4, two frames 100 ms apart: all red; then a green 2 x 2 patch at offset (2, 2).
const char kAnimatedGif[] =
    "GIF89a\x04\x00\x04\x00\xf0\x00\x00\xff\x00\x00\x00\x00\x00\x21\xf9\x04\x00\x0a\x00\x00\x00\x21\xff\x0b"
    "NETSCAPE2.0\x03\x01\x00\x00\x00\x2c\x00\x00\x00\x00\x04\x00\x04\x00\x00\x02\x04\x84\x8f\x09\x05\x00\x21\xf9"
    "\x04\x00\x0a\x00\x00\x00\x2c\x02\x00\x02\x00\x02\x00\x02\x00\x80\x00\xff\x00\x00\x00\x00\x02\x02\x84\x51\x00"
    "\x3b";

std::string bytes_of(const unsigned char* data, size_t size) { return {reinterpret_cast<const char*>(data), size}; }

TEST_F(Win32Window, PicturesAreRecognisedByTheirFirstBytesAndStretched) {
    constexpr uint32_t kWhite = 0xFFFFFF;
    const std::string png = bytes_of(kPictureQueryButton, sizeof kPictureQueryButton);
    const std::string ico = bytes_of(kProgramIcon, sizeof kProgramIcon);
    std::string cur = ico;
    cur[2] = 2;  // the same images, announced as a cursor
    const std::string bmp = four_colour_bmp();

    HWND box = control_hwnd("图片框27");
    struct Row {
        const char* name;
        std::string bytes;
        bool shows_picture;
    };
    const Row rows[] = {
        // Decoded
        {"bmp", bmp, true},
        {"png", png, true},
        {"jpeg", bytes_of(kPicturePromoCode, sizeof kPicturePromoCode), true},
        {"gif", std::string(kAnimatedGif, sizeof kAnimatedGif - 1), true},
        {"icon", ico, true},
        {"cursor", cur, true},
        {"pcx", blue_grey_pcx(), true},
        // Background only
        {"empty", "", false},
        {"seven bytes of a bmp", bmp.substr(0, 7), false},
        {"unknown signature", "hello, world", false},
        {"png signature, then nothing usable", png.substr(0, 40), false},
        {"bmp header cut short", bmp.substr(0, 30), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ui_set_picture("图片框27", ByteSet(row.bytes));
        Rendering r = render(box);
        ASSERT_EQ(r.width, 175);
        EXPECT_EQ(!r.all(kWhite), row.shows_picture);
    }

    // Stretched to the box, proportions not kept: each quarter of the box shows one pixel's colour.
    ui_set_picture("图片框27", ByteSet(bmp));
    Rendering r = render(box);
    EXPECT_EQ(r.at(10, 10), 0xFF0000u);
    EXPECT_EQ(r.at(165, 10), 0x00FF00u);
    EXPECT_EQ(r.at(10, 165), 0x0000FFu);
    EXPECT_EQ(r.at(165, 165), 0xFFFF00u);

    ui_set_picture("图片框27", ByteSet(blue_grey_pcx()));
    EXPECT_TRUE(render(box).all(0x123456));

    // The cursor decodes to the icon's picture.
    ui_set_picture("图片框27", ByteSet(ico));
    Rendering as_icon = render(box);
    ui_set_picture("图片框27", ByteSet(cur));
    EXPECT_EQ(render(box).pixels, as_icon.pixels);
}

TEST_F(Win32Window, AnimatedGifComposesEachFrameAtItsOffset) {
    HWND box = control_hwnd("图片框27");
    ui_set_picture("图片框27", ByteSet(std::string(kAnimatedGif, sizeof kAnimatedGif - 1)));
    EXPECT_TRUE(render(box).all(0xFF0000));
    // The animation timer's tick, without waiting for it.
    SendMessageW(box, WM_TIMER, 1, 0);
    Rendering second = render(box);
    EXPECT_EQ(second.at(20, 20), 0xFF0000u) << "the first frame stays beneath the patch";
    EXPECT_EQ(second.at(150, 150), 0x00FF00u);
    SendMessageW(box, WM_TIMER, 1, 0);
    EXPECT_TRUE(render(box).all(0xFF0000)) << "and round again";
}

TEST_F(Win32Window, NaturalSizePngShowsTheBackgroundThroughTransparentPixels) {
    Rendering r = render(control_hwnd("bitt按钮119"));
    EXPECT_EQ(r.at(0, 0), 0xFFFFFFu) << "rounded corner: transparent";
    EXPECT_EQ(r.at(70, 15), 0x41A8FFu);
}

// --- Transparent labels -----------------------------------------------------------------------------------

TEST_F(Win32Window, TransparentLabelDrawsOnlyGlyphsAndLeavesNoTraceOfAnOldCaption) {
    const ControlDescription& label = desc().controls[index_of(desc(), "透明标签196")];
    Rendering button = render(control_hwnd("bitt按钮119"));
    HWND h = control_hwnd("透明标签196");

    Rendering with_caption = render(h);
    int glyph_pixels = 0;
    for (int y = 0; y < label.height; ++y) {
        for (int x = 0; x < label.width; ++x) {
            if (with_caption.at(x, y) != button.at(label.left + x, label.top + y)) ++glyph_pixels;
        }
    }
    EXPECT_GT(glyph_pixels, 20) << "the caption is drawn";

    ui_set_text("透明标签196", Text("."));
    ui_set_text("透明标签196", Text());
    Rendering cleared = render(h);
    for (int y = 0; y < label.height; ++y) {
        for (int x = 0; x < label.width; ++x) {
            ASSERT_EQ(cleared.at(x, y), button.at(label.left + x, label.top + y)) << x << "," << y;
        }
    }
}

TEST_F(Win32Window, TransparentLabelShowsTheOverlappedPictureBelowIt) {
    const ControlDescription& link = desc().controls[index_of(desc(), "透明标签1")];
    const ControlDescription& qr = desc().controls[index_of(desc(), "图片框1")];
    ui_set_text("透明标签1", Text());
    Rendering label = render(control_hwnd("透明标签1"));
    Rendering picture = render(control_hwnd("图片框1"));
    // Where the label's lower right corner covers the picture, the label shows the picture.
    int compared = 0;
    for (int y = qr.top; y < link.top + link.height; ++y) {
        for (int x = qr.left; x < qr.left + qr.width; ++x) {
            ASSERT_EQ(label.at(x - link.left, y - link.top), picture.at(x - qr.left, y - qr.top)) << x << "," << y;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 104 * 16);
}

// --- Presses and keys -------------------------------------------------------------------------------------

std::vector<PressEvent> presses;
int created_count = 0;
void record_press(const PressEvent& e) { presses.push_back(e); }
void count_created() { ++created_count; }

const ControlDescription kPressControls[] = {
    {.name = "label", .kind = ControlKind::kLabel, .left = 10, .top = 10, .width = 100, .height = 30,
     .label = {.caption = "press", .font = {.face = "Arial", .height = -14}}, .on_left_press = record_press},
    {.name = "frame", .kind = ControlKind::kPictureBox, .left = 10, .top = 50, .width = 120, .height = 30},
    {.name = "edit", .kind = ControlKind::kEditBox, .parent = "frame", .left = 2, .top = 2, .width = 100,
     .height = 24, .edit = {.font = {.face = "Arial", .height = -14}}},
};
const WindowDescription kPressWindow = {
    .title = "presses", .outer_width = 300, .outer_height = 200, .controls = kPressControls,
    .on_created = count_created};

TEST(Win32Events, LeftPressCarriesPositionAndModifiersOtherButtonsDoNothing) {
    ui_startup();
    presses.clear();
    created_count = 0;
    ui_create_main_window(kPressWindow);
    EXPECT_EQ(created_count, 1);
    HWND label = control_hwnd(kPressWindow, "label");
    ASSERT_NE(label, nullptr);

    SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL | MK_SHIFT, MAKELPARAM(5, 7));
    SendMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(5, 7));
    SendMessageW(label, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 7));  // the second press of a double click
    SendMessageW(label, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 7));
    SendMessageW(control_hwnd(kPressWindow, "frame"), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0].x, 5);
    EXPECT_EQ(presses[0].y, 7);
    EXPECT_EQ(presses[0].modifiers, kModCtrl | kModShift);
    close_main_window();
}

TEST(Win32Events, EnterInTheEditBoxDoesNothingEscClosesTheWindow) {
    ui_startup();
    ui_create_main_window(kPressWindow);
    HWND edit = control_hwnd(kPressWindow, "edit");
    ASSERT_NE(edit, nullptr);
    ui_set_text("edit", Text("12345"));
    SetFocus(edit);
    PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(edit, WM_CHAR, '\r', 0);
    pump();
    EXPECT_EQ(ui_get_text("edit"), Text("12345"));
    EXPECT_EQ(GetFocus(), edit);

    // Esc, pressed in the edit box, ends the message loop with the window closed.
    PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
    ui_run_message_loop();
    EXPECT_EQ(main_hwnd(), nullptr);
    ui_run_message_loop();  // no window: returns at once
}

}  // namespace
