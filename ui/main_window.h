// The main window as constant data: the window, its sixteen controls with every property they start with,
// their fonts, colours, built-in pictures and event bindings; and the program's start-up and link labels.
//
// Every toolkit backend (Qt 6, Win32) walks this one table, so it holds no toolkit type: colours are
// 0xRRGGBB values or a symbolic system colour, fonts are logical-font values as the Win32 GDI takes them,
// pictures are the encoded bytes built into the program. Captions and the font face are code page 936
// bytes; control names are UTF-8 and are the keys the toolkit operations take.
//
//   int main() { return start_program(); }
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "ui/toolkit.h"

enum class ControlKind : uint8_t {
    kLabel,             // fills its rectangle with its background colour, then draws its caption
    kTransparentLabel,  // draws only the glyphs of its caption over whatever lies beneath
    kPictureBox,        // fills its rectangle with its background colour, then draws its picture
    kEditBox,
};

enum class MouseCursor : uint8_t { kArrow, kHand };
enum class HorizontalAlign : uint8_t { kLeft, kCenter, kRight };
enum class VerticalAlign : uint8_t { kTop, kCenter, kBottom };

// How a picture box draws its picture.
enum class PictureDisplay : uint8_t {
    kNaturalTopLeft,  // unscaled from the top left corner; the background shows where it does not reach
    kStretch,         // scaled to the box's client size, proportions not kept
};

// A colour: an explicit 0xRRGGBB value or one of the system's colours, resolved by the backend.
struct Color {
    enum class System : uint8_t { kNone, kButtonFace };
    uint32_t rgb = 0;
    System system = System::kNone;

    static constexpr Color rgb_value(uint32_t v) { return {.rgb = v}; }
    static constexpr Color button_face() { return {.system = System::kButtonFace}; }
    friend constexpr bool operator==(const Color&, const Color&) = default;
};

inline constexpr Color kWhite = Color::rgb_value(0xFFFFFF);

// A logical font, field for field as the GDI's LOGFONT holds it. `height` is negative: a character
// height in pixels (the em size, internal leading excluded). `face` is code page 936.
struct LogicalFont {
    const char* face = nullptr;
    int32_t height = 0;
    int32_t weight = 400;
    bool italic = false;
    bool underline = false;
    bool strike_out = false;
    uint8_t charset = 134;  // GB2312
    uint8_t out_precision = 3;
    uint8_t clip_precision = 2;
    uint8_t quality = 1;
    uint8_t pitch_and_family = 0x22;

    constexpr int32_t pixel_height() const { return height < 0 ? -height : height; }
};

// Encoded image bytes built into the program (JPEG, PNG, ICO, ...).
struct EmbeddedPicture {
    const unsigned char* data = nullptr;
    size_t size = 0;

    constexpr bool empty() const { return size == 0; }
    std::string_view bytes() const { return {reinterpret_cast<const char*>(data), size}; }
};

// Properties of labels and transparent labels.
struct CaptionProperties {
    const char* caption = "";  // code page 936
    LogicalFont font;
    uint32_t text_rgb = 0;
    Color background = kWhite;  // unused by transparent labels
    HorizontalAlign h_align = HorizontalAlign::kLeft;
    VerticalAlign v_align = VerticalAlign::kCenter;  // applies only without word wrap
    bool word_wrap = true;
};

// Properties of picture boxes.
struct PictureProperties {
    EmbeddedPicture picture;  // empty: none
    PictureDisplay display = PictureDisplay::kStretch;
    Color background = kWhite;
    bool animate = true;
    bool border = false;
};

// Properties of the edit box.
struct EditProperties {
    const char* content = "";  // code page 936
    LogicalFont font;
    uint32_t text_rgb = 0;
    Color background = kWhite;
    HorizontalAlign h_align = HorizontalAlign::kLeft;
    bool border = false;
    bool multi_line = false;
    bool auto_hscroll = true;  // scrolls sideways when the text is longer than the box
    int32_t max_length = 0;    // 0: no limit set by the program
    bool password = false;
    bool read_only = false;
    bool hide_selection = true;  // selection hidden while the box lacks the focus
};

// One control. `parent` names the parent control; empty means the main window. Positions are relative to
// the parent's client area. Earlier controls lie above later siblings where they overlap.
struct ControlDescription {
    std::string_view name;  // UTF-8, e.g. "当前ID"
    ControlKind kind = ControlKind::kLabel;
    std::string_view parent;
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool visible = true;
    bool enabled = true;
    bool tab_stop = false;
    MouseCursor cursor = MouseCursor::kArrow;
    CaptionProperties label;               // kLabel, kTransparentLabel
    PictureProperties picture;             // kPictureBox
    EditProperties edit;                   // kEditBox
    PressHandler on_left_press = nullptr;  // null: the press does nothing
};

// The main window: title, outer size (frame and title bar included), frame and keys, and its controls.
struct WindowDescription {
    const char* title = "";  // code page 936
    int32_t outer_width = 0;
    int32_t outer_height = 0;
    int32_t stored_left = 0;  // not used: the window opens centred on the primary screen
    int32_t stored_top = 0;
    bool centred = true;
    bool resizable = false;
    bool minimize_box = true;
    bool maximize_box = false;
    bool system_menu = true;
    bool movable = true;
    bool always_on_top = false;
    bool taskbar_button = true;
    bool escape_closes = true;
    bool enter_moves_focus = false;
    bool f1_opens_help = false;
    Color background = kWhite;
    EmbeddedPicture icon;  // the program's icon (ICO, eight sizes)
    std::span<const ControlDescription> controls;
    CreatedHandler on_created = nullptr;
};

// The client area that the outer size leaves on Windows 10 at 96 DPI with default metrics: a fixed frame
// of 3 pixels on each side and a 23-pixel caption (799 x 434). Backends where the window manager draws
// the frame give the client area this size.
inline constexpr int32_t kWindowsFixedFrame = 3;
inline constexpr int32_t kWindowsCaption = 23;
constexpr int32_t client_width(const WindowDescription& w) { return w.outer_width - 2 * kWindowsFixedFrame; }
constexpr int32_t client_height(const WindowDescription& w) {
    return w.outer_height - kWindowsCaption - 2 * kWindowsFixedFrame;
}

// The maker's home page: the caption of "透明标签2" and the address the QR picture encodes.
inline constexpr char kHomePageAddress[] = "https://xunpan.example/";

// The main window's description.
const WindowDescription& main_window_description();

// The control named `name` in `description`, or null.
const ControlDescription* find_control(const WindowDescription& description, std::string_view name);

// Starts the toolkit, creates the main window from its description, runs the message loop and returns 0
// once the window has closed. The program has no start-up or shutdown work of its own.
int start_program();

// Hands the caption of the link label `label` ("透明标签1" or "透明标签2") unchanged to the desktop's open
// action; an absent caption goes as the empty Text. Nothing is checked or reported.
void open_label_link(std::string_view label);
