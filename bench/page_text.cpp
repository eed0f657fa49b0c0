// Builds a deterministic comparison page: an HTML shell around a JSON object with many product records,
// the product looked up last, so its four fields sit near the end of the text. The filler carries keys
// that come close to the lookup markers ("inquiries", "pageView", "imageUrls") without matching them.
#include "bench/page_text.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

// Two-byte characters as {code page 936, UTF-8}. The last two have a second byte in the ASCII letter
// range (0x49 'I', 0x69 'i'), so a search has to respect character starts.
struct Han {
    const char* cp936;
    const char* utf8;
};
constexpr Han kHan[] = {
    {"\xD1\xAF", "\xE8\xAF\xA2"}, {"\xC5\xCC", "\xE7\x9B\x98"}, {"\xB2\xFA", "\xE4\xBA\xA7"},
    {"\xC6\xB7", "\xE5\x93\x81"}, {"\xBC\xDB", "\xE4\xBB\xB7"}, {"\xB8\xF1", "\xE6\xA0\xBC"},
    {"\xD6\xD0", "\xE4\xB8\xAD"}, {"\xB9\xFA", "\xE5\x9B\xBD"}, {"\xB9\xA9", "\xE4\xBE\x9B"},
    {"\xD3\xA6", "\xE5\xBA\x94"}, {"\xC9\xCC", "\xE5\x95\x86"}, {"\xB9\xA4", "\xE5\xB7\xA5"},
    {"\xB3\xA7", "\xE5\x8E\x82"}, {"\xC5\xFA", "\xE6\x89\xB9"}, {"\xB7\xA2", "\xE5\x8F\x91"},
    {"\xB6\xA8", "\xE5\xAE\x9A"}, {"\xD6\xC6", "\xE5\x88\xB6"}, {"\xCA\xD6", "\xE6\x89\x8B"},
    {"\xBB\xFA", "\xE6\x9C\xBA"}, {"\xBF\xC7", "\xE5\xA3\xB3"}, {"\xCA\xFD", "\xE6\x95\xB0"},
    {"\xBE\xDD", "\xE6\x8D\xAE"}, {"\xCF\xDF", "\xE7\xBA\xBF"}, {"\xB3\xE4", "\xE5\x85\x85"},
    {"\xB5\xE7", "\xE7\x94\xB5"}, {"\xC6\xF7", "\xE5\x99\xA8"}, {"\xB6\xFA", "\xE8\x80\xB3"},
    {"\xC0\xB6", "\xE8\x93\x9D"}, {"\xD1\xC0", "\xE7\x89\x99"}, {"\xCE\xDE", "\xE6\x97\xA0"},
    {"\xD4\xCB", "\xE8\xBF\x90"}, {"\xB6\xAF", "\xE5\x8A\xA8"}, {"\xB7\xFE", "\xE6\x9C\x8D"},
    {"\xD7\xB0", "\xE8\xA3\x85"}, {"\xC5\xAE", "\xE5\xA5\xB3"}, {"\xD0\xAC", "\xE9\x9E\x8B"},
    {"\xB0\xFC", "\xE5\x8C\x85"}, {"\x81\x49", "\xE4\xB8\xA1"}, {"\x81\x69", "\xE4\xB9\xAE"},
};
constexpr int kHanCount = sizeof(kHan) / sizeof(kHan[0]);

// The page is first written as a plan: bytes below 0x80 stand for themselves, 0x80 + k for kHan[k].
// `cost` is the plan's length in code page 936 bytes.
class Plan {
public:
    void ascii(std::string_view s) {
        plan_ += s;
        cost_ += s.size();
    }
    void han(int count) {
        for (int i = 0; i < count; ++i) {
            plan_ += static_cast<char>(0x80 + next() % kHanCount);
            cost_ += 2;
        }
    }
    void number(int digits) {
        for (int i = 0; i < digits; ++i) ascii(std::string(1, static_cast<char>('0' + next() % 10)));
    }
    uint32_t next() {
        seed_ ^= seed_ << 13;
        seed_ ^= seed_ >> 17;
        seed_ ^= seed_ << 5;
        return seed_;
    }
    size_t cost() const { return cost_; }
    const std::string& plan() const { return plan_; }

