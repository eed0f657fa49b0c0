#include "text/primitives.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Byte = unsigned char;
constexpr size_t kNone = std::numeric_limits<size_t>::max();

constexpr bool is_lead(Byte b) { return b >= 0x80; }
constexpr Byte fold(Byte b) { return (b >= 'A' && b <= 'Z') ? static_cast<Byte>(b + 0x20) : b; }
constexpr bool is_letter(Byte b) { return fold(b) >= 'a' && fold(b) <= 'z'; }

// Byte keys for comparing: identity, or with the ASCII capitals mapped to small letters.
struct KeyTables {
    Byte exact[256];
    Byte folded[256];
};
constexpr KeyTables make_key_tables() {
    KeyTables t{};
    for (int b = 0; b < 256; ++b) {
        t.exact[b] = static_cast<Byte>(b);
        t.folded[b] = fold(static_cast<Byte>(b));
    }
    return t;
}
constexpr KeyTables kKeys = make_key_tables();

const Byte* bytes_of(std::string_view v) { return reinterpret_cast<const Byte*>(v.data()); }

Text text_of(std::string_view bytes) { return Text::result(std::string(bytes)); }

// Positions arrive as 32-bit values from callers that compute them; widen before any arithmetic.
int64_t wide(int32_t v) { return v; }

// How often a byte turns up in the pages, headers and URLs this program searches, roughly per mille, for
// letters in either case. Only the order matters: a search waits for the rarest byte of its needle and
// checks around it. Bytes not listed (and every byte 0x80-0xFF, spread over many values) count 1.
struct Frequency {
    const char* bytes;
    int per_mille;
};
constexpr Frequency kFrequencies[] = {
    {" ", 120},          {"\"", 60},  {"e", 50},    {"ta", 40},  {"oin", 36},   {"sr", 33},
    {"l", 22},           {"ch:", 20}, {"du,/", 16}, {"mp", 14},  {"fg.01", 10}, {"wyb<>", 8},
    {"23456789=\\-", 6}, {"v", 5},    {"k", 4},     {"_;\n", 3}, {"x{}&%'", 2},
};
struct FrequencyTable {
    int of[256];
};
constexpr FrequencyTable make_frequency_table() {
    FrequencyTable t{};
    for (int b = 0; b < 256; ++b) t.of[b] = b < 0x20 ? 0 : 1;
    for (const Frequency& f : kFrequencies) {
        for (const char* c = f.bytes; *c; ++c) {
            const Byte b = static_cast<Byte>(*c);
            t.of[b] = f.per_mille;
            if (b >= 'a' && b <= 'z') t.of[b - 0x20] = f.per_mille;
        }
    }
    return t;
}
constexpr FrequencyTable kFrequency = make_frequency_table();

// A letter is searched in both cases when case is folded, so its two frequencies add up.
int anchor_cost(Byte b, bool fold_case) {
    const int f = kFrequency.of[b];
    return (fold_case && is_letter(b)) ? f + f / 4 + 1 : f;
}

// Decides whether position c is where the character walk lands, given `boundary`, a position the walk is
// known to land on (boundary <= c). A byte below 0x80 is either a character or the second byte of one, so
// the walk always lands right after it; from there, the run of bytes 0x80-0xFF up to c pairs off, and c is
// a character start exactly when that run has even length. The boundary moves up to c (or c + 1), so
// repeated calls with growing c never walk the same bytes twice.
bool lands_on(const Byte* s, size_t& boundary, size_t c) {
    size_t j = c;
    while (j > boundary && is_lead(s[j - 1])) --j;
    const bool start = ((c - j) & 1) == 0;
    boundary = start ? c : c + 1;
    return start;
}

