// velmora-bench-console: the real console in-process (offscreen unless QT_QPA_PLATFORM says
// otherwise) on a scratch folder, slots 0-2 set up with 127.0.0.1 through their set-up
// buttons, the measurement started with Btn_Start, then left running for the load generator.
// Optionally samples the tick clock, keeps another core busy and probes the event loop.
#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "app/console_app.h"
#include "app/main_window.h"
#include "clock_sampler.h"
#include "common/proc_stats.h"
#include "core/encoding.h"
#include "core/window_state.h"
#include "loop_probe.h"

using namespace velmora;
using namespace velmora::bench;

namespace {

struct Options {
    double seconds = 60;     // measuring time after Start
    double idleSeconds = 0;  // idle window before the set-up, for the idle cost
    int silenceSeconds = 1;  // lap-add silence written to the settings file
    int probeMs = 0;         // event-loop probe interval, 0 = off
    std::string probeLog;
    int clockSampleMs = 0;  // tick clock sampling interval, 0 = off
    bool threadCounters = false;
    int busyCpu = -1;  // CPU to keep busy with a spinning thread, -1 = none
    std::string readyFile;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        if (a == "--thread-counters") {
            o.threadCounters = true;
            continue;
        }
        if (k + 1 >= argc) return false;
        const char* v = argv[++k];
        if (a == "--seconds")
            o.seconds = std::atof(v);
        else if (a == "--minutes")
            o.seconds = 60 * std::atof(v);
        else if (a == "--idle-seconds")
            o.idleSeconds = std::atof(v);
        else if (a == "--silence")
            o.silenceSeconds = std::atoi(v);
        else if (a == "--probe-ms")
            o.probeMs = std::atoi(v);
        else if (a == "--probe-log")
            o.probeLog = v;
        else if (a == "--clock-sample-ms")
            o.clockSampleMs = std::atoi(v);
        else if (a == "--busy-cpu")
            o.busyCpu = std::atoi(v);
        else if (a == "--ready-file")
            o.readyFile = v;
        else
            return false;
    }
    return o.seconds > 0 && o.silenceSeconds >= 1 && o.silenceSeconds <= 99;
}

bool WriteSettings(const QString& folder, int silenceSeconds) {
    const std::string lines[] = {"[計測環境設定]", "計測精度=1/1000",
                                 "ラップ加算無通信秒数= " + std::to_string(silenceSeconds)};
    std::ofstream f((folder + "/Velmora.ini").toStdString(), std::ios::binary);
    for (const std::string& l : lines) f << Utf8ToCp932(l) << "\r\n";
    return static_cast<bool>(f);
}

// Spins on one CPU for the whole run: the "other core kept busy".
class BusyCore {
  public:
    explicit BusyCore(int cpu) {
        thread_ = std::thread([this, cpu] {
            pinned_ = PinThisThread(cpu);
            volatile std::uint64_t x = 0;
            while (!stop_.load(std::memory_order_relaxed)) x = x + 1;
        });
    }
    ~BusyCore() {
        stop_ = true;
        thread_.join();
    }
    bool pinned() const { return pinned_; }

  private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> pinned_{false};
    std::thread thread_;
};

