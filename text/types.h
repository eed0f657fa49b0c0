// The three value kinds every routine of Xunpan works on.
//
// Text is a run of code page 936 bytes without a zero byte. It is either absent or present; the two read
// the same everywhere except where a Text is handed to a platform function as a string pointer (absent
// becomes a null pointer, present-but-empty a pointer to ""). ByteSet is a counted run of bytes that may
// hold zeros. TextList is a one-dimensional list of Texts, read with 1-based indexes.
//
//   Text t("abc");                 // present
//   Text none;                     // absent, reads as empty
//   const char* p = t.c_str_or_null();
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class Text {
public:
    // The absent Text.
    Text() = default;
    // A present Text holding `s` up to its first zero byte; a null pointer gives the absent Text.
    // Built in the initialiser list: assigning into the empty string trips GCC 12's -Wrestrict at -O2.
    Text(const char* s)  // NOLINT(google-explicit-constructor): literals read naturally
        : bytes_(s ? s : ""), present_(s != nullptr) {}
    // A present Text holding `bytes` up to their first zero byte.
    explicit Text(std::string_view bytes) : bytes_(bytes.substr(0, bytes.find('\0'))), present_(true) {}
    explicit Text(std::string&& bytes) : bytes_(std::move(bytes)), present_(true) {
        if (auto z = bytes_.find('\0'); z != std::string::npos) bytes_.resize(z);
    }

    // What primitives return: empty results are the absent value. The caller promises no zero byte.
    static Text result(std::string&& bytes) {
        Text t;
        t.present_ = !bytes.empty();
        t.bytes_ = std::move(bytes);
        return t;
    }
    // A present Text of length 0.
    static Text present_empty() { return Text(std::string_view{}); }

    bool present() const { return present_; }
    bool empty() const { return bytes_.empty(); }
    int32_t size() const { return static_cast<int32_t>(bytes_.size()); }
    const std::string& bytes() const { return bytes_; }
    std::string_view view() const { return bytes_; }
    const char* data() const { return bytes_.data(); }
    // The pointer a platform function receives: null for an absent Text.
    const char* c_str_or_null() const { return present_ ? bytes_.c_str() : nullptr; }

    // Absent equals empty: only the bytes count.
    friend bool operator==(const Text& a, const Text& b) { return a.bytes_ == b.bytes_; }

private:
    std::string bytes_;
    bool present_ = false;
};

class ByteSet {
public:
    ByteSet() = default;
    explicit ByteSet(std::string bytes) : bytes_(std::move(bytes)) {}
    ByteSet(const void* data, size_t n) : bytes_(static_cast<const char*>(data), n) {}

    bool empty() const { return bytes_.empty(); }
    int32_t size() const { return static_cast<int32_t>(bytes_.size()); }
    const std::string& bytes() const { return bytes_; }
    // For appending in place (a download grows chunk by chunk without re-copying).
    std::string& storage() { return bytes_; }
    const unsigned char* data() const { return reinterpret_cast<const unsigned char*>(bytes_.data()); }
    // The pointer a platform function receives: null for an empty (absent) ByteSet.
    const unsigned char* data_or_null() const { return bytes_.empty() ? nullptr : data(); }

    friend bool operator==(const ByteSet& a, const ByteSet& b) { return a.bytes_ == b.bytes_; }

private:
    std::string bytes_;
};

using TextList = std::vector<Text>;
