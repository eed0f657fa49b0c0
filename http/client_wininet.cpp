// The HTTP client seam on Windows: WinINet, called in blocking mode with the caller's arguments unchanged.
//
// The eight functions are bound by name from wininet.dll at their first use and kept for the life of the
// process, not imported: a program that never makes a request never loads the library, and a system
// where the library or one of its functions is missing ends the program with a message that names it,
// instead of refusing to start with the loader's cryptic one.
//
// Tests may map a host and port to a local server (http/client_testing.h). WinINet has no such option, so a
// mapped connection is made to the local server and its requests carry a Host line naming the original
// host, which replaces WinINet's own; the TLS handshake still names the local server. Redirects that
// WinINet follows to another host are not mapped. With nothing mapped and the usual time limits, every call
// goes through as the caller made it, except that an object name is percent-encoded where it holds bytes
// that cannot stand in a request line (below).
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "http/client.h"
#include "http/client_backend.h"
#include "text/primitives.h"

namespace {

// MinGW's wininet.h declares the flag constants as plain macros; these checks keep our copies in
// http/client.h honest against the platform header.
static_assert(kInternetOpenTypeDirect == INTERNET_OPEN_TYPE_DIRECT);
static_assert(kInternetOpenTypeProxy == INTERNET_OPEN_TYPE_PROXY);
static_assert(kInternetServiceHttp == INTERNET_SERVICE_HTTP);
static_assert(kFlagReload == INTERNET_FLAG_RELOAD);
static_assert(kFlagNeedFile == INTERNET_FLAG_NEED_FILE);
static_assert(kFlagNoCookies == INTERNET_FLAG_NO_COOKIES);
static_assert(kFlagNoAutoRedirect == INTERNET_FLAG_NO_AUTO_REDIRECT);
static_assert(kFlagSecure == INTERNET_FLAG_SECURE);
static_assert(kFlagIgnoreRedirectToHttps == INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS);
static_assert(kOptionSecurityFlags == INTERNET_OPTION_SECURITY_FLAGS);
static_assert(kQueryRawHeadersCrlf == HTTP_QUERY_RAW_HEADERS_CRLF);

using InternetOpenAFn = HINTERNET(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD);
using InternetConnectAFn = HINTERNET(WINAPI*)(HINTERNET, LPCSTR, INTERNET_PORT, LPCSTR, LPCSTR, DWORD, DWORD,
                                             DWORD_PTR);
using HttpOpenRequestAFn = HINTERNET(WINAPI*)(HINTERNET, LPCSTR, LPCSTR, LPCSTR, LPCSTR, LPCSTR*, DWORD, DWORD_PTR);
using InternetSetOptionAFn = BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, DWORD);
using HttpSendRequestAFn = BOOL(WINAPI*)(HINTERNET, LPCSTR, DWORD, LPVOID, DWORD);
using InternetReadFileFn = BOOL(WINAPI*)(HINTERNET, LPVOID, DWORD, LPDWORD);
using HttpQueryInfoAFn = BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, LPDWORD, LPDWORD);
using InternetCloseHandleFn = BOOL(WINAPI*)(HINTERNET);

// Ends the process with the system's fatal error message, naming what could not be bound.
[[noreturn]] void wininet_fatal_unbound(const std::string& what) {
    std::string message = "Xunpan cannot go on: " + what + " could not be loaded.";
    FatalAppExitA(0, message.c_str());
    ExitProcess(1);  // not reached: FatalAppExitA ends the process
}

HMODULE wininet_library() {
    static const HMODULE library = [] {
        HMODULE m = LoadLibraryA("wininet.dll");
        if (!m) wininet_fatal_unbound("wininet.dll");
        return m;
    }();
    return library;
}

template <typename Fn>
Fn wininet_bind(const char* name) {
    FARPROC p = GetProcAddress(wininet_library(), name);
    if (!p) wininet_fatal_unbound(std::string("wininet.dll!") + name);
    // GetProcAddress returns a generic function pointer; going through void* tells GCC's
    // -Wcast-function-type that the signature change is intended.
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(p));
}

// Each function is bound on its own first call: the static is initialised once, thread-safely.
#define XP_WININET_FN(name) \
    static const name##Fn fn = wininet_bind<name##Fn>(#name); \
    return fn

InternetOpenAFn fn_internet_open() { XP_WININET_FN(InternetOpenA); }
InternetConnectAFn fn_internet_connect() { XP_WININET_FN(InternetConnectA); }
HttpOpenRequestAFn fn_http_open_request() { XP_WININET_FN(HttpOpenRequestA); }
InternetSetOptionAFn fn_internet_set_option() { XP_WININET_FN(InternetSetOptionA); }
HttpSendRequestAFn fn_http_send_request() { XP_WININET_FN(HttpSendRequestA); }
InternetReadFileFn fn_internet_read_file() { XP_WININET_FN(InternetReadFile); }
HttpQueryInfoAFn fn_http_query_info() { XP_WININET_FN(HttpQueryInfoA); }
InternetCloseHandleFn fn_internet_close_handle() { XP_WININET_FN(InternetCloseHandle); }

#undef XP_WININET_FN

// Sets the time limits a test shortened; with the usual limits WinINet keeps its own defaults.
void apply_test_timeouts(HINTERNET internet) {
    const HttpTimeouts t = http_timeouts();
    if (!internet || (t.connect_seconds == kDefaultHttpTimeouts.connect_seconds &&
                      t.stall_seconds == kDefaultHttpTimeouts.stall_seconds)) {
        return;
    }
    DWORD connect_ms = static_cast<DWORD>(t.connect_seconds) * 1000;
    DWORD stall_ms = static_cast<DWORD>(t.stall_seconds) * 1000;
    fn_internet_set_option()(internet, INTERNET_OPTION_CONNECT_TIMEOUT, &connect_ms, sizeof connect_ms);
    fn_internet_set_option()(internet, INTERNET_OPTION_SEND_TIMEOUT, &stall_ms, sizeof stall_ms);
    fn_internet_set_option()(internet, INTERNET_OPTION_RECEIVE_TIMEOUT, &stall_ms, sizeof stall_ms);
}