// Finds a needle at character starts, left to right, for the searching primitives. Candidates come from a
// memchr scan for the needle's rarest byte (both cases when folding) and are checked in place. If the
// checks start to cost more than the scan (a subject full of near-matches), the rest of the subject is
// searched with a Knuth-Morris-Pratt automaton over folded bytes instead, so no input is quadratic.
class Matcher {
public:
    Matcher(std::string_view subject, std::string_view needle, bool fold_case, size_t end)
        : s_(bytes_of(subject)),
          n_(bytes_of(needle)),
          k_(needle.size()),
          end_(end),
          fold_(fold_case),
          key_(fold_case ? kKeys.folded : kKeys.exact) {
        size_t best = 0;
        for (size_t j = 1; j < k_; ++j)
            if (anchor_cost(n_[j], fold_) < anchor_cost(n_[best], fold_)) best = j;
        anchor_ = best;
        lo_byte_ = fold_ ? fold(n_[best]) : n_[best];
        hi_byte_ = (fold_ && is_letter(lo_byte_)) ? static_cast<Byte>(lo_byte_ - 0x20) : lo_byte_;
    }

    // The first position p >= from with p + k <= end where the needle matches and the walk lands, or kNone.
    // `from` must itself be a position the walk lands on (the start of a search, the byte after a match,
    // or the next character after a match).
    size_t next(size_t from) {
        if (k_ == 0 || from > end_ || end_ - from < k_) return kNone;
        if (origin_ == kNone) origin_ = from;
        boundary_ = from;
        return kmp_ ? next_kmp(from) : next_fast(from);
    }

private:
    // Whether the needle matches at c; `cost` grows by the bytes it took to tell.
    bool matches_at(size_t c, size_t& cost) const {
        for (size_t i = 0; i < k_; ++i) {
            if (key(s_[c + i]) != key(n_[i])) {
                cost += i + 1;
                return false;
            }
        }
        cost += k_;
        return true;
    }

    // The next position >= x of byte b up to the last place the anchor may sit. Each stream remembers its
    // last answer, which holds for any x in [origin, pos] (for any x >= origin when nothing was found).
    struct Stream {
        size_t pos = kNone;
        size_t origin = kNone;
    };
    size_t scan(Byte b, size_t x, size_t last, Stream& st) const {
        if (st.origin != kNone && x >= st.origin && (st.pos == kNone || x <= st.pos)) return st.pos;
        const void* hit = std::memchr(s_ + x, b, last - x + 1);
        st.origin = x;
        st.pos = hit ? static_cast<size_t>(static_cast<const Byte*>(hit) - s_) : kNone;
        return st.pos;
    }

    size_t next_fast(size_t from) {
        const size_t last = end_ - k_ + anchor_;  // the last byte the anchor may sit on
        for (size_t x = from + anchor_; x <= last;) {
            const size_t a = scan(lo_byte_, x, last, lo_);
            const size_t b = hi_byte_ == lo_byte_ ? kNone : scan(hi_byte_, x, last, hi_);
            const size_t hit = std::min(a, b);
            if (hit == kNone) break;
            const size_t c = hit - anchor_;
            const bool found = matches_at(c, work_) && lands_on(s_, boundary_, c);
            // Checks may cost twice the distance covered, plus a start-up allowance, before giving up.
            if (work_ > 2 * (c - origin_) + 8 * k_ + 4096) {
                kmp_ = true;
                build_kmp();
            }
            if (found) return c;
            if (kmp_) return next_kmp(c + 1);
            x = hit + 1;
        }
        return kNone;
    }

    Byte key(Byte b) const { return key_[b]; }

    void build_kmp() {
        keys_.resize(k_);
        for (size_t i = 0; i < k_; ++i) keys_[i] = key(n_[i]);
        fail_.assign(k_, 0);
        for (size_t i = 1, q = 0; i < k_; ++i) {
            while (q > 0 && keys_[i] != keys_[q]) q = fail_[q - 1];
            if (keys_[i] == keys_[q]) ++q;
            fail_[i] = q;
        }
        t_ = 0;
        q_ = 0;
    }

