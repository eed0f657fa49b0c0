// Code page conversion through the routines' public faces, on whichever backend the platform builds.
#include "text/codepage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <ostream>
#include <string>

// Failures show a ByteSet as its bytes in hex.
void PrintTo(const ByteSet& b, std::ostream* os) {
    for (int32_t i = 0; i < b.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X ", b.data()[i]);
        *os << hex;
    }
}

namespace {

// UTF-16LE bytes of `units`, with the zero unit appended when `terminate` is set.
ByteSet to_bytes(std::u16string_view units, bool terminate = true) {
    std::string bytes;
    for (char16_t u : units) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    if (terminate) bytes.append(2, '\0');
    return ByteSet(bytes);
}

// The units of `b` before its first zero unit; fails the test when there is none.
std::u16string units_of(const ByteSet& b) {
    std::u16string out;
    for (int32_t i = 0; i + 1 < b.size(); i += 2) {
        const auto u = static_cast<char16_t>(b.data()[i] | b.data()[i + 1] << 8);
        if (u == 0) return out;
        out += u;
    }
    ADD_FAILURE() << "no terminating zero unit in " << b.size() << " bytes";
    return out;
}

std::string ascii_run(size_t n) { return std::string("abcdefghijklmnopqrstuvwxyz").substr(0, n); }

TEST(Utf8ToLocal, ConvertsCharacters) {
    struct Row {
        const char* name;
        std::string utf8;
        std::string local;
    };
    const Row rows[] = {
        // Text 936 has
        {"ascii comes back unchanged", "price: US $1.50-$2.00", "price: US $1.50-$2.00"},
        {"two Chinese characters", "\xE4\xB8\xAD\xE6\x96\x87", "\xD6\xD0\xCE\xC4"},
        {"Chinese then ASCII", "\xE4\xB8\xAD\x61", "\xD6\xD0\x61"},
        {"second byte in the letter range", "\xE4\xB8\xA1", "\x81\x49"},
        {"euro sign is one byte above ASCII", "\xE2\x82\xAC", "\x80"},
        // Characters 936 lacks become '?'
        {"Thai letter", "\xE0\xB8\x81", "?"},
        // Malformed UTF-8 becomes U+FFFD, which 936 lacks
        {"lead byte before a letter", "\xC3\x41", "?A"},
        {"lone continuation bytes", "\x80\xBF", "??"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Text got = utf8_to_local(Text(row.utf8));
        EXPECT_EQ(got.bytes(), row.local);
        EXPECT_TRUE(got.present());
    }
}

TEST(Utf8ToLocal, AbsentAndEmptyGiveEmpty) {
    EXPECT_FALSE(utf8_to_local(Text()).present());
    EXPECT_TRUE(utf8_to_local(Text()).empty());
    const Text empty = utf8_to_local(Text::present_empty());
    EXPECT_TRUE(empty.present());
    EXPECT_TRUE(empty.empty());
}

// Each C3 41 counts as one 936 character but gives two UTF-16 units, so a buffer sized by the 936 count
// holds only half of the units; the conversion must still be whole and terminated.
TEST(Utf8ToLocal, MalformedUtf8NeedingMoreUnitsThanCountedConvertsWhole) {
    std::string utf8;
    std::string local;
    for (int i = 0; i < 1000; ++i) {
        utf8 += "\xC3\x41";
        local += "?A";
    }
    utf8 += "tail";
    local += "tail";
    EXPECT_EQ(utf8_to_local(Text(utf8)).bytes(), local);

    const ByteSet units = multibyte_to_utf16(Text(utf8));
    const std::u16string got = units_of(units);
    ASSERT_EQ(got.size(), 2004u);
    EXPECT_EQ(got.substr(0, 4), (std::u16string{0xFFFD, u'A', 0xFFFD, u'A'}));
    EXPECT_EQ(got.substr(2000), u"tail");
}

// ASCII runs of every length around the eight-byte blocks, between characters of each kind.
TEST(Utf8ToLocal, MixedTextAcrossBlockBoundaries) {
    for (size_t k = 0; k <= 17; ++k) {
        for (size_t j = 0; j <= 17; ++j) {
            SCOPED_TRACE("runs " + std::to_string(k) + " and " + std::to_string(j));
            const std::string a = ascii_run(k);
            const std::string b = ascii_run(j);
            const std::string utf8 = a + "\xE4\xB8\xAD" + b + "\xE0\xB8\x81" + a + "\xC3" + b + "\xE2\x82\xAC" + a;
            const std::string local = a + "\xD6\xD0" + b + "?" + a + "?" + b + "\x80" + a;
            EXPECT_EQ(utf8_to_local(Text(utf8)).bytes(), local);
        }
    }
}

TEST(MultibyteToUtf16, AsciiGivesOneUnitPerByteAndTheZeroUnit) {
    for (size_t k = 0; k <= 20; ++k) {
        SCOPED_TRACE(k);
        const std::string text = ascii_run(k);
        const ByteSet units = multibyte_to_utf16(Text(text));
        EXPECT_EQ(units.size(), static_cast<int32_t>(2 * (k + 1)));
        EXPECT_EQ(units, to_bytes(std::u16string(text.begin(), text.end())));
    }
    EXPECT_TRUE(multibyte_to_utf16(Text()).empty());
}

// The whole ByteSet, padding included: its length comes from the count in 936.
TEST(MultibyteToUtf16, ByteSetIsSizedByThe936Count) {
    struct Row {
        const char* name;
        std::string text;
        std::optional<int32_t> code_page;
        std::u16string units;  // all of them, terminator and padding included
    };
    const Row rows[] = {
        {"UTF-8 E4 B8 AD counts as three 936 characters", "\xE4\xB8\xAD", std::nullopt, {0x4E2D, 0, 0}},
        {"E4 B8 AD 61 counts as two, as many as it gives", "\xE4\xB8\xAD\x61", std::nullopt, {0x4E2D, u'a', 0}},
        {"code page 936", "\xD6\xD0\xCE\xC4", kCodePageGbk, {0x4E2D, 0x6587, 0}},
        {"code page 0 is 936", "\xD6\xD0", kCodePageAnsi, {0x4E2D, 0}},
        {"936 byte 0x80 is the euro sign", "\x80", kCodePageGbk, {0x20AC, 0}},
        {"936 lead byte at the end", "a\x81", kCodePageGbk, {u'a', u'?', 0}},
        {"936 lead byte takes any byte after it", "\x81\x30", kCodePageGbk, {u'?', 0}},
        // The last eight bytes make one ASCII-led block; the units after the terminator stay zero.
        {"padding after a block that ends the text",
         "\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD"
         "a\xE4\xB8\xAD\xE4\xB8\xAD",
         std::nullopt,
         {0x4E2D, 0x4E2D, 0x4E2D, 0x4E2D, 0x4E2D, 0x4E2D, 0x4E2D, 0x4E2D, u'a', 0x4E2D, 0x4E2D, 0, 0, 0, 0, 0, 0}},
        // One 936 character, two units: the buffer is sized again for the conversion made.
        {"malformed UTF-8 C3 41", "\xC3\x41", std::nullopt, {0xFFFD, u'A', 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(multibyte_to_utf16(Text(row.text), row.code_page), to_bytes(row.units, false));
    }
}

TEST(Utf16ToMultibyte, ConvertsUnits) {
    struct Row {
        const char* name;
        std::u16string units;
        std::optional<int32_t> code_page;
        std::string bytes;
    };
    const Row rows[] = {
        {"left out is the ANSI code page, 936", {0x4E2D, 0x6587}, std::nullopt, "\xD6\xD0\xCE\xC4"},
        {"ascii", u"pageViews", kCodePageGbk, "pageViews"},
        {"936 lacks Thai", {0x0E01, u'a', 0x0E02}, kCodePageGbk, "?a?"},
        {"stops at the first zero unit", {u'a', 0, u'b'}, kCodePageGbk, "a"},
        {"UTF-8 output", {0x4E2D, u'a'}, kCodePageUtf8, "\xE4\xB8\xAD\x61"},
        {"UTF-8 output of a pair", {0xD83D, 0xDE00}, kCodePageUtf8, "\xF0\x9F\x98\x80"},
        // One byte each in the 936 count, three in UTF-8: more than twice the count.
        {"UTF-8 output of characters 936 lacks", {0x0E01, 0x0E02, 0x0E03}, kCodePageUtf8,
         "\xE0\xB8\x81\xE0\xB8\x82\xE0\xB8\x83"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(utf16_to_multibyte(to_bytes(row.units), row.code_page).bytes(), row.bytes);
    }
}

TEST(Utf16ToMultibyte, OddInputsStayInsideTheByteSet) {
    // No zero unit: every whole unit is converted and nothing after the ByteSet is read.
    EXPECT_EQ(utf16_to_multibyte(to_bytes(u"ab", false)).bytes(), "ab");
    // A half unit at the end is not a unit.
    EXPECT_EQ(utf16_to_multibyte(ByteSet(std::string("a\0b", 3))).bytes(), "a");
    EXPECT_EQ(utf16_to_multibyte(ByteSet(std::string("a", 1))).bytes(), "");

    EXPECT_FALSE(utf16_to_multibyte(ByteSet()).present());
    const Text only_terminator = utf16_to_multibyte(to_bytes(u""));
    EXPECT_TRUE(only_terminator.present());
    EXPECT_TRUE(only_terminator.empty());
}

TEST(Utf16ToMultibyte, WellFormedUtf8RoundTripsThroughUnits) {
    std::string utf8;
    for (size_t k = 0; k <= 17; ++k)
        utf8 += ascii_run(k) + "\xE4\xB8\xAD" + ascii_run(17 - k) + "\xC3\xA9\xF0\x9F\x98\x80\xE0\xB8\x81";
    EXPECT_EQ(utf16_to_multibyte(multibyte_to_utf16(Text(utf8)), kCodePageUtf8).bytes(), utf8);
}

}  // namespace
