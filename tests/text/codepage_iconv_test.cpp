// Code page 936 on Linux, swept against iconv as the oracle: every BMP code point, every single byte and
// every lead/trail pair, and one long text that mixes them with ASCII runs.
#include <iconv.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/codepage.h"
#include "text/codepage_platform.h"

namespace {

class Oracle {
public:
    Oracle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Oracle() { iconv_close(cd_); }
    Oracle(const Oracle&) = delete;
    Oracle& operator=(const Oracle&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // The whole of `in` converted, or nullopt when iconv rejects any of it.
    std::optional<std::string> operator()(const std::string& in) {
        std::string out(in.size() * 4 + 8, '\0');
        char* src = const_cast<char*>(in.data());
        char* dst = out.data();
        size_t src_left = in.size();
        size_t dst_left = out.size();
        const size_t r = iconv(cd_, &src, &src_left, &dst, &dst_left);
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (r == static_cast<size_t>(-1) || src_left != 0) return std::nullopt;
        out.resize(out.size() - dst_left);
        return out;
    }

private:
    iconv_t cd_;
};

std::string le(char16_t u) { return {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)}; }

std::string hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
        out += ' ';
    }
    return out;
}

// The UTF-16LE bytes of `b` before its first zero unit.
std::string units_before_zero(const ByteSet& b) {
    for (int32_t i = 0; i + 1 < b.size(); i += 2)
        if (b.data()[i] == 0 && b.data()[i + 1] == 0) return b.bytes().substr(0, i);
    return "(unterminated)";
}

class Codepage936 : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(to_gbk.ok() && from_gbk.ok() && to_utf8.ok()) << "iconv lacks CP936"; }

    // Collects a mismatch; the first few are reported in full.
    void mismatch(const std::string& what) {
        if (++mismatches <= 10) ADD_FAILURE() << what;
    }
    void TearDown() override { EXPECT_EQ(mismatches, 0); }

    Oracle to_gbk{"CP936", "UTF-16LE"};
    Oracle from_gbk{"UTF-16LE", "CP936"};
    Oracle to_utf8{"UTF-8", "UTF-16LE"};
    int mismatches = 0;
};

TEST_F(Codepage936, EveryBmpCodePointThroughUtf8) {
    for (uint32_t c = 1; c <= 0xFFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        const std::string unit = le(static_cast<char16_t>(c));
        const std::string utf8 = *to_utf8(unit);
        const std::optional<std::string> gbk = to_gbk(unit);
        const std::string want = gbk ? *gbk : "?";
        const Text got = utf8_to_local(Text(utf8));
        if (got.bytes() != want) {
            mismatch("U+" + hex(unit) + ": got " + hex(got.bytes()) + "want " + hex(want));
            continue;
        }
        // Back from 936, where iconv reads the bytes back.
        if (!gbk) continue;
        const std::optional<std::string> back = from_gbk(*gbk);
        const std::string got_back = units_before_zero(multibyte_to_utf16(Text(*gbk), kCodePageGbk));
        if (back && got_back != *back) mismatch("936 " + hex(*gbk) + ": got " + hex(got_back) + "want " + hex(*back));
    }
}

// A pair or single byte that iconv rejects is one U+003F.
TEST_F(Codepage936, EverySingleByteAndLeadTrailPairFrom936) {
    std::vector<std::string> inputs;
    for (int b = 0x80; b <= 0xFF; ++b) inputs.push_back(std::string(1, static_cast<char>(b)));
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail)
            if (trail != 0x7F) inputs.push_back({static_cast<char>(lead), static_cast<char>(trail)});
    for (const std::string& in : inputs) {
        const std::optional<std::string> want = from_gbk(in);
        const std::string got = units_before_zero(multibyte_to_utf16(Text(in), kCodePageGbk));
        if (got != (want ? *want : le(u'?'))) mismatch("936 " + hex(in) + ": got " + hex(got));
    }
}

