// The HTTP client backend over libcurl, behaving like the platform client that web_fetch was written for.
//
// Handles: open and connect only record their arguments; open_request prepares one transfer; send_request
// starts it on a multi handle of its own and returns once the final response's headers are in (or the
// transfer has ended); read pulls the body out of curl's stream as the caller asks for it, driving the
// transfer only when nothing is buffered, so a body read 1 KB at a time costs no more than one read at once.
// Every handle is a heap object registered in a set, so a stale or foreign handle is refused, not followed.
//
// Cookies: requests without kFlagNoCookies share one in-memory cookie store for the whole process (a curl
// share); it is never loaded from or written to disk.
#include <curl/curl.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "http/client.h"
#include "http/client_backend.h"

namespace {

constexpr long kMaxRedirects = 10;
constexpr long kReceiveBufferSize = 256 * 1024;
constexpr int kPollMilliseconds = 1000;
constexpr size_t kPendingLimit = 512 * 1024;

// The security-flag bits that turn certificate checks off.
constexpr uint32_t kIgnoreRevocation = 0x80;
constexpr uint32_t kIgnoreUnknownCa = 0x100;
constexpr uint32_t kIgnoreWrongUsage = 0x200;
constexpr uint32_t kIgnoreCommonName = 0x1000;
constexpr uint32_t kIgnoreDate = 0x2000;

struct CurlGlobal {
    CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
};

void ensure_curl_global() {
    static CurlGlobal global;
}

// The process's cookie store: a share that only carries cookies, locked for use from several threads.
class CookieStore {
public:
    CookieStore() {
        ensure_curl_global();
        share_ = curl_share_init();
        curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &CookieStore::lock);
        curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &CookieStore::unlock);
        curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    }
    ~CookieStore() { curl_share_cleanup(share_); }
    CookieStore(const CookieStore&) = delete;
    CookieStore& operator=(const CookieStore&) = delete;

    CURLSH* share() const { return share_; }

private:
    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
        static_cast<CookieStore*>(self)->mutexes_[data % kLocks].lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* self) {
        static_cast<CookieStore*>(self)->mutexes_[data % kLocks].unlock();
    }

    static constexpr int kLocks = CURL_LOCK_DATA_LAST;
    CURLSH* share_ = nullptr;
    std::mutex mutexes_[kLocks];
};

CookieStore& cookie_store() {
    static CookieStore store;
    return store;
}

struct EasyDeleter {
    void operator()(CURL* e) const { curl_easy_cleanup(e); }
};
struct MultiDeleter {
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};
struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using EasyHolder = std::unique_ptr<CURL, EasyDeleter>;
using MultiHolder = std::unique_ptr<CURLM, MultiDeleter>;
using SlistHolder = std::unique_ptr<curl_slist, SlistDeleter>;

void slist_add(SlistHolder& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (grown) {
        list.release();
        list.reset(grown);
    }
}

std::string text_of(const char* s) {
    return s ? std::string(s) : std::string();
}

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool starts_with_ignoring_case(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (ascii_lower(s[i]) != ascii_lower(prefix[i])) return false;
    }
    return true;
}

// The request target as it goes on the wire, always starting with "/".
std::string encode_target(std::string_view object_name) {
    std::string target = http_encode_target(object_name);
    if (target.empty() || target[0] != '/') target.insert(target.begin(), '/');
    return target;
}

// A host name that can stand in a URL as it is; anything that would change how the URL parses is refused.
bool usable_host(std::string_view host) {
    if (host.empty()) return false;
    return std::none_of(host.begin(), host.end(), [](unsigned char c) {
        return c <= 0x20 || c == 0x7F || std::strchr("/?#@\\%[]", c) != nullptr;
    });
}

bool usable_verb(std::string_view verb) {
    if (verb.empty()) return false;
    return std::all_of(verb.begin(), verb.end(), [](unsigned char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    });
}

