// A rehearsal run without people: the console in-process and offscreen, two car slots set up
// through their buttons, a measurement started with Btn_Start, two simulated cars driving
// three laps each on loopback, and the laps, the ranking and what the cars were told
// compared afterwards; then a second run with a fresh car PC.
#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <chrono>
#include <map>
#include <vector>

#include "app/console_app.h"
#include "app/main_window.h"
#include "console_rig.h"
#include "core/time_format.h"
#include "core/window_state.h"

using namespace velmora;
using namespace std::chrono;

namespace {

constexpr int kLaps = 3;
constexpr int kToleranceMs = 50;

// What one simulated car printed.
struct CarRun {
    int exitCode = -1;
    std::vector<long long> lapMs;                // lap n=k → lapMs[k-1]
    std::vector<long long> passNs;               // pass n=k → passNs[k-1], steady clock
    std::vector<QString> flags;                  // every reply's flag
    std::vector<long long> blockLaps;            // lap count of every reply with a status block
    std::map<long long, long long> lastMsOfLap;  // status lap → last_ms, first seen
    long long sent = -1, replies = -1, laps = -1;
    QString output;
};

CarRun ParseCarOutput(const QString& text, int exitCode) {
    CarRun r;
    r.exitCode = exitCode;
    r.output = text;
    static const QRegularExpression lap(R"(^lap n=(\d+) ms=(\d+)$)");
    static const QRegularExpression pass(R"(^pass n=(\d+) t_ns=(\d+)$)");
    static const QRegularExpression reply(R"(^reply flag=(\S+)(?: lap=(\d+) last_ms=(\d+))?)");
    static const QRegularExpression summary(R"(^summary sent=(\d+) replies=(\d+) laps=(\d+)$)");
    for (const QString& line : text.split('\n', Qt::SkipEmptyParts)) {
        if (auto m = lap.match(line); m.hasMatch()) {
            r.lapMs.push_back(m.captured(2).toLongLong());
        } else if (auto p = pass.match(line); p.hasMatch()) {
            r.passNs.push_back(p.captured(2).toLongLong());
        } else if (auto y = reply.match(line); y.hasMatch()) {
            r.flags.push_back(y.captured(1));
            if (y.hasCaptured(2)) {
                const long long n = y.captured(2).toLongLong();
                r.blockLaps.push_back(n);
                r.lastMsOfLap.emplace(n, y.captured(3).toLongLong());
            }
        } else if (auto s = summary.match(line); s.hasMatch()) {
            r.sent = s.captured(1).toLongLong();
            r.replies = s.captured(2).toLongLong();
            r.laps = s.captured(3).toLongLong();
        }
    }
    return r;
}

QString Utf8(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

class RaceEndToEnd : public QObject, private e2e::ConsoleRig {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QVERIFY(Start());
        QCOMPARE(console().settings.SilenceSeconds, 1);
        QCOMPARE(console().clock.SilenceTicks, 1000);
    }

    void cleanupTestCase() { Stop(); }

    void twoCarsDriveThreeLapsEach() {
        const Console& c = console();
        const int carSlots[] = {0, 2};

        // Set-up through the idle panels' buttons; the input box is answered by the hook.
        for (int s : carSlots) {
            app().dialogs().pushInputAnswer("127.0.0.1");
            QVERIFY2(Click(SlotControlName("Btn_ClientNoSet", s)), "set-up button");
            QCOMPARE(c.st.panels[s].Lbl_IP.caption, std::string("127.0.0.1"));
        }
        QVERIFY(c.st.panels[1].Lbl_IP.caption.empty());

        const auto startNs =
            duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
        QVERIFY(Click("Btn_Start"));
        QVERIFY(c.st.Measuring());
        QCOMPARE(c.st.LastMeasuredSlot, std::int16_t{1});

        std::map<int, std::unique_ptr<QProcess>> cars;
        for (int s : carSlots) {
            auto p = std::make_unique<QProcess>();
            p->setProcessChannelMode(QProcess::SeparateChannels);
            p->start(VELMORA_CARSIM_PATH,
                     {"--slot", QString::number(s), "--silence-ms", "1500", "--in-range-ms", "500",
                      "--interval-ms", "50", "--laps", QString::number(kLaps), "--max-seconds",
                      "30", "--text", "ピット"});
            cars[s] = std::move(p);
        }
        for (auto& [s, p] : cars) QVERIFY2(p->waitForStarted(5000), "carsim did not start");
        // The console runs on this thread: spin its event loop while the cars drive.
        for (auto& [s, p] : cars) {
            QSignalSpy finished(p.get(), &QProcess::finished);
            QVERIFY(p->state() == QProcess::NotRunning || finished.wait(25000));
        }
        QVERIFY(app().sync());  // the window shows the last datagrams

        std::map<int, CarRun> runs;
        for (auto& [s, p] : cars) {
            runs[s] = ParseCarOutput(QString::fromUtf8(p->readAllStandardOutput()), p->exitCode());
            const QByteArray err = p->readAllStandardError();
            QVERIFY2(err.isEmpty(), err.constData());
        }

        for (int s : carSlots) {
            const CarRun& run = runs[s];
            const QByteArray context =
                QStringLiteral("slot %1:\n%2").arg(s).arg(run.output).toUtf8();
            QVERIFY2(run.exitCode == 0, context);
            // Every datagram got exactly one reply.
            QVERIFY2(run.sent > 0 && run.sent == run.replies, context);
            QVERIFY2(run.laps == kLaps && run.lapMs.size() == kLaps, context);
            QVERIFY2(run.passNs.size() == kLaps + 1, context);
            // Only "N": nobody corrected a count. The status blocks count 1, 2, 3 in order,
            // and nothing before the first lap (the first measurement since start-up).
            for (const QString& f : run.flags) QVERIFY2(f == "N", context);
            QVERIFY2(!run.blockLaps.empty() && run.blockLaps.size() < run.flags.size(), context);
            QVERIFY2(std::is_sorted(run.blockLaps.begin(), run.blockLaps.end()), context);
            QVERIFY2(run.blockLaps.front() == 1 && run.blockLaps.back() == kLaps, context);
            QVERIFY2(run.lastMsOfLap.size() == kLaps, context);

            // The lap rows: three timed, perhaps a fourth opened by the silence since the
            // car went quiet, never more.
            const Grid& grid = c.st.panels[s].Spd_LapTime;
            QVERIFY2(grid.RowCount() == kLaps || grid.RowCount() == kLaps + 1, context);
            if (grid.RowCount() > kLaps) QVERIFY(grid.Cell(kLaps + 1, 4).empty());
            long long best = 0;
            int bestRow = 0;
            for (int k = 1; k <= kLaps; ++k) {
                const long long ticks = std::stoll(grid.Cell(k, 4));
                // Lap 1 runs from Start, the car's first lap from its own first datagram.
                long long expected = run.lapMs[k - 1];
                if (k == 1) expected += (run.passNs[0] - startNs) / 1'000'000;
                qInfo("slot %d lap %d: console %lld ms, car %lld ms", s, k, ticks, expected);
                QVERIFY2(std::llabs(ticks - expected) <= kToleranceMs,
                         qPrintable(QStringLiteral("slot %1 lap %2: console %3 ms, car %4 ms")
                                        .arg(s)
                                        .arg(k)
                                        .arg(ticks)
                                        .arg(expected)));
                QCOMPARE(Utf8(grid.Cell(k, 1)),
                         Utf8(FormatLapTime(static_cast<int>(ticks), c.clock)));
                // The car was told exactly the time the console recorded.
                QCOMPARE(run.lastMsOfLap.at(k), ticks);
                if (bestRow == 0 || ticks < best) best = ticks, bestRow = k;
            }
            QCOMPARE(c.st.runners[s].BestLapNo, bestRow);
            QCOMPARE(Utf8(c.st.runners[s].BestLapText),
                     Utf8(FormatLapTime(static_cast<int>(best), c.clock)));
            QCOMPARE(LabelText(SlotControlName("Lbl_LapCnt", s)), QStringLiteral("4周目"));
        }

        // Ranking: both cars on lap 4 at their last message; the faster best lap first, the
        // lower slot on a tie. Slot 1 is not measured, so the third row is hidden.
        const RunnerState& r0 = c.st.runners[0];
        const RunnerState& r2 = c.st.runners[2];
        const bool firstIsSlot0 = r0.BestLapText <= r2.BestLapText;
        const int order[] = {firstIsSlot0 ? 0 : 2, firstIsSlot0 ? 2 : 0};
        for (int row = 0; row < 2; ++row) {
            const RunnerState& r = c.st.runners[order[row]];
            QCOMPARE(LabelText(SlotControlName("Lbl_Sort_LAP", row)), QStringLiteral("4"));
            QCOMPARE(LabelText(SlotControlName("Lbl_BestTime", row)), Utf8(r.BestLapText));
            QCOMPARE(LabelText(SlotControlName("Lbl_BestLAP", row)), QString::number(r.BestLapNo));
            QVERIFY(Find<QLabel>(SlotControlName("Lbl_Sort_No", row))->isVisible());
        }
        QVERIFY(!Find<QLabel>(SlotControlName("Lbl_Sort_No", 2))->isVisible());
        QVERIFY(!Find<QLabel>(SlotControlName("Lbl_Jyuni", 2))->isVisible());

        // Stop, confirmed through the hook; the presence responder answers again.
        app().dialogs().pushMessageAnswer(MessageAnswer::Yes);
        QVERIFY(Click("Btn_Start"));
        QVERIFY(!c.st.Measuring());
        QProcess presence;
        presence.start(VELMORA_CARSIM_PATH, {"--presence", "127.0.0.1", "--timeout-ms", "3000"});
        QVERIFY(presence.waitForStarted(5000));
        QSignalSpy done(&presence, &QProcess::finished);
        QVERIFY(presence.state() == QProcess::NotRunning || done.wait(10000));
        QCOMPARE(presence.exitCode(), 0);
        // Slots 0 and 2 share the address: the lower car number answers.
        QCOMPARE(QString::fromUtf8(presence.readAllStandardOutput()),
                 QStringLiteral("presence reply=\"１号車\"\n"));
    }

    // The same cars again in a second run, as in a rehearsal: a fresh car PC starts at "000",
    // the console has no status block for it yet, and lap 1 is timed from the second Start.
    // Nothing of the first run (its last count, its best lap) may come back as a lap.
    void aSecondRunStartsClean() {
        const Console& c = console();
        const auto startNs =
            duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
        QVERIFY(Click("Btn_Start"));
        QVERIFY(c.st.Measuring());
        constexpr int kSecondRunLaps = 2;
        QProcess car;
        car.start(VELMORA_CARSIM_PATH,
                  {"--slot", "0", "--silence-ms", "1500", "--in-range-ms", "500", "--interval-ms",
                   "50", "--laps", QString::number(kSecondRunLaps), "--max-seconds", "30"});
        QVERIFY(car.waitForStarted(5000));
        QSignalSpy finished(&car, &QProcess::finished);
        QVERIFY(car.state() == QProcess::NotRunning || finished.wait(25000));
        QVERIFY(app().sync());
        const CarRun run =
            ParseCarOutput(QString::fromUtf8(car.readAllStandardOutput()), car.exitCode());
        const QByteArray context = run.output.toUtf8();
        QVERIFY2(run.exitCode == 0 && run.sent == run.replies, context);
        // The first pass is answered without a status block; then 1, 2 in order.
        QVERIFY2(run.blockLaps.size() < run.flags.size(), context);
        QVERIFY2(!run.blockLaps.empty() && run.blockLaps.front() == 1, context);
        QVERIFY2(run.blockLaps.back() == kSecondRunLaps, context);
        const Grid& grid = c.st.panels[0].Spd_LapTime;
        QVERIFY2(grid.RowCount() == kSecondRunLaps || grid.RowCount() == kSecondRunLaps + 1,
                 context);
        for (int k = 1; k <= kSecondRunLaps; ++k) {
            long long expected = run.lapMs[k - 1];
            if (k == 1) expected += (run.passNs[0] - startNs) / 1'000'000;
            const long long ticks = std::stoll(grid.Cell(k, 4));
            QVERIFY2(std::llabs(ticks - expected) <= kToleranceMs,
                     qPrintable(QStringLiteral("second run lap %1: console %2 ms, car %3 ms")
                                    .arg(k)
                                    .arg(ticks)
                                    .arg(expected)));
        }
        app().dialogs().pushMessageAnswer(MessageAnswer::Yes);
        QVERIFY(Click("Btn_Start"));
    }
};

QTEST_MAIN(RaceEndToEnd)
#include "race_e2e_test.moc"
