#include "http/headers.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    const char* name;
    const char* input;
    const char* expected;
};

TEST(HeadersTest, CapitalizeFirst) {
    const Row rows[] = {
        {"small_letter", "accept", "Accept"},
        {"capital_stays", "ACCEPT", "ACCEPT"},
        {"digit", "1a", "1a"},
        {"two_byte_lead", "\xD6\xD0" "a", "\xD6\xD0" "a"},
        {"empty", "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(capitalize_first(Text(row.input)).bytes(), row.expected);
    }
}

TEST(HeadersTest, NormalizeHeaderNames) {
    const Row rows[] = {
        {"two_lines", "content-type: text/html\r\nuser-agent:x", "Content-Type: text/html\r\nUser-Agent:x"},
        {"only_first_letters_raised", "content-TYPE: a", "Content-TYPE: a"},
        {"double_hyphen", "a--b: v", "A--B: v"},
        {"trailing_hyphen_kept", "x-: v", "X-: v"},
        {"leading_hyphen", "-x: v", "-X: v"},
        {"value_untouched", "x-y: a-b: c-d", "X-Y: a-b: c-d"},
        {"leading_blank_first_word", " accept: x", " accept: x"},
        {"leading_blank_later_word", " x-y: z", " x-Y: z"},
        {"name_empty", ": v", ": v"},
        {"lines_without_colon_dropped", "a\r\nb: 1\r\n\r\nc", "B: 1"},
        {"trailing_crlf_dropped", "a: 1\r\n", "A: 1"},
        {"no_colon_anywhere", "abc\r\ndef", ""},
        {"empty", "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(normalize_header_names(Text(row.input)).bytes(), row.expected);
    }
}

TEST(HeadersTest, HeaderValue) {
    const Row rows[] = {
        {"trimmed", "Host:  a.b ", "a.b"},
        {"no_colon", "Host a.b", ""},
        {"rest_of_block", "k: v\r\nm: n", "v\r\nm: n"},
        {"ideographic_space", "k:\xA1\xA1v\xA1\xA1", "v"},
        {"tab_is_no_blank", "k:\tv", "\tv"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(header_value(Text(row.input)).bytes(), row.expected);
    }
}

TEST(HeadersTest, ChooseUserAgent) {
    const Row rows[] = {
        {"empty_block", "", kDefaultUserAgent},
        {"no_agent_line", "Accept: x", kDefaultUserAgent},
        {"agent_line", "Accept: x\r\nUser-Agent: Foo/1.0", "Foo/1.0"},
        {"agent_line_followed", "User-Agent:  Foo/1.0 \r\nAccept: x", "Foo/1.0"},
        // Another letter case is found, but read with header_value of the whole block.
        {"other_case", "user-agent: Foo", "Foo"},
        {"other_case_after_other_line", "Accept: a\r\nuser-agent: Foo", "a\r\nuser-agent: Foo"},
        {"empty_value", "Accept: a\r\nUser-Agent:", "a\r\nUser-Agent:"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(choose_user_agent(Text(row.input)).bytes(), row.expected);
    }
}

TEST(HeadersTest, AddHeaderIfMissing) {
    EXPECT_EQ(add_header_if_missing(Text("A: 1"), "B:", "\r\nB: 2").bytes(), "A: 1\r\nB: 2");
    EXPECT_EQ(add_header_if_missing(Text("b: 1"), "B:", "\r\nB: 2").bytes(), "b: 1");
    // The whole block is searched, values included.
    EXPECT_EQ(add_header_if_missing(Text("A: xb:y"), "B:", "\r\nB: 2").bytes(), "A: xb:y");
}

struct DefaultsRow {
    const char* name;
    const char* headers;
    int32_t method_index;
    const char* expected;
};

TEST(HeadersTest, AddDefaultHeaders) {
    const DefaultsRow rows[] = {
        {"empty_get", "", 0, "Accept: */*\r\nReferer: http://u/\r\nAccept-Language: zh-cn"},
        {"empty_post", "", 1,
         "Accept: */*\r\nReferer: http://u/\r\nAccept-Language: zh-cn\r\n"
         "Content-Type: application/x-www-form-urlencoded"},
        {"put_gets_no_content_type", "", 3, "Accept: */*\r\nReferer: http://u/\r\nAccept-Language: zh-cn"},
        {"accept_in_other_case", "accept: text/html", 0,
         "accept: text/html\r\nReferer: http://u/\r\nAccept-Language: zh-cn"},
        {"referer_inside_a_value", "X: Referer: y", 0, "X: Referer: y\r\nAccept: */*\r\nAccept-Language: zh-cn"},
        {"complete_block", "Accept: a\r\nReferer: r\r\nAccept-Language: en\r\nContent-Type: t", 1,
         "Accept: a\r\nReferer: r\r\nAccept-Language: en\r\nContent-Type: t"},
        {"block_ending_in_crlf", "X: 1\r\n", 0,
         "X: 1\r\n\r\nAccept: */*\r\nReferer: http://u/\r\nAccept-Language: zh-cn"},
    };
    for (const DefaultsRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(add_default_headers(Text(row.headers), "http://u/", row.method_index).bytes(), row.expected);
    }
}

struct CookieRow {
    const char* name;
    const char* headers;
    const char* cookies;
    const char* expected;
};

TEST(HeadersTest, AddCookieHeader) {
    const CookieRow rows[] = {
        {"pairs", "Accept: */*", "a=1; b=2", "Accept: */*\r\nCookie: a=1; b=2"},
        {"whole_line", "Accept: */*", "Cookie: a=1", "Accept: */*\r\nCookie: a=1"},
        {"small_c_is_no_line", "Accept: */*", "cookie: a=1", "Accept: */*\r\nCookie: cookie: a=1"},
        {"no_cookies", "Accept: */*", "", "Accept: */*"},
        {"empty_block", "", "a=1", "\r\nCookie: a=1"},
    };
    for (const CookieRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(add_cookie_header(Text(row.headers), Text(row.cookies)).bytes(), row.expected);
    }
}

}  // namespace
