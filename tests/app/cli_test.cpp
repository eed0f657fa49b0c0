#include "app/cli.h"

#include <gtest/gtest.h>

namespace {

TEST(CliParseArgs, OptionsAndErrors) {
    struct Row {
        const char* name;
        std::vector<std::string> args;
        const char* error_part;  // "" when the arguments are valid
    } rows[] = {
        {"ids only", {"1", "2"}, ""},
        {"format csv", {"--format", "csv", "1"}, ""},
        {"format with equals", {"--format=json"}, ""},
        {"delay zero", {"--delay", "0"}, ""},
        {"double dash ends options", {"--", "--format"}, ""},
        {"unknown option", {"--fast"}, "unknown option '--fast'"},
        {"unknown format", {"--format", "xml"}, "unknown format 'xml'"},
        {"missing value", {"--delay"}, "needs a value"},
        {"negative delay", {"--delay", "-1"}, "bad delay '-1'"},
        {"words as delay", {"--delay", "soon"}, "bad delay 'soon'"},
        {"nan delay", {"--delay", "nan"}, "bad delay 'nan'"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CliParse p = cli_parse_args(row.args);
        if (*row.error_part == '\0') {
            EXPECT_EQ(p.error, "");
        } else {
            EXPECT_NE(p.error.find(row.error_part), std::string::npos) << p.error;
        }
    }
    CliParse p = cli_parse_args({"--format", "csv", "--images", "out", "--delay", "0.5", "7", "--", "-8"});
    EXPECT_EQ(p.options.format, CliFormat::csv);
    EXPECT_EQ(p.options.images_dir, "out");
    EXPECT_DOUBLE_EQ(p.options.delay_seconds, 0.5);
    EXPECT_EQ(p.options.ids, (std::vector<std::string>{"7", "-8"}));
}

TEST(CliIdsFromLines, SkipsBlanksAndComments) {
    EXPECT_EQ(cli_ids_from_lines("1\r\n\n# note\n  \n2\n3"), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_TRUE(cli_ids_from_lines("").empty());
}

TEST(CliCount, DropsSeparatorsAndPlus) {
    struct Row {
        const char* text;
        std::optional<int64_t> count;
    } rows[] = {{"1,234+", 1234},
                {"0", 0},
                {"12", 12},
                {"", std::nullopt},
                {"1.5", std::nullopt},
                {"abc", std::nullopt},
                {"+", std::nullopt},
                {"1,000,000", 1000000}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(cli_count(row.text), row.count);
    }
}

ByteSet page(const std::string& s) {
    return ByteSet(s);
}

TEST(CliMakeRecord, StatusAndImageRequest) {
    struct Row {
        const char* name;
        std::string body;
        const char* status;
        const char* image_request;  // the URL the image request was made for
    } rows[] = {
        {"fields found", R"({"iquiries":"1,234+","pageViews":"9","imageUrl":"\/\/i.example\/a.png"})", "ok",
         "https://i.example/a.png"},
        {"no fields", "<html>nothing for this id</html>", "no data", "https:"},
        {"slider check", "<html><div id=\"nc_1_n1z\" class=\"slider\">Please slide to verify</div></html>", "blocked",
         "https:"},
        {"login form", "<form><input type=\"password\" name=\"pw\"></form>", "blocked", "https:"},
        {"empty body", "", "no response", "https:"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string requested;
        LookupRecord r = cli_make_record("42", page(row.body), [&](const Text& url) {
            requested = url.bytes();
            return ByteSet(std::string("\x89PNG\r\n\x1a\n....", 12));
        });
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(requested, row.image_request);
        EXPECT_EQ(r.image_bytes, 12);
        EXPECT_EQ(r.image_type, "png");
    }
}

TEST(CliMakeRecord, ConvertsToUtf8AndLeavesMissingUrlsEmpty) {
    LookupRecord r =
        cli_make_record("42", page("{\"iquiries\":\"\xE4\xB8\x87+\",\"productDetailUrl\":\"\\/\\/d.example\\/p\"}"),
                        [](const Text&) { return ByteSet(); });
    EXPECT_EQ(r.inquiries, "\xE4\xB8\x87+");  // the page's UTF-8 comes back out as UTF-8
    EXPECT_EQ(r.inquiries_count, std::nullopt);
    EXPECT_EQ(r.image_url, "");
    EXPECT_EQ(r.detail_url, "https://d.example/p");
    EXPECT_EQ(r.image_type, "");
    EXPECT_EQ(r.page_url, "https://www.alibaba.com/detail/compareProducts.html?ids=42&pids=");
}

TEST(CliUtf8, LocalTextsComeOutAsUtf8) {
    struct Row {
        const char* name;
        Text local;
        const char* utf8;
    } rows[] = {
        {"empty", Text(), ""},
        {"ascii", "id,1", "id,1"},
        {"two-byte characters", "\xD6\xD0\xCE\xC4", "\xE4\xB8\xAD\xE6\x96\x87"},
        // One byte in 936, three in UTF-8: the output outgrows twice the local length.
        {"euro signs", "\x80\x80\x80\x80", "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(cli_utf8(row.local), row.utf8);
    }
}

TEST(CliFormats, CsvQuotingAndJsonEscaping) {
    LookupRecord r;
    r.id = "1";
    r.status = "ok";
    r.inquiries = "1,234+";
    r.viewers = "say \"hi\"";
    r.detail_url = "https://d/\xE4\xB8\xAD";
    r.inquiries_count = 1234;
    r.image_bytes = 5;
    EXPECT_EQ(cli_csv_row(r), "1,ok,\"1,234+\",\"say \"\"hi\"\"\",,https://d/\xE4\xB8\xAD,1234,,5,\r\n");
    EXPECT_EQ(cli_json_line(r),
              "{\"id\":\"1\",\"status\":\"ok\",\"inquiries\":\"1,234+\",\"viewers\":\"say \\\"hi\\\"\","
              "\"image_url\":\"\",\"detail_url\":\"https://d/\xE4\xB8\xAD\",\"inquiries_count\":1234,"
              "\"viewers_count\":null,\"image_bytes\":5,\"image_type\":\"\"}\n");
}

TEST(CliFormats, TableAlignsWideCharacters) {
    LookupRecord a;
    a.id = "\xE4\xB8\xAD\xE6\x96\x87";  // two wide characters: four columns
    a.status = "ok";
    LookupRecord b;
    b.id = "abcd";
    b.status = "no data";
    std::string t = cli_table({a, b});
    // Each STATUS cell starts in the same terminal column.
    size_t line2 = t.find('\n') + 1, line3 = t.find('\n', line2) + 1;
    EXPECT_EQ(t.substr(line2, t.find("ok", line2) - line2), "\xE4\xB8\xAD\xE6\x96\x87  ");
    EXPECT_EQ(t.substr(line3, t.find("no data", line3) - line3), "abcd  ");
}

}  // namespace
