#include "http/cookies.h"

#include "text/primitives.h"

namespace {

// Trimmed, and a list that ends in ";" gets the blank that completes its last separator.
Text normalize_cookie_text(const Text& cookies) {
    Text t = txt_trim(cookies);
    if (txt_cmp(txt_tail(t, 1), ";") == 0) t = txt_join(t, " ");
    return t;
}

}  // namespace

Text merge_cookies(Text& old_cookies, Text& new_cookies) {
    old_cookies = normalize_cookie_text(old_cookies);
    new_cookies = normalize_cookie_text(new_cookies);

    const Text separator("; ");
    TextList sent = txt_split(old_cookies, separator);
    TextList merged = txt_split(new_cookies, separator);
    // Each test sees the pairs appended before it: of several sent pairs with one name only the first
    // goes in, and a name the response set keeps the response's pair.
    for (const Text& pair : sent) {
        if (!cookie_list_has(merged, cookie_name(pair))) list_append(merged, pair);
    }

    std::string joined;
    for (const Text& pair : merged) {
        if (txt_cmp(txt_tail(pair, 8), "=deleted") == 0) continue;
        joined += pair.bytes();
        joined += "; ";
    }
    int32_t keep = static_cast<int32_t>(joined.size()) - 2;
    Text result = split_unique(txt_head(Text(std::move(joined)), keep), separator, true);
    old_cookies = result;
    return result;
}

Text cookie_name(const Text& cookie_pair) {
    int32_t i = txt_find(cookie_pair, "=");
    return txt_trim(i == -1 ? cookie_pair : txt_head(cookie_pair, i - 1));
}

bool cookie_list_has(const TextList& pairs, const Text& name) {
    for (const Text& pair : pairs) {
        if (txt_cmp(cookie_name(pair), name) == 0) return true;
    }
    return false;
}

Text split_unique(const Text& subject, const Text& separator, bool by_separator) {
    TextList pieces = by_separator ? txt_split(subject, separator) : split_chars(subject);
    TextList kept;
    std::string result;
    for (const Text& piece : pieces) {
        if (list_index_of(kept, piece) != -1) continue;
        list_append(kept, piece);
        result += piece.bytes();
        result += separator.bytes();
    }
    int32_t keep = static_cast<int32_t>(result.size()) - txt_len(separator);
    return txt_head(Text(std::move(result)), keep);
}

TextList split_chars(const Text& subject) {
    ByteSet bytes = bin_from_text(subject);
    const int32_t n = bin_len(bytes);
    const unsigned char* b = bytes.data();
    TextList units;
    int32_t i = 1;
    while (i <= n) {
        unsigned char c = b[i - 1];
        bool pair = i < n && (c > 0x80 || (c == '\r' && b[i] == '\n'));
        int32_t len = pair ? 2 : 1;
        list_append(units, txt_from_bin(bin_slice(bytes, i, len)));
        i += len;
    }
    return units;
}

int32_t list_index_of(const TextList& list, const Text& item) {
    for (int32_t i = 1; i <= list_count(list); ++i) {
        if (txt_cmp(list_item(list, i), item) == 0) return i;
    }
    return -1;
}