// Every character 936 has, in one text, between ASCII runs of changing length.
TEST_F(Codepage936, LongTextMatchesIconv) {
    std::string units;
    const std::u16string filler = u"{\"pageViews\":\"1287\",\"x\":\"";
    size_t run = 0;
    for (uint32_t c = 0x80; c <= 0xFFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        if (!to_gbk(le(static_cast<char16_t>(c)))) continue;
        units += le(static_cast<char16_t>(c));
        for (size_t k = 0; k < run; ++k) units += le(filler[k]);
        run = (run + 1) % filler.size();
    }
    const std::string utf8 = *to_utf8(units);
    const std::string gbk = *to_gbk(units);
    const Text got = utf8_to_local(Text(utf8));
    ASSERT_EQ(got.size(), static_cast<int32_t>(gbk.size()));
    EXPECT_TRUE(got.bytes() == gbk);
    EXPECT_TRUE(units_before_zero(multibyte_to_utf16(Text(gbk), kCodePageGbk)) == *from_gbk(gbk));
}

// The units of `b` before its first zero unit.
std::u16string units_of(const ByteSet& b) {
    std::u16string out;
    for (int32_t i = 0; i + 1 < b.size(); i += 2) {
        const auto u = static_cast<char16_t>(b.data()[i] | b.data()[i + 1] << 8);
        if (u == 0) break;
        out += u;
    }
    return out;
}

ByteSet to_bytes(std::u16string_view units) {
    std::string bytes;
    for (char16_t u : units) bytes += le(u);
    return ByteSet(bytes + std::string(2, '\0'));
}

