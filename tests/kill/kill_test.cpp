// The race journal proved by killing the console: the real console (velmora-kill-console, a
// ConsoleApp offscreen) measures three simulated cars (velmora-carsim) on loopback and is
// killed with SIGKILL again and again, at chosen points of the lap cycle: right after a car
// was told a new lap, with a car in range, with a car away. Each time it is started again and
// answers Yes to the resume question. After each restart the restored state must hold every
// lap a car was told, with the time it was told, and a lap count no lower than that; the
// measurement must be running (sockets bound, presence responder silent, ranking shown). At
// the end every lap is compared with the simulator's own time, including the laps that ran
// while the console was down, and the results file must hold every lap.
//
// The cars are staggered so that one car's pass comes every "slot"; the slot is sized from
// a first measured restart, so a car is never due back while the console is down. A lap
// whose pass came during a downtime anyway (a machine much slower than the first restart
// showed) cannot be timed by anybody: it is counted and excused, never silently passed.
//
// Knobs (environment): VELMORA_KILL_COUNT (20), VELMORA_KILL_SEED (1207).
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "core/encoding.h"
#include "core/text_rules.h"
#include "core/tick_clock.h"
#include "core/time_format.h"
#include "line_process.h"

namespace {

constexpr int kCars = 3;
constexpr int kToleranceMs = 50;
constexpr int kInRangeMs = 300;
constexpr int kIntervalMs = 50;
// After the kill, the replies the dead console sent are still on their way through the cars'
// sockets and output pipes.
constexpr int kDrainMs = 30;

int EnvInt(const char* name, int fallback) {
    const QByteArray v = qgetenv(name);
    bool ok = false;
    const int n = v.toInt(&ok);
    return ok && n > 0 ? n : fallback;
}

using velmora::kill_test::LineProcess;
using velmora::kill_test::NowNs;

// What one simulated car printed.
struct Car {
    std::vector<long long> passNs;    // pass n → passNs[n-1]
    std::vector<long long> lapMs;     // lap n → lapMs[n-1]
    std::map<int, long long> toldMs;  // lap count of a status block → its last_ms
    std::map<int, int> toldAtPass;    // lap count → the pass in which the car first got it
    int told = 0;                     // highest lap count received
    long long toldAtNs = 0;           // when `told` rose last
    bool finished = false;
    int exitCode = -1;
    QString err;
};

// The console's dump: the restored state, printed before any datagram was handled.
struct Dump {
    bool measuring = false, presence = true;
    int rankingRows = 0;
    struct Slot {
        bool bound = false, away = false;
        int lapCount = -1, rows = -1;
        std::map<int, std::pair<QString, QString>> laps;  // n → ticks, text
    };
    std::map<int, Slot> cars;
};

}  // namespace

class KillTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    std::unique_ptr<LineProcess> console_;
    bool ready_ = false, resumed_ = false, dumpDone_ = false;
    Dump dump_;
    QStringList replies_;  // "done …" / "failed …" lines of the commands
    std::vector<std::unique_ptr<LineProcess>> carProcs_;
    Car cars_[kCars];
    std::vector<std::pair<long long, long long>> downtimes_;  // kill → ready, steady ns

    static void Spin(int ms) { QTest::qWait(ms); }

    bool WaitFor(const std::function<bool()>& done, int ms) {
        const long long end = NowNs() + ms * 1'000'000LL;
        while (!done()) {
            if (NowNs() > end) return false;
            Spin(1);
        }
        return true;
    }

    void ParseConsoleLine(const QString& line) {
        static const QRegularExpression head(
            R"(^dump measuring=(\d) clock=(\d) presence=(\d) tick=(-?\d+) ranking_rows=(\d))");
        static const QRegularExpression slot(
            R"(^dump slot=(\d) bound=(\d) timer=(\d) lapcount=(\d+) away=(\d) rows=(\d+))");
        static const QRegularExpression row(
            R"(^dump row slot=(\d) n=(\d+) ticks=(\S*) text=(.*)$)");
        if (line.startsWith("ready ")) {
            ready_ = true;
            resumed_ = line == "ready resumed=1";
            dump_ = Dump{};
            dumpDone_ = false;
        } else if (auto m = head.match(line); m.hasMatch()) {
            dump_.measuring = m.captured(1) == "1" && m.captured(2) == "1";
            dump_.presence = m.captured(3) == "1";
            dump_.rankingRows = m.captured(5).toInt();
        } else if (auto s = slot.match(line); s.hasMatch()) {
            Dump::Slot& d = dump_.cars[s.captured(1).toInt()];
            d.bound = s.captured(2) == "1" && s.captured(3) == "1";
            d.lapCount = s.captured(4).toInt();
            d.away = s.captured(5) == "1";
            d.rows = s.captured(6).toInt();
        } else if (auto r = row.match(line); r.hasMatch()) {
            dump_.cars[r.captured(1).toInt()].laps[r.captured(2).toInt()] = {r.captured(3),
                                                                             r.captured(4)};
        } else if (line == "dump end") {
            dumpDone_ = true;
        } else if (line.startsWith("done ") || line.startsWith("failed ")) {
            replies_ << line;
        }
    }

    void ParseCarLine(int i, const QString& line) {
        static const QRegularExpression lap(R"(^lap n=(\d+) ms=(\d+)$)");
        static const QRegularExpression pass(R"(^pass n=(\d+) t_ns=(\d+)$)");
        static const QRegularExpression reply(R"(^reply flag=\S+ lap=(\d+) last_ms=(\d+))");
        Car& c = cars_[i];
        if (qEnvironmentVariableIsSet("VELMORA_KILL_DEBUG"))
            qInfo("car %d: %s", i, qPrintable(line));
        if (auto m = lap.match(line); m.hasMatch()) {
            c.lapMs.push_back(m.captured(2).toLongLong());
        } else if (auto p = pass.match(line); p.hasMatch()) {
            c.passNs.push_back(p.captured(2).toLongLong());
        } else if (auto y = reply.match(line); y.hasMatch()) {
            const int n = y.captured(1).toInt();
            c.toldMs.emplace(n, y.captured(2).toLongLong());
            c.toldAtPass.emplace(n, static_cast<int>(c.passNs.size()));
            if (n > c.told) {
                c.told = n;
                c.toldAtNs = NowNs();
            }
        }
    }

    // Starts the console; true once it is ready and has dumped its state.
    bool StartConsole() {
        console_ = std::make_unique<LineProcess>();
        console_->onLine = [this](const QString& l) { ParseConsoleLine(l); };
        ready_ = dumpDone_ = false;
        console_->p.start(VELMORA_KILL_CONSOLE_PATH, {"--folder", dir_.path(), "--answer", "yes"});
        return console_->p.waitForStarted(10000) && WaitFor([this] { return dumpDone_; }, 30000);
    }

    bool Command(const QString& line) {
        const qsizetype before = replies_.size();
        console_->p.write((line + "\n").toUtf8());
        if (!WaitFor([&] { return replies_.size() > before; }, 10000)) return false;
        return replies_.back() == "done " + line;
    }

    // SIGKILL, then a restart answered Yes; the downtime is recorded. `told` gets what each
    // car had been told by the console that was killed: its last replies are read first.
    bool KillAndRestart(long long& downNs, int told[kCars]) {
        const long long killedAt = NowNs();
        console_->p.kill();
        console_->p.waitForFinished(5000);
        Spin(kDrainMs);
        for (int i = 0; i < kCars; ++i) told[i] = cars_[i].told;
        const bool ok = StartConsole();
        downNs = NowNs() - killedAt;
        downtimes_.emplace_back(killedAt, NowNs());
        return ok;
    }

    // The restored state against what each car had been told before the kill.
    void CheckRestored(const int toldBefore[kCars], int kill) {
        const QString where = QStringLiteral("after kill %1: ").arg(kill);
        QVERIFY2(resumed_, qPrintable(where + "the resume question was not answered Yes"));
        QVERIFY2(dump_.measuring, qPrintable(where + "not measuring (Btn_Start, tick clock)"));
        QVERIFY2(!dump_.presence, qPrintable(where + "presence responder bound"));
        QVERIFY2(dump_.rankingRows == kCars, qPrintable(where + "ranking rows hidden"));
        for (int i = 0; i < kCars; ++i) {
            const Dump::Slot& d = dump_.cars[i];
            const QString car = where + QStringLiteral("car %1: ").arg(i);
            QVERIFY2(d.bound, qPrintable(car + "socket not bound or lap clock not running"));
            QVERIFY2(d.rows == d.lapCount, qPrintable(car + "rows differ from LapCount"));
            // Never less than the car was told; one more when a lap was journaled and the
            // kill came before its reply, or the silence step had opened the next lap.
            QVERIFY2(
                d.lapCount >= toldBefore[i] && d.lapCount <= toldBefore[i] + 1,
                qPrintable(
                    car +
                    QStringLiteral("LapCount %1, told %2").arg(d.lapCount).arg(toldBefore[i])));
            for (int n = 1; n <= toldBefore[i]; ++n) {
                const long long ms = cars_[i].toldMs.at(n);
                const auto& [ticks, text] = d.laps.at(n);
                QVERIFY2(ticks == QString::number(ms) &&
                             text == QString::fromStdString(velmora::FormatLapTime(
                                         static_cast<std::int32_t>(ms), velmora::ClockParams{})),
                         qPrintable(car + QStringLiteral("lap %1 is %2 %3, the car was told %4")
                                              .arg(n)
                                              .arg(ticks, text)
                                              .arg(ms)));
            }
        }
    }

    bool InDowntime(long long ns) const {
        for (const auto& [from, to] : downtimes_)
            if (ns >= from && ns <= to) return true;
        return false;
    }
  private slots:
    void killedConsoleKeepsEveryLap() {
        QVERIFY(dir_.isValid());
        const int kills = EnvInt("VELMORA_KILL_COUNT", 20);
        std::mt19937 rng(static_cast<unsigned>(EnvInt("VELMORA_KILL_SEED", 1207)));
        {
            // A first-run settings file, except for a one-second silence.
            std::string bytes;
            for (const char* l : {"[計測環境設定]", "計測精度=1/1000", "ラップ加算無通信秒数= 1"})
                bytes += velmora::Utf8ToCp932(l) + "\r\n";
            QFile f(dir_.filePath("Velmora.ini"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes.data(), static_cast<qint64>(bytes.size()));
        }

        QVERIFY(StartConsole());
        QVERIFY(!resumed_);
        for (int i = 0; i < kCars; ++i)
            QVERIFY(Command(QStringLiteral("setup %1 127.0.0.1").arg(i)));
        QVERIFY(Command("start"));

        // A first kill before the cars run measures how long a restart takes here.
        long long downNs = 0;
        int toldBefore[kCars];
        QVERIFY(KillAndRestart(downNs, toldBefore));
        CheckRestored(toldBefore, 0);
        long long worstDownNs = downNs;
        // Room for a restart twice as slow as the first between two cars' passes: restarts
        // vary with the machine's load, and a kill that would not be back in time is skipped.
        const long long slotMs = std::max<long long>(1200, downNs * 2 / 1'000'000 + 600);
        const long long cycleMs = 3 * slotMs;
        // A pass where a kill does not fit (the reply came late, the console would not be back
        // before the next car) is skipped: room for a few of those.
        const int laps = static_cast<int>((kills + 2) / 3 + 5);
        qInfo("restart took %lld ms: one pass every %lld ms, a %lld ms lap, %d laps per car",
              downNs / 1'000'000, slotMs, cycleMs, laps);

        for (int i = 0; i < kCars; ++i) {
            auto car = std::make_unique<LineProcess>();
            car->onLine = [this, i](const QString& l) { ParseCarLine(i, l); };
            const long long silence = cycleMs - (kInRangeMs - kIntervalMs);
            car->p.start(
                VELMORA_CARSIM_PATH,
                {"--slot", QString::number(i), "--in-range-ms", QString::number(kInRangeMs),
                 "--interval-ms", QString::number(kIntervalMs), "--silence-ms",
                 QString::number(silence), "--laps", QString::number(laps), "--max-seconds",
                 QString::number(laps * cycleMs / 1000 + 60)});
            QVERIFY(car->p.waitForStarted(5000));
            QObject::connect(&car->p, &QProcess::finished, [this, i](int code) {
                cars_[i].finished = true;
                cars_[i].exitCode = code;
            });
            carProcs_.push_back(std::move(car));
            if (i + 1 < kCars) Spin(static_cast<int>(slotMs));
        }

        // One kill per pass, if it fits: the kind rotates, the moment within it is random.
        int done = 0;
        std::size_t seenPasses[kCars] = {0, 0, 0};
        const char* kinds[] = {"right after a lap", "car in range", "car away"};
        while (done < kills) {
            // The next pass of any car.
            int car = -1;
            QVERIFY2(WaitFor(
                         [&] {
                             for (int i = 0; i < kCars; ++i)
                                 if (cars_[i].passNs.size() > seenPasses[i]) car = i;
                             return car >= 0;
                         },
                         static_cast<int>(cycleMs * 3)),
                     "no pass came");
            seenPasses[car] = cars_[car].passNs.size();
            if (cars_[car].finished || cars_[car].passNs.size() > static_cast<std::size_t>(laps))
                break;  // the last pass only closes the last lap
            const long long passNs = cars_[car].passNs.back();
            const int kind = done % 3;
            long long killAtNs = 0;
            if (kind == 0) {
                // The car's reply with its new count, if this pass closes a lap.
                // It comes once the lap is on the disk: a sync on a busy disk can take a while.
                if (!WaitFor([&] { return cars_[car].toldAtNs >= passNs; }, 400)) continue;
                killAtNs = NowNs();
            } else if (kind == 1) {
                killAtNs =
                    passNs + (50 + std::uniform_int_distribution<int>(0, 150)(rng)) * 1'000'000LL;
            } else {
                killAtNs =
                    passNs + (kInRangeMs + 50 + std::uniform_int_distribution<int>(0, 200)(rng)) *
                                 1'000'000LL;
            }
            // The console must be back before the next car's pass.
            const long long nextPassNs = passNs + slotMs * 1'000'000LL;
            if (killAtNs + worstDownNs * 5 / 4 + 100'000'000LL > nextPassNs) continue;
            WaitFor([&] { return NowNs() >= killAtNs; }, 5000);
            QVERIFY(KillAndRestart(downNs, toldBefore));
            worstDownNs = std::max(worstDownNs, downNs);
            ++done;
            qInfo("kill %d (%s, car %d): down %lld ms", done, kinds[kind], car, downNs / 1'000'000);
            CheckRestored(toldBefore, done);
            if (QTest::currentTestFailed()) return;
        }
        QVERIFY2(done >= kills, qPrintable(QStringLiteral("only %1 kills").arg(done)));

        // The cars drive their last laps; then every lap is compared with the simulator's.
        for (int i = 0; i < kCars; ++i)
            QVERIFY2(
                WaitFor([&] { return cars_[i].finished; }, static_cast<int>(cycleMs * (laps + 2))),
                "a car did not finish");
        Spin(200);
        dumpDone_ = false;
        QVERIFY(Command("dump") && WaitFor([this] { return dumpDone_; }, 5000));
        int excused = 0, checked = 0;
        std::vector<std::pair<long long, long long>> compared;  // passes around a compared lap
        for (int i = 0; i < kCars; ++i) {
            Car& c = cars_[i];
            c.err =
                QString::fromUtf8(carProcs_[static_cast<std::size_t>(i)]->p.readAllStandardError());
            QVERIFY2(c.exitCode == 0 && c.err.isEmpty(), qPrintable(c.err));
            QCOMPARE(static_cast<int>(c.passNs.size()), laps + 1);
            const Dump::Slot& d = dump_.cars[i];
            const QString car = QStringLiteral("car %1 ").arg(i);
            // The last pass closed a lap, and the car was told every row there is.
            QVERIFY2(c.toldAtPass.at(c.told) == laps + 1, qPrintable(car + "last pass"));
            QVERIFY(d.rows >= c.told);
            for (int n = 1; n <= c.told; ++n) {
                const long long ticks = d.laps.at(n).first.toLongLong();
                QCOMPARE(c.toldMs.at(n), ticks);
                // Lap 1 runs from Start; every later row from the pass that closed the one
                // before it to the next pass: one pass, one lap, none lost or merged.
                if (n == 1) continue;
                const int pass = c.toldAtPass.at(n);
                QVERIFY2(
                    pass == c.toldAtPass.at(n - 1) + 1,
                    qPrintable(car + QStringLiteral("lap %1 closed at pass %2").arg(n).arg(pass)));
                const long long from = c.passNs[static_cast<std::size_t>(pass - 2)];
                const long long to = c.passNs[static_cast<std::size_t>(pass - 1)];
                const long long carMs = c.lapMs[static_cast<std::size_t>(pass - 2)];
                if (InDowntime(from) || InDowntime(to)) {
                    ++excused;  // the car came back while no console could hear it
                    qInfo("car %d lap %d: pass during a downtime, not timed", i, n);
                    continue;
                }
                QVERIFY2(std::llabs(ticks - carMs) <= kToleranceMs,
                         qPrintable(car + QStringLiteral("lap %1: console %2 ms, car %3 ms")
                                              .arg(n)
                                              .arg(ticks)
                                              .arg(carMs)));
                ++checked;
                compared.emplace_back(from, to);
            }
        }
        // Every kill during the race fell inside at least one compared lap: a car was out on
        // the course while the console was down, and its lap was timed right.
        int spanned = 0;
        for (std::size_t k = 1; k < downtimes_.size(); ++k) {
            const bool inside = std::any_of(compared.begin(), compared.end(), [&](const auto& lap) {
                return lap.first < downtimes_[k].first && downtimes_[k].second < lap.second;
            });
            spanned += inside;
            if (!inside) {
                for (int i = 0; i < kCars; ++i) {
                    QString passes;
                    for (long long p : cars_[i].passNs)
                        passes += QString::number((p - downtimes_[k].first) / 1'000'000) + " ";
                    qInfo("kill %zu not inside a compared lap: car %d passes (ms from it) %s", k, i,
                          qPrintable(passes));
                }
            }
        }
        qInfo("%d kills; %d laps compared (%d kills inside one); %d not timed", done, checked,
              spanned, excused);
        QVERIFY2(spanned == done, "a kill that no compared lap ran across");
        QVERIFY2(excused * 4 <= done, "too many passes fell into a downtime");

        // Stop, save: the results file holds every lap with the time the car was told.
        QVERIFY(Command("stop"));
        const QString results = dir_.filePath("results.txt");
        QVERIFY(Command("save " + results));
        QFile f(results);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray raw = f.readAll();
        const QString text = QString::fromStdString(velmora::Cp932ToUtf8(raw.toStdString()));
        for (int i = 0; i < kCars; ++i) {
            const qsizetype from = text.indexOf(QString::fromStdString(velmora::CarLabel(i)));
            const qsizetype next =
                i + 1 < kCars ? text.indexOf(QString::fromStdString(velmora::CarLabel(i + 1)))
                              : text.size();
            QVERIFY(from >= 0 && next > from);
            const QString block = text.mid(from, next - from);
            for (int n = 1; n <= cars_[i].told; ++n) {
                const QString line = QStringLiteral("\r\n%1,%2,")
                                         .arg(n)
                                         .arg(QString::fromStdString(velmora::FormatLapTime(
                                             static_cast<std::int32_t>(cars_[i].toldMs.at(n)),
                                             velmora::ClockParams{})));
                QVERIFY2(block.contains(line), qPrintable(line));
            }
        }
        QVERIFY(Command("end"));
        QVERIFY(console_->p.waitForFinished(10000));
        QCOMPARE(console_->p.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(KillTest)
#include "kill_test.moc"