    // Drops characters from the end until the cost is at most `size`.
    void cut_to(size_t size) {
        while (cost_ > size) {
            cost_ -= static_cast<unsigned char>(plan_.back()) >= 0x80 ? 2 : 1;
            plan_.pop_back();
        }
    }

private:
    std::string plan_;
    size_t cost_ = 0;
    uint32_t seed_ = 0x9E3779B9u;
};

void filler_record(Plan& p) {
    p.ascii("{\"id\":\"16");
    p.number(11);
    p.ascii("\",\"subject\":\"");
    p.han(6 + static_cast<int>(p.next() % 5));
    p.ascii(" Wireless Bluetooth Earphones TWS Sport Headset ");
    p.han(3 + static_cast<int>(p.next() % 3));
    p.ascii("\",\"price\":\"US $");
    p.number(1);
    p.ascii(".");
    p.number(2);
    p.ascii("-$");
    p.number(2);
    p.ascii(".");
    p.number(2);
    p.ascii("\",\"minOrder\":\"100 Pieces\",\"supplier\":{\"name\":\"Shenzhen ");
    p.han(4);
    p.ascii(" Electronic Technology Co., Ltd.\",\"country\":\"CN\",\"years\":\"");
    p.number(1);
    p.ascii("\"},\"tag\":\"");
    p.han(6);
    p.ascii("\",\"inquiries\":\"");
    p.number(3);
    p.ascii("\",\"pageView\":\"");
    p.number(4);
    p.ascii("\",\"imageUrls\":[\"\\/\\/s.example.com\\/kf\\/H");
    p.number(12);
    p.ascii(".jpg\"],\"detailUrl\":\"\\/\\/www.example.com\\/product-detail\\/Earphones_16");
    p.number(11);
    p.ascii(".html\"},\n");
}

constexpr std::string_view kHead =
    "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Compare Products</title>\n"
    "<link rel=\"stylesheet\" href=\"//s.example.com/css/compare.css\"></head>\n<body><div id=\"root\"></div>\n"
    "<script>window.runParams = {\"compare\":{\"products\":[\n";

constexpr std::string_view kTarget =
    "{\"id\":\"1600987654321\",\"subject\":\"TWS Earbuds\",\"halfYearIquiries\":\"3652\",\"pageViews\":\"1287\","
    "\"imageUrl\":\"\\/\\/s.example.com\\/kf\\/Hb1c2d3e4f5a6.jpg\","
    "\"productDetailUrl\":\"\\/\\/www.example.com\\/product-detail\\/TWS-Earbuds_1600987654321.html\"}\n";

constexpr std::string_view kTail =
    "]}};</script>\n<div class=\"footer\"><a href=\"//www.example.com/help\">Help</a> | "
    "<a href=\"//www.example.com/terms\">Terms of Use</a></div>\n</body></html>\n";

}  // namespace

std::string make_page_text(size_t size, bool utf8) {
    Plan p;
    p.ascii(kHead);
    // Filler until one more record might not leave room for the looked-up product and the tail.
    constexpr size_t kRecordMax = 512;
    while (p.cost() + kRecordMax + kTarget.size() + kTail.size() <= size) filler_record(p);
    const size_t rest = kTarget.size() + kTail.size();
    if (p.cost() + rest <= size) {
        p.ascii(std::string(size - p.cost() - rest, ' '));
        p.ascii(kTarget);
        p.ascii(kTail);
    } else {
        p.ascii(kTarget);
        p.ascii(kTail);
        p.cut_to(size);
        p.ascii(std::string(size - p.cost(), ' '));
    }

    std::string out;
    out.reserve(utf8 ? size + size / 10 : size);
    for (char c : p.plan()) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80)
            out += c;
        else
            out += utf8 ? kHan[u - 0x80].utf8 : kHan[u - 0x80].cp936;
    }
    return out;
}
