// TestServer for Windows test programs under Wine: the servers run natively in the fixture daemon
// (fixture_daemon.cpp), whose address tests/windows/run puts in XP_FIXTURE_DAEMON ("127.0.0.1:port").
// Requests still go from the Windows client to a real socket on 127.0.0.1; only the scripting and the
// recorded requests travel over the daemon's connections. Handlers given as functions run here, on a
// thread that answers the daemon's calls while the test's own thread is blocked in a request.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <stdexcept>

#include "tests/fixtures/test_server.h"
#include "tests/windows/fixture_wire.h"

namespace {

void wire_startup() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started) throw std::runtime_error("Winsock did not start");
}

bool send_all(SOCKET s, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        int n = ::send(s, bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool recv_all(SOCKET s, char* out, size_t size) {
    size_t done = 0;
    while (done < size) {
        int n = ::recv(s, out + done, static_cast<int>(size - done), 0);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::optional<std::string> recv_frame(SOCKET s) {
    char header[4];
    if (!recv_all(s, header, 4)) return std::nullopt;
    std::string payload(wire_frame_length(header), '\0');
    if (!recv_all(s, payload.data(), payload.size())) return std::nullopt;
    return payload;
}

SOCKET connect_daemon() {
    wire_startup();
    const char* where = std::getenv("XP_FIXTURE_DAEMON");
    if (!where) throw std::runtime_error("XP_FIXTURE_DAEMON is not set: run the Windows tests with tests/windows/run");
    std::string address(where);
    const size_t colon = address.rfind(':');
    if (colon == std::string::npos) throw std::runtime_error("XP_FIXTURE_DAEMON is not host:port");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<u_short>(std::atoi(address.c_str() + colon + 1)));
    if (inet_pton(AF_INET, address.substr(0, colon).c_str(), &addr.sin_addr) != 1) {
        throw std::runtime_error("XP_FIXTURE_DAEMON has no IPv4 address");
    }
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET || ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if (s != INVALID_SOCKET) closesocket(s);
        throw std::runtime_error("cannot reach the fixture daemon at " + address);
    }
    BOOL one = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    return s;
}

// One command and its reply on a connection.
std::string exchange(SOCKET s, const WireWriter& command) {
    if (!send_all(s, command.frame())) throw std::runtime_error("the fixture daemon went away");
    std::optional<std::string> reply = recv_frame(s);
    if (!reply) throw std::runtime_error("the fixture daemon went away");
    return *reply;
}

}  // namespace

// The certificate lives with the daemon; nothing on this side reads it.
const std::string& test_certificate_path() {
    static const std::string none;
    return none;
}

uint16_t test_closed_port() {
    wire_startup();
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof addr;
    ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    closesocket(s);
    return ntohs(addr.sin_port);
}

// The daemon's two connections. The class's Tls slot holds them: the TLS itself happens in the daemon.
struct TestServer::Tls {
    SOCKET control = INVALID_SOCKET;
    SOCKET callback = INVALID_SOCKET;
};

TestServer::TestServer(Scheme scheme) : scheme_(scheme), tls_(std::make_unique<Tls>()) {
    tls_->control = connect_daemon();
    WireWriter hello;
    hello.u32(kWireNew);
    hello.u32(scheme == Scheme::kHttps ? 1 : 0);
    const std::string reply = exchange(tls_->control, hello);
    WireReader r(reply);
    port_ = static_cast<uint16_t>(r.u32());
    const uint32_t token = r.u32();

    tls_->callback = connect_daemon();
    WireWriter attach;
    attach.u32(kWireAttach);
    attach.u32(token);
    exchange(tls_->callback, attach);
    acceptor_ = std::thread([this] { accept_loop(); });
}

TestServer::~TestServer() { stop(); }

std::string TestServer::origin() const {
    return std::string(scheme_ == Scheme::kHttps ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

void TestServer::on(std::string target, TestResponse response) {
    std::lock_guard lock(mutex_);
    WireWriter w;
    w.u32(kWireOnStatic);
    w.str(target);
    wire_put_response(w, response);
    exchange(tls_->control, w);
}

void TestServer::on(std::string target, Handler handler) {
    std::lock_guard lock(mutex_);
    handlers_[target] = std::move(handler);
    WireWriter w;
    w.u32(kWireOnCall);
    w.str(target);
    exchange(tls_->control, w);
}

std::vector<TestRequest> TestServer::requests() const {
    std::lock_guard lock(mutex_);
    WireWriter w;
    w.u32(kWireRequests);
    const std::string reply = exchange(tls_->control, w);
    WireReader r(reply);
    std::vector<TestRequest> all(r.u32());
    for (TestRequest& q : all) q = wire_get_request(r);
    return all;
}

TestRequest TestServer::last_request() const {
    std::vector<TestRequest> all = requests();
    return all.empty() ? TestRequest{} : all.back();
}

void TestServer::clear_requests() {
    std::lock_guard lock(mutex_);
    WireWriter w;
    w.u32(kWireClear);
    exchange(tls_->control, w);
}

bool TestServer::wait_for_requests(size_t count, std::chrono::milliseconds timeout) const {
    std::lock_guard lock(mutex_);
    WireWriter w;
    w.u32(kWireWait);
    w.u32(static_cast<uint32_t>(count));
    w.u32(static_cast<uint32_t>(timeout.count()));
    const std::string reply = exchange(tls_->control, w);
    WireReader r(reply);
    return r.u32() != 0;
}

void TestServer::stop() {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        stopping_ = true;
        if (tls_->control != INVALID_SOCKET) {
            WireWriter w;
            w.u32(kWireStop);
            // The daemon stops the server, waiting for requests in flight, whose handlers may still be
            // called back on the other connection; then the connections close.
            if (send_all(tls_->control, w.frame())) recv_frame(tls_->control);
            closesocket(tls_->control);
            tls_->control = INVALID_SOCKET;
        }
    }
    if (tls_->callback != INVALID_SOCKET) shutdown(tls_->callback, SD_BOTH);
    if (acceptor_.joinable()) acceptor_.join();
    if (tls_->callback != INVALID_SOCKET) closesocket(tls_->callback);
    tls_->callback = INVALID_SOCKET;
}

// Here: answers the daemon's calls of handlers that were given as functions.
void TestServer::accept_loop() {
    for (;;) {
        std::optional<std::string> call = recv_frame(tls_->callback);
        if (!call) return;
        WireReader r(*call);
        const std::string target = r.str();
        const TestRequest request = wire_get_request(r);
        Handler handler;
        {
            std::lock_guard lock(mutex_);
            auto it = handlers_.find(target);
            if (it != handlers_.end()) handler = it->second;
        }
        TestResponse response;
        if (handler) {
            response = handler(request);
        } else {
            response.status = 404;
            response.reason = "Not Found";
        }
        WireWriter w;
        wire_put_response(w, response);
        if (!send_all(tls_->callback, w.frame())) return;
    }
}
