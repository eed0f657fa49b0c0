#include "lookup/lookup.h"

#include <gtest/gtest.h>

#include "tests/fixtures/read_fixture.h"
#include "text/codepage.h"

namespace {

TEST(LookupPageUrl, InsertsTheIdByteForByte) {
    struct Row {
        const char* name;
        Text id;
        const char* url;
    } rows[] = {
        {"digits", "1600123456789", "https://www.alibaba.com/detail/compareProducts.html?ids=1600123456789&pids="},
        {"empty", Text(), "https://www.alibaba.com/detail/compareProducts.html?ids=&pids="},
        {"blank and ampersand", "1 2&x=3", "https://www.alibaba.com/detail/compareProducts.html?ids=1 2&x=3&pids="},
        {"two-byte characters", "\xD6\xD0", "https://www.alibaba.com/detail/compareProducts.html?ids=\xD6\xD0&pids="},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(lookup_page_url(row.id).bytes(), row.url);
    }
}

TEST(LookupReadFields, RealisticPage) {
    PageFields f = lookup_read_fields(utf8_to_local(Text(read_fixture("pages/compare_ok.html"))));
    EXPECT_EQ(f.inquiries.bytes(), "1,234+");
    EXPECT_EQ(f.viewers.bytes(), "5,678");
    EXPECT_EQ(f.image_url.bytes(), "\\/\\/img.example-cdn.com\\/kf\\/H1234abcd\\/flask.png_350x350.png");
    EXPECT_EQ(lookup_absolute_url(f.image_url).bytes(),
              "https://img.example-cdn.com/kf/H1234abcd/flask.png_350x350.png");
    EXPECT_EQ(lookup_absolute_url(f.detail_url).bytes(),
              "https://www.alibaba.com/product-detail/Stainless-Steel-Vacuum-Flask_1600123456789.html");
}

TEST(LookupReadFields, MarkerShapes) {
    struct Row {
        const char* name;
        const char* page;
        const char* inquiries;
        const char* viewers;
    } rows[] = {
        {"quoted numbers", R"({"sixMonthIquiries":"12","pageViews":"34"})", "12", "34"},
        {"viewers missing", R"({"iquiries":"12"})", "12", ""},
        {"key in other letter case", R"({"IQUIRIES":"7","PageViews":"8"})", "7", "8"},
        {"bare number is not a field", R"({"iquiries":12,"pageViews":"9"})", "", "9"},
        {"blank after the colon is not a field", R"({"iquiries": "12"})", "", ""},
        {"empty value", R"({"iquiries":"","pageViews":"3"})", "", "3"},
        {"first occurrence wins", R"({"iquiries":"1"},{"iquiries":"2"})", "1", ""},
        {"value without closing quote", R"({"pageViews":"5)", "", ""},
        {"correctly spelled key does not match", R"({"inquiries":"5"})", "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PageFields f = lookup_read_fields(Text(row.page));
        EXPECT_EQ(f.inquiries.bytes(), row.inquiries);
        EXPECT_EQ(f.viewers.bytes(), row.viewers);
    }
}

TEST(LookupAbsoluteUrl, RemovesEveryBackslashAndPrefixesTheScheme) {
    EXPECT_EQ(lookup_absolute_url(Text()).bytes(), "https:");
    EXPECT_EQ(lookup_absolute_url("\\/\\/a.b\\/c\\\\d").bytes(), "https://a.b/cd");
    EXPECT_EQ(lookup_absolute_url("//a.b/c").bytes(), "https://a.b/c");
}

}  // namespace
