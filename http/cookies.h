// Merging the cookies a request sent with the cookies its response set.
//
// Cookie text is name=value pairs separated by "; " (a semicolon and one blank). A pair is copied and
// compared byte for byte; only its name (left of its first "=", trimmed of blanks, letter case
// significant) and its last eight bytes (exactly "=deleted" marks a deleted cookie) are ever examined.
//
//   Text sent = "a=1; b=2", set = "b=3; c=4";
//   Text merged = merge_cookies(sent, set);   // "b=3; c=4; a=1", and sent holds the same
#pragma once

#include <cstdint>

#include "text/types.h"

// The merged cookie text: the response's pairs in the order they were set, then the sent pairs whose names
// the response did not set, in the order sent; deleted cookies are left out (a response pair marked
// "=deleted" removes the sent cookie of its name) and a byte-identical repeat is kept once, at its first
// place. Both inputs are first trimmed and, when they end in ";", given the blank of the full separator;
// on return `new_cookies` holds its trimmed form and `old_cookies` the merged text.
Text merge_cookies(Text& old_cookies, Text& new_cookies);

// The pair's name: the text before its first "=" (the whole pair without one), trimmed of blanks.
Text cookie_name(const Text& cookie_pair);

// Whether some pair of `pairs` has the name `name` (byte-exact).
bool cookie_list_has(const TextList& pairs, const Text& name);

// The distinct pieces of `subject`, first occurrences only, joined by `separator`. With `by_separator`
// the pieces are those between separators, otherwise the characters of split_chars.
Text split_unique(const Text& subject, const Text& separator, bool by_separator);

// `subject` cut into units: a byte 0x81-0xFF with the byte after it, CR LF, or a single byte; the last
// byte is always a unit of its own, and so is a byte 0x80.
TextList split_chars(const Text& subject);

// The 1-based index of the first item equal to `item` (byte-exact, absent equals empty), or -1.
int32_t list_index_of(const TextList& list, const Text& item);
