// Start-up of the window, offscreen: from starting the process to the first painted frame, for the main
// window and, as the baseline in the same run, for a bare Qt window of the same client size. Each sample
// is a fresh process (this program again, in a child mode), so libraries, fonts and pictures are loaded
// as a user's start loads them; the child ends itself right after its first frame. The peak resident
// memory of each child comes from the kernel's accounting.
//
//   bench_ui                      # both, printed side by side with the ratio
//   bench_ui --child minimal|xunpan
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ui/main_window.h"
#include "ui/toolkit.h"

extern char** environ;

namespace {

// Ends the process once the first top-level window has painted: the single-shot timer runs after the
// paint pass, which draws the window and all its children before returning to the event loop.
class FirstFrame : public QObject {
protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (!seen_ && e->type() == QEvent::Paint && o->isWidgetType() && static_cast<QWidget*>(o)->isWindow()) {
            seen_ = true;
            QTimer::singleShot(0, qApp, [] {
                std::fflush(nullptr);
                std::_Exit(0);
            });
        }
        return false;
    }

private:
    bool seen_ = false;
};

int run_child(const std::string& mode) {
    FirstFrame first_frame;
    if (mode == "minimal") {
        int argc = 1;
        char name[] = "bench_ui";
        char* argv[] = {name, nullptr};
        QApplication app(argc, argv);
        app.installEventFilter(&first_frame);
        const WindowDescription& d = main_window_description();
        QWidget w;
        w.setFixedSize(client_width(d), client_height(d));
        w.show();
        return QApplication::exec();
    }
    if (mode == "xunpan") {
        ui_startup();
        qApp->installEventFilter(&first_frame);
        ui_create_main_window(main_window_description());
        ui_run_message_loop();
        return 0;
    }
    std::fprintf(stderr, "bench_ui: unknown child mode %s\n", mode.c_str());
    return 2;
}

struct Sample {
    double seconds = 0;
    long peak_kib = 0;
    bool ok = false;
};

Sample spawn_child(const char* mode) {
    char self[] = "/proc/self/exe";
    char flag[] = "--child";
    std::string m(mode);
    char* argv[] = {self, flag, m.data(), nullptr};
    Sample s;
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv, environ) != 0) return s;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return s;
    s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    s.peak_kib = usage.ru_maxrss;
    s.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return s;
}

struct Figures {
    std::vector<double> seconds;
    long peak_kib = 0;
    double median() const {
        std::vector<double> v = seconds;
        if (v.empty()) return 0;
        std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
        return v[v.size() / 2];
    }
};
Figures g_minimal, g_xunpan;

void BM_FirstFrame(benchmark::State& state, const char* mode, Figures* figures) {
    spawn_child(mode);  // warm the page cache and the font cache
    for (auto _ : state) {
        const Sample s = spawn_child(mode);
        if (!s.ok) {
            state.SkipWithError("the child did not reach its first frame");
            return;
        }
        state.SetIterationTime(s.seconds);
        figures->seconds.push_back(s.seconds);
        figures->peak_kib = std::max(figures->peak_kib, s.peak_kib);
    }
    state.counters["peak_MB"] = static_cast<double>(figures->peak_kib) / 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0) return run_child(argv[2]);

    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    benchmark::RegisterBenchmark("FirstFrame/minimal_qt_window(baseline)", BM_FirstFrame, "minimal", &g_minimal)
        ->UseManualTime()
        ->Iterations(15)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("FirstFrame/xunpan_main_window", BM_FirstFrame, "xunpan", &g_xunpan)
        ->UseManualTime()
        ->Iterations(15)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    if (!g_minimal.seconds.empty() && !g_xunpan.seconds.empty()) {
        const double base = g_minimal.median() * 1000, ours = g_xunpan.median() * 1000;
        std::printf(
            "\nstart-up to first frame, median of %zu: main window %.1f ms, minimal Qt window %.1f ms, "
            "ratio %.2f (target at most 1.5)\n",
            g_xunpan.seconds.size(), ours, base, ours / base);
        std::printf("peak resident memory: main window %.1f MB, minimal Qt window %.1f MB (target under 60 MB)\n",
                    static_cast<double>(g_xunpan.peak_kib) / 1024.0, static_cast<double>(g_minimal.peak_kib) / 1024.0);
    }
    return 0;
}
