// The code page seam on Linux. UTF-8 is decoded and encoded by our own code; code page 936 goes through two
// tables that iconv fills once, at first use. The behaviour follows the Windows converters with flags 0:
//
// - Code page 0 is 936, the ANSI code page of this program on every platform.
// - Malformed UTF-8 becomes U+FFFD, one for each maximal subpart: the longest prefix of a well-formed
//   sequence, or a single byte that can begin none (so E4 B8 41 gives FFFD 0041, C0 AF gives FFFD FFFD).
//   Overlong forms, encoded surrogates and values beyond U+10FFFF are malformed.
// - In 936 input, a lead byte 0x81-0xFE and whatever byte follows it, short of a zero byte or the end, are
//   one character; any other byte is one character. A character 936 does not define (by iconv's table)
//   becomes U+003F, so 81 30 gives one U+003F, as on Windows.
// - In 936 output, every UTF-16 unit that 936 lacks becomes the default character (0x3F unless the caller
//   gives one). 936 has no character beyond the BMP, so a surrogate pair becomes two of them and a lone
//   surrogate one.
// - In UTF-8 output, a surrogate pair becomes its four-byte sequence and a lone surrogate EF BF BD (U+FFFD).
//
// Two things Windows does are left out on purpose: its best-fit mappings (there U+00B2 becomes '2'; here
// every character iconv's CP936 lacks becomes the default character) and its mapping of 936's
// user-defined areas to the private use area, which iconv does not define either. Anything else the Windows
// converters accept (other code pages, other flags) fails with 0 here.
#include <iconv.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "text/codepage_platform.h"