// Where a mapped connection really goes, and the host its requests name.
struct MappedConnection {
    std::string host;
    uint16_t port = 0;
};

class WinInetClient final : public HttpClient {
public:
    HttpHandle open(const char* agent, uint32_t access_type, const char* proxy, const char* proxy_bypass,
                    uint32_t flags) override {
        HINTERNET internet = fn_internet_open()(agent, access_type, proxy, proxy_bypass, flags);
        apply_test_timeouts(internet);
        return internet;
    }

    HttpHandle connect(HttpHandle internet, const char* server, uint16_t port, const char* user,
                       const char* password, uint32_t service, uint32_t flags, uintptr_t context) override {
        const std::vector<HttpConnectTarget> targets = http_connect_targets();
        if (!targets.empty() && server) {
            // WinINet's port 0 means the scheme's default; a mapping names 80 or 443 for it.
            const std::string host = txt_lower(Text(server)).bytes();
            for (const HttpConnectTarget& t : targets) {
                if (t.host != host || (t.port != port && !(port == 0 && (t.port == 80 || t.port == 443)))) continue;
                HINTERNET c = fn_internet_connect()(internet, t.to_host.c_str(), t.to_port, user, password, service,
                                                    flags, context);
                if (c) {
                    std::lock_guard lock(mutex_);
                    connections_[c] = {server, port};
                }
                return c;
            }
        }
        return fn_internet_connect()(internet, server, port, user, password, service, flags, context);
    }

    HttpHandle open_request(HttpHandle connection, const char* verb, const char* object_name, const char* version,
                            const char* referrer, const char** accept_types, uint32_t flags,
                            uintptr_t context) override {
        // A line break in the object name would end the request line and start a header line of the URL's
        // choosing; spaces and bytes beyond ASCII would be mangled. They go percent-encoded, as in a URL.
        const std::string encoded = object_name ? http_encode_target(object_name) : std::string();
        const char* object = object_name && encoded != object_name ? encoded.c_str() : object_name;
        HINTERNET r = fn_http_open_request()(connection, verb, object, version, referrer, accept_types, flags,
                                             context);
        apply_test_timeouts(r);  // WinINet does not pass a session's time limits on to its requests
        std::lock_guard lock(mutex_);
        auto mapped = connections_.find(connection);
        if (r && mapped != connections_.end()) {
            const uint16_t default_port = (flags & INTERNET_FLAG_SECURE) ? 443 : 80;
            const MappedConnection& m = mapped->second;
            hosts_[r] = m.port == 0 || m.port == default_port ? m.host : m.host + ":" + std::to_string(m.port);
        }
        return r;
    }

    bool set_option(HttpHandle handle, uint32_t option, const void* buffer, uint32_t length) override {
        // WinINet takes the option buffer as non-const but only reads it for a set.
        return fn_internet_set_option()(handle, option, const_cast<void*>(buffer), length) != FALSE;
    }

    bool send_request(HttpHandle request, const char* headers, uint32_t headers_length, const void* body,
                      uint32_t body_length) override {
        // The optional body is declared LPVOID but is only read.
        void* b = const_cast<void*>(body);
        std::string host;
        {
            std::lock_guard lock(mutex_);
            auto it = hosts_.find(request);
            if (it != hosts_.end()) host = it->second;
        }
        if (host.empty()) return fn_http_send_request()(request, headers, headers_length, b, body_length) != FALSE;
        std::string block = "Host: " + host;
        if (headers && headers_length > 0) block += "\r\n" + std::string(headers, headers_length);
        return fn_http_send_request()(request, block.c_str(), static_cast<DWORD>(block.size()), b, body_length) !=
               FALSE;
    }

    bool read(HttpHandle request, void* buffer, uint32_t to_read, uint32_t* bytes_read) override {
        DWORD got = 0;
        BOOL ok = fn_internet_read_file()(request, buffer, to_read, &got);
        // A failed read reports no bytes, so the caller's loop ends as at the end of the data.
        if (bytes_read) *bytes_read = ok ? got : 0;
        return ok != FALSE;
    }

    bool query_info(HttpHandle request, uint32_t info_level, void* buffer, uint32_t* buffer_length,
                    uint32_t* index) override {
        // DWORD is unsigned long, a different type from uint32_t under MinGW although the same size.
        DWORD length = buffer_length ? *buffer_length : 0;
        DWORD at = index ? *index : 0;
        BOOL ok = fn_http_query_info()(request, info_level, buffer, buffer_length ? &length : nullptr,
                                       index ? &at : nullptr);
        if (buffer_length) *buffer_length = length;
        if (index) *index = at;
        return ok != FALSE;
    }

    bool close(HttpHandle handle) override {
        {
            std::lock_guard lock(mutex_);
            connections_.erase(handle);
            hosts_.erase(handle);
        }
        return fn_internet_close_handle()(handle) != FALSE;
    }

private:
    // Only mapped connections and their requests are kept, so outside tests both maps stay empty.
    std::mutex mutex_;
    std::map<HttpHandle, MappedConnection> connections_;
    std::map<HttpHandle, std::string> hosts_;
};

}  // namespace

HttpClient& http_client() {
    static WinInetClient client;
    return client;
}
