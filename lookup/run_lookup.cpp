#include "lookup/run_lookup.h"

#include "http/web_fetch.h"
#include "lookup/lookup.h"
#include "text/codepage.h"
#include "text/primitives.h"

void run_lookup(const PressEvent& /*press*/) {
    Text id = ui_get_text("当前ID");
    // The body becomes a Text in place and is gone once converted: a page can run to megabytes.
    const Text page = utf8_to_local(txt_from_bin(web_fetch(lookup_page_url(id))));
    const PageFields fields = lookup_read_fields(page);

    // Controls are written in a fixed order: numbers, then the image (requested only now), then the link.
    ui_set_text("透明标签193", fields.inquiries);
    ui_set_text("透明标签179", fields.viewers);
    // Without an image URL the request goes to "https:" alone and whatever it returns (normally nothing)
    // replaces the previous lookup's picture.
    ui_set_picture("图片框27", web_fetch(lookup_absolute_url(fields.image_url)));
    ui_set_text("透明标签1", lookup_absolute_url(fields.detail_url));
}