namespace {

// Units and bytes are read a word at a time, lowest address in the lowest bits.
static_assert(std::endian::native == std::endian::little);

constexpr uint32_t kAnsi = 0;
constexpr uint32_t kUtf8 = 65001;
constexpr uint32_t kGbk = 936;

constexpr char16_t kReplacement = 0xFFFD;
constexpr char16_t kGbkDefaultUnit = u'?';
constexpr size_t kNoFit = std::numeric_limits<size_t>::max();

constexpr uint64_t kHighBits = 0x8080808080808080ull;
// Four UTF-16LE units in a word are ASCII when every unit is below 0x80.
constexpr uint64_t kUnitsAboveAscii = 0xFF80FF80FF80FF80ull;

[[noreturn]] void cp_fatal(const char* what) {
    std::fprintf(stderr, "xunpan: %s\n", what);
    std::abort();
}

uint64_t load64(const void* p) {
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// Four bytes (the low half of w) as four UTF-16 units, and back.
uint64_t widen4(uint64_t w) {
    w &= 0xFFFFFFFFull;
    w = (w | w << 16) & 0x0000FFFF0000FFFFull;
    return (w | w << 8) & 0x00FF00FF00FF00FFull;
}
uint32_t narrow4(uint64_t w) {
    w = (w | w >> 8) & 0x0000FFFF0000FFFFull;
    return static_cast<uint32_t>(w | w >> 16);
}

// Pages are mostly ASCII. These two walk an ASCII run eight characters at a time and stop at the first
// other character (or when fewer than eight remain, or in write mode when fewer than eight fit), leaving it
// to the caller's character-by-character step. They write only units and bytes that belong to the result,
// so nothing beyond the returned count changes (the UTF-16 ByteSet keeps its zero padding).
template <bool kWrite>
void ascii_bytes_to_units(const unsigned char* s, size_t len, size_t& i, char16_t* dst, size_t cap, size_t& o) {
    while (i + 8 <= len && (!kWrite || o + 8 <= cap)) {
        const uint64_t w = load64(s + i);
        const uint64_t high = w & kHighBits;
        const size_t k = high == 0 ? 8 : static_cast<size_t>(std::countr_zero(high)) / 8;
        if constexpr (kWrite) {
            if (k == 8) {
                const uint64_t lo = widen4(w);
                const uint64_t hi = widen4(w >> 32);
                std::memcpy(dst + o, &lo, 8);
                std::memcpy(dst + o + 4, &hi, 8);
            } else {
                for (size_t j = 0; j < k; ++j) dst[o + j] = s[i + j];
            }
        }
        i += k;
        o += k;
        if (k < 8) return;
    }
}

template <bool kWrite>
void ascii_units_to_bytes(const char16_t* s, size_t len, size_t& i, unsigned char* dst, size_t cap, size_t& o) {
    while (i + 8 <= len && (!kWrite || o + 8 <= cap)) {
        const uint64_t w0 = load64(s + i);
        const uint64_t w1 = load64(s + i + 4);
        const uint64_t m0 = w0 & kUnitsAboveAscii;
        const uint64_t m1 = w1 & kUnitsAboveAscii;
        size_t k = 8;
        if (m0 != 0)
            k = static_cast<size_t>(std::countr_zero(m0)) / 16;
        else if (m1 != 0)
            k = 4 + static_cast<size_t>(std::countr_zero(m1)) / 16;
        if constexpr (kWrite) {
            if (k == 8) {
                const uint32_t lo = narrow4(w0);
                const uint32_t hi = narrow4(w1);
                std::memcpy(dst + o, &lo, 4);
                std::memcpy(dst + o + 4, &hi, 4);
            } else {
                for (size_t j = 0; j < k; ++j) dst[o + j] = static_cast<unsigned char>(s[i + j]);
            }
        }
        i += k;
        o += k;
        if (k < 8) return;
    }
}

class IconvHolder {
public:
    IconvHolder(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) cp_fatal("iconv cannot convert between UTF-16LE and CP936");
    }
    ~IconvHolder() { iconv_close(cd_); }
    IconvHolder(const IconvHolder&) = delete;
    IconvHolder& operator=(const IconvHolder&) = delete;

    // Converts `in` completely and returns the number of bytes written to `out`, or kNoFit when iconv
    // rejects or cannot finish the input. The state is reset either way, so one failure does not leak
    // into the next call.
    size_t convert(const void* in, size_t in_len, void* out, size_t out_cap) {
        char* src = static_cast<char*>(const_cast<void*>(in));  // iconv's prototype is not const-correct
        char* dst = static_cast<char*>(out);
        size_t src_left = in_len;
        size_t dst_left = out_cap;
        const size_t r = iconv(cd_, &src, &src_left, &dst, &dst_left);
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (r == static_cast<size_t>(-1) || src_left != 0) return kNoFit;
        return out_cap - dst_left;
    }

private:
    iconv_t cd_;
};

bool gbk_lead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
bool gbk_trail(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

// UTF-16 unit -> its 936 bytes: 0 when 936 lacks it, below 0x100 one byte, else lead << 8 | trail.
struct GbkEncodeTable {
    uint16_t to_gbk[0x10000];
};
// A single byte 0x80-0xFF at its own value, a two-byte character at lead << 8 | trail -> its unit; 0 when
// 936 does not define it.
struct GbkDecodeTable {
    char16_t from_gbk[0x10000];
};

std::unique_ptr<GbkEncodeTable> build_encode_table() {
    auto t = std::make_unique<GbkEncodeTable>();
    std::memset(t.get(), 0, sizeof *t);
    for (char16_t u = 1; u < 0x80; ++u) t->to_gbk[u] = u;
    IconvHolder encoder("CP936", "UTF-16LE");
    for (uint32_t u = 0x80; u <= 0xFFFF; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF) continue;
        const unsigned char in[2] = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8)};
        unsigned char out[8];
        const size_t n = encoder.convert(in, 2, out, sizeof out);
        if (n == 1 && out[0] != 0)
            t->to_gbk[u] = out[0];
        else if (n == 2 && gbk_lead(out[0]) && gbk_trail(out[1]))
            t->to_gbk[u] = static_cast<uint16_t>(out[0] << 8 | out[1]);
    }
    return t;
}

