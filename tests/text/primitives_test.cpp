#include "text/primitives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using std::nullopt;
using Opt = std::optional<int32_t>;

Text T(const std::string& bytes) { return Text(std::string_view(bytes)); }

// A plain transcription of the character walk, one position at a time, as the reference for the searching
// primitives. It knows nothing of the scanning shortcuts of the real code.
namespace ref {

using Byte = unsigned char;
Byte fold(Byte b) { return (b >= 'A' && b <= 'Z') ? static_cast<Byte>(b + 32) : b; }
bool lead(const std::string& s, size_t p) { return static_cast<Byte>(s[p]) >= 0x80; }
bool same(const std::string& s, size_t p, const std::string& n, bool fold_case) {
    for (size_t i = 0; i < n.size(); ++i) {
        const Byte a = static_cast<Byte>(s[p + i]), b = static_cast<Byte>(n[i]);
        if (fold_case ? fold(a) != fold(b) : a != b) return false;
    }
    return true;
}
// The next position of the walk, or npos when a cut character at the end stops it.
size_t step(const std::string& s, size_t p) {
    if (!lead(s, p)) return p + 1;
    return p + 1 == s.size() ? std::string::npos : p + 2;
}

int find(const std::string& s, const std::string& n, Opt start, bool ic) {
    const long from = start ? std::max<long>(*start, 1) : 1;
    if (from > static_cast<long>(s.size())) return -1;
    if (n.empty()) return 1;
    for (size_t p = from - 1; p != std::string::npos && s.size() - p >= n.size(); p = step(s, p))
        if (same(s, p, n, ic)) return static_cast<int>(p + 1);
    return -1;
}

int rfind(const std::string& s, const std::string& n, Opt start, bool ic) {
    const long len = static_cast<long>(s.size());
    const long region = !start ? len : (*start <= 1 ? 0 : std::min<long>(*start - 1, len));
    if (n.empty()) return region > 0 ? 1 : -1;
    int last = -1;
    for (size_t p = 0; p != std::string::npos && region - static_cast<long>(p) >= static_cast<long>(n.size());
         p = step(s, p))
        if (same(s, p, n, ic)) last = static_cast<int>(p + 1);
    return last;
}

std::string replace(const std::string& s, const std::string& f, const std::string& r, Opt start, Opt count,
                    bool match_case) {
    const long from = start ? std::max<long>(*start, 1) : 1;
    long left = count ? *count : -1;
    if (s.empty() || f.empty() || from > static_cast<long>(s.size()) || left == 0) return s;
    std::string out = s.substr(0, from - 1);
    size_t p = from - 1;
    while (p < s.size() && s.size() - p >= f.size()) {
        if (same(s, p, f, !match_case)) {
            out += r;
            p += f.size();
            if (left > 0 && --left == 0) break;
        } else if (lead(s, p)) {
            if (p + 1 < s.size()) out += s.substr(p, 2);
            p += 2;
        } else {
            out += s[p++];
        }
    }
    if (p < s.size()) out += s.substr(p);
    return out;
}

std::vector<std::string> split(const std::string& s, const std::string& sep) {
    std::vector<std::string> items;
    if (s.empty()) return items;
    if (sep.empty()) return {s};
    size_t piece = 0, p = 0;
    while (p != std::string::npos && p < s.size() && s.size() - p >= sep.size()) {
        if (same(s, p, sep, false)) {
            items.push_back(s.substr(piece, p - piece));
            p = piece = p + sep.size();
        } else {
            p = step(s, p);
        }
    }
    if (piece < s.size()) items.push_back(s.substr(piece));
    return items;
}

std::string change_case(const std::string& s, bool upper) {
    std::string out = s;
    for (size_t p = 0; p < out.size(); p += lead(out, p) ? 2 : 1) {
        const char c = out[p];
        if (upper && c >= 'a' && c <= 'z') out[p] = static_cast<char>(c - 32);
        if (!upper && c >= 'A' && c <= 'Z') out[p] = static_cast<char>(c + 32);
    }
    return out;
}

std::string trim(const std::string& s) {
    auto blank_at = [&](size_t p) { return s[p] == ' ' || (p + 1 < s.size() && s[p] == '\xA1' && s[p + 1] == '\xA1'); };
    size_t first = 0;
    while (first < s.size() && blank_at(first)) first += s[first] == ' ' ? 1 : 2;
    size_t keep = first;
    for (size_t p = first; p < s.size(); p += lead(s, p) ? 2 : 1) {
        if (lead(s, p) && p + 1 == s.size()) return s.substr(first, p - first);
        if (!blank_at(p)) keep = p + (lead(s, p) ? 2 : 1);
    }
    return s.substr(first, keep - first);
}

}  // namespace ref

