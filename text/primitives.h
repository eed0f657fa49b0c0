// Byte-exact operations on Text, ByteSet and TextList that every other module calls.
//
// Positions and lengths count bytes and positions are 1-based. A byte 0x80-0xFF begins a two-byte
// character together with the byte after it, whatever that byte is. The character-aware operations
// (txt_find, txt_rfind, txt_replace, txt_split, txt_trim, txt_upper, txt_lower) step over such a pair as
// one unit and never match or split at its second byte; the others cut bytes and may halve a character.
// Every function is pure, never fails and returns empty results as the absent value (txt_join and
// txt_split excepted). A left-out optional argument (std::nullopt) and one provided as 0 can differ.
//
//   int p = txt_find(page, "pageViews\":\"", std::nullopt, /*ignore_case=*/true);
#pragma once

#include <cstdint>
#include <optional>

#include "text/types.h"

// --- Text ---
int32_t txt_len(const Text& t);
// The first min(n, length) bytes; may cut a two-byte character.
Text txt_head(const Text& t, int32_t n);
// The last min(n, length) bytes; may cut a two-byte character.
Text txt_tail(const Text& t, int32_t n);
// n bytes from byte `start`; empty when start < 1, start > length or n <= 0.
Text txt_slice(const Text& t, int32_t start, int32_t n);
// Position of the first occurrence at or after `start` (left out: 1; below 1 counts as 1), or -1.
// An empty needle is found at 1 whenever the region is not empty. Character-aware: the walk of characters
// begins at `start`, which counts as a character start even when it falls on a second byte.
int32_t txt_find(const Text& subject, const Text& needle, std::optional<int32_t> start = std::nullopt,
                 bool ignore_case = false);
// Position of the last occurrence lying wholly within bytes 1 .. start-1 (left out: the whole subject);
// overlapping occurrences count, so the last "aa" of "aaa" is at 2. Character-aware from byte 1.
int32_t txt_rfind(const Text& subject, const Text& needle, std::optional<int32_t> start = std::nullopt,
                  bool ignore_case = false);
// Subject with non-overlapping occurrences of `find` replaced from left to right. Note the flag's sense:
// true compares exactly, false folds ASCII letters. A negative count is unlimited, 0 replaces nothing.
// Character-aware; when the walk reaches a first byte 0x80-0xFF that ends the subject (possible only with
// a one-byte find text and the count not used up), that half character is left out of the result.
Text txt_replace(const Text& subject, const Text& find, const Text& replacement = Text(),
                 std::optional<int32_t> start = std::nullopt, std::optional<int32_t> count = std::nullopt,
                 bool match_case = false);
// Pieces between separators (left out: ","); an empty piece is an absent item; at most `limit` items
// (below 0 counts as 0). The separator compares exactly; a trailing separator gives no empty last item.
TextList txt_split(const Text& subject, const std::optional<Text>& separator = std::nullopt,
                   std::optional<int32_t> limit = std::nullopt);
// Without leading and trailing blanks: 0x20 and the ideographic space A1 A1 only.
Text txt_trim(const Text& t);
Text txt_upper(const Text& t);
Text txt_lower(const Text& t);
// The decimal number at the start (full-width digits and sign accepted); 0 when none; wraps in 32 bits.
int32_t txt_to_int(const Text& t);
// The byte at `pos` (left out: 1) as a signed value; 0 outside 1..length.
int32_t txt_code(const Text& t, std::optional<int32_t> pos = std::nullopt);
Text txt_from_code(int32_t code);
Text txt_spaces(int32_t n);
// Concatenation; always a present Text.
Text txt_join(const Text& a, const Text& b);
Text txt_join(const Text& a, const Text& b, const Text& c);
Text txt_join(const Text& a, const Text& b, const Text& c, const Text& d);
// 0 when equal (absent equals empty), else -1 / 1 comparing unsigned bytes.
int32_t txt_cmp(const Text& a, const Text& b);
// The bytes of b up to its first zero byte.
Text txt_from_bin(const ByteSet& b);
// The same, taking over b's storage: a downloaded page becomes a Text without a copy.
Text txt_from_bin(ByteSet&& b);

// --- ByteSet ---
int32_t bin_len(const ByteSet& b);
ByteSet bin_head(const ByteSet& b, int32_t n);
// Unlike txt_slice, a start below 1 counts as 1 and a start past the end as the end.
ByteSet bin_slice(const ByteSet& b, int32_t start, int32_t n);
ByteSet bin_zeroes(int32_t n);
ByteSet bin_from_text(const Text& t);
ByteSet bin_join(const ByteSet& a, const ByteSet& b);
int32_t bin_cmp(const ByteSet& a, const ByteSet& b);

// --- Others ---
int32_t bit_or(int32_t a, int32_t b);
int32_t list_count(const TextList& list);
// Item `index` (1-based); the absent Text outside 1..list_count.
const Text& list_item(const TextList& list, int32_t index);
void list_append(TextList& list, const Text& item);
