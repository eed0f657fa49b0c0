#include "tests/ui/recording_toolkit.h"

#include "ui/toolkit.h"

RecordingToolkit& recording_toolkit() {
    static RecordingToolkit t;
    return t;
}

void ui_startup() { recording_toolkit().calls.push_back("startup"); }

void ui_create_main_window(const WindowDescription& description) {
    recording_toolkit().calls.push_back("create");
    recording_toolkit().created = &description;
}

void ui_run_message_loop() { recording_toolkit().calls.push_back("loop"); }

Text ui_get_text(std::string_view control) {
    auto& captions = recording_toolkit().captions;
    auto it = captions.find(std::string(control));
    return it == captions.end() ? Text() : it->second;
}

void ui_set_text(std::string_view control, const Text& text) {
    recording_toolkit().captions[std::string(control)] = text;
}

void ui_set_picture(std::string_view, const ByteSet&) {}

void ui_open_in_browser(const Text& text) {
    recording_toolkit().calls.push_back("open");
    recording_toolkit().opened.push_back(text);
}
