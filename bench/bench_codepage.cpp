// utf8_to_local on a comparison page of 1 MB and 16 MB, beside iconv alone doing the same two conversions
// (UTF-8 to UTF-16LE, UTF-16LE to CP936, '?' for what 936 lacks) on the same text in the same run. After the
// table, one line per size compares the best CPU time of each: how many times faster utf8_to_local was.
//
//   build-bench/bin/bench_codepage [--benchmark_repetitions=5]
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/page_text.h"
#include "text/codepage.h"

namespace {

class IconvHolder {
public:
    IconvHolder(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~IconvHolder() { iconv_close(cd_); }
    IconvHolder(const IconvHolder&) = delete;
    IconvHolder& operator=(const IconvHolder&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of `in` into `out` (large enough), writing '?' for each input unit of `skip` bytes that
    // the target lacks, and returns the number of bytes written.
    size_t convert(const std::string& in, std::string& out, size_t skip) {
        char* src = const_cast<char*>(in.data());
        char* dst = out.data();
        size_t src_left = in.size();
        size_t dst_left = out.size();
        while (src_left > 0) {
            if (iconv(cd_, &src, &src_left, &dst, &dst_left) != static_cast<size_t>(-1)) break;
            if (errno != EILSEQ || dst_left == 0) break;
            *dst++ = '?';
            --dst_left;
            src += skip;
            src_left -= skip < src_left ? skip : src_left;
        }
        return out.size() - dst_left;
    }

private:
    iconv_t cd_;
};

const std::string& page(size_t size) {
    static std::map<size_t, std::string> pages;
    auto it = pages.find(size);
    if (it == pages.end()) it = pages.emplace(size, make_page_text(size, /*utf8=*/true)).first;
    return it->second;
}

void BM_utf8_to_local(benchmark::State& state) {
    const Text text(page(static_cast<size_t>(state.range(0))));
    size_t out = 0;
    for (auto _ : state) {
        Text local = utf8_to_local(text);
        out = local.bytes().size();
        benchmark::DoNotOptimize(local);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * text.size());
    state.counters["out_bytes"] = static_cast<double>(out);
}

void BM_iconv_two_conversions(benchmark::State& state) {
    const std::string& text = page(static_cast<size_t>(state.range(0)));
    IconvHolder to_units("UTF-16LE", "UTF-8");
    IconvHolder to_gbk("CP936", "UTF-16LE");
    if (!to_units.ok() || !to_gbk.ok()) {
        state.SkipWithError("iconv lacks UTF-16LE or CP936");
        return;
    }
    size_t out = 0;
    for (auto _ : state) {
        // Buffers are allocated per conversion, as utf8_to_local allocates its own.
        std::string units(2 * text.size(), '\0');
        units.resize(to_units.convert(text, units, 1));
        std::string local(units.size(), ' ');
        local.resize(to_gbk.convert(units, local, 2));
        out = local.size();
        benchmark::DoNotOptimize(local);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.counters["out_bytes"] = static_cast<double>(out);
}

constexpr int64_t kSizes[] = {1 << 20, 16 << 20};

// Prints the usual table and keeps each run's seconds per iteration for the closing comparison.
class ComparingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            // Single runs, or only the medians when the command line asks for aggregates alone.
            const bool usable = run.run_type == Run::RT_Iteration || run.aggregate_name == "median";
            if (run.error_occurred || !usable || run.iterations == 0) continue;
            // CPU time, as in the table's bytes_per_second: on a shared machine wall time counts the others.
            seconds_[run.run_name.str()].push_back(run.cpu_accumulated_time / static_cast<double>(run.iterations));
        }
    }
    // The smallest time of each benchmark: the run least disturbed by the other work on the machine.
    double best(const std::string& name) const {
        auto it = seconds_.find(name);
        if (it == seconds_.end()) return 0;
        double b = it->second.front();
        for (double s : it->second) b = s < b ? s : b;
        return b;
    }

private:
    std::map<std::string, std::vector<double>> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
    for (int64_t size : kSizes) {
        benchmark::RegisterBenchmark("utf8_to_local", BM_utf8_to_local)->Arg(size)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("iconv_two_conversions", BM_iconv_two_conversions)
            ->Arg(size)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    ComparingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (int64_t size : kSizes) {
        // Appending in steps: GCC 12 warns falsely (-Wrestrict) on "literal" + std::string temporaries.
        std::string arg = "/";
        arg += std::to_string(size);
        const double ours = reporter.best(std::string("utf8_to_local").append(arg));
        const double iconv = reporter.best(std::string("iconv_two_conversions").append(arg));
        if (ours <= 0 || iconv <= 0) continue;
        const double bytes = static_cast<double>(page(static_cast<size_t>(size)).size());
        std::printf("page of %2lld MB: utf8_to_local %.2f GB/s, iconv %.2f GB/s, %.2fx iconv\n",
                    static_cast<long long>(size >> 20), bytes / ours / 1e9, bytes / iconv / 1e9, iconv / ours);
    }
    benchmark::Shutdown();
    return 0;
}
