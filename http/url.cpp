#include "http/url.h"

#include "text/markers.h"
#include "text/primitives.h"

namespace {

Text host_default_mode(Text s, bool base_domain) {
    if (txt_cmp(txt_tail(s, 1), "/") != 0) s = txt_join(s, "/");
    if (txt_cmp(txt_head(s, 8), "https://") == 0) {
        s = extract_between(s, "https://", "/");
    } else {
        // A URL without a scheme is read as an http one.
        if (txt_find(s, "http://") == -1) s = txt_join("http://", s);
        s = extract_between(s, "http://", "/");
    }
    if (base_domain) {
        TextList labels = txt_split(s, Text("."));
        int32_t n = list_count(labels);
        if (n > 1) s = txt_join(list_item(labels, n - 1), ".", list_item(labels, n));
    }
    return s;
}

Text host_level_mode(Text s, bool base_domain, int32_t extra_levels) {
    s = txt_replace(s, "http://", Text(), std::nullopt, std::nullopt, true);
    s = txt_replace(s, "https://", Text(), std::nullopt, std::nullopt, true);
    int32_t slash = txt_find(s, "/");
    if (slash != -1) s = txt_head(s, slash - 1);

    // Walk back over dots; each search looks only left of the previous dot, so a dot that is the very
    // last byte never counts as a separator.
    int32_t len = txt_len(s);
    int32_t p = len;
    for (int32_t i = 0; i < extra_levels && p != -1; ++i) p = txt_rfind(s, ".", p);
    int32_t e = p == -1 ? -1 : txt_rfind(s, ".", p);

    if (base_domain) return txt_tail(s, len - e);
    if (e == -1) return s;
    int32_t f = txt_rfind(s, ".", e);
    return f == -1 ? s : txt_tail(s, len - f);
}

}  // namespace

Text url_host(const Text& request_url, bool base_domain, bool keep_port, std::optional<int32_t> extra_levels) {
    Text s = txt_lower(request_url);
    s = extra_levels ? host_level_mode(std::move(s), base_domain, *extra_levels)
                     : host_default_mode(std::move(s), base_domain);
    if (keep_port) return s;
    int32_t colon = txt_find(s, ":");
    return colon == -1 ? s : txt_head(s, colon - 1);
}

int32_t url_port(const Text& request_url) {
    Text h = url_host(request_url, false, true);
    if (txt_find(h, ":") != -1) {
        int32_t last = txt_rfind(h, ":");
        return txt_to_int(txt_tail(h, txt_len(h) - last));
    }
    // Only five bytes decide: "://" is not required.
    return txt_cmp(txt_head(txt_lower(request_url), 5), "https") == 0 ? 443 : 80;
}

Text url_path(const Text& request_url) {
    Text h = url_host(request_url);
    int32_t a = txt_find(request_url, h, 1, true);
    int32_t b = txt_find(request_url, "/", a, true);
    if (b <= 0) return Text("/");
    return txt_tail(request_url, txt_len(request_url) - b + 1);
}