std::unique_ptr<GbkDecodeTable> build_decode_table() {
    auto t = std::make_unique<GbkDecodeTable>();
    std::memset(t.get(), 0, sizeof *t);
    IconvHolder decoder("UTF-16LE", "CP936");
    auto decode_one = [&decoder](const unsigned char* in, size_t len) -> char16_t {
        unsigned char out[8];
        if (decoder.convert(in, len, out, sizeof out) != 2) return 0;
        const auto u = static_cast<char16_t>(out[0] | out[1] << 8);
        return (u >= 0xD800 && u <= 0xDFFF) ? 0 : u;
    };
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
        const unsigned char in[1] = {static_cast<unsigned char>(b)};
        t->from_gbk[b] = decode_one(in, 1);
    }
    // A whole row of trail bytes goes to iconv at once: the window decodes its captions at start-up, and
    // one call per character made that a noticeable part of showing the first frame. Every defined pair
    // gives exactly one unit; a row where that does not hold is decoded pair by pair instead.
    constexpr size_t kRow = 190;  // trail bytes 0x40-0xFE without 0x7F
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        unsigned char in[2 * kRow];
        unsigned trails[kRow];
        size_t n = 0;
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) continue;
            in[2 * n] = static_cast<unsigned char>(lead);
            in[2 * n + 1] = static_cast<unsigned char>(trail);
            trails[n++] = trail;
        }
        unsigned char out[2 * kRow];
        if (decoder.convert(in, sizeof in, out, sizeof out) == sizeof out) {
            for (size_t k = 0; k < kRow; ++k) {
                const auto u = static_cast<char16_t>(out[2 * k] | out[2 * k + 1] << 8);
                t->from_gbk[lead << 8 | trails[k]] = (u >= 0xD800 && u <= 0xDFFF) ? 0 : u;
            }
            continue;
        }
        for (size_t k = 0; k < kRow; ++k) t->from_gbk[lead << 8 | trails[k]] = decode_one(in + 2 * k, 2);
    }
    return t;
}

// Each table is built on its first use: showing the window decodes, only a lookup encodes.
const GbkEncodeTable& gbk_encode_table() {
    static const std::unique_ptr<GbkEncodeTable> table = build_encode_table();
    return *table;
}
const GbkDecodeTable& gbk_decode_table() {
    static const std::unique_ptr<GbkDecodeTable> table = build_decode_table();
    return *table;
}

// Each converter below counts when kWrite is false (dst and cap unused) and converts when it is true. It
// returns the number of units or bytes produced, or kNoFit when they do not fit into cap; what fits is
// written first. Count and conversion share one walk, so a count always matches its conversion. The walk
// alternates between an ASCII run, taken in blocks, and a run of other characters, taken one at a time.

// One UTF-8 character at s[i] (not ASCII): its code point, or U+FFFD for a maximal subpart, and its length.
struct Decoded {
    uint32_t c;
    size_t used;
};

Decoded decode_utf8(const unsigned char* s, size_t len, size_t i) {
    auto cont = [&](size_t k, unsigned char lo = 0x80, unsigned char hi = 0xBF) {
        return k < len && s[k] >= lo && s[k] <= hi;
    };
    const unsigned char b = s[i];
    if (b >= 0xE0 && b <= 0xEF) {  // Chinese text is all three-byte sequences: test them first
        const unsigned char lo = b == 0xE0 ? 0xA0 : 0x80;
        const unsigned char hi = b == 0xED ? 0x9F : 0xBF;
        if (!cont(i + 1, lo, hi)) return {kReplacement, 1};
        if (!cont(i + 2)) return {kReplacement, 2};
        return {(b & 0x0Fu) << 12 | (s[i + 1] & 0x3Fu) << 6 | (s[i + 2] & 0x3Fu), 3};
    }
    if (b >= 0xC2 && b <= 0xDF) {
        if (!cont(i + 1)) return {kReplacement, 1};
        return {(b & 0x1Fu) << 6 | (s[i + 1] & 0x3Fu), 2};
    }
    if (b >= 0xF0 && b <= 0xF4) {
        const unsigned char lo = b == 0xF0 ? 0x90 : 0x80;
        const unsigned char hi = b == 0xF4 ? 0x8F : 0xBF;
        if (!cont(i + 1, lo, hi)) return {kReplacement, 1};
        if (!cont(i + 2)) return {kReplacement, 2};
        if (!cont(i + 3)) return {kReplacement, 3};
        return {(b & 0x07u) << 18 | (s[i + 1] & 0x3Fu) << 12 | (s[i + 2] & 0x3Fu) << 6 | (s[i + 3] & 0x3Fu), 4};
    }
    return {kReplacement, 1};  // a continuation byte, C0, C1 or F5-FF
}

