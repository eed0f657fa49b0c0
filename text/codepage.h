// Converting between UTF-8, UTF-16 and code page 936, the system's local code page.
//
// Each routine runs the platform converter twice, a sizing pass and a conversion pass, like the platform
// functions it stands on (see text/codepage_platform.h). Characters that 936 lacks become 0x3F; malformed
// UTF-8 becomes U+FFFD first. No input makes a routine read or write past a buffer.
//
//   Text page = utf8_to_local(txt_from_bin(body));
#pragma once

#include <cstdint>
#include <optional>

#include "text/types.h"

inline constexpr int32_t kCodePageAnsi = 0;
inline constexpr int32_t kCodePageUtf8 = 65001;
inline constexpr int32_t kCodePageGbk = 936;

// The text read as UTF-8 and written in code page 936. Absent for an absent text, present and empty for a
// present empty one.
Text utf8_to_local(const Text& text);
// UTF-16LE code units of the text read in `code_page` (left out: 65001), the zero unit included. The
// ByteSet has two bytes for each character the text counts in the ANSI code page, so zero units may follow
// the terminating one; when the conversion gives more units than that count (malformed UTF-8: C3 41 is one
// 936 character but two units), it holds exactly the units converted. Empty for an absent text or a code
// page the platform cannot convert.
ByteSet multibyte_to_utf16(const Text& text, std::optional<int32_t> code_page = std::nullopt);
// The units (UTF-16LE) up to their first zero unit, written in `code_page` (left out: 0, the ANSI code
// page). Units without a zero unit are read to the end of the ByteSet; an odd last byte is no unit. Absent
// for an empty ByteSet, present and empty when the first unit is zero.
Text utf16_to_multibyte(const ByteSet& units, std::optional<int32_t> code_page = std::nullopt);
