// The fixture daemon: runs the local HTTP and HTTPS test servers natively for Windows test programs that
// run under Wine, which cannot host them (the HTTPS server needs OpenSSL, which has no Windows build here).
//
// Listens on 127.0.0.1 on a port the system picks, prints "port N" on its standard output, and serves
// until its standard input closes. Each control connection owns one TestServer; see fixture_wire.h.
//
//   xp_fixture_daemon | { read _ port; export XP_FIXTURE_DAEMON=127.0.0.1:$port; ...; }
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "tests/fixtures/test_server.h"
#include "tests/windows/fixture_wire.h"

namespace {

bool send_all(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool recv_all(int fd, char* out, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::recv(fd, out + done, size - done, 0);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::optional<std::string> recv_frame(int fd) {
    char header[4];
    if (!recv_all(fd, header, 4)) return std::nullopt;
    std::string payload(wire_frame_length(header), '\0');
    if (!recv_all(fd, payload.data(), payload.size())) return std::nullopt;
    return payload;
}

// One Windows-side TestServer: the real server, and the connection on which its handlers are called.
struct Session {
    std::unique_ptr<TestServer> server;
    std::mutex callback_mutex;
    int callback_fd = -1;
};

std::mutex sessions_mutex;
std::map<uint32_t, std::shared_ptr<Session>> sessions;
uint32_t next_token = 1;

TestResponse error_response(std::string body) {
    TestResponse r;
    r.status = 500;
    r.reason = "Error";
    r.body = std::move(body);
    return r;
}

// Asks the Windows process for the response to `request`, through the handler it registered for `target`.
TestResponse call_back(const std::shared_ptr<Session>& session, const std::string& target, const TestRequest& request) {
    std::lock_guard lock(session->callback_mutex);
    WireWriter w;
    w.str(target);
    wire_put_request(w, request);
    std::optional<std::string> reply;
    if (session->callback_fd >= 0 && send_all(session->callback_fd, w.frame())) {
        reply = recv_frame(session->callback_fd);
    }
    if (!reply) return error_response("the test's handler could not be called");
    WireReader r(*reply);
    return wire_get_response(r);
}

void serve_control(int fd, WireReader& first) {
    const auto scheme = first.u32() == 1 ? TestServer::Scheme::kHttps : TestServer::Scheme::kHttp;
    auto session = std::make_shared<Session>();
    session->server = std::make_unique<TestServer>(scheme);
    uint32_t token;
    {
        std::lock_guard lock(sessions_mutex);
        token = next_token++;
        sessions[token] = session;
    }
    WireWriter hello;
    hello.u32(session->server->port());
    hello.u32(token);
    bool alive = send_all(fd, hello.frame());

    while (alive) {
        std::optional<std::string> frame = recv_frame(fd);
        if (!frame) break;
        WireReader r(*frame);
        WireWriter reply;
        switch (r.u32()) {
            case kWireOnStatic: {
                std::string target = r.str();
                session->server->on(std::move(target), wire_get_response(r));
                break;
            }
            case kWireOnCall: {
                std::string target = r.str();
                std::weak_ptr<Session> weak = session;
                session->server->on(target, [weak, target](const TestRequest& q) {
                    auto s = weak.lock();
                    return s ? call_back(s, target, q) : error_response("the test's server is gone");
                });
                break;
            }
            case kWireRequests: {
                std::vector<TestRequest> all = session->server->requests();
                reply.u32(static_cast<uint32_t>(all.size()));
                for (const TestRequest& q : all) wire_put_request(reply, q);
                break;
            }
            case kWireClear: session->server->clear_requests(); break;
            case kWireWait: {
                uint32_t count = r.u32();
                auto timeout = std::chrono::milliseconds(r.u32());
                reply.u32(session->server->wait_for_requests(count, timeout) ? 1 : 0);
                break;
            }
            case kWireStop: session->server->stop(); break;
            default: alive = false; continue;
        }
        alive = send_all(fd, reply.frame());
    }
    session->server->stop();
    {
        std::lock_guard lock(sessions_mutex);
        sessions.erase(token);
    }
    std::lock_guard lock(session->callback_mutex);
    if (session->callback_fd >= 0) ::close(session->callback_fd);
    session->callback_fd = -1;
    ::close(fd);
}

void serve_connection(int fd) {
    std::optional<std::string> frame = recv_frame(fd);
    if (!frame) {
        ::close(fd);
        return;
    }
    WireReader r(*frame);
    const uint32_t op = r.u32();
    if (op == kWireNew) {
        serve_control(fd, r);
        return;
    }
    if (op == kWireAttach) {
        std::shared_ptr<Session> session;
        {
            std::lock_guard lock(sessions_mutex);
            auto it = sessions.find(r.u32());
            if (it != sessions.end()) session = it->second;
        }
        if (session) {
            std::lock_guard lock(session->callback_mutex);
            session->callback_fd = fd;
            send_all(fd, WireWriter().frame());
            return;  // the session owns the connection now
        }
    }
    ::close(fd);
}

}  // namespace

int main() {
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener, 64) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        std::perror("xp_fixture_daemon");
        return 1;
    }
    std::printf("port %u\n", ntohs(addr.sin_port));
    std::fflush(stdout);

    for (;;) {
        pollfd fds[2] = {{listener, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) {  // standard input closed (or written to): the test run is over
            char c;
            if (::read(STDIN_FILENO, &c, 1) <= 0) break;
        }
        if (fds[0].revents & POLLIN) {
            int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            std::thread(serve_connection, fd).detach();
        }
    }
    // Servers still running end with the process; their threads are not joined, so no destructor runs.
    std::fflush(stdout);
    _exit(0);
}
