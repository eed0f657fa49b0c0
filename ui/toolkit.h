// What the program needs of the window toolkit: build the main window from its constant description,
// run the message loop, read and write control texts and pictures, and hand a text to the desktop's open
// action. Controls are addressed by their names in the description (UTF-8 in the source, e.g. "当前ID");
// texts crossing this interface are code page 936. One backend per platform (Qt 6, Win32).
//
//   ui_set_text("透明标签193", Text("1,234+"));
#pragma once

#include <string_view>

#include "text/types.h"

struct WindowDescription;

// The modifier keys that come with a press: 1 Ctrl, 2 Shift, 4 Alt.
inline constexpr int kModCtrl = 1;
inline constexpr int kModShift = 2;
inline constexpr int kModAlt = 4;

// A left-button press on a control: the position in the control and the modifier keys.
struct PressEvent {
    int x = 0;
    int y = 0;
    int modifiers = 0;
};
using PressHandler = void (*)(const PressEvent&);
using CreatedHandler = void (*)();

// The toolkit's own start-up; the first call prepares the toolkit, later calls do nothing. The program
// reads no command line, so it takes none.
void ui_startup();
// Builds and shows the main window, raising its created event once. On failure the toolkit reports it
// and ends the program.
void ui_create_main_window(const WindowDescription& description);
// Dispatches events until the main window has closed; returns at once when no window is open.
void ui_run_message_loop();
// A label's caption or the edit box's content; the absent Text when empty.
Text ui_get_text(std::string_view control);
// The control shows exactly `text` from its next repaint on.
void ui_set_text(std::string_view control, const Text& text);
// The picture box drops its picture and shows the image in `bytes`, or only its background when the
// bytes are no image it recognises.
void ui_set_picture(std::string_view control, const ByteSet& bytes);
// Hands `text` unchanged to the desktop's open action; failures are ignored.
void ui_open_in_browser(const Text& text);