// The proxy for `scheme` out of a proxy list: entries separated by blanks or ";", each "scheme=host:port"
// or a bare "host:port" that serves every scheme. Empty when the list names none for this scheme.
std::string proxy_for(std::string_view list, std::string_view scheme) {
    std::string any;
    size_t i = 0;
    while (i < list.size()) {
        size_t end = list.find_first_of(" ;", i);
        if (end == std::string_view::npos) end = list.size();
        std::string_view entry = list.substr(i, end - i);
        i = end + 1;
        if (entry.empty()) continue;
        size_t eq = entry.find('=');
        if (eq == std::string_view::npos) {
            if (any.empty()) any = entry;
        } else if (entry.substr(0, eq).size() == scheme.size() && starts_with_ignoring_case(entry, scheme)) {
            return std::string(entry.substr(eq + 1));
        }
    }
    return any;
}

enum class Kind { kInternet, kConnection, kRequest };

struct HandleBase {
    explicit HandleBase(Kind k) : kind(k) {}
    virtual ~HandleBase() = default;
    const Kind kind;
};

struct InternetInfo {
    std::string agent;
    bool has_agent = false;
    uint32_t access_type = kInternetOpenTypeDirect;
    std::string proxy;
    std::string proxy_bypass;
};

struct ConnectionInfo {
    InternetInfo internet;  // a copy: closing the parent first leaves the child usable
    std::string server;
    uint16_t port = 0;
};

struct InternetHandle : HandleBase {
    InternetHandle() : HandleBase(Kind::kInternet) {}
    InternetInfo info;
};

struct ConnectionHandle : HandleBase {
    ConnectionHandle() : HandleBase(Kind::kConnection) {}
    ConnectionInfo info;
};

struct RequestHandle : HandleBase {
    RequestHandle() : HandleBase(Kind::kRequest) {}
    ~RequestHandle() override { stop_transfer(); }

    void stop_transfer() {
        if (multi && easy) curl_multi_remove_handle(multi.get(), easy.get());
        easy.reset();
        multi.reset();
    }

    ConnectionInfo connection;
    std::string verb;
    std::string object_name;
    std::string version;
    uint32_t flags = 0;
    uint32_t security_flags = 0;

    // The transfer.
    MultiHolder multi;
    EasyHolder easy;
    SlistHolder header_list;
    SlistHolder connect_to;
    std::string url;
    std::string agent;
    std::string proxy;
    std::string body;
    std::string pending;  // body bytes curl has delivered and the caller has not read yet
    size_t pending_offset = 0;
    std::string raw_headers;  // the status line and header lines of the latest response, CR LF separated
    std::chrono::steady_clock::time_point last_activity;
    std::chrono::seconds stall_limit{30};
    curl_off_t last_down = 0, last_up = 0;
    bool headers_final = false;
    bool paused = false;
    bool got_response = false;
    bool done = false;
    CURLcode result = CURLE_OK;
};

class HandleRegistry {
public:
    HandleRegistry() = default;
    ~HandleRegistry() {
        for (HandleBase* h : live_) delete h;
    }
    HandleRegistry(const HandleRegistry&) = delete;
    HandleRegistry& operator=(const HandleRegistry&) = delete;

    HttpHandle add(std::unique_ptr<HandleBase> h) {
        std::lock_guard lock(mutex_);
        HandleBase* raw = h.release();
        live_.insert(raw);
        return raw;
    }
    template <typename T>
    T* find(HttpHandle handle, Kind kind) {
        std::lock_guard lock(mutex_);
        auto it = live_.find(static_cast<HandleBase*>(handle));
        if (it == live_.end() || (*it)->kind != kind) return nullptr;
        return static_cast<T*>(*it);
    }
    std::unique_ptr<HandleBase> remove(HttpHandle handle) {
        std::lock_guard lock(mutex_);
        auto it = live_.find(static_cast<HandleBase*>(handle));
        if (it == live_.end()) return nullptr;
        std::unique_ptr<HandleBase> owned(*it);
        live_.erase(it);
        return owned;
    }

private:
    std::mutex mutex_;
    std::unordered_set<HandleBase*> live_;
};

