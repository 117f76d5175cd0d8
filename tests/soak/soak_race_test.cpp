// A long race on a bad network: the console in-process and offscreen, three simulated cars
// (one per panel) and a proxy between them and the console that loses, duplicates and
// reorders datagrams in both directions from a seed. Afterwards every lap each car drove must
// be in its grid, closed by the first datagram of its pass that reached the console and never
// recorded a second time, every stale echo explained by a fault the proxy log shows, every
// datagram that reached the console answered, every row's time the one the log implies and
// the lap the car drove, and the process no bigger than after the warm-up.
//
// Knobs (environment): VELMORA_SOAK_SECONDS (120), VELMORA_SOAK_SEED (20261207),
// VELMORA_SOAK_LOSS (0.03), VELMORA_SOAK_DUP (0.02), VELMORA_SOAK_REORDER (0.03),
// VELMORA_SOAK_TOLERANCE_MS (12; 40 under a sanitizer), VELMORA_SOAK_KEEP_JOURNAL (a file to
// keep the race's journal in).
//
// Rows are timed by the kernel's arrival stamp of the datagrams that closed them, and the proxy
// logs each datagram it sends with the moment just before the send: the two agree to the
// console's 1 ms tick, whatever the console's thread was doing. What the tolerance allows beyond
// that is the proxy being descheduled between its clock reading and the send on a busy machine.
// Row 1 is timed from the run's tick 0, which the journal's traffic record gives to the
// microsecond. The race is then played again from that record (velmora-replay's engine): every
// row must come out the same, to the tick.
#include <sys/prctl.h>

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>

#include "app/console_app.h"
#include "app/main_window.h"
#include "console_rig.h"
#include "core/window_state.h"
#include "engine/replay.h"
#include "journal/journal_reader.h"
#include "soak_log.h"

using namespace velmora;
using namespace std::chrono;

namespace {

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer holds freed memory in its quarantine (up to 256 MB), so the resident size
// says nothing about leaks there; LeakSanitizer checks those at exit instead.
constexpr bool kUnderAsan = true;
#else
constexpr bool kUnderAsan = false;
#endif
#if defined(__SANITIZE_THREAD__)
constexpr bool kUnderTsan = true;
#else
constexpr bool kUnderTsan = false;
#endif

constexpr int kSlots[] = {0, 1, 2};
constexpr int kCarPortBase = 27011;             // the proxy's car side: 27011, 27021, 27031
const char* const kReplyAddress = "127.0.0.2";  // registered for every slot: the proxy's
constexpr int kIntervalMs = 50;
constexpr int kInRangeMs = 500;
constexpr int kCarSilenceMs = 1500;  // the console counts a lap after 1 s
constexpr long long kConsoleSilenceUs = 1'000'000;
constexpr int kLapMs = kInRangeMs + kCarSilenceMs;

double EnvNumber(const char* name, double fallback) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0' ? std::atof(v) : fallback;
}

long long NowUs() {
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// Resident set size of this process in kB.
long long RssKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(1 << 20, '\n');
    }
    return -1;
}

// Children end with this process, also when it dies halfway (a sanitizer stop, a timeout):
// a proxy or car left behind would hold the ports of the next run.
void DieWithParent(QProcess& p) {
    p.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

struct CarRun {
    int exitCode = -1;
    int laps = -1;
    long long sent = -1, replies = -1;
    QString errors;
};

CarRun ReadCarRun(const QString& outputFile, QProcess& p) {
    CarRun r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.errors = QString::fromUtf8(p.readAllStandardError());
    QFile f(outputFile);
    if (!f.open(QIODevice::ReadOnly)) return r;
    static const QRegularExpression summary(R"(^summary sent=(\d+) replies=(\d+) laps=(\d+)$)");
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (auto m = summary.match(line); m.hasMatch()) {
            r.sent = m.captured(1).toLongLong();
            r.replies = m.captured(2).toLongLong();
            r.laps = m.captured(3).toInt();
        }
    }
    return r;
}

// "proxy c2h slot=0 received=.. delivered=.. dropped=.. duplicated=.. reordered=.."
struct StreamCounts {
    long long received = 0, delivered = 0, dropped = 0, duplicated = 0, reordered = 0;
};

std::map<std::pair<QString, int>, StreamCounts> ReadProxySummary(const QString& text) {
    std::map<std::pair<QString, int>, StreamCounts> out;
    static const QRegularExpression line(
        R"(^proxy (c2h|h2c) slot=(\d) received=(\d+) delivered=(\d+) dropped=(\d+) )"
        R"(duplicated=(\d+) reordered=(\d+)$)");
    for (const QString& l : text.split('\n', Qt::SkipEmptyParts)) {
        if (auto m = line.match(l); m.hasMatch()) {
            out[{m.captured(1), m.captured(2).toInt()}] = {
                m.captured(3).toLongLong(), m.captured(4).toLongLong(), m.captured(5).toLongLong(),
                m.captured(6).toLongLong(), m.captured(7).toLongLong()};
        }
    }
    return out;
}

}  // namespace

