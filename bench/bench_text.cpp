// Throughput of the text primitives over a comparison page of 1 MB and 16 MB, each beside a baseline run on
// the same bytes in the same process: glibc memmem for the searches, memcpy for the passes that build a
// result. A second group runs the searching primitives over 16 MB subjects made of near-matches.
//
//   bench_text                          all figures, then a table of each figure against its baseline
//   bench_text --benchmark_filter=16M   the 16 MB page only
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench/page_text.h"
#include "text/markers.h"
#include "text/primitives.h"

namespace {

// The four start markers of the lookup and their common end marker.
const char* const kMarkers[] = {"iquiries\":\"", "pageViews\":\"", "imageUrl\":\"", "productDetailUrl\":\""};
const char* const kNeedle = "pageViews\":\"";

struct Page {
    std::string name;
    Text text;
};

const Page& page(size_t size) {
    static std::map<size_t, Page> pages;
    auto it = pages.find(size);
    if (it == pages.end()) {
        const std::string name = size >= (1u << 20) ? std::to_string(size >> 20) + "M" : std::to_string(size);
        it = pages.emplace(size, Page{name, Text(make_page_text(size, false))}).first;
    }
    return it->second;
}

const void* search_memmem(const Text& t, const char* needle) {
    return memmem(t.data(), t.bytes().size(), needle, std::strlen(needle));
}

// --- The page ---

void find_exact(benchmark::State& state, size_t size) {
    const Text& t = page(size).text;
    const Text needle(kNeedle);
    for (auto _ : state) benchmark::DoNotOptimize(txt_find(t, needle));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * t.size());
}

void find_folded(benchmark::State& state, size_t size) {
    const Text& t = page(size).text;
    const Text needle(kNeedle);
    for (auto _ : state) benchmark::DoNotOptimize(txt_find(t, needle, std::nullopt, true));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * t.size());
}

void find_memmem(benchmark::State& state, size_t size) {
    const Text& t = page(size).text;
    for (auto _ : state) benchmark::DoNotOptimize(search_memmem(t, kNeedle));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * t.size());
}

void middle_four(benchmark::State& state, size_t size) {
    const Text& t = page(size).text;
    const Text end("\"");
    std::vector<Text> markers;
    for (const char* m : kMarkers) markers.emplace_back(m);
    for (auto _ : state)
        for (const Text& m : markers) benchmark::DoNotOptimize(middle_text(t, m, end));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 4 * t.size());
}

// The same four fields found with memmem and memchr, copied out.
void middle_four_memmem(benchmark::State& state, size_t size) {
    const Text& t = page(size).text;
    const char* const stop = t.data() + t.size();
    for (auto _ : state) {
        for (const char* m : kMarkers) {
            const char* at = static_cast<const char*>(search_memmem(t, m));
            if (!at) continue;
            const char* v = at + std::strlen(m);
            const char* q = static_cast<const char*>(std::memchr(v, '"', static_cast<size_t>(stop - v)));
            if (q) benchmark::DoNotOptimize(std::string(v, q));
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 4 * t.size());
}

// The URL unescaping the lookup does, over the whole page.
void replace_unescape(benchmark::State& state, size_t size) {
    const Text& t = page(size).text;
    const Text find("\\/"), with("/");
    for (auto _ : state) benchmark::DoNotOptimize(txt_replace(t, find, with));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * t.size());
}

// A folded replacement of a word that stands in every record.
void replace_word(benchmark::State& state, size_t size) {
    const Text& t = page(size).text;
    const Text find("pieces"), with("pcs");
    for (auto _ : state) benchmark::DoNotOptimize(txt_replace(t, find, with));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * t.size());
}

void split_lines(benchmark::State& state, size_t size) {
    const Text& t = page(size).text;
    const Text sep("\n");
    for (auto _ : state) benchmark::DoNotOptimize(txt_split(t, sep));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * t.size());
}

// Short pieces: the page cut at every field of every record.
void split_fields(benchmark::State& state, size_t size) {
    const Text& t = page(size).text;
    const Text sep("\",\"");
    for (auto _ : state) benchmark::DoNotOptimize(txt_split(t, sep));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * t.size());
}

void copy_memcpy(benchmark::State& state, size_t size) {
    const Text& t = page(size).text;
    std::string out(t.bytes().size(), '\0');
    for (auto _ : state) {
        std::memcpy(out.data(), t.data(), out.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * t.size());
}

// --- Near-matches: 16 MB subjects where almost every position starts a partial match ---
// Each needle's rarest byte is the one the subject is made of, so the scan cannot skip ahead.

const Text& repeated(char c) {
    static std::map<char, Text> subjects;
    auto it = subjects.find(c);
    if (it == subjects.end()) it = subjects.emplace(c, Text(std::string(16u << 20, c))).first;
    return it->second;
}

void near_find_folded(benchmark::State& state) {
    const Text& t = repeated('a');
    const Text needle("aaaaaaaaaaaa\"");
    for (auto _ : state) benchmark::DoNotOptimize(txt_find(t, needle, std::nullopt, true));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * t.size());
}