size_t on_body(char* data, size_t size, size_t count, void* user) {
    auto* r = static_cast<RequestHandle*>(user);
    r->last_activity = std::chrono::steady_clock::now();
    size_t n = size * count;
    if (r->pending_offset == r->pending.size()) {
        r->pending.clear();
        r->pending_offset = 0;
    }
    // One step of curl may read many buffers at once; beyond this much unread data the transfer waits
    // for the reader, so the buffer stays small and is reused instead of growing with the body.
    if (r->pending.size() - r->pending_offset >= kPendingLimit) {
        r->paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    r->pending.append(data, n);
    return n;
}

// Header lines arrive one by one for every response of the transfer (interim 1xx answers and followed
// redirects included); a status line starts a new block, so what remains is the final response's.
size_t on_header(char* data, size_t size, size_t count, void* user) {
    auto* r = static_cast<RequestHandle*>(user);
    r->last_activity = std::chrono::steady_clock::now();
    size_t n = size * count;
    std::string_view line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.substr(0, 5) == "HTTP/") {
        r->raw_headers.clear();
        r->headers_final = false;
        r->got_response = true;
    }
    r->raw_headers.append(line);
    r->raw_headers += "\r\n";
    if (line.empty()) {
        long code = 0;
        curl_easy_getinfo(r->easy.get(), CURLINFO_RESPONSE_CODE, &code);
        bool interim = code >= 100 && code < 200;
        bool followed = (r->flags & kFlagNoAutoRedirect) == 0 && code >= 300 && code < 400;
        r->headers_final = !interim && !followed;
    }
    return n;
}

// Ends the transfer after a stretch without a byte in either direction. curl's own low-speed check
// averages over a window and would let a stalled body linger several seconds past the limit.
int on_progress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
    auto* r = static_cast<RequestHandle*>(user);
    auto now = std::chrono::steady_clock::now();
    if (down != r->last_down || up != r->last_up) {
        r->last_down = down;
        r->last_up = up;
        r->last_activity = now;
        return 0;
    }
    return now - r->last_activity > r->stall_limit ? 1 : 0;
}

// Lets curl do what it can without waiting; false once the transfer has ended.
bool drive(RequestHandle& r) {
    if (r.done) return false;
    int running = 0;
    if (curl_multi_perform(r.multi.get(), &running) != CURLM_OK) {
        r.done = true;
        r.result = CURLE_FAILED_INIT;
        return false;
    }
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(r.multi.get(), &queued)) {
        if (msg->msg == CURLMSG_DONE) {
            r.done = true;
            r.result = msg->data.result;
        }
    }
    if (running == 0) r.done = true;
    return !r.done;
}

// Waits for the transfer's sockets, at most a second; curl's own timeouts end a stalled transfer.
void wait_for_data(RequestHandle& r) {
    curl_multi_poll(r.multi.get(), nullptr, 0, kPollMilliseconds, nullptr);
}

bool has_pending(const RequestHandle& r) {
    return r.pending_offset < r.pending.size();
}

