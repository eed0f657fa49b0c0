// The portable half of code page conversion: buffers and the two-pass protocol over the platform seam.
//
// The sizing passes count in the ANSI code page, so the UTF-16 ByteSet of a UTF-8 text is as long as the
// text counted in 936 (zero units may follow the terminating one). That count does not bound every
// conversion: malformed UTF-8 such as C3 41 is one 936 character but two UTF-16 units, and a character
// 936 lacks is one byte ('?') in the count but up to three bytes in UTF-8. When the conversion pass
// reports that it did not fit, the routines count again in the code page of the conversion and convert
// into a buffer of that size; if that fails too, the result is empty. A result is never cut short and
// never unterminated.
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "text/codepage.h"
#include "text/codepage_platform.h"

namespace {

// A ByteSet holds UTF-16LE units in place and hands them to the seam as char16_t.
static_assert(std::endian::native == std::endian::little);

constexpr int32_t kMaxLen = std::numeric_limits<int32_t>::max();

char16_t* as_units(std::string& bytes) { return reinterpret_cast<char16_t*>(bytes.data()); }

// The index of the first zero unit among the `whole` units at p, or `whole` when there is none. Reads a
// word of four units at a time, never past the ByteSet.
size_t first_zero_unit(const unsigned char* p, size_t whole) {
    size_t i = 0;
    for (; i + 4 <= whole; i += 4) {
        uint64_t w;
        std::memcpy(&w, p + 2 * i, sizeof w);
        // Marks the lowest zero unit exactly; a borrow can mark only units above it.
        const uint64_t zero = (w - 0x0001000100010001ull) & ~w & 0x8000800080008000ull;
        if (zero != 0) return i + static_cast<size_t>(std::countr_zero(zero)) / 16;
    }
    for (; i < whole; ++i)
        if (p[2 * i] == 0 && p[2 * i + 1] == 0) return i;
    return whole;
}

}  // namespace

Text utf8_to_local(const Text& text) {
    // An absent text converts to the absent Text, a present empty one to a present Text of length 0.
    if (!text.present()) return Text();
    if (std::string direct; cp_utf8_to_gbk_direct(text.view(), direct)) return Text(std::move(direct));
    const ByteSet units = multibyte_to_utf16(text);
    return utf16_to_multibyte(units, kCodePageGbk);
}

ByteSet multibyte_to_utf16(const Text& text, std::optional<int32_t> code_page) {
    const auto cp = static_cast<uint32_t>(code_page.value_or(kCodePageUtf8));
    const char* src = text.c_str_or_null();
    int32_t n = cp_multibyte_to_wide(kCodePageAnsi, 0, src, -1, nullptr, 0);
    if (n <= 0) return {};
    std::string buffer(static_cast<size_t>(n) * 2, '\0');
    if (cp_multibyte_to_wide(cp, 0, src, -1, as_units(buffer), n) == 0) {
        n = cp_multibyte_to_wide(cp, 0, src, -1, nullptr, 0);
        if (n <= 0) return {};
        buffer.assign(static_cast<size_t>(n) * 2, '\0');
        if (cp_multibyte_to_wide(cp, 0, src, -1, as_units(buffer), n) == 0) return {};
    }
    return ByteSet(std::move(buffer));
}

Text utf16_to_multibyte(const ByteSet& units, std::optional<int32_t> code_page) {
    const auto cp = static_cast<uint32_t>(code_page.value_or(kCodePageAnsi));
    if (units.empty()) return {};
    // The units are read up to and including their first zero unit, as a length of -1 would read them.
    // The length is found here, where the ByteSet's end is known, so a ByteSet without a zero unit is read
    // from a terminated copy instead of past its end.
    const size_t whole = static_cast<size_t>(units.size()) / 2;
    const size_t zero = first_zero_unit(units.data(), whole);
    std::u16string terminated;
    const char16_t* src = reinterpret_cast<const char16_t*>(units.data());
    if (zero == whole) {
        terminated.resize(whole);
        std::memcpy(terminated.data(), units.data(), whole * 2);
        src = terminated.c_str();
    }
    const auto src_len = static_cast<int32_t>(zero + 1);

    int32_t m = cp_wide_to_multibyte(kCodePageAnsi, 0, src, src_len, nullptr, 0, nullptr, nullptr);
    if (m <= 0) return {};
    // Twice the count holds any conversion into 936 or a single-byte code page. Into the counting code page
    // itself the count is exact, and the buffer is that size: a page-sized buffer half unused costs
    // more than the conversion.
    const bool exact = cp == kCodePageAnsi || cp == kCodePageGbk;
    const size_t size = exact ? static_cast<size_t>(m) : static_cast<size_t>(m) * 2;
    std::string buffer(size, ' ');
    const auto cap = static_cast<int32_t>(size > static_cast<size_t>(kMaxLen) ? kMaxLen : size);
    if (cp_wide_to_multibyte(cp, 0, src, src_len, buffer.data(), cap, nullptr, nullptr) == 0) {
        m = cp_wide_to_multibyte(cp, 0, src, src_len, nullptr, 0, nullptr, nullptr);
        if (m <= 0) return {};
        buffer.assign(static_cast<size_t>(m), ' ');
        if (cp_wide_to_multibyte(cp, 0, src, src_len, buffer.data(), m, nullptr, nullptr) == 0) return {};
    }
    const void* end = std::memchr(buffer.data(), 0, buffer.size());
    buffer.resize(end ? static_cast<size_t>(static_cast<const char*>(end) - buffer.data()) : buffer.size());
    return buffer.empty() ? Text::present_empty() : Text::result(std::move(buffer));
}
