#include "lookup/lookup.h"

#include "text/markers.h"
#include "text/primitives.h"

namespace {

// Each marker ends with the value's opening quote, so a field counts only as a quoted string with no
// blank after the colon; the value's closing quote ends it.
constexpr const char* kInquiriesMarker = "iquiries\":\"";
constexpr const char* kViewersMarker = "pageViews\":\"";
constexpr const char* kImageMarker = "imageUrl\":\"";
constexpr const char* kDetailMarker = "productDetailUrl\":\"";
constexpr const char* kValueEnd = "\"";

}  // namespace

Text lookup_page_url(const Text& id) {
    return txt_join(txt_join("https://", kMarketplaceHost), "/detail/compareProducts.html?ids=", id, "&pids=");
}

PageFields lookup_read_fields(const Text& page_text) {
    return PageFields{
        .inquiries = middle_text(page_text, kInquiriesMarker, kValueEnd),
        .viewers = middle_text(page_text, kViewersMarker, kValueEnd),
        .image_url = middle_text(page_text, kImageMarker, kValueEnd),
        .detail_url = middle_text(page_text, kDetailMarker, kValueEnd),
    };
}

Text lookup_absolute_url(const Text& value) {
    return txt_join("https:", replace_pairs(value, {}, "\\", Text()));
}
