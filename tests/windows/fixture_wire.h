// The wire between Windows test programs running under Wine and the fixture daemon that runs the local
// HTTP and HTTPS servers natively. The Windows side implements TestServer (tests/fixtures/test_server.h)
// by asking the daemon to create, script and query a real TestServer; handlers written as functions stay
// in the Windows process and the daemon calls them back for each request.
//
// Frames are a 32-bit little-endian length and a payload; payloads are built with WireWriter and read
// with WireReader. Every command on the control connection gets exactly one reply frame.
//
//   WireWriter w; w.u32(kWireOnStatic); w.str(target); wire_put_response(w, response);
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/fixtures/test_server.h"

enum WireOp : uint32_t {
    kWireNew = 1,       // scheme (0 http, 1 https) -> port, token
    kWireOnStatic = 2,  // target, response -> ack
    kWireOnCall = 3,    // target -> ack; requests for it are called back on the callback connection
    kWireRequests = 4,  // -> count, requests
    kWireClear = 5,     // -> ack
    kWireWait = 6,      // count, timeout ms -> 0 or 1
    kWireStop = 7,      // -> ack
    kWireAttach = 8,    // token -> ack; this connection becomes the session's callback connection
};

class WireWriter {
public:
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    void str(std::string_view s) {
        u32(static_cast<uint32_t>(s.size()));
        out_.append(s);
    }
    // The payload with its length in front.
    std::string frame() const {
        WireWriter f;
        f.u32(static_cast<uint32_t>(out_.size()));
        return f.out_ + out_;
    }

private:
    std::string out_;
};

// Reads a payload in place: the payload must outlive the reader.
class WireReader {
public:
    explicit WireReader(std::string_view payload) : in_(payload) {}
    uint32_t u32() {
        if (in_.size() - pos_ < 4) {
            ok_ = false;
            return 0;
        }
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<unsigned char>(in_[pos_ + i])) << (8 * i);
        pos_ += 4;
        return v;
    }
    std::string str() {
        uint32_t n = u32();
        if (!ok_ || in_.size() - pos_ < n) {
            ok_ = false;
            return {};
        }
        std::string s(in_.substr(pos_, n));
        pos_ += n;
        return s;
    }
    bool ok() const { return ok_; }

private:
    std::string_view in_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// The length a frame announces in its first four bytes.
inline uint32_t wire_frame_length(const char header[4]) {
    WireReader r(std::string_view(header, 4));
    return r.u32();
}

inline void wire_put_headers(WireWriter& w, const std::vector<std::pair<std::string, std::string>>& headers) {
    w.u32(static_cast<uint32_t>(headers.size()));
    for (const auto& [name, value] : headers) {
        w.str(name);
        w.str(value);
    }
}

inline std::vector<std::pair<std::string, std::string>> wire_get_headers(WireReader& r) {
    std::vector<std::pair<std::string, std::string>> headers;
    uint32_t n = r.u32();
    for (uint32_t i = 0; i < n && r.ok(); ++i) {
        std::string name = r.str();
        headers.emplace_back(std::move(name), r.str());
    }
    return headers;
}

inline void wire_put_request(WireWriter& w, const TestRequest& q) {
    w.str(q.raw);
    w.str(q.method);
    w.str(q.target);
    w.str(q.version);
    wire_put_headers(w, q.headers);
    w.str(q.body);
    w.u32(q.tls ? 1 : 0);
    w.str(q.server_name);
}

inline TestRequest wire_get_request(WireReader& r) {
    TestRequest q;
    q.raw = r.str();
    q.method = r.str();
    q.target = r.str();
    q.version = r.str();
    q.headers = wire_get_headers(r);
    q.body = r.str();
    q.tls = r.u32() != 0;
    q.server_name = r.str();
    return q;
}

inline void wire_put_response(WireWriter& w, const TestResponse& s) {
    w.u32(static_cast<uint32_t>(s.status));
    w.str(s.shared_body ? *s.shared_body : s.body);
    wire_put_headers(w, s.headers);
    w.str(s.reason);
    w.u32(static_cast<uint32_t>(s.delay.count()));
    w.u32(s.never_answer ? 1 : 0);
    w.str(s.raw);
    w.u32(s.hold_open ? 1 : 0);
}

inline TestResponse wire_get_response(WireReader& r) {
    TestResponse s;
    s.status = static_cast<int>(r.u32());
    s.body = r.str();
    s.headers = wire_get_headers(r);
    s.reason = r.str();
    s.delay = std::chrono::milliseconds(r.u32());
    s.never_answer = r.u32() != 0;
    s.raw = r.str();
    s.hold_open = r.u32() != 0;
    return s;
}
