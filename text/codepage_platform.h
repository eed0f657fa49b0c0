// The code page seam: the two conversion functions of the platform, with their calling convention.
//
// On Windows they are the system's own converters; elsewhere a backend of ours (UTF-8 decoded by our own
// code, code page 936 by table). Code page 0 is the ANSI code page, which is 936 for this program on
// every platform. Lengths of -1 mean "zero-terminated, terminator included". With a destination length of
// 0 the functions only count; otherwise they write at most dst_len units/bytes and return 0 when the
// result does not fit. The Linux backend replaces malformed UTF-8 by U+FFFD and characters 936 lacks
// by 0x3F, as the platform does with flags 0.
//
//   int n = cp_multibyte_to_wide(0, 0, text, -1, nullptr, 0);
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

int32_t cp_multibyte_to_wide(uint32_t code_page, uint32_t flags, const char* src, int32_t src_len, char16_t* dst,
                             int32_t dst_len);
int32_t cp_wide_to_multibyte(uint32_t code_page, uint32_t flags, const char16_t* src, int32_t src_len, char* dst,
                             int32_t dst_len, const char* default_char, int32_t* used_default);

// UTF-8 straight to code page 936 in one pass, where the backend can give exactly what the two calls above
// give through UTF-16 (U+FFFD for malformed input, 0x3F for what 936 lacks). Returns false when it cannot;
// the caller then takes the two-call road. A page of several megabytes is converted on every lookup, and
// the UTF-16 buffer in between costs more than the conversion itself.
bool cp_utf8_to_gbk_direct(std::string_view utf8, std::string& out);
