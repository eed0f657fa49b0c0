#include <algorithm>
#include <mutex>

#include "http/client_backend.h"
#include "http/client_testing.h"
#include "text/primitives.h"

namespace {

struct TestingState {
    std::mutex mutex;
    std::vector<HttpConnectTarget> targets;
    HttpTimeouts timeouts;
};

TestingState& state() {
    static TestingState s;
    return s;
}

}  // namespace

void http_testing_connect_to(std::string host, uint16_t port, std::string to_host, uint16_t to_port) {
    std::lock_guard lock(state().mutex);
    host = txt_lower(Text(host)).bytes();
    auto& targets = state().targets;
    std::erase_if(targets, [&](const HttpConnectTarget& t) { return t.host == host && t.port == port; });
    targets.push_back({std::move(host), port, std::move(to_host), to_port});
}

void http_testing_clear_connect_to() {
    std::lock_guard lock(state().mutex);
    state().targets.clear();
}

void http_testing_set_timeouts(int32_t connect_seconds, int32_t stall_seconds) {
    std::lock_guard lock(state().mutex);
    state().timeouts = {connect_seconds, stall_seconds};
}

std::vector<HttpConnectTarget> http_connect_targets() {
    std::lock_guard lock(state().mutex);
    return state().targets;
}

HttpTimeouts http_timeouts() {
    std::lock_guard lock(state().mutex);
    return state().timeouts;
}