void Wait(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

bool Click(QWidget* window, const std::string& name) {
    auto* b = window->findChild<QPushButton*>(QString::fromStdString(name));
    if (!b || !b->isEnabled()) return false;
    b->click();
    return true;
}

void PrintCost(const char* what, std::int64_t cpu0, std::int64_t t0) {
    const double pct = 100.0 * static_cast<double>(ProcessCpuNs(0) - cpu0) /
                       static_cast<double>(MonotonicNs() - t0);
    std::printf("harness %s cpu=%.2f%% rss_mb=%.1f\n", what, pct,
                static_cast<double>(ProcessRssBytes(0)) / (1 << 20));
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: velmora-bench-console [--seconds S | --minutes M] [--idle-seconds S] "
                     "[--silence S] [--probe-ms MS --probe-log FILE] [--clock-sample-ms MS "
                     "[--thread-counters]] [--busy-cpu N] [--ready-file FILE]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid() || !WriteSettings(folder.path(), o.silenceSeconds)) {
        std::fprintf(stderr, "velmora-bench-console: no scratch folder\n");
        return 1;
    }
    auto app = std::make_unique<ConsoleApp>(folder.path());
    app->setQuitAction([] {});
    app->dialogs().setNonInteractive(true);
    QSignalSpy shown(app.get(), &ConsoleApp::mainWindowShown);
    app->start(std::chrono::milliseconds(0));
    if (!(shown.count() > 0 || shown.wait(10000)) || !app->mainWindow()) {
        std::fprintf(stderr, "velmora-bench-console: the main window did not come up\n");
        return 1;
    }
    Console& c = app->console();

    if (o.idleSeconds > 0) {
        Wait(1);  // start-up work settles first
        const std::int64_t cpu0 = ProcessCpuNs(0), t0 = MonotonicNs();
        Wait(o.idleSeconds);
        PrintCost("idle", cpu0, t0);
    }

    for (int s = 0; s < 3; ++s) {
        app->dialogs().pushInputAnswer("127.0.0.1");
        if (!Click(app->mainWindow(), SlotControlName("Btn_ClientNoSet", s)) ||
            c.st.panels[s].Lbl_IP.caption != "127.0.0.1") {
            std::fprintf(stderr, "velmora-bench-console: slot %d set-up failed\n", s);
            return 1;
        }
    }
    app->dialogs().clearRequests();
    if (!Click(app->mainWindow(), "Btn_Start") || !c.st.Measuring()) {
        // Most often a car port is taken by another console or test on this machine.
        std::fprintf(stderr, "velmora-bench-console: the measurement did not start\n");
        for (const QtDialogs::Request& r : app->dialogs().requests())
            std::fprintf(stderr, "  the console said: %s\n", r.text.c_str());
        return 1;
    }

    std::unique_ptr<BusyCore> busy;
    if (o.busyCpu >= 0) busy = std::make_unique<BusyCore>(o.busyCpu);
    std::unique_ptr<LoopProbe> probe;
    if (o.probeMs > 0) probe = std::make_unique<LoopProbe>(o.probeMs, o.probeLog);
    std::unique_ptr<ClockSampler> sampler;
    QTimer sampleTimer;
    if (o.clockSampleMs > 0) {
        sampler = std::make_unique<ClockSampler>([&c] { return c.TickCounter(); },
                                                 1'000'000'000LL / c.clock.TicksPerSecond,
                                                 o.threadCounters);
        sampleTimer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&sampleTimer, &QTimer::timeout, [&] { sampler->Sample(); });
        sampleTimer.start(o.clockSampleMs);
    }

    std::printf("harness ready pid=%lld measuring=3 silence_s=%d platform=%s\n",
                static_cast<long long>(QCoreApplication::applicationPid()), o.silenceSeconds,
                qgetenv("QT_QPA_PLATFORM").constData());
    std::fflush(stdout);
    if (!o.readyFile.empty()) std::ofstream(o.readyFile) << QCoreApplication::applicationPid();

    const std::int64_t cpu0 = ProcessCpuNs(0), t0 = MonotonicNs();
    Wait(o.seconds);
    sampleTimer.stop();
    const std::int64_t runNs = MonotonicNs() - t0;
    PrintCost("measuring", cpu0, t0);
    if (busy)
        std::printf("harness busy_cpu=%d pinned=%s\n", o.busyCpu, busy->pinned() ? "yes" : "no");
    busy.reset();
    if (probe) std::printf("%s", probe->Report().c_str());
    if (sampler) std::printf("%s", sampler->Report(runNs).c_str());
    // Lap rows per slot: a row is "filled" once a lap time was recorded in it.
    for (int s = 0; s < 3; ++s) {
        const Grid& g = c.st.panels[s].Spd_LapTime;
        int filled = 0;
        for (int row = 1; row <= g.RowCount(); ++row)
            if (!g.Cell(row, 4).empty()) ++filled;
        std::printf("harness slot=%d lap_count=%d rows=%d filled_rows=%d\n", s,
                    static_cast<int>(c.st.runners[s].LapCount), g.RowCount(), filled);
    }
    std::fflush(stdout);
    app.reset();
    return 0;
}
