// A toolkit backend for tests of the portable window code: it records every call in order, keeps captions
// per control, and hands out what a test put there.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "text/types.h"

struct RecordingToolkit {
    std::vector<std::string> calls;        // "startup", "create", "loop", "open"
    std::map<std::string, Text> captions;  // what ui_get_text answers, by control name
    std::vector<Text> opened;              // every text handed to ui_open_in_browser
    const struct WindowDescription* created = nullptr;

    void reset() { *this = RecordingToolkit{}; }
};

RecordingToolkit& recording_toolkit();