    // The automaton keeps its state between calls: t_ is the next byte to read and q_ the length of the
    // needle prefix that ends there. A call drops the part of that prefix lying before `from`.
    size_t next_kmp(size_t from) {
        if (t_ < from) {
            t_ = from;
            q_ = 0;
        }
        while (q_ > 0 && t_ - q_ < from) q_ = fail_[q_ - 1];
        while (t_ < end_) {
            const Byte b = key(s_[t_]);
            while (q_ > 0 && keys_[q_] != b) q_ = fail_[q_ - 1];
            if (keys_[q_] == b) ++q_;
            ++t_;
            if (q_ == k_) {
                const size_t c = t_ - k_;
                q_ = fail_[q_ - 1];
                if (lands_on(s_, boundary_, c)) return c;
            }
        }
        return kNone;
    }

    const Byte* s_;
    const Byte* n_;
    size_t k_;
    size_t end_;
    bool fold_;
    const Byte* key_;
    size_t anchor_ = 0;
    Byte lo_byte_ = 0, hi_byte_ = 0;
    Stream lo_, hi_;
    size_t boundary_ = 0;
    size_t origin_ = kNone;  // where the first search began
    size_t work_ = 0;
    bool kmp_ = false;
    std::vector<Byte> keys_;  // the needle's keys, for the automaton
    std::vector<size_t> fail_;
    size_t t_ = 0, q_ = 0;
};

// Case conversion shared by txt_upper and txt_lower: the byte after a byte 0x80-0xFF is never touched.
Text convert_case(const Text& t, Byte from_a, Byte to_a) {
    std::string out = t.bytes();
    for (size_t i = 0; i < out.size(); ++i) {
        const Byte b = static_cast<Byte>(out[i]);
        if (is_lead(b))
            ++i;
        else if (b >= from_a && b < from_a + 26)
            out[i] = static_cast<char>(b - from_a + to_a);
    }
    return Text::result(std::move(out));
}

}  // namespace

// --- Text ---

int32_t txt_len(const Text& t) { return t.size(); }

Text txt_head(const Text& t, int32_t n) {
    if (n <= 0) return Text();
    return text_of(t.view().substr(0, static_cast<size_t>(n)));
}

Text txt_tail(const Text& t, int32_t n) {
    if (n <= 0) return Text();
    const size_t len = t.view().size();
    const size_t take = std::min(len, static_cast<size_t>(n));
    return text_of(t.view().substr(len - take));
}

Text txt_slice(const Text& t, int32_t start, int32_t n) {
    if (start < 1 || start > t.size() || n <= 0) return Text();
    return text_of(t.view().substr(static_cast<size_t>(start) - 1, static_cast<size_t>(n)));
}

int32_t txt_find(const Text& subject, const Text& needle, std::optional<int32_t> start, bool ignore_case) {
    const int64_t len = subject.size();
    const int64_t s = start ? std::max<int64_t>(wide(*start), 1) : 1;
    if (s > len) return -1;
    if (needle.empty()) return 1;
    Matcher m(subject.view(), needle.view(), ignore_case, static_cast<size_t>(len));
    const size_t p = m.next(static_cast<size_t>(s - 1));
    return p == kNone ? -1 : static_cast<int32_t>(p + 1);
}

int32_t txt_rfind(const Text& subject, const Text& needle, std::optional<int32_t> start, bool ignore_case) {
    const int64_t len = subject.size();
    const int64_t region = !start ? len : (*start <= 1 ? 0 : std::min(wide(*start) - 1, len));
    if (region <= 0) return -1;
    if (needle.empty()) return 1;
    Matcher m(subject.view(), needle.view(), ignore_case, static_cast<size_t>(region));
    const Byte* s = bytes_of(subject.view());
    size_t last = kNone;
    for (size_t p = m.next(0); p != kNone; p = m.next(p + (is_lead(s[p]) ? 2 : 1))) last = p;
    return last == kNone ? -1 : static_cast<int32_t>(last + 1);
}