// The caller's header block as curl's list: one entry per line, empty lines and lines without a name
// dropped. Any CR or LF ends a line, so no value can carry a line break onto the wire.
void build_header_list(RequestHandle& r, std::string_view block, bool has_body) {
    bool has_accept = false, has_content_type = false, has_expect = false;
    size_t i = 0;
    while (i <= block.size()) {
        size_t end = block.find_first_of("\r\n", i);
        if (end == std::string_view::npos) end = block.size();
        std::string_view line = block.substr(i, end - i);
        i = end + 1;
        size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) continue;
        std::string_view name = line.substr(0, colon);
        std::string_view value = line.substr(colon + 1);
        has_accept |= starts_with_ignoring_case(name, "Accept") && name.size() == 6;
        has_content_type |= starts_with_ignoring_case(name, "Content-Type") && name.size() == 12;
        has_expect |= starts_with_ignoring_case(name, "Expect") && name.size() == 6;
        // curl reads "Name:" with nothing after it as "remove this header"; "Name;" sends it empty.
        if (value.find_first_not_of(' ') == std::string_view::npos) {
            slist_add(r.header_list, std::string(name) + ";");
        } else {
            slist_add(r.header_list, std::string(line));
        }
    }
    // Only what the caller wrote goes out: no Accept, Content-Type or Expect of curl's own.
    if (!has_accept) slist_add(r.header_list, "Accept:");
    if (has_body && !has_content_type) slist_add(r.header_list, "Content-Type:");
    if (!has_expect) slist_add(r.header_list, "Expect:");
}

void set_method(RequestHandle& r, bool has_body) {
    CURL* e = r.easy.get();
    if (r.verb == "GET" && !has_body) {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else if (r.verb == "HEAD" && !has_body) {
        curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
    } else {
        // POST as curl's own POST, so that a 301, 302 or 303 turns the next hop into a GET as browsers do.
        if (r.verb != "POST") curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, r.verb.c_str());
        if (has_body || r.verb == "POST" || r.verb == "PUT") {
            curl_easy_setopt(e, CURLOPT_POSTFIELDS, r.body.data());
            curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(r.body.size()));
        }
    }
}

void set_proxy(RequestHandle& r, bool secure) {
    CURL* e = r.easy.get();
    const InternetInfo& net = r.connection.internet;
    r.proxy.clear();
    if (net.access_type == kInternetOpenTypeProxy) r.proxy = proxy_for(net.proxy, secure ? "https" : "http");
    if (!r.proxy.empty() && r.proxy.find("://") == std::string::npos) r.proxy = "http://" + r.proxy;
    // An empty proxy also keeps curl from taking one from the environment: the program reads none.
    curl_easy_setopt(e, CURLOPT_PROXY, r.proxy.c_str());
    if (!r.proxy.empty()) {
        std::string bypass = net.proxy_bypass;
        std::replace(bypass.begin(), bypass.end(), ';', ',');
        std::replace(bypass.begin(), bypass.end(), ' ', ',');
        curl_easy_setopt(e, CURLOPT_NOPROXY, bypass.c_str());
        curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    }
}

void set_certificate_checks(RequestHandle& r) {
    CURL* e = r.easy.get();
    const uint32_t f = r.security_flags;
    bool ignore_chain = (f & (kIgnoreUnknownCa | kIgnoreWrongUsage | kIgnoreDate)) != 0;
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, ignore_chain ? 0L : 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, (f & kIgnoreCommonName) ? 0L : 2L);
    if (f & kIgnoreRevocation) curl_easy_setopt(e, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NO_REVOKE));
}

void set_connect_to(RequestHandle& r) {
    for (const HttpConnectTarget& t : http_connect_targets()) {
        slist_add(r.connect_to,
                  t.host + ":" + std::to_string(t.port) + ":" + t.to_host + ":" + std::to_string(t.to_port));
    }
    if (r.connect_to) curl_easy_setopt(r.easy.get(), CURLOPT_CONNECT_TO, r.connect_to.get());
}