void near_find_memmem(benchmark::State& state) {
    const Text& t = repeated('a');
    for (auto _ : state) benchmark::DoNotOptimize(search_memmem(t, "aaaaaaaaaaaa\""));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * t.size());
}

// Every other position is the second byte of a character, so half the matches must be refused.
void near_rfind_pairs(benchmark::State& state) {
    const Text& t = repeated('\xB0');
    const Text needle("\xB0\xB0\xB0\xB0\xB0\xB0\xB0\xB0");
    for (auto _ : state) benchmark::DoNotOptimize(txt_rfind(t, needle));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * t.size());
}

void near_replace(benchmark::State& state) {
    const Text& t = repeated('a');
    const Text find("aaaaaaaaaaaa\""), with("x");
    for (auto _ : state) benchmark::DoNotOptimize(txt_replace(t, find, with));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * t.size());
}

void near_split(benchmark::State& state) {
    const Text& t = repeated('\xB0');
    const Text sep("\xB0\xB0\xB0\xB0\xB0\xB0\xB0:");
    for (auto _ : state) benchmark::DoNotOptimize(txt_split(t, sep));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * t.size());
}

// Prints the usual console output, then each figure beside its baseline.
class PairReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            auto c = r.counters.find("bytes_per_second");
            if (c != r.counters.end()) rates_[r.benchmark_name()] = c->second.value;
            times_[r.benchmark_name()] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void summary(const std::vector<std::pair<std::string, std::string>>& pairs) const {
        std::printf("\n%-34s %10s   %-28s %10s  %s\n", "figure", "GB/s", "baseline", "GB/s", "baseline/figure");
        for (const auto& [figure, baseline] : pairs) {
            auto f = rates_.find(figure), b = rates_.find(baseline);
            if (f == rates_.end() || b == rates_.end()) continue;
            std::printf("%-34s %10.2f   %-28s %10.2f  %.2fx\n", figure.c_str(), f->second / 1e9, baseline.c_str(),
                        b->second / 1e9, b->second / f->second);
        }
    }

private:
    std::map<std::string, double> rates_, times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::vector<std::pair<std::string, std::string>> pairs;
    for (size_t size : {size_t{1} << 20, size_t{16} << 20}) {
        const std::string n = page(size).name;
        auto add = [&](const std::string& name, void (*fn)(benchmark::State&, size_t)) {
            benchmark::RegisterBenchmark(name.c_str(), fn, size)->Unit(benchmark::kMillisecond);
        };
        add("page" + n + "/memmem", find_memmem);
        add("page" + n + "/txt_find", find_exact);
        add("page" + n + "/txt_find_ignore_case", find_folded);
        add("page" + n + "/memmem_four_fields", middle_four_memmem);
        add("page" + n + "/middle_text_four_fields", middle_four);
        add("page" + n + "/memcpy", copy_memcpy);
        add("page" + n + "/txt_replace_unescape", replace_unescape);
        add("page" + n + "/txt_replace_word_folded", replace_word);
        add("page" + n + "/txt_split_lines", split_lines);
        add("page" + n + "/txt_split_fields", split_fields);
        const std::string p = "page" + n + "/";
        pairs.insert(pairs.end(), {{p + "txt_find", p + "memmem"},
                                   {p + "txt_find_ignore_case", p + "memmem"},
                                   {p + "middle_text_four_fields", p + "memmem_four_fields"},
                                   {p + "txt_replace_unescape", p + "memcpy"},
                                   {p + "txt_replace_word_folded", p + "memcpy"},
                                   {p + "txt_split_lines", p + "memcpy"},
                                   {p + "txt_split_fields", p + "memcpy"}});
    }
    auto near = [](const char* name, void (*fn)(benchmark::State&)) {
        benchmark::RegisterBenchmark(name, fn)->Unit(benchmark::kMillisecond);
    };
    near("near16M/memmem", near_find_memmem);
    near("near16M/txt_find_ignore_case", near_find_folded);
    near("near16M/txt_rfind_pairs", near_rfind_pairs);
    near("near16M/txt_replace", near_replace);
    near("near16M/txt_split_pairs", near_split);
    pairs.insert(pairs.end(), {{"near16M/txt_find_ignore_case", "near16M/memmem"},
                               {"near16M/txt_rfind_pairs", "near16M/memmem"},
                               {"near16M/txt_replace", "near16M/memmem"},
                               {"near16M/txt_split_pairs", "near16M/memmem"}});

    PairReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.summary(pairs);
    benchmark::Shutdown();
    return 0;
}
