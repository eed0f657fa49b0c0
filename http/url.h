// Taking a URL apart for a request: the host to connect to, the TCP port and the object name.
//
// All three are pure over code page 936 Text and never fail: a URL they cannot make sense of still gives a
// host (possibly empty or odd), a port (possibly 0) and a path ("/" at least). The host is lower case;
// the path keeps the caller's letter case and carries the query unchanged, nothing decoded or encoded.
//
//   Text host = url_host(url);          // "HTTPS://A.B.C:81/P?x=1" -> "a.b.c"
//   int32_t port = url_port(url);       // 81
//   Text path = url_path(url);          // "/P?x=1"
#pragma once

#include <cstdint>
#include <optional>

#include "text/types.h"

// The host of `request_url`, lower-cased. A URL without "https://" at its start is read as if it had
// "http://"; user information before the host is not recognised.
//
// Default mode (`extra_levels` left out): the text after the scheme up to the next "/". With
// `base_domain` the host shrinks to its last two labels (a trailing dot is no label).
// Level mode (`extra_levels` provided): every "http://" and "https://" is removed, the rest is cut at the
// first "/", and the last `extra_levels` + 2 labels are kept (+ 1 with `base_domain`); a dot that is the
// very last byte never separates labels. In both modes a port suffix travels with the last label, and is
// cut at the first ":" unless `keep_port` is true.
Text url_host(const Text& request_url, bool base_domain = false, bool keep_port = false,
              std::optional<int32_t> extra_levels = std::nullopt);

// The port: the number after the last ":" of the host with its port kept (0 when no digits follow), else
// 443 when the first five bytes of the URL are "https" in any letter case, else 80.
int32_t url_port(const Text& request_url);

// The object name: the URL from the first "/" at or after the place where its host first occurs (searched
// ignoring case from the first byte, so a host that also occurs inside the scheme is found there), or "/".
Text url_path(const Text& request_url);
