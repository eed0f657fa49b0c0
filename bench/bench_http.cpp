// Downloading large bodies from a loopback server: web_fetch (1 KB reads through the client seam, appended
// in place) against a reference libcurl program that writes the same body into one buffer reserved to the
// body's size, measured in the same run. Prints the best and median times, the ratio of the best, the growth
// from 10 MB to 100 MB, and the peak memory each needed on top of what the process held before, as a multiple
// of the body.
//
//   build-bench/bin/bench_http            # 10 MB and 100 MB
//   build-bench/bin/bench_http 5 50       # other sizes, in MB
#include <curl/curl.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "http/web_fetch.h"
#include "tests/fixtures/test_server.h"

namespace {

constexpr size_t kMB = 1000 * 1000;

long status_kb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::char_traits<char>::length(field));
    }
    return -1;
}

// Resets the peak resident size to the current one, so the next reading covers only what follows.
bool reset_peak() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.flush();
    return static_cast<bool>(out);
}

struct Run {
    double ms = 0;
    double peak_bytes = 0;  // above the resident size before the run
    long minor_faults = 0;
    size_t size = 0;
};

Run measure(const std::function<size_t()>& download) {
    // Freed memory goes back to the system first, so every run writes its body into fresh pages, as the
    // program's first download does; otherwise a 10 MB run reuses the pages of the one before and skips
    // the page faults a 100 MB run (always fresh memory) pays.
    malloc_trim(0);
    bool peak_ok = reset_peak();
    long before_kb = status_kb("VmRSS:");
    rusage ru0{};
    getrusage(RUSAGE_SELF, &ru0);
    auto t0 = std::chrono::steady_clock::now();
    size_t size = download();
    auto t1 = std::chrono::steady_clock::now();
    rusage ru1{};
    getrusage(RUSAGE_SELF, &ru1);
    long peak_kb = status_kb("VmHWM:");
    Run r;
    r.ms = std::chrono::duration<double, std::milli>(t1 - t0).count();
    r.peak_bytes = peak_ok ? static_cast<double>(peak_kb - before_kb) * 1024.0 : -1;
    r.minor_faults = ru1.ru_minflt - ru0.ru_minflt;
    r.size = size;
    return r;
}

size_t on_data(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

// The reference: one easy transfer into a buffer reserved to the body's size.
size_t reference_download(const std::string& url, size_t expected) {
    std::string body;
    body.reserve(expected);
    CURL* e = curl_easy_init();
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PROXY, "");
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &on_data);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &body);
    curl_easy_perform(e);
    curl_easy_cleanup(e);
    return body.size();
}

size_t web_fetch_download(const std::string& url) {
    return web_fetch(Text(url)).bytes().size();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double best(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}

struct Figures {
    size_t size = 0;
    double reference_ms = 0, web_fetch_ms = 0;              // best round: the least disturbed by other work
    double reference_median_ms = 0, web_fetch_median_ms = 0;
    double reference_peak = 0, web_fetch_peak = 0;  // worst run, as a multiple of the body
    long reference_faults = 0, web_fetch_faults = 0;
    bool sizes_ok = true;
};

Figures bench_size(TestServer& server, size_t size, int rounds, bool announce_length) {
    auto body = std::make_shared<std::string>(size, '\0');
    for (size_t i = 0; i < size; ++i) (*body)[i] = static_cast<char>((i * 131) >> 7);
    std::string target = "/body-" + std::to_string(size) + (announce_length ? "" : "-unannounced");
    server.on(target, TestResponse{.shared_body = body, .omit_length = !announce_length});
    const std::string url = server.url(target);

    Figures f;
    f.size = size;
    std::vector<double> ref_ms, web_ms;
    // One warm-up of each, then alternate so both see the same machine.
    reference_download(url, size);
    web_fetch_download(url);
    for (int i = 0; i < rounds; ++i) {
        Run ref = measure([&] { return reference_download(url, size); });
        Run web = measure([&] { return web_fetch_download(url); });
        f.sizes_ok &= ref.size == size && web.size == size;
        ref_ms.push_back(ref.ms);
        web_ms.push_back(web.ms);
        f.reference_peak = std::max(f.reference_peak, ref.peak_bytes / static_cast<double>(size));
        f.web_fetch_peak = std::max(f.web_fetch_peak, web.peak_bytes / static_cast<double>(size));
        f.reference_faults = ref.minor_faults;
        f.web_fetch_faults = web.minor_faults;
    }
    f.reference_ms = best(ref_ms);
    f.web_fetch_ms = best(web_ms);
    f.reference_median_ms = median(ref_ms);
    f.web_fetch_median_ms = median(web_ms);
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<size_t> sizes_mb = {10, 100};
    if (argc > 1) {
        sizes_mb.clear();
        for (int i = 1; i < argc; ++i) sizes_mb.push_back(std::strtoul(argv[i], nullptr, 10));
    }
    curl_global_init(CURL_GLOBAL_DEFAULT);
    TestServer server(TestServer::Scheme::kHttp);

    std::printf("HTTP body download from 127.0.0.1: best round (median in brackets); peak memory of the worst round\n");
    std::printf("%8s %22s %22s %7s %11s %11s %11s %11s\n", "body", "reference ms", "web_fetch ms", "ratio",
                "ref peak/B", "wf peak/B", "ref faults", "wf faults");
    std::vector<Figures> all;
    auto print = [](const char* label, size_t mb, const Figures& f) {
        std::printf("%6zu MB %10.1f (%9.1f) %10.1f (%9.1f) %7.2f %11.2f %11.2f %11ld %11ld%s%s\n", mb, f.reference_ms,
                    f.reference_median_ms, f.web_fetch_ms, f.web_fetch_median_ms, f.web_fetch_ms / f.reference_ms,
                    f.reference_peak, f.web_fetch_peak, f.reference_faults, f.web_fetch_faults, label,
                    f.sizes_ok ? "" : "  SIZE MISMATCH");
    };
    for (size_t mb : sizes_mb) {
        all.push_back(bench_size(server, mb * kMB, mb >= 100 ? 5 : 9, true));
        print("", mb, all.back());
    }
    // For comparison: a body whose length the server does not announce grows by doubling.
    std::printf("without Content-Length (the body ends where the connection closes):\n");
    std::vector<Figures> unannounced;
    for (size_t mb : sizes_mb) {
        unannounced.push_back(bench_size(server, mb * kMB, 3, false));
        print("  (no length)", mb, unannounced.back());
    }
    if (all.size() >= 2) {
        const Figures& a = all.front();
        const Figures& b = all.back();
        std::printf("growth %zu MB -> %zu MB: web_fetch %.2fx (reference %.2fx) for %.1fx the bytes\n",
                    a.size / kMB, b.size / kMB, b.web_fetch_ms / a.web_fetch_ms, b.reference_ms / a.reference_ms,
                    static_cast<double>(b.size) / static_cast<double>(a.size));
    }
    std::printf("targets for bodies of announced length: ratio <= 1.5, growth 10 MB -> 100 MB <= 12x, "
                "web_fetch peak <= 2.5x the body\n");
    server.stop();
    all.insert(all.end(), unannounced.begin(), unannounced.end());
    bool ok = std::all_of(all.begin(), all.end(), [](const Figures& f) { return f.sizes_ok; });
    return ok ? 0 : 1;
}