template <bool kWrite>
size_t utf8_to_units(const unsigned char* s, size_t len, char16_t* dst, size_t cap) {
    size_t i = 0;
    size_t o = 0;
    while (i < len) {
        ascii_bytes_to_units<kWrite>(s, len, i, dst, cap, o);
        if (i >= len) break;
        do {
            if (s[i] < 0x80) {  // the few bytes after the last whole block, or a block that did not fit
                if (kWrite && o >= cap) return kNoFit;
                if constexpr (kWrite) dst[o] = s[i];
                ++o;
                ++i;
                continue;
            }
            const Decoded d = decode_utf8(s, len, i);
            const size_t n = d.c < 0x10000 ? 1 : 2;
            if constexpr (kWrite) {
                if (n > cap - o) {
                    if (o < cap) dst[o] = static_cast<char16_t>(0xD800 + ((d.c - 0x10000) >> 10));
                    return kNoFit;
                }
                if (n == 1) {
                    dst[o] = static_cast<char16_t>(d.c);
                } else {
                    dst[o] = static_cast<char16_t>(0xD800 + ((d.c - 0x10000) >> 10));
                    dst[o + 1] = static_cast<char16_t>(0xDC00 + ((d.c - 0x10000) & 0x3FF));
                }
            }
            o += n;
            i += d.used;
        } while (i < len && s[i] >= 0x80);
    }
    return o;
}

template <bool kWrite>
size_t gbk_to_units(const unsigned char* s, size_t len, char16_t* dst, size_t cap) {
    const char16_t* from = kWrite ? gbk_decode_table().from_gbk : nullptr;
    size_t i = 0;
    size_t o = 0;
    while (i < len) {
        ascii_bytes_to_units<kWrite>(s, len, i, dst, cap, o);
        if (i >= len) break;
        do {
            const unsigned char b = s[i];
            size_t used = 1;
            unsigned key = b;
            if (gbk_lead(b) && i + 1 < len && s[i + 1] != 0) {
                key = b << 8 | s[i + 1];
                used = 2;
            }
            if constexpr (kWrite) {
                if (o >= cap) return kNoFit;
                const char16_t u = b < 0x80 ? char16_t{b} : from[key];
                dst[o] = u != 0 || b == 0 ? u : kGbkDefaultUnit;
            }
            ++o;
            i += used;
        } while (i < len && s[i] >= 0x80);
    }
    return o;
}

// Appends n bytes (1 to 4) to dst at o, or as many as fit and reports that the rest did not.
template <bool kWrite>
bool put_bytes(unsigned char* dst, size_t cap, size_t& o, const unsigned char* bytes, size_t n) {
    if constexpr (kWrite) {
        if (n > cap - o) {
            std::memcpy(dst + o, bytes, cap - o);
            return false;
        }
        std::memcpy(dst + o, bytes, n);
    }
    o += n;
    return true;
}

