#include "text/markers.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>

#include "text/primitives.h"

namespace {

Text T(const std::string& bytes) { return Text(std::string_view(bytes)); }

// "#引号" in code page 936, spelled out so the test does not lean on the header's constant.
const std::string kQ = "#\xD2\xFD\xBA\xC5";

TEST(ExtractBetween, Cases) {
    struct Row {
        const char* name;
        std::string subject, start_marker, end_marker;
        int32_t start_pos;
        bool ignore_case;
        std::string want;
    };
    const Row rows[] = {
        // What the request code pulls out.
        {"header value", "Accept: */*\r\nUser-Agent: abc\r\nX: y", "User-Agent: ", "\r\n", 0, false, "abc"},
        {"cookie pair", "Set-Cookie: a=b; path=/", "Set-Cookie: ", ";", 0, false, "a=b"},
        {"host of a URL", "https://www.example.com/x?y", "https://", "/", 0, false, "www.example.com"},
        // The quote placeholder.
        {"placeholder ends the start marker", "id=\"v\" x", "id=" + kQ, kQ, 0, false, "v"},
        {"placeholder as end marker", "k=v\"w\"", "k=", kQ, 0, false, "v"},
        {"no quote in the subject", "id=v x", "id=" + kQ, " ", 0, false, ""},
        {"placeholder is not matched literally", "a" + kQ + "b\"", "a" + kQ, "\"", 0, false, ""},
        {"two placeholders", "<a href=\"u\">", "href=" + kQ, kQ + ">", 0, false, "u"},
        // Letter case.
        {"case exact by default", "KEY=v;", "key=", ";", 0, false, ""},
        {"case folded on request", "KEY=v;", "key=", ";", 0, true, "v"},
        {"end marker folded too", "k=vENDw", "k=", "end", 0, true, "v"},
        // Where the markers lie.
        {"start marker ends the subject", "a=", "a=", ";", 0, false, ""},
        {"end marker right after", "a=;", "a=", ";", 0, false, ""},
        {"end marker only before", ";a=v", "a=", ";", 0, false, ""},
        {"same text as both markers", "aXa", "a", "a", 0, false, "X"},
        {"empty end marker", "a=v;", "a=", "", 0, false, ""},
        {"empty start marker", "ab;cd;", "", ";", 0, false, "ab"},
        {"empty start marker ignores start_pos", "ab;cd;", "", ";", 4, false, "ab"},
        {"empty start marker past the end", "ab;cd;", "", ";", 7, false, ""},
        {"first occurrence wins", "k=1;k=2;", "k=", ";", 0, false, "1"},
        {"first occurrence from start_pos", "k=1;k=2;", "k=", ";", 3, false, "2"},
        {"negative start_pos reads from the start", "k=1;", "k=", ";", -5, false, "1"},
        {"start marker not at a second byte", "\xB0=x=v;", "=", ";", 0, false, "v"},
        {"value holding two-byte characters", "k=\xD6\xD0\xCE\xC4;", "k=", ";", 0, false, "\xD6\xD0\xCE\xC4"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(
            extract_between(T(row.subject), T(row.start_marker), T(row.end_marker), row.start_pos, row.ignore_case)
                .bytes(),
            row.want);
    }
}

TEST(MiddleText, Cases) {
    struct Row {
        const char* name;
        std::string subject, start_marker, end_marker;
        int32_t start_pos;
        std::string want;
    };
    const Row rows[] = {
        {"field value", "{\"pageViews\":\"1287\"}", "pageViews\":\"", "\"", 0, "1287"},
        {"key in capitals", "{\"PAGEVIEWS\":\"12\"}", "pageViews\":\"", "\"", 0, "12"},
        {"end of a longer key", "{\"halfYearIquiries\":\"36\"}", "iquiries\":\"", "\"", 0, "36"},
        {"key spelled differently", "{\"inquiries\":\"36\"}", "iquiries\":\"", "\"", 0, ""},
        {"blank before the quote", "{\"pageViews\": \"1\"}", "pageViews\":\"", "\"", 0, ""},
        {"number, not a string", "{\"pageViews\":1}", "pageViews\":\"", "\"", 0, ""},
        {"empty value", "{\"pageViews\":\"\"}", "pageViews\":\"", "\"", 0, ""},
        {"first of two", "\"v\":\"1\",\"v\":\"2\"", "v\":\"", "\"", 0, "1"},
        {"from start_pos", "\"v\":\"1\",\"v\":\"2\"", "v\":\"", "\"", 3, "2"},
        {"no end marker", "\"v\":\"1", "v\":\"", "\"", 0, ""},
        {"placeholder is plain text here", "k=\"v\"", "k=" + kQ, kQ, 0, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(middle_text(T(row.subject), T(row.start_marker), T(row.end_marker), row.start_pos).bytes(), row.want);
    }
}

// A comparison page as the lookup reads it: keys that come close to the markers stand before the real ones,
// and one marker hides behind a two-byte character whose second byte is its first letter.
TEST(MiddleText, ComparisonPage) {
    const Text page(
        "<script>window.runParams = {\"products\":[{\"subject\":\"\xC0\xB6\xD1\xC0\",\"inquiries\":\"5\","
        "\"pageView\":\"6\",\"imageUrls\":[\"\\/\\/s.example.com\\/a.jpg\"],\"note\":\"\x81pageViews\\\":\\\"0\"},"
        "{\"halfYearIquiries\":\"3652\",\"PageViews\":\"1287\",\"imageUrl\":\"\\/\\/s.example.com\\/kf\\/H1.jpg\","
        "\"productDetailUrl\":\"\\/\\/www.example.com\\/product-detail\\/x_1.html\"}]};</script>");
    EXPECT_EQ(middle_text(page, Text("iquiries\":\""), Text("\"")).bytes(), "3652");
    EXPECT_EQ(middle_text(page, Text("pageViews\":\""), Text("\"")).bytes(), "1287");
    const Text image = middle_text(page, Text("imageUrl\":\""), Text("\""));
    EXPECT_EQ(txt_join(Text("https:"), replace_pairs(image, {}, Text("\\"), Text())).bytes(),
              "https://s.example.com/kf/H1.jpg");
    const Text detail = middle_text(page, Text("productDetailUrl\":\""), Text("\""));
    EXPECT_EQ(txt_join(Text("https:"), replace_pairs(detail, {}, Text("\\"), Text())).bytes(),
              "https://www.example.com/product-detail/x_1.html");
}

TEST(LeftOf, Cases) {
    struct Row {
        const char* name;
        std::string subject, marker;
        int32_t start_pos;
        bool ignore_case;
        std::string want;
    };
    const Row rows[] = {
        {"forwards", "k: a: b", ": ", 0, false, "k"},
        {"backwards over everything", "k: a: b", ": ", -1, false, "k: a"},
        {"-1 reaches the last byte", "a:b:", ":", -1, false, "a:b"},
        {"-2 leaves out the last two bytes", "a:b:", ":", -2, false, "a"},
        {"-3 leaves out three", "a:b:c", ":", -3, false, "a"},
        {"far backwards finds nothing", "a:b:c", ":", -6, false, ""},
        {"lowest start_pos finds nothing", "a:b:c", ":", INT32_MIN, false, ""},
        {"forwards from byte 3", "a:b:c", ":", 3, false, "a:b"},
        {"forwards past the end", "a:b", ":", 4, false, ""},
        {"marker first", ": x", ": ", 0, false, ""},
        {"marker missing", "abc", ":", 0, false, ""},
        {"case exact", "NameXv", "x", 0, false, ""},
        {"case folded", "NameXv", "x", 0, true, "Name"},
        {"marker not at a second byte", "\xB0:a:b", ":", 0, false, "\xB0:a"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(left_of(T(row.subject), T(row.marker), row.start_pos, row.ignore_case).bytes(), row.want);
    }
}

TEST(ReplacePairs, Cases) {
    struct Row {
        const char* name;
        std::string subject;
        ReplacePairsOptions options;
        std::string f1, w1, f2, w2;
        std::string want;
    };
    const Row rows[] = {
        {"backslashes removed", "\\/\\/s.example.com\\/a.jpg", {}, "\\", "", "", "", "//s.example.com/a.jpg"},
        {"max_count 1 per pair", "aabb", {.max_count = 1}, "a", "x", "b", "y", "xayb"},
        {"max_count 0 changes nothing", "aabb", {.max_count = 0}, "a", "x", "b", "y", "aabb"},
        {"negative max_count is unlimited", "aabb", {.max_count = -1}, "a", "x", "", "", "xxbb"},
        {"later pair sees earlier output", "ab-ab", {}, "a", "b", "b", "c", "cc-cc"},
        {"case folded by default", "xXx", {}, "x", "y", "", "", "yyy"},
        {"case exact on request", "xXx", {.case_sensitive = true}, "x", "y", "", "", "yXy"},
        {"start_pos 3 keeps two bytes", "aaaa", {.start_pos = 3}, "a", "b", "", "", "aabb"},
        {"start_pos 0 is the first byte", "aaaa", {.start_pos = 0}, "a", "b", "", "", "bbbb"},
        {"empty find text changes nothing", "abc", {}, "", "x", "", "", "abc"},
        {"nothing matches", "abc", {}, "z", "x", "y", "w", "abc"},
        {"two-byte characters stepped over", "\xB0\\\\x", {}, "\\", "", "", "", "\xB0\\x"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(replace_pairs(T(row.subject), row.options, T(row.f1), T(row.w1), T(row.f2), T(row.w2)).bytes(),
                  row.want);
    }
}

TEST(ReplacePairs, AllFivePairsApplyInOrder) {
    const Text got = replace_pairs(Text("abcde"), {}, Text("a"), Text("1"), Text("b"), Text("2"), Text("c"), Text("3"),
                                   Text("d"), Text("4"), Text("e"), Text("a"));
    EXPECT_EQ(got.bytes(), "1234a");
}

}  // namespace