// Prepares the transfer of `r`; false when the request cannot be made at all.
bool start_transfer(RequestHandle& r, std::string_view header_block) {
    const ConnectionInfo& c = r.connection;
    if (!usable_host(c.server) || !usable_verb(r.verb)) return false;
    const bool secure = (r.flags & kFlagSecure) != 0;
    std::string host = c.server.find(':') != std::string::npos ? "[" + c.server + "]" : c.server;
    uint16_t port = c.port != 0 ? c.port : (secure ? 443 : 80);
    r.url = std::string(secure ? "https://" : "http://") + host + ":" + std::to_string(port) +
            encode_target(r.object_name);

    r.easy.reset(curl_easy_init());
    r.multi.reset(curl_multi_init());
    if (!r.easy || !r.multi) return false;
    CURL* e = r.easy.get();
    const HttpTimeouts limits = http_timeouts();
    const bool has_body = !r.body.empty();

    curl_easy_setopt(e, CURLOPT_URL, r.url.c_str());
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION,
                     r.version == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
    if (r.connection.internet.has_agent) {
        // An agent taken from a header block may run on over several lines; only its first line is sent.
        r.agent = r.connection.internet.agent.substr(0, r.connection.internet.agent.find_first_of("\r\n"));
        curl_easy_setopt(e, CURLOPT_USERAGENT, r.agent.c_str());
    }

    const bool follow = (r.flags & kFlagNoAutoRedirect) == 0;
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
    if ((r.flags & kFlagNoCookies) == 0) {
        curl_easy_setopt(e, CURLOPT_SHARE, cookie_store().share());
        curl_easy_setopt(e, CURLOPT_COOKIEFILE, "");  // the cookie engine on, reading no file
    }

    // A connection not made in time, or a stretch without a single byte, ends the request.
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, static_cast<long>(limits.connect_seconds));
    r.stall_limit = std::chrono::seconds(limits.stall_seconds);
    r.last_activity = std::chrono::steady_clock::now();
    r.last_down = r.last_up = 0;
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &on_progress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, &r);

    set_certificate_checks(r);
    set_proxy(r, secure);
    set_connect_to(r);
    set_method(r, has_body);
    build_header_list(r, header_block, has_body || r.verb == "POST" || r.verb == "PUT");
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, r.header_list.get());

    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &on_body);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &r);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &on_header);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &r);

    return curl_multi_add_handle(r.multi.get(), e) == CURLM_OK;
}

// Copies a query's answer out the way the platform does: too small a buffer gets false and the size needed.
bool copy_out(std::string_view answer, bool zero_terminated, void* buffer, uint32_t* buffer_length) {
    const size_t needed = answer.size() + (zero_terminated ? 1 : 0);
    if (!buffer || needed > *buffer_length) {
        *buffer_length = static_cast<uint32_t>(needed);
        return false;
    }
    std::memcpy(buffer, answer.data(), answer.size());
    if (zero_terminated) static_cast<char*>(buffer)[answer.size()] = '\0';
    *buffer_length = static_cast<uint32_t>(answer.size());
    return true;
}

class CurlHttpClient : public HttpClient {
public:
    CurlHttpClient() { ensure_curl_global(); }

    HttpHandle open(const char* agent, uint32_t access_type, const char* proxy, const char* proxy_bypass,
                    uint32_t) override {
        auto h = std::make_unique<InternetHandle>();
        h->info.has_agent = agent != nullptr;
        h->info.agent = text_of(agent);
        h->info.access_type = access_type;
        h->info.proxy = text_of(proxy);
        h->info.proxy_bypass = text_of(proxy_bypass);
        return handles_.add(std::move(h));
    }

    HttpHandle connect(HttpHandle internet, const char* server, uint16_t port, const char*, const char*,
                       uint32_t service, uint32_t, uintptr_t) override {
        auto* net = handles_.find<InternetHandle>(internet, Kind::kInternet);
        if (!net || !server || !*server || service != kInternetServiceHttp) return nullptr;
        auto h = std::make_unique<ConnectionHandle>();
        h->info.internet = net->info;
        h->info.server = server;
        h->info.port = port;
        return handles_.add(std::move(h));
    }

