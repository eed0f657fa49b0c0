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

// Whether the whole units of `units` contain a zero unit, so a zero-terminated read stays inside them.
// Our own ByteSets end with one, which makes the usual case a single comparison.
bool has_terminator(const ByteSet& units) {
    const size_t whole = static_cast<size_t>(units.size()) / 2;
    const unsigned char* p = units.data();
    if (whole == 0) return false;
    if (p[2 * whole - 2] == 0 && p[2 * whole - 1] == 0) return true;
    for (size_t i = 0; i + 1 < whole; ++i)
        if (p[2 * i] == 0 && p[2 * i + 1] == 0) return true;
    return false;
}

}  // namespace

Text utf8_to_local(const Text& text) {
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
    // The seam reads up to a zero unit; units that carry none are read from a terminated copy instead.
    std::u16string terminated;
    const char16_t* src = reinterpret_cast<const char16_t*>(units.data());
    if (!has_terminator(units)) {
        terminated.resize(static_cast<size_t>(units.size()) / 2);
        std::memcpy(terminated.data(), units.data(), terminated.size() * 2);
        src = terminated.c_str();
    }
    int32_t m = cp_wide_to_multibyte(kCodePageAnsi, 0, src, -1, nullptr, 0, nullptr, nullptr);
    if (m <= 0) return {};
    const size_t size = static_cast<size_t>(m) * 2;
    std::string buffer(size, ' ');
    const auto cap = static_cast<int32_t>(size > static_cast<size_t>(kMaxLen) ? kMaxLen : size);
    if (cp_wide_to_multibyte(cp, 0, src, -1, buffer.data(), cap, nullptr, nullptr) == 0) {
        m = cp_wide_to_multibyte(cp, 0, src, -1, nullptr, 0, nullptr, nullptr);
        if (m <= 0) return {};
        buffer.assign(static_cast<size_t>(m), ' ');
        if (cp_wide_to_multibyte(cp, 0, src, -1, buffer.data(), m, nullptr, nullptr) == 0) return {};
    }
    const void* zero = std::memchr(buffer.data(), 0, buffer.size());
    buffer.resize(zero ? static_cast<size_t>(static_cast<const char*>(zero) - buffer.data()) : buffer.size());
    return buffer.empty() ? Text::present_empty() : Text::result(std::move(buffer));
}