std::vector<std::string> bytes_of(const TextList& list) {
    std::vector<std::string> out;
    for (const Text& t : list) out.push_back(t.bytes());
    return out;
}

// --- Searching ---

TEST(TxtFind, Cases) {
    struct Row {
        const char* name;
        std::string subject, needle;
        Opt start;
        bool ignore_case;
        int32_t want;
    };
    const Row rows[] = {
        // Empty needles are found at 1, whatever the start, while the region is not empty.
        {"empty needle", "abc", "", nullopt, false, 1},
        {"empty needle from 3 still 1", "abc", "", 3, false, 1},
        {"empty needle past the end", "abc", "", 4, false, -1},
        {"empty needle in empty subject", "", "", nullopt, false, -1},
        // Starts below 1 search from the first byte.
        {"start 0", "abc", "c", 0, false, 3},
        {"negative start", "abc", "a", -7, false, 1},
        {"start at the match", "abcabc", "b", 2, false, 2},
        {"start past the first match", "abcabc", "b", 3, false, 5},
        {"start past the end", "abc", "c", 4, false, -1},
        {"needle longer than subject", "ab", "abc", nullopt, false, -1},
        {"match ends the subject", "xxab", "ab", nullopt, false, 3},
        // Case folding touches ASCII letters only.
        {"header name, folded", "User-agent: x", "User-Agent:", nullopt, true, 1},
        {"header name, exact", "User-agent: x", "User-Agent:", nullopt, false, -1},
        {"brackets do not fold", "{", "[", nullopt, true, -1},
        {"at and grave do not fold", "`", "@", nullopt, true, -1},
        {"high bytes do not fold", "\xE1 ", "\xC1", nullopt, true, -1},
        {"second byte folds", "\xB0\x61", "\xB0\x41", nullopt, true, 1},
        {"second byte exact", "\xB0\x61", "\xB0\x41", nullopt, false, -1},
        // Matches start only where the walk lands.
        {"second byte is not a start", "\xB0\x41", "A", nullopt, false, -1},
        {"found after the pair", "\xB0\x41\x41", "A", nullopt, false, 3},
        {"needle straddling from the second byte", "\xB0\x41\x42", "AB", nullopt, false, -1},
        {"needle beginning with the pair", "\xB0\x41\x42", "\xB0\x41", nullopt, false, 1},
        {"start inside a pair walks from there", "\xB0\x41\x42", "A", 2, false, 2},
        {"run of high bytes pairs off", "\xB0\xB1\xB2\xB3\xB4", "\xB2", nullopt, false, 3},
        {"odd place in a run", "\xB0\xB1\xB2\xB3\xB4", "\xB3", nullopt, false, -1},
        {"cut character at the end matches itself", "a\xB0", "\xB0", nullopt, false, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(txt_find(T(row.subject), T(row.needle), row.start, row.ignore_case), row.want);
        EXPECT_EQ(ref::find(row.subject, row.needle, row.start, row.ignore_case), row.want);
    }
}

TEST(TxtRfind, Cases) {
    struct Row {
        const char* name;
        std::string subject, needle;
        Opt start;
        bool ignore_case;
        int32_t want;
    };
    const Row rows[] = {
        {"whole subject", "a.b.c", ".", nullopt, false, 4},
        {"before byte 4", "a.b.c", ".", 4, false, 2},
        {"start 1 searches nothing", "a.b.c", ".", 1, false, -1},
        {"start 0 searches nothing", "a.b.c", ".", 0, false, -1},
        {"start far past the end", "a.b.c", ".", 100, false, 4},
        {"overlapping occurrences count", "aaa", "aa", nullopt, false, 2},
        {"must lie wholly before start", "abcabc", "bc", 6, false, 2},
        {"ends right before start", "abcabc", "bc", 7, false, 5},
        {"empty needle", "abc", "", nullopt, false, 1},
        {"empty needle, empty region", "abc", "", 1, false, -1},
        {"empty subject", "", "", nullopt, false, -1},
        {"folded", "ABab", "ab", nullopt, true, 3},
        {"exact", "ABab", "AB", nullopt, false, 1},
        {"second byte skipped", "x.\xB0.", ".", nullopt, false, 2},
        {"after a pair", "\xB0..", ".", nullopt, false, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(txt_rfind(T(row.subject), T(row.needle), row.start, row.ignore_case), row.want);
        EXPECT_EQ(ref::rfind(row.subject, row.needle, row.start, row.ignore_case), row.want);
    }
}

// --- Replacing ---

TEST(TxtReplace, Cases) {
    struct Row {
        const char* name;
        std::string subject, find, with;
        Opt start, count;
        bool match_case;
        std::string want;
    };
    const Row rows[] = {
        {"left to right, no overlap", "aaa", "aa", "b", nullopt, nullopt, true, "ba"},
        {"from byte 3", "abcabc", "b", "", 3, nullopt, true, "abcac"},
        {"count 1", "abcabc", "b", "", nullopt, 1, true, "acabc"},
        {"count 0 replaces nothing", "abcabc", "b", "", nullopt, 0, true, "abcabc"},
        {"negative count is unlimited", "aXaXa", "X", "", nullopt, -1, true, "aaa"},
        {"start 0 is the first byte", "abab", "a", "x", 0, nullopt, true, "xbxb"},
        {"start past the end", "abc", "c", "x", 4, nullopt, true, "abc"},
        {"replacement holding the find text", "aa", "a", "aa", nullopt, nullopt, true, "aaaa"},
        {"empty find text", "abc", "", "x", nullopt, nullopt, true, "abc"},
        {"growing", "a,b", ",", "\r\n", nullopt, nullopt, true, "a\r\nb"},
        // The flag asks for exact case when true.
        {"folded", "ABab", "ab", "x", nullopt, nullopt, false, "xx"},
        {"exact", "ABab", "ab", "x", nullopt, nullopt, true, "ABx"},
        // Character walk.
        {"second byte untouched", "\xB0\x41\x41", "A", "x", nullopt, nullopt, true, "\xB0\x41x"},
        {"pair replaced whole", "a\xB0\x41", "\xB0\x41", "x", nullopt, nullopt, true, "ax"},
        {"cut character dropped by a one-byte walk", "ab\xB0", "a", "x", nullopt, nullopt, true, "xb"},
        {"cut character after a pair", "\xB0\xB0\xB0", "z", "x", nullopt, nullopt, true, "\xB0\xB0"},
        {"cut character kept when the count ran out", "ab\xB0", "a", "x", nullopt, 1, true, "xb\xB0"},
        {"cut character kept by a longer find text", "ab\xB0", "ab", "x", nullopt, nullopt, true, "x\xB0"},
        {"cut character replaced when it is the find text", "a\xB0", "\xB0", "x", nullopt, nullopt, true, "ax"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(txt_replace(T(row.subject), T(row.find), T(row.with), row.start, row.count, row.match_case).bytes(),
                  row.want);
        EXPECT_EQ(ref::replace(row.subject, row.find, row.with, row.start, row.count, row.match_case), row.want);
    }
}

TEST(TxtReplace, DefaultsFoldCaseAndRemove) {
    EXPECT_EQ(txt_replace(Text("a\\/b\\/C"), Text("\\")).bytes(), "a/b/C");
    EXPECT_EQ(txt_replace(Text("xXx"), Text("x")).bytes(), "");
    EXPECT_FALSE(txt_replace(Text("xXx"), Text("x")).present());
}

// --- Splitting ---

TEST(TxtSplit, Cases) {
    struct Row {
        const char* name;
        std::string subject;
        std::optional<std::string> separator;
        Opt limit;
        std::vector<std::string> want;
    };
    const Row rows[] = {
        {"empty pieces inside, none at the end", "a,,b,", nullopt, nullopt, {"a", "", "b"}},
        {"lone separator", ",", nullopt, nullopt, {""}},
        {"separator first", ",a", nullopt, nullopt, {"", "a"}},
        {"empty subject", "", nullopt, nullopt, {}},
        {"limit 2", "a,b,c", nullopt, 2, {"a", "b"}},
        {"limit 0", "a,b,c", nullopt, 0, {}},
        {"negative limit", "a,b,c", nullopt, -3, {}},
        {"limit above the count", "a,b", nullopt, 5, {"a", "b"}},
        {"empty separator", "a,b", "", nullopt, {"a,b"}},
        {"no separator in subject", "abc", ";", nullopt, {"abc"}},
        {"two-byte separator", "k: v\r\nx: y\r\n", "\r\n", nullopt, {"k: v", "x: y"}},
        {"separator compared exactly", "aXbxc", "x", nullopt, {"aXb", "c"}},
        {"separator as a second byte", "\xB0,a,b", nullopt, nullopt, {"\xB0,a", "b"}},
        {"cut character stays in the last piece", "a,\xB0", nullopt, nullopt, {"a", "\xB0"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::optional<Text> sep = row.separator ? std::optional<Text>(T(*row.separator)) : nullopt;
        const TextList got = txt_split(T(row.subject), sep, row.limit);
        EXPECT_EQ(bytes_of(got), row.want);
        for (const Text& item : got) {
            EXPECT_EQ(item.present(), !item.empty());  // empty pieces are absent
        }
        if (!row.limit) {
            EXPECT_EQ(ref::split(row.subject, row.separator.value_or(",")), row.want);
        }
    }
}

// --- Trimming and case ---

TEST(TxtTrim, Cases) {
    struct Row {
        const char* name;
        std::string subject, want;
    };
    const Row rows[] = {
        {"tab ends the trailing run", "  \xA1\xA1x\t ", "x\t"},
        {"only blanks", " \xA1\xA1 \xA1\xA1", ""},
        {"blanks both sides", "\xA1\xA1 a b \xA1\xA1 ", "a b"},
        {"CR and LF are not blanks", "\r\n x \n", "\r\n x \n"},
        {"pair with a blank second byte stays", "x\xB0 ", "x\xB0 "},
        {"pair with A1 second byte is not a blank", "x\xB0\xA1\xA1", "x\xB0\xA1"},
        {"cut character goes, blanks before it stay", "x \xB0", "x "},
        {"lone A1 at the end is cut", " \xA1", ""},
        {"nothing to trim", "abc", "abc"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(txt_trim(T(row.subject)).bytes(), row.want);
        EXPECT_EQ(ref::trim(row.subject), row.want);
    }
    EXPECT_FALSE(txt_trim(Text("  ")).present());
}

TEST(TxtCase, SecondBytesAndOtherBytesUnchanged) {
    EXPECT_EQ(txt_upper(Text("abc\xB0\x61z[`{\xB0")).bytes(), "ABC\xB0\x61Z[`{\xB0");
    EXPECT_EQ(txt_lower(Text("ABC\xB0\x41Z@[\xB0")).bytes(), "abc\xB0\x41z@[\xB0");
    EXPECT_FALSE(txt_upper(Text()).present());
}

// Every two-byte character, as lead and second byte, in a subject that also holds the second byte on its
// own and ends in a cut character: no operation may treat the second byte as a character of its own.
TEST(CharacterWalk, EveryLeadAndSecondByte) {
    int failures = 0;
    for (int lead = 0x80; lead <= 0xFF && failures < 5; ++lead) {
        for (int second = 0x01; second <= 0xFF && failures < 5; ++second) {
            const char l = static_cast<char>(lead), t = static_cast<char>(second);
            const std::string subjects[] = {{'a', l, t, t, l}, {t, l, t, ' ', l, t}};
            const std::string needles[] = {{t}, {l}, {t, l}};
            for (const std::string& s : subjects) {
                for (const std::string& n : needles) {
                    for (bool ic : {false, true}) {
                        const bool same = txt_find(T(s), T(n), nullopt, ic) == ref::find(s, n, nullopt, ic) &&
                                          txt_rfind(T(s), T(n), nullopt, ic) == ref::rfind(s, n, nullopt, ic) &&
                                          txt_replace(T(s), T(n), Text("#"), nullopt, nullopt, ic).bytes() ==
                                              ref::replace(s, n, "#", nullopt, nullopt, ic);
                        if (!same) {
                            ++failures;
                            ADD_FAILURE() << "search lead " << lead << " second " << second << " needle size "
                                          << n.size() << " ignore case " << ic;
                        }
                    }
                    if (bytes_of(txt_split(T(s), T(n))) != ref::split(s, n)) {
                        ++failures;
                        ADD_FAILURE() << "split lead " << lead << " second " << second;
                    }
                }
                if (txt_upper(T(s)).bytes() != ref::change_case(s, true) ||
                    txt_lower(T(s)).bytes() != ref::change_case(s, false) || txt_trim(T(s)).bytes() != ref::trim(s)) {
                    ++failures;
                    ADD_FAILURE() << "case or trim lead " << lead << " second " << second;
                }
            }
        }
    }
}

// Long subjects made of few distinct bytes are full of near-matches and overlapping matches; they drive the
// searches off their scanning path onto the automaton, which has to give the same answers.
TEST(CharacterWalk, LongNearMatchSubjects) {
    std::mt19937 rng(20240611);
    const char alphabet[] = {'a', '\x81', 'A', 'b'};
    for (int round = 0; round < 160; ++round) {
        // Even rounds: two or four bytes, evenly spread. Odd rounds: one byte fills 15 places in 16.
        const int letters = round % 4 == 0 ? 2 : 4;
        const char main = alphabet[(round / 2) % 2];
        auto pick = [&] {
            if (round % 2 == 1) return rng() % 16 ? main : alphabet[rng() % 4];
            return alphabet[rng() % letters];
        };
        std::string s(5000 + rng() % 3000, ' '), n(1 + rng() % 9, ' ');
        for (char& c : s) c = pick();
        for (char& c : n) c = pick();
        const bool ic = rng() % 2;
        const Opt start = rng() % 2 ? Opt(static_cast<int32_t>(rng() % 100)) : nullopt;
        SCOPED_TRACE(testing::Message() << "round " << round);
        ASSERT_EQ(txt_find(T(s), T(n), start, ic), ref::find(s, n, start, ic));
        ASSERT_EQ(txt_rfind(T(s), T(n), start, ic), ref::rfind(s, n, start, ic));
        ASSERT_EQ(txt_replace(T(s), T(n), Text("<>"), start, nullopt, !ic).bytes(),
                  ref::replace(s, n, "<>", start, nullopt, !ic));
        ASSERT_EQ(bytes_of(txt_split(T(s), T(n))), ref::split(s, n));
    }
}

// --- Numbers and codes ---

TEST(TxtToInt, Cases) {
    struct Row {
        const char* name;
        std::string subject;
        int32_t want;
    };
    const Row rows[] = {
        {"blanks, sign, trailing letters", "  -12abc", -12},
        {"wraps in 32 bits", "4294967297", 1},
        {"wraps to the lowest value", "2147483648", INT32_MIN},
        {"lowest value", "-2147483648", INT32_MIN},
        {"full-width digits", "\xA3\xB8\xA3\xB0", 80},
        {"full-width minus", "\xA3\xAD\xA3\xB5", -5},
        {"full-width space first",
         "\xA1\xA1\xA1\xA1"
         "12",
         12},
        {"empty", "", 0},
        {"no hexadecimal", "0x1F", 0},
        {"no decimal point", "3.7", 3},
        {"plus sign", "+7", 7},
        {"white space bytes", "\t\n\v\f\r 9", 9},
        {"blank after the sign", "- 5", 0},
        {"two signs", "--5", 0},
        {"other two-byte character stops", "\xB0\x31", 0},
        {"cut character at the end", "12\xA3", 12},
        {"cut after a full-width digit", "\xA3\xB1\xA3", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(txt_to_int(T(row.subject)), row.want);
    }
}

TEST(TxtCode, PositionsAndSignedBytes) {
    EXPECT_EQ(txt_code(Text()), 0);
    EXPECT_EQ(txt_code(Text("a"), 2), 0);
    EXPECT_EQ(txt_code(Text("a"), 0), 0);
    EXPECT_EQ(txt_code(Text("a"), -1), 0);
    EXPECT_EQ(txt_code(Text("a")), 97);
    EXPECT_EQ(txt_code(Text("\xB0")), -80);
    EXPECT_EQ(txt_code(Text("x\xD6"), 2), -42);
}

TEST(TxtFromCode, EveryByteRoundTrips) {
    EXPECT_FALSE(txt_from_code(0).present());
    EXPECT_EQ(txt_from_code(0).c_str_or_null(), nullptr);
    for (int code = 1; code <= 255; ++code) {
        const Text t = txt_from_code(code);
        ASSERT_EQ(t.size(), 1) << code;
        EXPECT_EQ(static_cast<unsigned char>(t.bytes()[0]), code);
        EXPECT_EQ(txt_from_code(txt_code(t)).bytes(), t.bytes()) << code;
    }
}

// --- Cutting ---

TEST(Cutting, TextAndByteSet) {
    const Text t("abcdef");
    EXPECT_EQ(txt_slice(t, 0, 2).bytes(), "");
    EXPECT_EQ(txt_slice(t, 5, 10).bytes(), "ef");
    EXPECT_EQ(txt_slice(t, 6, 1).bytes(), "f");
    EXPECT_EQ(txt_slice(t, 7, 1).bytes(), "");
    EXPECT_EQ(txt_slice(t, 2, 0).bytes(), "");
    EXPECT_EQ(txt_slice(t, 2, INT32_MAX).bytes(), "bcdef");
    EXPECT_EQ(txt_head(t, 10).bytes(), "abcdef");
    EXPECT_EQ(txt_head(t, -1).bytes(), "");
    EXPECT_EQ(txt_tail(t, 2).bytes(), "ef");
    EXPECT_EQ(txt_tail(t, 10).bytes(), "abcdef");
    EXPECT_EQ(txt_tail(t, 0).bytes(), "");
    // Cutting works on bytes and may halve a character.
    EXPECT_EQ(txt_head(Text("\xB0\xA1x"), 1).bytes(), "\xB0");
    EXPECT_EQ(txt_tail(Text("\xB0\xA1"), 1).bytes(), "\xA1");
    EXPECT_EQ(txt_slice(Text("a\xB0\xA1"), 3, 1).bytes(), "\xA1");

    const ByteSet b(std::string("abc\0ef", 6));
    EXPECT_EQ(bin_slice(b, 0, 2).bytes(), "ab");
    EXPECT_EQ(bin_slice(b, -5, 4).bytes(), std::string("abc\0", 4));
    EXPECT_EQ(bin_slice(b, 5, 100).bytes(), "ef");
    EXPECT_TRUE(bin_slice(b, 7, 1).empty());
    EXPECT_TRUE(bin_slice(b, 2, 0).empty());
    EXPECT_EQ(bin_head(b, 4).bytes(), std::string("abc\0", 4));
    EXPECT_TRUE(bin_head(b, 0).empty());
    EXPECT_EQ(bin_len(b), 6);
}

// --- Joining, comparing, converting ---

TEST(Joining, AbsentAndPresent) {
    const Text empty_join = txt_join(Text(), Text());
    EXPECT_TRUE(empty_join.present());
    EXPECT_NE(empty_join.c_str_or_null(), nullptr);
    EXPECT_EQ(txt_join(Text("a"), Text(), Text("b"), Text("c")).bytes(), "abc");
    EXPECT_EQ(txt_join(Text("a"), Text("\xB0"), Text("\xA1")).bytes(), "a\xB0\xA1");

    EXPECT_TRUE(bin_join(ByteSet(), ByteSet()).empty());
    EXPECT_EQ(bin_join(ByteSet(std::string("a\0", 2)), ByteSet(std::string("\0b", 2))).bytes(),
              std::string("a\0\0b", 4));
}

TEST(Comparing, TextAndByteSet) {
    struct Row {
        const char* name;
        std::string a, b;
        int32_t want;
    };
    const Row rows[] = {
        {"equal", "abc", "abc", 0},     {"both empty", "", "", 0},         {"before", "abc", "abd", -1},
        {"after", "abd", "abc", 1},     {"prefix first", "ab", "abc", -1}, {"high bytes unsigned", "\xB0", "a", 1},
        {"case matters", "A", "a", -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(txt_cmp(T(row.a), T(row.b)), row.want);
        EXPECT_EQ(bin_cmp(ByteSet(row.a), ByteSet(row.b)) == 0, row.want == 0);
    }
    EXPECT_EQ(txt_cmp(Text(), Text::present_empty()), 0);
    EXPECT_NE(bin_cmp(ByteSet(std::string("a\0", 2)), ByteSet("a")), 0);
    EXPECT_NE(bin_cmp(ByteSet(std::string("a\0b", 3)), ByteSet(std::string("a\0c", 3))), 0);
}

TEST(Converting, TextAndByteSet) {
    EXPECT_EQ(txt_from_bin(ByteSet(std::string("a\0b", 3))).bytes(), "a");
    EXPECT_FALSE(txt_from_bin(ByteSet(std::string("\0a", 2))).present());
    EXPECT_EQ(txt_from_bin(ByteSet("\xB0\xA1z")).bytes(), "\xB0\xA1z");
    // A ByteSet the caller keeps is read, not taken over.
    const ByteSet kept(std::string("a\0b", 3));
    EXPECT_EQ(txt_from_bin(kept).bytes(), "a");
    EXPECT_FALSE(txt_from_bin(ByteSet(std::string("\0", 1))).present());
    EXPECT_EQ(kept.bytes(), std::string("a\0b", 3));
    EXPECT_EQ(bin_from_text(Text("ab")).bytes(), "ab");
    EXPECT_TRUE(bin_from_text(Text::present_empty()).empty());
    EXPECT_EQ(bin_zeroes(3).bytes(), std::string(3, '\0'));
    EXPECT_TRUE(bin_zeroes(-2).empty());
    EXPECT_EQ(txt_spaces(3).bytes(), "   ");
    EXPECT_FALSE(txt_spaces(0).present());
    EXPECT_EQ(txt_len(Text()), 0);
}

// Empty results come back absent, so that a platform call downstream receives a null pointer.
TEST(Results, EmptyIsAbsent) {
    const Text t("ab");
    const Text results[] = {txt_head(t, 0),          txt_tail(t, -1),
                            txt_slice(t, 3, 1),      txt_replace(t, Text("ab")),
                            txt_trim(Text(" ")),     txt_lower(Text::present_empty()),
                            txt_from_bin(ByteSet()), txt_spaces(-1)};
    for (const Text& r : results) EXPECT_EQ(r.c_str_or_null(), nullptr);
}

// --- Others ---

TEST(Lists, AppendCountItem) {
    TextList list;
    EXPECT_EQ(list_count(list), 0);
    list_append(list, Text("a"));
    list_append(list, Text());
    list_append(list, Text("c"));
    EXPECT_EQ(list_count(list), 3);
    EXPECT_EQ(list_item(list, 1).bytes(), "a");
    EXPECT_FALSE(list_item(list, 2).present());
    EXPECT_EQ(list_item(list, 3).bytes(), "c");
    EXPECT_FALSE(list_item(list, 0).present());
    EXPECT_FALSE(list_item(list, 4).present());
}

TEST(BitOr, ThirtyTwoBits) {
    EXPECT_EQ(bit_or(5, 2), 7);
    EXPECT_EQ(bit_or(INT32_MIN, 1), INT32_MIN + 1);
    EXPECT_EQ(bit_or(-1, 0), -1);
}

}  // namespace
