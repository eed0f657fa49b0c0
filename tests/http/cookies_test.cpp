#include "http/cookies.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct MergeRow {
    const char* name;
    const char* sent;
    const char* set;
    const char* merged;
    const char* set_after;  // the normalised response cookies left in the caller's variable
};

TEST(CookiesTest, MergeCookies) {
    const MergeRow rows[] = {
        // Which pairs win.
        {"response_first_then_unset_sent", "a=1; b=2", "b=3; c=4", "b=3; c=4; a=1", "b=3; c=4"},
        {"nothing_set", "a=1; b=2", "", "a=1; b=2", ""},
        {"nothing_at_all", "", "", "", ""},
        {"nothing_sent", "", "x=1; y=2", "x=1; y=2", "x=1; y=2"},
        {"first_sent_pair_of_a_name", "a=1; a=2", "", "a=1", ""},
        {"names_compare_exactly", "A=1", "a=2", "a=2; A=1", "a=2"},
        {"name_trimmed", "a =1", "a=2", "a=2", "a=2"},
        // Deletion.
        {"deleted_removes_sent", "a=1", "a=deleted", "", "a=deleted"},
        {"deleted_keeps_others", "a=1; b=2", "a=deleted", "b=2", "a=deleted"},
        {"deleted_is_lower_case_only", "", "a=DELETED", "a=DELETED", "a=DELETED"},
        {"bare_deleted_pair", "", "=deleted; b=1", "b=1", "=deleted; b=1"},
        // Repeats.
        {"identical_set_pairs_once", "", "x=1; x=1", "x=1", "x=1; x=1"},
        {"same_name_other_value_both", "", "x=1; x=2", "x=1; x=2", "x=1; x=2"},
        // Separators and blanks.
        {"sent_ends_in_semicolon", "a=1; b=2;", "", "a=1; b=2", ""},
        {"set_ends_in_semicolon", "", " c=3; ", "c=3", "c=3; "},
        {"semicolon_without_blank_is_one_pair", "a=1;b=2", "a=3", "a=3", "a=3"},
        {"blank_inside_pair_survives", "a=1 ; b=2", "", "a=1 ; b=2", ""},
    };
    for (const MergeRow& row : rows) {
        SCOPED_TRACE(row.name);
        Text sent(row.sent), set(row.set);
        Text merged = merge_cookies(sent, set);
        EXPECT_EQ(merged.bytes(), row.merged);
        EXPECT_EQ(sent.bytes(), row.merged);
        EXPECT_EQ(set.bytes(), row.set_after);
    }
}

TEST(CookiesTest, CookieName) {
    EXPECT_EQ(cookie_name(Text(" a = 1")).bytes(), "a");
    EXPECT_EQ(cookie_name(Text("flag")).bytes(), "flag");
    EXPECT_EQ(cookie_name(Text("=v")).bytes(), "");
    EXPECT_EQ(cookie_name(Text("a=b=c")).bytes(), "a");
}

TEST(CookiesTest, CookieListHas) {
    TextList pairs{Text("a=1"), Text("b"), Text()};
    EXPECT_TRUE(cookie_list_has(pairs, Text("a")));
    EXPECT_TRUE(cookie_list_has(pairs, Text("b")));
    EXPECT_TRUE(cookie_list_has(pairs, Text()));  // the absent pair has the empty name
    EXPECT_FALSE(cookie_list_has(pairs, Text("A")));
    EXPECT_FALSE(cookie_list_has({}, Text()));
}

TEST(CookiesTest, SplitUnique) {
    EXPECT_EQ(split_unique(Text("a; b; a"), Text("; "), true).bytes(), "a; b");
    EXPECT_EQ(split_unique(Text("abca"), Text("-"), false).bytes(), "a-b-c");
    EXPECT_EQ(split_unique(Text("\xD6\xD0" "a\xD6\xD0"), Text(","), false).bytes(), "\xD6\xD0,a");
    EXPECT_EQ(split_unique(Text(), Text("; "), true).bytes(), "");
    EXPECT_EQ(split_unique(Text("a,b"), Text(), true).bytes(), "a,b");
}

TEST(CookiesTest, SplitChars) {
    struct Row {
        const char* name;
        const char* subject;
        std::vector<std::string> units;
    };
    const Row rows[] = {
        {"two_byte_then_ascii", "\xD6\xD0" "a", {"\xD6\xD0", "a"}},
        {"crlf_is_one_unit", "a\r\nb", {"a", "\r\n", "b"}},
        {"lone_cr", "\ra", {"\r", "a"}},
        {"last_high_byte_alone", "a\xD6", {"a", "\xD6"}},
        {"byte_0x80_alone", "\x80" "a", {"\x80", "a"}},
        {"byte_0x81_pairs", "\x81" "a", {"\x81" "a"}},
        {"empty", "", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> got;
        for (const Text& unit : split_chars(Text(row.subject))) got.push_back(unit.bytes());
        EXPECT_EQ(got, row.units);
    }
}

TEST(CookiesTest, ListIndexOf) {
    TextList list{Text("a"), Text("b"), Text("a")};
    EXPECT_EQ(list_index_of(list, Text("a")), 1);
    EXPECT_EQ(list_index_of(list, Text("b")), 2);
    EXPECT_EQ(list_index_of(list, Text("c")), -1);
    EXPECT_EQ(list_index_of({}, Text()), -1);
}

}  // namespace