// Each maximal subpart of an ill-formed sequence becomes one U+FFFD; decoding resumes at the byte that
// broke it.
TEST(CodepageBackend, DecodesUtf8WithReplacementCharacters) {
    struct Row {
        const char* name;
        std::string utf8;
        std::u16string units;
    };
    const Row rows[] = {
        // Well-formed edges
        {"lowest two-byte", "\xC2\x80", {0x0080}},
        {"highest BMP", "\xEF\xBF\xBF", {0xFFFF}},
        {"supplementary becomes a pair", "\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
        {"highest code point", "\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
        // Bytes that begin no sequence
        {"continuation bytes alone", "\x80\xBF", {0xFFFD, 0xFFFD}},
        {"overlong two-byte", "\xC0\xAF", {0xFFFD, 0xFFFD}},
        {"F5 and FF", "\xF5\xFF", {0xFFFD, 0xFFFD}},
        // Second bytes out of range
        {"overlong three-byte", "\xE0\x80\xAF", {0xFFFD, 0xFFFD, 0xFFFD}},
        {"encoded surrogate", "\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},
        // Truncated sequences: one U+FFFD for the whole prefix
        {"three-byte cut before a letter", "\xE4\xB8\x41", {0xFFFD, u'A'}},
        {"four-byte cut before a letter", "\xF0\x9F\x98\x41", {0xFFFD, u'A'}},
        {"four-byte cut by a new lead", "\xF0\x9F\xE4\xB8\xAD", {0xFFFD, 0x4E2D}},
        {"three-byte cut at the end", "a\xE4\xB8", {u'a', 0xFFFD}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(units_of(multibyte_to_utf16(Text(row.utf8))), row.units);
    }
}

// Bytes 936 does not define, and UTF-16 that is not well-formed.
TEST(CodepageBackend, UndefinedInputBecomesDefaultCharacters) {
    struct Row {
        const char* name;
        std::string text;
        std::u16string units;
    };
    const Row from_gbk_rows[] = {
        {"byte 0xFF", "\xFF", {u'?'}},
        {"user-defined area", "\xA1\x40", {u'?'}},
    };
    for (const Row& row : from_gbk_rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(units_of(multibyte_to_utf16(Text(row.text), kCodePageGbk)), row.units);
    }
    // 936 has no character beyond the BMP: each unit of a pair and each lone surrogate becomes '?'.
    EXPECT_EQ(utf8_to_local(Text("\xF0\x9F\x98\x80")).bytes(), "??");
    EXPECT_EQ(utf16_to_multibyte(to_bytes(std::u16string{0xD800, u'a', 0xDC00}), kCodePageGbk).bytes(), "?a?");
    // In UTF-8 a lone surrogate becomes U+FFFD.
    EXPECT_EQ(utf16_to_multibyte(to_bytes(std::u16string{0xDC00}), kCodePageUtf8).bytes(), "\xEF\xBF\xBD");
}

TEST(CodepageBackend, CodePagesItDoesNotKnowGiveEmptyResults) {
    EXPECT_TRUE(multibyte_to_utf16(Text("abc"), 1252).empty());
    EXPECT_FALSE(utf16_to_multibyte(multibyte_to_utf16(Text("abc")), 1252).present());
}

// The seam itself: counts, exact fits, and a buffer one short, which fails without writing past its end.
TEST(CodepageSeam, WritesNoMoreThanTheDestinationHolds) {
    const char text[] = "a\xE4\xB8\xAD";
    char16_t units[4] = {9, 9, 9, 9};
    EXPECT_EQ(cp_multibyte_to_wide(kCodePageUtf8, 0, text, -1, nullptr, 0), 3);
    EXPECT_EQ(cp_multibyte_to_wide(kCodePageUtf8, 0, text, -1, units, 3), 3);
    EXPECT_EQ(std::u16string_view(units, 4), (std::u16string{u'a', 0x4E2D, 0, 9}));
    std::fill(units, units + 4, 9);
    EXPECT_EQ(cp_multibyte_to_wide(kCodePageUtf8, 0, text, -1, units, 2), 0);
    EXPECT_EQ(units[2], 9);
    // An explicit length converts no terminator.
    EXPECT_EQ(cp_multibyte_to_wide(kCodePageUtf8, 0, text, 4, units, 4), 2);

    char bytes[4] = {9, 9, 9, 9};
    EXPECT_EQ(cp_wide_to_multibyte(kCodePageGbk, 0, u"\x4E2D", -1, nullptr, 0, nullptr, nullptr), 3);
    EXPECT_EQ(cp_wide_to_multibyte(kCodePageGbk, 0, u"\x4E2D", -1, bytes, 2, nullptr, nullptr), 0);
    EXPECT_EQ(bytes[2], 9);
    EXPECT_EQ(cp_wide_to_multibyte(kCodePageUtf8, 0, u"\x4E2D", -1, bytes, 3, nullptr, nullptr), 0);
    EXPECT_EQ(bytes[3], 9);
}

TEST(CodepageSeam, ReportsTheDefaultCharacter) {
    char out[8];
    int32_t used = -1;
    EXPECT_EQ(cp_wide_to_multibyte(kCodePageGbk, 0, u"a\x0E01", -1, out, 8, "*", &used), 3);
    EXPECT_EQ(std::string(out, 3), std::string("a*\0", 3));
    EXPECT_EQ(used, 1);
    EXPECT_EQ(cp_wide_to_multibyte(kCodePageGbk, 0, u"ab", -1, out, 8, nullptr, &used), 3);
    EXPECT_EQ(used, 0);
    // UTF-8 output has no default character to take or report.
    EXPECT_EQ(cp_wide_to_multibyte(kCodePageUtf8, 0, u"a", -1, out, 8, "*", nullptr), 0);
}

}  // namespace

namespace {

// utf8_to_local converts in one pass on Linux; it must give exactly what the two steps through UTF-16 give,
// malformed input included. Short strings over the bytes where UTF-8 decoding decides something.
TEST(CodepageSinglePass, MatchesTheTwoStepsThroughUtf16) {
    const unsigned char alphabet[] = {'a', '"', 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xAD, 0xB8, 0xBF, 0xC0, 0xC2,
                                      0xC3, 0xDF, 0xE0, 0xE4, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 16; };
    for (int round = 0; round < 40000; ++round) {
        std::string s(next() % 13, '\0');
        for (char& c : s) c = static_cast<char>(alphabet[next() % sizeof alphabet]);
        const Text in(s);
        const Text two_steps = utf16_to_multibyte(multibyte_to_utf16(in), kCodePageGbk);
        ASSERT_EQ(utf8_to_local(in).bytes(), two_steps.bytes()) << testing::PrintToString(s);
    }
    // Long ASCII runs around multi-byte characters, across the eight-byte blocks.
    for (size_t run = 0; run < 20; ++run) {
        const std::string s = std::string(run, 'x') + "\xE4\xB8\xAD" + std::string(run, 'y') + "\xF0\x9F\x98\x80";
        EXPECT_EQ(utf8_to_local(Text(s)).bytes(),
                  utf16_to_multibyte(multibyte_to_utf16(Text(s)), kCodePageGbk).bytes());
    }
}

}  // namespace