    HttpHandle open_request(HttpHandle connection, const char* verb, const char* object_name, const char* version,
                            const char*, const char**, uint32_t flags, uintptr_t) override {
        auto* conn = handles_.find<ConnectionHandle>(connection, Kind::kConnection);
        if (!conn) return nullptr;
        auto h = std::make_unique<RequestHandle>();
        h->connection = conn->info;
        h->verb = verb ? verb : "GET";
        h->object_name = text_of(object_name);
        h->version = version ? version : "HTTP/1.1";
        h->flags = flags;
        return handles_.add(std::move(h));
    }

    bool set_option(HttpHandle handle, uint32_t option, const void* buffer, uint32_t length) override {
        auto* r = handles_.find<RequestHandle>(handle, Kind::kRequest);
        if (!r || option != kOptionSecurityFlags || !buffer || length < sizeof(uint32_t)) return false;
        std::memcpy(&r->security_flags, buffer, sizeof(uint32_t));
        return true;
    }

    bool send_request(HttpHandle request, const char* headers, uint32_t headers_length, const void* body,
                      uint32_t body_length) override {
        auto* r = handles_.find<RequestHandle>(request, Kind::kRequest);
        if (!r) return false;
        r->stop_transfer();
        r->header_list.reset();
        r->connect_to.reset();
        r->pending.clear();
        r->pending_offset = 0;
        r->raw_headers.clear();
        r->headers_final = r->got_response = r->done = r->paused = false;
        r->result = CURLE_OK;
        r->body.assign(body ? static_cast<const char*>(body) : "", body ? body_length : 0);
        std::string_view block;
        if (headers) block = std::string_view(headers, headers_length);

        if (!start_transfer(*r, block)) {
            r->done = true;
            r->result = CURLE_FAILED_INIT;
            return false;
        }
        // Like the platform client, return once the final response's headers are in.
        while (drive(*r) && !r->headers_final && !has_pending(*r)) wait_for_data(*r);
        return r->got_response || (r->done && r->result == CURLE_OK);
    }

    bool read(HttpHandle request, void* buffer, uint32_t to_read, uint32_t* bytes_read) override {
        *bytes_read = 0;
        auto* r = handles_.find<RequestHandle>(request, Kind::kRequest);
        if (!r || !r->multi) return false;
        if (!has_pending(*r) && r->paused) {
            r->paused = false;
            curl_easy_pause(r->easy.get(), CURLPAUSE_CONT);  // hands over what it held back, then goes on
        }
        while (!has_pending(*r) && drive(*r) && !has_pending(*r)) wait_for_data(*r);
        size_t n = std::min<size_t>(to_read, r->pending.size() - r->pending_offset);
        if (n > 0) {
            std::memcpy(buffer, r->pending.data() + r->pending_offset, n);
            r->pending_offset += n;
        }
        *bytes_read = static_cast<uint32_t>(n);
        return n > 0 || r->result == CURLE_OK;
    }

    bool query_info(HttpHandle request, uint32_t info_level, void* buffer, uint32_t* buffer_length,
                    uint32_t*) override {
        auto* r = handles_.find<RequestHandle>(request, Kind::kRequest);
        if (!r || !r->got_response || !buffer_length) return false;
        if (info_level == (kQueryContentLength | kQueryFlagNumber)) {
            curl_off_t length = -1;
            curl_easy_getinfo(r->easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
            if (length < 0) return false;
            uint32_t value = static_cast<uint32_t>(std::min<curl_off_t>(length, UINT32_MAX));
            return copy_out(std::string_view(reinterpret_cast<const char*>(&value), sizeof value), false, buffer,
                            buffer_length);
        }
        if (info_level != kQueryRawHeadersCrlf) return false;
        return copy_out(r->raw_headers, true, buffer, buffer_length);
    }

    bool close(HttpHandle handle) override { return handles_.remove(handle) != nullptr; }

private:
    HandleRegistry handles_;
};

}  // namespace

HttpClient& http_client() {
    static CurlHttpClient client;
    return client;
}
