// Code page 936 on Linux, swept against iconv as the oracle: every BMP code point, every single byte and
// every lead/trail pair, and one long text that mixes them with ASCII runs.
#include <iconv.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "text/codepage.h"

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

// Bytes iconv rejects are one character each, U+003F; a valid lead/trail pair it rejects is one U+003F.
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

TEST(CodepageBackend, CodePagesItDoesNotKnowGiveEmptyResults) {
    EXPECT_TRUE(multibyte_to_utf16(Text("abc"), 1252).empty());
    EXPECT_FALSE(utf16_to_multibyte(multibyte_to_utf16(Text("abc")), 1252).present());
}

}  // namespace
