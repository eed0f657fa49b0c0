#include "text/markers.h"

#include <algorithm>
#include <limits>

#include "text/primitives.h"

namespace {

// The value between a start marker found at or after start_pos and the next end marker after it.
Text between(const Text& subject, const Text& start_marker, const Text& end_marker, int32_t start_pos,
             bool ignore_case) {
    const int32_t p = txt_find(subject, start_marker, start_pos, ignore_case);
    if (p == -1) return Text();
    const int64_t after = static_cast<int64_t>(p) + txt_len(start_marker);
    if (after > txt_len(subject)) return Text();  // the marker ends the subject: nothing can follow
    const int32_t v = static_cast<int32_t>(after);
    const int32_t q = txt_find(subject, end_marker, v, ignore_case);
    if (q == -1) return Text();
    return txt_slice(subject, v, q - v);
}

}  // namespace

Text extract_between(const Text& subject, const Text& start_marker, const Text& end_marker, int32_t start_pos,
                     bool ignore_case) {
    const Text quote("\"");
    const Text placeholder(kQuotePlaceholder);
    return between(subject, txt_replace(start_marker, placeholder, quote, std::nullopt, std::nullopt, true),
                   txt_replace(end_marker, placeholder, quote, std::nullopt, std::nullopt, true), start_pos,
                   ignore_case);
}

Text middle_text(const Text& subject, const Text& start_marker, const Text& end_marker, int32_t start_pos) {
    return between(subject, start_marker, end_marker, start_pos, true);
}

Text left_of(const Text& subject, const Text& marker, int32_t start_pos, bool ignore_case) {
    const int64_t len = txt_len(subject);
    int32_t q;
    if (start_pos < 0) {
        // Searching backwards: the last n bytes stay out of the search, except that -1 means none of them.
        int64_t n = -static_cast<int64_t>(start_pos);
        if (n == 1) n = 0;
        const int64_t before = std::max<int64_t>(len - n + 1, std::numeric_limits<int32_t>::min());
        q = txt_rfind(subject, marker, static_cast<int32_t>(before), ignore_case);
    } else {
        q = txt_find(subject, marker, start_pos == 0 ? 1 : start_pos, ignore_case);
    }
    if (q == -1) return Text();
    return txt_head(subject, q - 1);
}

Text replace_pairs(const Text& subject, const ReplacePairsOptions& options, const Text& find_1, const Text& with_1,
                   const Text& find_2, const Text& with_2, const Text& find_3, const Text& with_3, const Text& find_4,
                   const Text& with_4, const Text& find_5, const Text& with_5) {
    const int32_t start = options.start_pos == 0 ? 1 : options.start_pos;
    const Text* pairs[5][2] = {
        {&find_1, &with_1}, {&find_2, &with_2}, {&find_3, &with_3}, {&find_4, &with_4}, {&find_5, &with_5}};
    Text out = subject;
    for (const auto& pair : pairs)
        out = txt_replace(out, *pair[0], *pair[1], start, options.max_count, options.case_sensitive);
    return out;
}
