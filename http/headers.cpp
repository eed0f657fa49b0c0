#include "http/headers.h"

#include "text/markers.h"
#include "text/primitives.h"

Text capitalize_first(const Text& name_piece) {
    return txt_join(txt_upper(txt_head(name_piece, 1)), txt_slice(name_piece, 2, txt_len(name_piece)));
}

Text normalize_header_names(const Text& headers) {
    std::string r;
    for (const Text& line : txt_split(headers, Text("\r\n"))) {
        int32_t k = txt_find(line, ":");
        if (k == -1) continue;
        Text name = txt_slice(line, 1, k - 1);
        if (txt_find(name, "-") != -1) {
            TextList words = txt_split(name, Text("-"));
            std::string rebuilt;
            for (int32_t i = 1; i <= list_count(words); ++i) {
                if (i > 1) rebuilt += '-';
                rebuilt += capitalize_first(list_item(words, i)).bytes();
            }
            name = Text(std::move(rebuilt));
        } else {
            name = capitalize_first(name);
        }
        // Taken by length from the end of the line: a name that lost a trailing "-" in the split gets the
        // hyphen back here.
        Text rest = txt_tail(line, txt_len(line) - txt_len(name));
        r += name.bytes();
        r += rest.bytes();
        r += "\r\n";
    }
    int32_t keep = static_cast<int32_t>(r.size()) - 2;
    return txt_head(Text(std::move(r)), keep);
}

Text header_value(const Text& header_line) {
    int32_t a = txt_find(header_line, ":");
    if (a == -1) return Text();
    return txt_trim(txt_tail(header_line, txt_len(header_line) - a));
}

Text choose_user_agent(const Text& headers) {
    if (txt_find(headers, "User-Agent:", std::nullopt, true) == -1) return Text(kDefaultUserAgent);
    // The CR LF lets the last line end like the others.
    Text v = txt_trim(extract_between(txt_join(headers, "\r\n"), "User-Agent:", "\r\n"));
    if (v.empty()) v = header_value(headers);
    return v;
}

Text add_header_if_missing(const Text& headers, const Text& header_name, const Text& header_line) {
    if (txt_find(headers, header_name, std::nullopt, true) == -1) return txt_join(headers, header_line);
    return headers;
}

Text add_default_headers(const Text& headers, const Text& request_url, int32_t method_index) {
    Text h = headers.empty() ? Text("Accept: */*") : headers;
    h = add_header_if_missing(h, "Accept:", "\r\nAccept: */*");
    if (txt_find(h, "Referer:", std::nullopt, true) == -1) h = txt_join(h, "\r\nReferer: ", request_url);
    h = add_header_if_missing(h, "Accept-Language:", "\r\nAccept-Language: zh-cn");
    if (method_index == 1) {
        h = add_header_if_missing(h, "Content-Type:", "\r\nContent-Type: application/x-www-form-urlencoded");
    }
    return h;
}

Text add_cookie_header(const Text& headers, const Text& send_cookies) {
    if (send_cookies.empty()) return headers;
    if (txt_find(send_cookies, "Cookie:") != -1) return txt_join(headers, "\r\n", send_cookies);
    return txt_join(headers, "\r\nCookie: ", send_cookies);
}
