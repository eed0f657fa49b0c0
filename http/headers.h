// Preparing the request header block that web_fetch sends, and the agent string for the HTTP client.
//
// A header block is one Text of lines separated by CR LF, normally without a CR LF after the last line;
// a line's name is everything before its first ":". Every routine is pure, returns a new Text and never
// fails. Searches for header names ignore ASCII letter case and cover the whole block, not only the
// starts of lines, so a name mentioned inside a value counts as present.
//
//   Text h = normalize_header_names(extra_headers);   // "content-type: x" -> "Content-Type: x"
//   Text agent = choose_user_agent(h);
//   h = add_cookie_header(add_default_headers(h, url, method_index), cookies);
#pragma once

#include <cstdint>

#include "text/types.h"

// The agent used when the block names none.
inline constexpr const char* kDefaultUserAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// `name_piece` with its first byte upper-cased; only an ASCII small letter changes, and a first byte that
// begins a two-byte character stays as it is.
Text capitalize_first(const Text& name_piece);

// The block with the first letter of every hyphen-separated word of each name raised; the colon and what
// follows pass byte for byte, line order is kept, lines without a colon (empty ones included) are dropped
// and a CR LF at the end of the block disappears.
Text normalize_header_names(const Text& headers);

// The text after the first ":" of `header_line`, trimmed of blanks (CR and LF are not blanks); empty
// without a colon. Given a block of several lines it returns everything after the block's first colon.
Text header_value(const Text& header_line);

// The agent for the HTTP client: the trimmed value of the first "User-Agent:" line in exactly that letter
// case; when that is empty but a user-agent line exists in any case, header_value of the whole block;
// without any user-agent line, kDefaultUserAgent. The line itself stays in the block.
Text choose_user_agent(const Text& headers);

// `headers` followed by `header_line` when `header_name` occurs nowhere in it, ignoring case.
Text add_header_if_missing(const Text& headers, const Text& header_name, const Text& header_line);

// The block completed with the lines it lacks, in this order: "Accept: */*", "Referer: " + `request_url`,
// "Accept-Language: zh-cn", and for `method_index` 1 (POST) "Content-Type:
// application/x-www-form-urlencoded". Each appended line carries its CR LF in front; an empty block
// starts as "Accept: */*".
Text add_default_headers(const Text& headers, const Text& request_url, int32_t method_index);

// The block with the caller's cookies appended as they were written: nothing when `send_cookies` is empty,
// the text as a whole line when it contains "Cookie:" (exact case), else a "Cookie: " line.
Text add_cookie_header(const Text& headers, const Text& send_cookies);
