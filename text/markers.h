// Pulling values out of page texts, header blocks and URLs by the markers around them, and cleaning them.
//
// All four routines are pure over code page 936 Text and return the empty Text when a marker is missing.
// Their optional numbers and flags use only the value: left out reads as 0 / false.
//
//   Text views = middle_text(page, "pageViews\":\"", "\"");
#pragma once

#include <cstdint>
#include <optional>

#include "text/types.h"

// The placeholder a caller writes for a double quote inside a marker of extract_between.
inline constexpr const char* kQuotePlaceholder = "#\xD2\xFD\xBA\xC5";  // "#引号" in code page 936

// The text between start_marker and the next end_marker, searched from start_pos; either marker may
// spell a double quote as the placeholder.
Text extract_between(const Text& subject, const Text& start_marker, const Text& end_marker,
                     int32_t start_pos = 0, bool ignore_case = false);
// Like extract_between without the placeholder, always ignoring ASCII letter case.
Text middle_text(const Text& subject, const Text& start_marker, const Text& end_marker, int32_t start_pos = 0);
// Everything before the marker, found forwards from start_pos, or backwards when start_pos is negative.
Text left_of(const Text& subject, const Text& marker, int32_t start_pos = 0, bool ignore_case = false);

// Up to five find/replacement pairs applied one after another. max_count limits each pair and counts
// only when provided; start_pos 0 means 1.
struct ReplacePairsOptions {
    std::optional<int32_t> max_count = std::nullopt;
    int32_t start_pos = 0;
    bool case_sensitive = false;
};
Text replace_pairs(const Text& subject, const ReplacePairsOptions& options, const Text& find_1, const Text& with_1,
                   const Text& find_2 = Text(), const Text& with_2 = Text(), const Text& find_3 = Text(),
                   const Text& with_3 = Text(), const Text& find_4 = Text(), const Text& with_4 = Text(),
                   const Text& find_5 = Text(), const Text& with_5 = Text());
