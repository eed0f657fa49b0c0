// A synthetic comparison page for benchmarks: JSON inside HTML, mostly ASCII with about 10 % two-byte
// characters, the four lookup fields near the end.
//
//   std::string page = make_page_text(16 << 20, /*utf8=*/false);
#pragma once

#include <cstddef>
#include <string>

// `size` bytes of page text in code page 936 when utf8 is false; else the same characters in UTF-8, which
// makes the text about 5 % longer. The same arguments always give the same text.
std::string make_page_text(size_t size, bool utf8);