template <bool kWrite>
size_t units_to_utf8(const char16_t* s, size_t len, unsigned char* dst, size_t cap) {
    size_t i = 0;
    size_t o = 0;
    while (i < len) {
        ascii_units_to_bytes<kWrite>(s, len, i, dst, cap, o);
        if (i >= len) break;
        do {
            uint32_t c = s[i];
            size_t used = 1;
            if (c >= 0xD800 && c <= 0xDFFF) {
                if (c <= 0xDBFF && i + 1 < len && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00u);
                    used = 2;
                } else {
                    c = kReplacement;
                }
            }
            unsigned char bytes[4];
            size_t n;
            if (c < 0x80) {
                bytes[0] = static_cast<unsigned char>(c);
                n = 1;
            } else if (c < 0x800) {
                bytes[0] = static_cast<unsigned char>(0xC0 | c >> 6);
                bytes[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
                n = 2;
            } else if (c < 0x10000) {
                bytes[0] = static_cast<unsigned char>(0xE0 | c >> 12);
                bytes[1] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
                bytes[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
                n = 3;
            } else {
                bytes[0] = static_cast<unsigned char>(0xF0 | c >> 18);
                bytes[1] = static_cast<unsigned char>(0x80 | (c >> 12 & 0x3F));
                bytes[2] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
                bytes[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
                n = 4;
            }
            if (!put_bytes<kWrite>(dst, cap, o, bytes, n)) return kNoFit;
            i += used;
        } while (i < len && s[i] >= 0x80);
    }
    return o;
}

// The default character of a 936 conversion: the caller's (one byte, or a two-byte character) or 0x3F.
struct GbkDefault {
    unsigned char bytes[2] = {'?', 0};
    size_t size = 1;
};

template <bool kWrite>
size_t units_to_gbk(const char16_t* s, size_t len, unsigned char* dst, size_t cap, const GbkDefault& dflt,
                    bool* used_default) {
    const uint16_t* to = gbk_encode_table().to_gbk;
    size_t i = 0;
    size_t o = 0;
    while (i < len) {
        ascii_units_to_bytes<kWrite>(s, len, i, dst, cap, o);
        if (i >= len) break;
        do {
            const char16_t u = s[i++];
            const uint16_t g = u < 0x80 ? u : to[u];
            unsigned char bytes[2];
            size_t n;
            if (g == 0 && u != 0) {
                *used_default = true;
                std::memcpy(bytes, dflt.bytes, sizeof bytes);
                n = dflt.size;
            } else if (g < 0x100) {
                bytes[0] = static_cast<unsigned char>(g);
                n = 1;
            } else {
                bytes[0] = static_cast<unsigned char>(g >> 8);
                bytes[1] = static_cast<unsigned char>(g);
                n = 2;
            }
            if (!put_bytes<kWrite>(dst, cap, o, bytes, n)) return kNoFit;
        } while (i < len && s[i] >= 0x80);
    }
    return o;
}

size_t units_length(const char16_t* s) {
    size_t n = 0;
    while (s[n] != 0) ++n;
    return n;
}

// The number of units or bytes as the platform returns it: 0 for a failure or a count beyond 32 bits.
int32_t cp_result(size_t n) {
    return n == kNoFit || n > static_cast<size_t>(std::numeric_limits<int32_t>::max()) ? 0 : static_cast<int32_t>(n);
}

}  // namespace

int32_t cp_multibyte_to_wide(uint32_t code_page, uint32_t flags, const char* src, int32_t src_len, char16_t* dst,
                             int32_t dst_len) {
    if (code_page == kAnsi) code_page = kGbk;
    if ((code_page != kGbk && code_page != kUtf8) || flags != 0 || src == nullptr || src_len == 0 ||
        src_len < -1 || dst_len < 0 || (dst_len > 0 && dst == nullptr))
        return 0;
    const auto* s = reinterpret_cast<const unsigned char*>(src);
    const size_t len = src_len == -1 ? std::strlen(src) + 1 : static_cast<size_t>(src_len);
    const auto cap = static_cast<size_t>(dst_len);
    size_t n;
    if (code_page == kUtf8)
        n = dst_len == 0 ? utf8_to_units<false>(s, len, nullptr, 0) : utf8_to_units<true>(s, len, dst, cap);
    else
        n = dst_len == 0 ? gbk_to_units<false>(s, len, nullptr, 0) : gbk_to_units<true>(s, len, dst, cap);
    return cp_result(n);
}

int32_t cp_wide_to_multibyte(uint32_t code_page, uint32_t flags, const char16_t* src, int32_t src_len, char* dst,
                             int32_t dst_len, const char* default_char, int32_t* used_default) {
    if (code_page == kAnsi) code_page = kGbk;
    if ((code_page != kGbk && code_page != kUtf8) || flags != 0 || src == nullptr || src_len == 0 ||
        src_len < -1 || dst_len < 0 || (dst_len > 0 && dst == nullptr))
        return 0;
    // As on Windows, UTF-8 output has no default character to report.
    if (code_page == kUtf8 && (default_char != nullptr || used_default != nullptr)) return 0;
    const size_t len = src_len == -1 ? units_length(src) + 1 : static_cast<size_t>(src_len);
    auto* d = reinterpret_cast<unsigned char*>(dst);
    const auto cap = static_cast<size_t>(dst_len);
    size_t n;
    if (code_page == kUtf8) {
        n = dst_len == 0 ? units_to_utf8<false>(src, len, nullptr, 0) : units_to_utf8<true>(src, len, d, cap);
    } else {
        GbkDefault dflt;
        if (default_char != nullptr && default_char[0] != 0) {
            const auto b0 = static_cast<unsigned char>(default_char[0]);
            const auto b1 = static_cast<unsigned char>(default_char[1]);
            dflt.bytes[0] = b0;
            if (gbk_lead(b0) && gbk_trail(b1)) {
                dflt.bytes[1] = b1;
                dflt.size = 2;
            }
        }
        bool used = false;
        n = dst_len == 0 ? units_to_gbk<false>(src, len, nullptr, 0, dflt, &used)
                         : units_to_gbk<true>(src, len, d, cap, dflt, &used);
        if (used_default != nullptr) *used_default = used ? 1 : 0;
    }
    return cp_result(n);
}

bool cp_utf8_to_gbk_direct(std::string_view utf8, std::string& out) {
    const uint16_t* to = gbk_encode_table().to_gbk;
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t len = utf8.size();
    // No character takes more bytes in 936 than in UTF-8 (a four-byte sequence becomes two default
    // characters), except U+FFFD for a one-byte malformed sequence should 936 ever hold it in two bytes.
    const bool replacement_wide = to[kReplacement] >= 0x100;
    out.resize(replacement_wide ? 2 * len : len);
    auto* d = reinterpret_cast<unsigned char*>(out.data());
    size_t i = 0;
    size_t o = 0;
    while (i < len) {
        while (i + 8 <= len && (load64(s + i) & kHighBits) == 0) {
            std::memcpy(d + o, s + i, 8);
            i += 8;
            o += 8;
        }
        if (i >= len) break;
        if (s[i] < 0x80) {
            d[o++] = s[i++];
            continue;
        }
        const Decoded c = decode_utf8(s, len, i);
        i += c.used;
        if (c.c >= 0x10000) {  // a surrogate pair in UTF-16: two units 936 lacks
            d[o++] = kGbkDefaultUnit;
            d[o++] = kGbkDefaultUnit;
            continue;
        }
        const uint16_t g = to[c.c];
        if (g == 0) {
            d[o++] = kGbkDefaultUnit;
        } else if (g < 0x100) {
            d[o++] = static_cast<unsigned char>(g);
        } else {
            d[o++] = static_cast<unsigned char>(g >> 8);
            d[o++] = static_cast<unsigned char>(g);
        }
    }
    out.resize(o);
    return true;
}