Text txt_replace(const Text& subject, const Text& find, const Text& replacement, std::optional<int32_t> start,
                 std::optional<int32_t> count, bool match_case) {
    const std::string_view sv = subject.view();
    const size_t len = sv.size();
    const int64_t s = start ? std::max<int64_t>(wide(*start), 1) : 1;
    int64_t left = (!count || *count < 0) ? -1 : *count;  // -1: unlimited
    if (len == 0 || find.empty() || s > static_cast<int64_t>(len) || left == 0) return text_of(sv);

    const size_t k = find.view().size();
    const std::string_view with = replacement.view();
    std::string out;
    out.reserve(len);
    Matcher m(sv, find.view(), !match_case, len);
    size_t p = static_cast<size_t>(s - 1);
    out.append(sv.substr(0, p));
    for (size_t hit = m.next(p); hit != kNone; hit = m.next(p)) {
        out.append(sv.substr(p, hit - p));
        out.append(with);
        p = hit + k;
        if (left > 0 && --left == 0) {
            out.append(sv.substr(p));
            return Text::result(std::move(out));
        }
    }
    // The character walk ran to the end. With a one-byte find text it reaches the last byte; when that
    // byte begins a character whose second byte is missing, the walk steps over both and the half is lost.
    size_t tail_end = len;
    size_t boundary = p;
    if (k == 1 && p < len && is_lead(static_cast<Byte>(sv[len - 1])) && lands_on(bytes_of(sv), boundary, len - 1))
        tail_end = len - 1;
    out.append(sv.substr(p, tail_end - p));
    return Text::result(std::move(out));
}

TextList txt_split(const Text& subject, const std::optional<Text>& separator, std::optional<int32_t> limit) {
    TextList items;
    const std::string_view sv = subject.view();
    const int64_t max_items = !limit ? -1 : std::max<int32_t>(*limit, 0);
    if (sv.empty() || max_items == 0) return items;
    const std::string_view sep = separator ? separator->view() : std::string_view(",");
    if (sep.empty()) {
        items.push_back(text_of(sv));
        return items;
    }
    Matcher m(sv, sep, false, sv.size());
    size_t piece = 0;
    for (size_t hit = m.next(0); hit != kNone; hit = m.next(piece)) {
        items.push_back(text_of(sv.substr(piece, hit - piece)));
        piece = hit + sep.size();
        if (max_items > 0 && static_cast<int64_t>(items.size()) == max_items) return items;
    }
    if (piece < sv.size()) items.push_back(text_of(sv.substr(piece)));
    return items;
}

Text txt_trim(const Text& t) {
    const std::string_view v = t.view();
    const Byte* s = bytes_of(v);
    const size_t len = v.size();
    size_t first = 0;
    while (first < len) {
        if (s[first] == 0x20)
            first += 1;
        else if (first + 1 < len && s[first] == 0xA1 && s[first + 1] == 0xA1)
            first += 2;
        else
            break;
    }
    size_t keep_end = first;
    for (size_t p = first; p < len;) {
        if (is_lead(s[p])) {
            if (p + 1 == len) {  // a cut character: it goes, and the blanks before it stay
                keep_end = p;
                break;
            }
            if (!(s[p] == 0xA1 && s[p + 1] == 0xA1)) keep_end = p + 2;
            p += 2;
        } else {
            if (s[p] != 0x20) keep_end = p + 1;
            p += 1;
        }
    }
    return text_of(v.substr(first, keep_end - first));
}

Text txt_upper(const Text& t) { return convert_case(t, 'a', 'A'); }
Text txt_lower(const Text& t) { return convert_case(t, 'A', 'a'); }

