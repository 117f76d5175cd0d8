// velmora-bench-console: the real console in-process (offscreen unless QT_QPA_PLATFORM says
// otherwise) on a scratch folder, slots 0-2 set up with 127.0.0.1 through their set-up
// buttons, the measurement started with Btn_Start, then left running for the load generator.
// Optionally samples the tick clock, keeps another core busy and probes the event loop; for
// the lap chart, fills the lap grids as a long race leaves them, opens the chart window and
// makes the silence step open laps on a schedule (the cars' next datagrams record them).
#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/console_app.h"
#include "app/lap_chart_window.h"
#include "app/main_window.h"
#include "app/team_view.h"
#include "clock_sampler.h"
#include "common/proc_stats.h"
#include "core/encoding.h"
#include "core/system_clocks.h"
#include "core/time_format.h"
#include "core/window_state.h"
#include "loop_probe.h"
#include "measure/lap_display.h"
#include "pit/drivers.h"
#include "pit/fuel.h"

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
    int prefillLaps = 0;  // timed laps per slot as if the race had run that long
    int prefillLapMs = 60000;
    std::vector<std::string> drivers{"山田", "佐藤", "鈴木"};
    int stintLaps = 40;  // prefilled laps per driver before the next one takes over
    bool openChart = false;
    int lapEveryMs = 0;    // the silence step opens a lap this often, round the slots; 0 = never
    std::string chartPos;  // "x,y" of the chart window (for screenshots under Xvfb)
    std::string mainPos;   // "x,y" of the main window
    std::vector<std::string> cars;  // registered and chosen for slots 0, 1, 2 in turn
    int driverInfoSlot = -1;        // opens this slot's driver pop-up (for screenshots)
    int teamViewPort = 0;     // the team view on at this port (key kBenchTeamViewKey), 0 = off
    bool rules = false;       // every driving-time rule set, as an event would
    int resizeEveryMs = 0;    // the main window resized (and repainted) this often, 0 = never
    bool keepFolder = false;  // the scratch folder (and its journal) kept, its path printed
};

// The team view's key in the load runs (velmora-viewers is given the same).
constexpr const char* kBenchTeamViewKey = "AAECAwQFBgcICQoLDA0ODw";

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        if (comma > start) out.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    return out;
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        if (a == "--thread-counters") {
            o.threadCounters = true;
            continue;
        }
        if (a == "--open-chart") {
            o.openChart = true;
            continue;
        }
        if (a == "--rules") {
            o.rules = true;
            continue;
        }
        if (a == "--keep-folder") {
            o.keepFolder = true;
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
        else if (a == "--prefill-laps")
            o.prefillLaps = std::atoi(v);
        else if (a == "--prefill-lap-ms")
            o.prefillLapMs = std::atoi(v);
        else if (a == "--drivers")
            o.drivers = SplitList(v);
        else if (a == "--stint-laps")
            o.stintLaps = std::atoi(v);
        else if (a == "--lap-every-ms")
            o.lapEveryMs = std::atoi(v);
        else if (a == "--chart-pos")
            o.chartPos = v;
        else if (a == "--main-pos")
            o.mainPos = v;
        else if (a == "--cars")
            o.cars = SplitList(v);
        else if (a == "--driver-info")
            o.driverInfoSlot = std::atoi(v);
        else if (a == "--team-view")
            o.teamViewPort = std::atoi(v);
        else if (a == "--resize-every-ms")
            o.resizeEveryMs = std::atoi(v);
        else
            return false;
    }
    return o.seconds > 0 && o.silenceSeconds >= 1 && o.silenceSeconds <= 99 && o.prefillLaps >= 0 &&
           o.prefillLapMs > 0 && !o.drivers.empty() && o.stintLaps > 0 && o.lapEveryMs >= 0 &&
           o.resizeEveryMs >= 0;
}