class SoakRace : public QObject, private e2e::ConsoleRig {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QVERIFY(Start());
        QCOMPARE(console().clock.SilenceTicks, 1000);
    }

    void cleanupTestCase() { Stop(); }

    void threeCarsOnALossyNetwork() {
        const int seconds = static_cast<int>(EnvNumber("VELMORA_SOAK_SECONDS", 120));
        const auto seed = static_cast<unsigned long long>(EnvNumber("VELMORA_SOAK_SEED", 20261207));
        const double loss = EnvNumber("VELMORA_SOAK_LOSS", 0.03);
        const double dup = EnvNumber("VELMORA_SOAK_DUP", 0.02);
        const double reorder = EnvNumber("VELMORA_SOAK_REORDER", 0.03);
        // Under a sanitizer the proxy and the simulated cars are instrumented too and run several
        // times slower, so the gap between the proxy's clock reading and its send (the only
        // slack beyond the console's tick) grows with them; the console's arrival stamps do not.
        const double toleranceMs =
            EnvNumber("VELMORA_SOAK_TOLERANCE_MS", kUnderTsan || kUnderAsan ? 40 : 12);
        const int laps = std::max(3, seconds * 1000 / kLapMs - 1);
        qInfo("soak: %d s, %d laps per car, seed %llu, loss %.3f dup %.3f reorder %.3f", seconds,
              laps, seed, loss, dup, reorder);

        const Console& c = console();
        for (int s : kSlots) {
            app().dialogs().pushInputAnswer(kReplyAddress);
            QVERIFY(Click(SlotControlName("Btn_ClientNoSet", s)));
            QCOMPARE(c.st.panels[s].Lbl_IP.caption, std::string(kReplyAddress));
        }

        const QString proxyLog = FilePath("proxy.log");
        QProcess proxy;
        proxy.setProcessChannelMode(QProcess::SeparateChannels);
        DieWithParent(proxy);
        proxy.start(VELMORA_PROXY_PATH, {"--slots",         "0,1,2",
                                         "--reply-address", kReplyAddress,
                                         "--car-port-base", QString::number(kCarPortBase),
                                         "--seed",          QString::number(seed),
                                         "--loss",          QString::number(loss),
                                         "--dup",           QString::number(dup),
                                         "--reorder",       QString::number(reorder),
                                         "--hold-ms",       "150",
                                         "--max-faults",    QString::number(seconds * 2),
                                         "--max-seconds",   QString::number(seconds + 60),
                                         "--log",           proxyLog});
        QVERIFY(proxy.waitForStarted(5000));
        QVERIFY2(proxy.waitForReadyRead(5000), proxy.readAllStandardError().constData());
        QCOMPARE(proxy.readLine().trimmed(), QByteArray("proxy ready"));

        const long long startUs = NowUs();
        const auto wallStart = steady_clock::now();
        app().dialogs().clearRequests();
        QVERIFY(Click("Btn_Start"));
        // A port another program holds is the usual reason: say which.
        std::string told;
        for (const auto& r : app().dialogs().requests()) told += r.text + "\n";
        QVERIFY2(c.st.Measuring() && c.st.LastMeasuredSlot == 2, told.c_str());

        std::map<int, std::unique_ptr<QProcess>> cars;
        for (int s : kSlots) {
            auto p = std::make_unique<QProcess>();
            DieWithParent(*p);
            p->setStandardOutputFile(FilePath(QStringLiteral("car%1.out").arg(s)));
            p->start(VELMORA_CARSIM_PATH,
                     {"--slot", QString::number(s), "--host-port",
                      QString::number(kCarPortBase + 10 * s), "--silence-ms",
                      QString::number(kCarSilenceMs), "--in-range-ms", QString::number(kInRangeMs),
                      "--interval-ms", QString::number(kIntervalMs), "--laps",
                      QString::number(laps), "--max-seconds", QString::number(seconds + 40)});
            QVERIFY(p->waitForStarted(5000));
            cars[s] = std::move(p);
        }

        // Memory after the warm-up (grids, caches and the first renders in place), then at
        // the end of the race: the console runs on this thread while we wait.
        const auto warmUpEnd =
            steady_clock::now() + std::chrono::seconds(std::max(10, seconds / 6));
        bool allDriving = true;
        while (allDriving && steady_clock::now() < warmUpEnd) {
            QTest::qWait(200);
            for (auto& [s, p] : cars) allDriving = allDriving && p->state() == QProcess::Running;
        }
        const long long rssStartKb = RssKb();
        for (auto& [s, p] : cars) {
            QSignalSpy finished(p.get(), &QProcess::finished);
            QVERIFY(p->state() == QProcess::NotRunning || finished.wait((seconds + 45) * 1000));
        }
        QTest::qWait(300);  // replies still in the proxy's hold
        const long long rssEndKb = RssKb();
        const double raceSeconds =
            duration_cast<milliseconds>(steady_clock::now() - wallStart).count() / 1000.0;

        app().dialogs().pushMessageAnswer(MessageAnswer::Yes);
        QVERIFY(Click("Btn_Start"));
        QVERIFY(!c.st.Measuring());
        proxy.terminate();
        QVERIFY(proxy.waitForFinished(10000));
        const QString proxyOut = QString::fromUtf8(proxy.readAllStandardOutput());
        const auto counts = ReadProxySummary(proxyOut);

        // The run's tick 0 on this machine's monotonic clock, and the race played again.
        std::vector<TrafficRecord> traffic;
        std::string readError;
        QVERIFY2(
            ReadJournalTraffic(FilePath("VelmoraJournal.db").toStdString(), traffic, &readError),
            readError.c_str());
        long long tickZeroUs = -1;
        for (const TrafficRecord& t : traffic)
            if (t.kind == TrafficKind::Start) tickZeroUs = t.ns / 1000;
        QVERIFY(tickZeroUs >= startUs);
        // VELMORA_SOAK_KEEP_JOURNAL=FILE keeps the race's journal (for velmora-replay).
        if (const char* keep = std::getenv("VELMORA_SOAK_KEEP_JOURNAL"); keep && *keep) {
            QFile::remove(keep);
            QFile::remove(QString(keep) + "-wal");
            QFile::copy(FilePath("VelmoraJournal.db"), keep);
            QFile::copy(FilePath("VelmoraJournal.db-wal"), QString(keep) + "-wal");
        }
        const std::vector<ReplayedRun> replayed = ReplayTraffic(traffic);
        QVERIFY(!replayed.empty());
        std::map<std::pair<int, int>, std::int32_t> replayedRows;
        for (const ReplayedLap& l : replayed.back().laps) replayedRows[{l.slot, l.row}] = l.ticks;

        std::ifstream logIn(proxyLog.toStdString());
        std::vector<std::string> logErrors;
        const auto events = soak::ParseLog(logIn, &logErrors);
        for (const std::string& e : logErrors) qWarning("%s", e.c_str());
        QVERIFY(logErrors.empty());
        const auto reports = soak::Analyse(events, kConsoleSilenceUs);

        long long datagrams = 0, faults = 0, stale = 0, again = 0;
        double worstCarLapMs = 0, worstLogMs = 0;
        for (int s : kSlots) {
            const QString tag = QStringLiteral("slot %1").arg(s);
            const CarRun run = ReadCarRun(FilePath(QStringLiteral("car%1.out").arg(s)), *cars[s]);
            QVERIFY2(run.exitCode == 0 && run.errors.isEmpty(), qPrintable(tag + run.errors));
            QVERIFY2(run.laps == laps, qPrintable(tag));

            // The proxy's counts agree with what the car sent and received.
            const StreamCounts up = counts.at({"c2h", s});
            const StreamCounts down = counts.at({"h2c", s});
            QVERIFY2(up.received == run.sent, qPrintable(tag));
            QVERIFY2(down.delivered == run.replies,
                     qPrintable(tag + QStringLiteral(": proxy delivered %1 replies, the car got %2")
                                          .arg(down.delivered)
                                          .arg(run.replies)));
            datagrams += up.received + down.received;
            faults += up.dropped + up.duplicated + up.reordered + down.dropped + down.duplicated +
                      down.reordered;

            QVERIFY2(reports.count(s) == 1, qPrintable(tag));
            const soak::SlotReport& rep = reports.at(s);
            for (const std::string& problem : rep.problems)
                qWarning("%s: %s", qPrintable(tag), problem.c_str());
            QVERIFY2(rep.problems.empty(), qPrintable(tag + ": see the warnings above"));
            // Every datagram that reached the console was answered.
            QCOMPARE(rep.fromConsole, rep.toConsole);
            QCOMPARE(up.delivered, rep.toConsole);

            // Every lap driven has its row; a row opened after the last pass stays empty.
            QCOMPARE(rep.LastRow(), laps);
            const Grid& grid = c.st.panels[s].Spd_LapTime;
            QVERIFY2(grid.RowCount() == laps || grid.RowCount() == laps + 1,
                     qPrintable(tag + QStringLiteral(" rows %1").arg(grid.RowCount())));
            if (grid.RowCount() > laps) QVERIFY(grid.Cell(laps + 1, 4).empty());
            again += rep.RecordedAgain();
            double worstSlot = 0, worstLogSlot = 0;
            for (int row = 1; row <= laps; ++row) {
                const auto it = rep.timesRecorded.find(row);
                QVERIFY2(it != rep.timesRecorded.end(), qPrintable(tag + " row missing"));
                QVERIFY2(it->second == 1, qPrintable(tag + QStringLiteral(" row %1 recorded %2 "
                                                                          "times")
                                                               .arg(row)
                                                               .arg(it->second)));
                // The row holds the time between the datagrams that closed it and the row
                // before, and so the lap the car drove, give or take the first datagrams of
                // the two passes that the network lost or held.
                const double shown = std::atof(grid.Cell(row, 4).c_str());
                const double expected = rep.ExpectedRowMs(row, tickZeroUs);
                const double carLap = rep.CarLapMs(row, tickZeroUs);
                const auto again = replayedRows.find({s, row});
                QVERIFY2(again != replayedRows.end() &&
                             std::to_string(again->second) == grid.Cell(row, 4),
                         qPrintable(tag + QStringLiteral(" row %1: replayed %2, recorded %3")
                                              .arg(row)
                                              .arg(again == replayedRows.end() ? -1 : again->second)
                                              .arg(QString::fromStdString(grid.Cell(row, 4)))));
                QVERIFY2(std::abs(shown - expected) <= toleranceMs,
                         qPrintable(tag + QStringLiteral(" row %1: console %2 ms, log %3 ms")
                                              .arg(row)
                                              .arg(shown)
                                              .arg(expected)));
                QVERIFY2(std::abs(shown - carLap) <= toleranceMs + rep.PassShiftMs(row),
                         qPrintable(tag + QStringLiteral(" row %1: console %2 ms, car %3 ms")
                                              .arg(row)
                                              .arg(shown)
                                              .arg(carLap)));
                worstSlot = std::max(worstSlot, std::abs(shown - carLap));
                worstLogSlot = std::max(worstLogSlot, std::abs(shown - expected));
            }
            worstCarLapMs = std::max(worstCarLapMs, worstSlot);
            worstLogMs = std::max(worstLogMs, worstLogSlot);
            QString causes;
            for (const auto& [cause, n] : rep.staleByCause) {
                causes += QStringLiteral(" %1=%2").arg(soak::CauseName(cause)).arg(n);
                stale += n;
            }
            qInfo(
                "%s: %lld car datagrams (%lld lost, %lld duplicated, %lld reordered), "
                "%lld replies (%lld lost, %lld duplicated, %lld reordered); new-lap replies "
                "lost %zu; rows recorded a second time %d; furthest row from the car's lap "
                "%.1f ms; stale echoes answered without recording:%s",
                qPrintable(tag), up.received, up.dropped, up.duplicated, up.reordered,
                down.received, down.dropped, down.duplicated, down.reordered,
                rep.lostNewLaps.size(), rep.RecordedAgain(), worstSlot,
                causes.isEmpty() ? " none" : qPrintable(causes));
        }

        qInfo(
            "soak: %.1f s, %lld datagrams, %lld faults injected, %d laps, %lld rows recorded a "
            "second time, %lld stale echoes answered without recording, furthest row from the "
            "car's lap %.1f ms, from the proxy's log %.2f ms, every row replayed to the tick; "
            "RSS %lld kB after warm-up, %lld kB at the end (%+lld kB)",
            raceSeconds, datagrams, faults, laps * 3, again, stale, worstCarLapMs, worstLogMs,
            rssStartKb, rssEndKb, rssEndKb - rssStartKb);
        QCOMPARE(again, 0LL);
        QVERIFY(faults > 0);
        // ThreadSanitizer keeps its own history per thread and grows with it.
        const long long boundKb = kUnderTsan ? 64 * 1024 : 10 * 1024;
        QVERIFY2(kUnderAsan || (rssStartKb > 0 && rssEndKb - rssStartKb <= boundKb),
                 qPrintable(QStringLiteral("RSS grew by %1 kB").arg(rssEndKb - rssStartKb)));
    }
};

// QTEST_MAIN, with QtTest's watchdog (5 minutes per test function by default) stretched to
// the length of the race.
int main(int argc, char** argv) {
    const int seconds = static_cast<int>(EnvNumber("VELMORA_SOAK_SECONDS", 120));
    if (qEnvironmentVariableIsEmpty("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number((seconds + 120) * 1000));
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    SoakRace test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "soak_race_test.moc"