int32_t txt_to_int(const Text& t) {
    // Full-width forms first, so that full-width digits, signs and spaces read as their ASCII twins.
    const std::string_view v = t.view();
    std::string plain;
    plain.reserve(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
        const Byte b = static_cast<Byte>(v[i]);
        if (!is_lead(b)) {
            plain += static_cast<char>(b);
            continue;
        }
        if (i + 1 == v.size()) break;
        const Byte c = static_cast<Byte>(v[++i]);
        if (b == 0xA1 && c == 0xA1)
            plain += ' ';
        else if (b == 0xA1 && c == 0xAB)
            plain += '~';
        else if (b == 0xA1 && (c == 0xEE || c == 0xEF))
            plain += '*';
        else if (b == 0xA3 && c >= 0xA1 && c <= 0xFE)
            plain += static_cast<char>(c - 0x80);
        else {
            plain += static_cast<char>(b);
            plain += static_cast<char>(c);
        }
    }
    size_t i = 0;
    while (i < plain.size() && (plain[i] == ' ' || (plain[i] >= 0x09 && plain[i] <= 0x0D))) ++i;
    bool negative = false;
    if (i < plain.size() && (plain[i] == '+' || plain[i] == '-')) negative = plain[i++] == '-';
    uint32_t value = 0;  // wraps silently, as 32-bit arithmetic does
    for (; i < plain.size() && plain[i] >= '0' && plain[i] <= '9'; ++i)
        value = value * 10u + static_cast<uint32_t>(plain[i] - '0');
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

int32_t txt_code(const Text& t, std::optional<int32_t> pos) {
    const int32_t p = pos.value_or(1);
    if (p < 1 || p > t.size()) return 0;
    return static_cast<signed char>(t.bytes()[static_cast<size_t>(p) - 1]);
}

Text txt_from_code(int32_t code) {
    const char c = static_cast<char>(static_cast<Byte>(code));
    return c == 0 ? Text() : Text::result(std::string(1, c));
}

Text txt_spaces(int32_t n) { return n <= 0 ? Text() : Text::result(std::string(static_cast<size_t>(n), ' ')); }

Text txt_join(const Text& a, const Text& b) { return txt_join(a, b, Text(), Text()); }
Text txt_join(const Text& a, const Text& b, const Text& c) { return txt_join(a, b, c, Text()); }
Text txt_join(const Text& a, const Text& b, const Text& c, const Text& d) {
    std::string out;
    out.reserve(a.bytes().size() + b.bytes().size() + c.bytes().size() + d.bytes().size());
    out.append(a.bytes()).append(b.bytes()).append(c.bytes()).append(d.bytes());
    Text joined(std::move(out));  // present even when empty
    return joined;
}

int32_t txt_cmp(const Text& a, const Text& b) {
    const int r = a.view().compare(b.view());  // char_traits<char> compares as unsigned char
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

Text txt_from_bin(const ByteSet& b) {
    const std::string& bytes = b.bytes();
    return text_of(std::string_view(bytes).substr(0, bytes.find('\0')));
}

Text txt_from_bin(ByteSet&& b) {
    std::string& bytes = b.storage();
    if (const size_t zero = bytes.find('\0'); zero != std::string::npos) bytes.resize(zero);
    Text t = Text::result(std::move(bytes));
    b = ByteSet();
    return t;
}

// --- ByteSet ---

int32_t bin_len(const ByteSet& b) { return b.size(); }

ByteSet bin_head(const ByteSet& b, int32_t n) {
    if (n <= 0) return ByteSet();
    return ByteSet(b.bytes().substr(0, static_cast<size_t>(n)));
}

ByteSet bin_slice(const ByteSet& b, int32_t start, int32_t n) {
    if (n <= 0) return ByteSet();
    const size_t len = b.bytes().size();
    const size_t from = start < 1 ? 0 : std::min(static_cast<size_t>(start) - 1, len);
    return ByteSet(b.bytes().substr(from, static_cast<size_t>(n)));
}

ByteSet bin_zeroes(int32_t n) { return n <= 0 ? ByteSet() : ByteSet(std::string(static_cast<size_t>(n), '\0')); }

ByteSet bin_from_text(const Text& t) { return ByteSet(t.bytes()); }

ByteSet bin_join(const ByteSet& a, const ByteSet& b) { return ByteSet(a.bytes() + b.bytes()); }

int32_t bin_cmp(const ByteSet& a, const ByteSet& b) {
    const int r = std::string_view(a.bytes()).compare(b.bytes());
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

// --- Others ---

int32_t bit_or(int32_t a, int32_t b) { return a | b; }

int32_t list_count(const TextList& list) { return static_cast<int32_t>(list.size()); }

const Text& list_item(const TextList& list, int32_t index) {
    static const Text kAbsent;
    if (index < 1 || static_cast<size_t>(index) > list.size()) return kAbsent;
    return list[static_cast<size_t>(index) - 1];
}

void list_append(TextList& list, const Text& item) { list.push_back(item); }