bool WriteCars(const QString& folder, const std::vector<std::string>& cars) {
    std::ofstream f((folder + "/Car.ini").toStdString(), std::ios::binary);
    for (const std::string& car : cars) f << Utf8ToCp932(car + ",pit,40,12.5") << "\r\n";
    return static_cast<bool>(f);
}

// Moves `w` to "x,y" when given.
void MoveTo(QWidget* w, const std::string& pos) {
    const std::vector<std::string> xy = SplitList(pos);
    if (w && xy.size() == 2) w->move(std::atoi(xy[0].c_str()), std::atoi(xy[1].c_str()));
}

bool WriteSettings(const QString& folder, int silenceSeconds, int teamViewPort, bool rules) {
    std::vector<std::string> lines = {"[計測環境設定]", "計測精度=1/1000",
                                      "ラップ加算無通信秒数= " + std::to_string(silenceSeconds)};
    if (teamViewPort > 0)
        lines.insert(lines.end(), {"[チームビュー]", "ポート=" + std::to_string(teamViewPort),
                                   std::string("キー=") + kBenchTeamViewKey, "公開=1"});
    // Every rule, so the rule figures do all their work at each lap.
    if (rules)
        lines.insert(lines.end(), {"[走行規則]", "最短連続走行（分）=15", "最長連続走行（分）=60",
                                   "最短を適用しない最後の時間（分）=15", "最短ピット停止（秒）=90",
                                   "最少ドライバー交代（回）=13", "最少ピット停止（回）=3",
                                   "ドライバー合計の上限（分）=420", "時間枠内の上限（分）=180",
                                   "時間枠の長さ（分）=300", "違反1件のペナルティ（周）=1"});
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

// A click, carried out by the console before it returns.
bool Click(ConsoleApp& app, const std::string& name) {
    auto* b = app.mainWindow()->findChild<QPushButton*>(QString::fromStdString(name));
    if (!b || !b->isEnabled()) return false;
    b->click();
    return app.sync();
}

// Slot `s`'s lap grid as `laps` laps of a race leave it: every lap timed (the lap time
// varying by up to ±2 %, a driver change every `stintLaps` laps costing half a lap more), the last
// row open with its lap started a lap time ago, so the car's next datagram records it.
void Prefill(Console& c, int s, const Options& o) {
    RunnerState& r = c.st.runners[s];
    PanelState& p = c.st.panels[s];
    Grid& g = p.Spd_LapTime;
    const int laps = o.prefillLaps;
    auto ticksOf = [&c](std::int64_t ms) {
        return static_cast<std::int32_t>(ms * c.clock.TicksPerSecond / 1000);
    };
    auto driverOf = [&](int lap) {
        return o.drivers[static_cast<std::size_t>((lap - 1) / o.stintLaps + s) % o.drivers.size()];
    };
    g.SetRowCount(laps);
    std::uint32_t seed = 12345u + static_cast<std::uint32_t>(s);
    for (int row = 1; row < laps; ++row) {
        seed = seed * 1103515245u + 12345u;
        const int spread = static_cast<int>((seed >> 8) % 401) - 200;  // ‰ of the lap time
        std::int64_t ms = o.prefillLapMs + o.prefillLapMs * spread / 10000;
        if (row > 1 && driverOf(row) != driverOf(row - 1)) ms += o.prefillLapMs / 2;
        const std::int32_t ticks = ticksOf(ms);
        g.SetCell(row, 1, FormatLapTime(ticks, c.clock));
        g.SetCell(row, 2, driverOf(row));
        g.SetCell(row, 4, std::to_string(ticks));
        g.SetCell(row, 5, " , ");
        g.SetCell(row, kLapRecordedAtColumn, "2026/12/07 14:05:09");
        g.SetCell(row, kLapMessageSplitColumn, "1");
    }
    r.LapCount = laps;
    r.AwayFlag = true;
    r.LapStartTick = c.TickCounter() - ticksOf(o.prefillLapMs);
    // The driver of the last stint drives on; every driver of the slot has a pop-up row.
    std::vector<std::string> seen;
    for (int lap = 1; lap <= laps; ++lap)
        if (std::find(seen.begin(), seen.end(), driverOf(lap)) == seen.end())
            seen.push_back(driverOf(lap));
    p.Cmb_Driver.Clear();
    for (const std::string& d : o.drivers) p.Cmb_Driver.AddItem(d);
    for (const std::string& d : seen) {
        p.Cmb_Driver.Select(
            static_cast<int>(std::find(o.drivers.begin(), o.drivers.end(), d) - o.drivers.begin()));
        ChooseDriver(c, s);
    }
    p.Cmb_Driver.Select(static_cast<int>(
        std::find(o.drivers.begin(), o.drivers.end(), driverOf(laps)) - o.drivers.begin()));
    ChooseDriver(c, s);
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
                     "[--thread-counters]] [--busy-cpu N] [--ready-file FILE] [--prefill-laps N "
                     "[--prefill-lap-ms MS] [--drivers A,B,C] [--stint-laps N]] [--open-chart "
                     "[--chart-pos X,Y]] [--main-pos X,Y] [--cars A,B,C] [--driver-info SLOT] "
                     "[--lap-every-ms MS] [--team-view PORT] [--rules] [--resize-every-ms MS] "
                     "[--keep-folder]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    QTemporaryDir folder;
    if (o.keepFolder) {
        folder.setAutoRemove(false);
        std::printf("folder %s\n", qPrintable(folder.path()));
    }
    if (!folder.isValid() ||
        !WriteSettings(folder.path(), o.silenceSeconds, o.teamViewPort, o.rules) ||
        !WriteCars(folder.path(), o.cars)) {
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
    // The console as the window shows it; the console itself is changed on its own thread.
    const Console& c = app->view();

    if (o.idleSeconds > 0) {
        Wait(1);  // start-up work settles first
        const std::int64_t cpu0 = ProcessCpuNs(0), t0 = MonotonicNs();
        Wait(o.idleSeconds);
        PrintCost("idle", cpu0, t0);
    }

    for (int s = 0; s < 3; ++s) {
        app->dialogs().pushInputAnswer("127.0.0.1");
        if (!Click(*app, SlotControlName("Btn_ClientNoSet", s)) ||
            c.st.panels[s].Lbl_IP.caption != "127.0.0.1") {
            std::fprintf(stderr, "velmora-bench-console: slot %d set-up failed\n", s);
            return 1;
        }
    }
    app->dialogs().clearRequests();
    if (!Click(*app, "Btn_Start") || !c.st.Measuring()) {
        // Most often a car port is taken by another console or test on this machine.
        std::fprintf(stderr, "velmora-bench-console: the measurement did not start\n");
        for (const QtDialogs::Request& r : app->dialogs().requests())
            std::fprintf(stderr, "  the console said: %s\n", r.text.c_str());
        return 1;
    }

    app->run([&o](Console& live) {
        for (int s = 0; s < 3 && s < static_cast<int>(o.cars.size()); ++s) {
            live.st.panels[s].Cmb_Car.Select(s);
            ChooseCar(live, s);
        }
        if (o.prefillLaps > 0)
            for (int s = 0; s < 3; ++s) Prefill(live, s, o);
    });
    if (o.openChart) {
        if (!Click(*app, "Btn_LapChart") || !app->mainWindow()->lapChart()) {
            std::fprintf(stderr, "velmora-bench-console: the lap chart did not open\n");
            return 1;
        }
        MoveTo(app->mainWindow()->lapChart(), o.chartPos);
    }
    MoveTo(app->mainWindow(), o.mainPos);
    if (o.driverInfoSlot >= 0) Click(*app, SlotControlName("Btn_DriverInfo", o.driverInfoSlot));
    QTimer lapTimer;
    int nextLapSlot = 0;
    if (o.lapEveryMs > 0) {
        QObject::connect(&lapTimer, &QTimer::timeout, [&] {
            // As if the car had been silent just long enough (the load generator's cars never
            // are): the silence step opens the lap, the car's next datagram records it.
            app->post([slot = nextLapSlot](Console& live) {
                RunnerState& r = live.st.runners[slot];
                r.LastHeardTick = live.TickCounter() - live.clock.SilenceTicks - 1;
                OpenNextLap(live, slot);
            });
            nextLapSlot = (nextLapSlot + 1) % 3;
        });
        lapTimer.start(o.lapEveryMs);
    }

    // As a crew member dragging the window's corner: a rescale and a full repaint on the
    // window's thread, alternately larger and back.
    QTimer resizeTimer;
    std::vector<std::int64_t> resizeNs;
    if (o.resizeEveryMs > 0) {
        MainWindow* w = app->mainWindow();
        const QSize small = w->size(), large = small * 1.5;
        QObject::connect(&resizeTimer, &QTimer::timeout, [&resizeNs, w, small, large] {
            const std::int64_t t0 = MonotonicNs();
            w->resize(w->size() == small ? large : small);
            w->repaint();
            resizeNs.push_back(MonotonicNs() - t0);
        });
        resizeTimer.start(o.resizeEveryMs);
    }

    std::unique_ptr<BusyCore> busy;
    if (o.busyCpu >= 0) busy = std::make_unique<BusyCore>(o.busyCpu);
    std::unique_ptr<LoopProbe> probe;
    if (o.probeMs > 0) probe = std::make_unique<LoopProbe>(o.probeMs, o.probeLog);
    std::unique_ptr<ClockSampler> sampler;
    QTimer sampleTimer;
    // The tick counter as the console derives it, on a clock of the window's own started now:
    // reading is all it does, so it is the same counter as the console's.
    SteadyClock steady;
    TickClock ticks(steady);
    ticks.Start(c.clock.TicksPerSecond);
    if (o.clockSampleMs > 0) {
        sampler = std::make_unique<ClockSampler>([&ticks] { return ticks.Now(); },
                                                 1'000'000'000LL / c.clock.TicksPerSecond,
                                                 o.threadCounters);
        sampleTimer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&sampleTimer, &QTimer::timeout, [&] { sampler->Sample(); });
        sampleTimer.start(o.clockSampleMs);
    }

    std::printf("harness ready pid=%lld measuring=3 silence_s=%d platform=%s team_view=%s\n",
                static_cast<long long>(QCoreApplication::applicationPid()), o.silenceSeconds,
                qgetenv("QT_QPA_PLATFORM").constData(),
                app->teamView() && app->teamView()->isOn() ? "on" : "off");
    std::fflush(stdout);
    if (!o.readyFile.empty()) std::ofstream(o.readyFile) << QCoreApplication::applicationPid();

    const std::int64_t cpu0 = ProcessCpuNs(0), t0 = MonotonicNs();
    Wait(o.seconds);
    sampleTimer.stop();
    lapTimer.stop();
    resizeTimer.stop();
    const std::int64_t runNs = MonotonicNs() - t0;
    PrintCost("measuring", cpu0, t0);
    if (busy)
        std::printf("harness busy_cpu=%d pinned=%s\n", o.busyCpu, busy->pinned() ? "yes" : "no");
    busy.reset();
    if (probe) std::printf("%s", probe->Report().c_str());
    if (!resizeNs.empty()) {
        std::sort(resizeNs.begin(), resizeNs.end());
        std::printf("harness resizes=%zu resize_and_paint_ms p50=%.1f max=%.1f\n", resizeNs.size(),
                    static_cast<double>(resizeNs[resizeNs.size() / 2]) / 1e6,
                    static_cast<double>(resizeNs.back()) / 1e6);
    }
    if (sampler) std::printf("%s", sampler->Report(runNs).c_str());
    // Lap rows per slot: a row is "filled" once a lap time was recorded in it.
    app->sync();
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
