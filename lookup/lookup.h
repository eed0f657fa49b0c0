// The lookup's pure steps, shared by the window and the command-line tool: the comparison page's URL for
// a product ID, and the four values read from the page text.
//
//   Text url = lookup_page_url(id);
//   PageFields f = lookup_read_fields(utf8_to_local(txt_from_bin(web_fetch(url))));
//   Text image_url = lookup_absolute_url(f.image_url);
#pragma once

#include "text/types.h"

// The marketplace's public web host.
inline constexpr const char* kMarketplaceHost = "www.alibaba.com";

// "https://" + host + "/detail/compareProducts.html?ids=" + id + "&pids=", the ID byte for byte.
Text lookup_page_url(const Text& id);

// The values as the page gives them (code page 936), each the empty Text when its marker is missing.
// Markers are found ignoring ASCII letter case; the first occurrence wins; a value ends at the next '"'.
struct PageFields {
    Text inquiries;   // after "iquiries":" (the key is spelled that way, possibly inside a longer key)
    Text viewers;     // after "pageViews":"
    Text image_url;   // after "imageUrl":", still scheme-relative with escaped slashes
    Text detail_url;  // after "productDetailUrl":"
};
PageFields lookup_read_fields(const Text& page_text);

// A URL value made absolute: every backslash removed and "https:" put in front ("https:" alone for an
// empty value). URL values arrive scheme-relative with escaped slashes ("\/\/host\/path").
Text lookup_absolute_url(const Text& value);
