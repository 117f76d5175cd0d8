// Saving the results in the middle of a run, end to end: two simulated cars drive on
// loopback while the crew presses 走行結果保存 and the real save dialog stays open for a
// second. Every datagram still gets its reply, every lap is recorded, the file holds the
// laps timed up to that moment, and a second save after the run holds them all.
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <map>

#include "console_rig.h"
#include "core/encoding.h"
#include "core/text_rules.h"
#include "core/window_state.h"

using namespace velmora;

namespace {

constexpr int kLaps = 3;
constexpr int kToleranceMs = 50;

struct CarRun {
    std::vector<long long> lapMs;
    long long sent = -1, replies = -1, laps = -1;
    QString output;
};

CarRun ParseCarOutput(const QString& text) {
    CarRun r;
    r.output = text;
    static const QRegularExpression lap(R"(^lap n=(\d+) ms=(\d+)$)");
    static const QRegularExpression summary(R"(^summary sent=(\d+) replies=(\d+) laps=(\d+)$)");
    for (const QString& line : text.split('\n', Qt::SkipEmptyParts)) {
        if (auto m = lap.match(line); m.hasMatch()) r.lapMs.push_back(m.captured(2).toLongLong());
        if (auto s = summary.match(line); s.hasMatch()) {
            r.sent = s.captured(1).toLongLong();
            r.replies = s.captured(2).toLongLong();
            r.laps = s.captured(3).toLongLong();
        }
    }
    return r;
}

// Lap lines of one car's block in a results file (after "１号車", lines like 1,0'02"010,…).
int LapLines(const QString& file, const QString& car) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray b = f.readAll();
    const QString text = QString::fromStdString(Cp932ToUtf8(std::string(b.constData(), b.size())));
    const QStringList lines = text.split("\r\n");
    const qsizetype at = lines.indexOf(car);
    if (at < 0) return -1;
    // Not a raw string: moc would lose its way in the quotes of one.
    static const QRegularExpression lapLine("^\\d+,\\d+'\\d\\d\"\\d+,");
    int n = 0;
    for (qsizetype k = at + 3; k < lines.size() && lines[k] != QString(40, '-'); ++k)
        if (lapLine.match(lines[k]).hasMatch()) ++n;
    return n;
}

int TimedRows(const Grid& g) {
    int n = 0;
    for (int r = 1; r <= g.RowCount(); ++r) n += g.Cell(r, 4).empty() ? 0 : 1;
    return n;
}

}  // namespace

class SaveDuringRunEndToEnd : public QObject, private e2e::ConsoleRig {
    Q_OBJECT

  private slots:
    void initTestCase() { QVERIFY(Start()); }
    void cleanupTestCase() { Stop(); }

    void aSaveWithTheDialogOpenLosesNoDatagramAndNoLap() {
        const Console& c = console();
        const int carSlots[] = {0, 2};
        for (int s : carSlots) {
            app().dialogs().pushInputAnswer("127.0.0.1");
            QVERIFY(Click(SlotControlName("Btn_ClientNoSet", s)));
        }
        QVERIFY(Click("Btn_Start"));
        QVERIFY(c.st.Measuring());

        std::map<int, std::unique_ptr<QProcess>> cars;
        for (int s : carSlots) {
            auto p = std::make_unique<QProcess>();
            p->start(VELMORA_CARSIM_PATH,
                     {"--slot", QString::number(s), "--silence-ms", "1500", "--in-range-ms", "500",
                      "--interval-ms", "50", "--laps", QString::number(kLaps), "--max-seconds",
                      "30", "--quiet"});
            QVERIFY(p->waitForStarted(5000));
            cars[s] = std::move(p);
        }

        // Into the second lap, the crew saves; the dialog stays open a second while the cars
        // keep sending, then a name is typed without extension.
        QTest::qWait(2800);
        const QString during = FilePath("during");
        app().dialogs().setNonInteractive(false);
        int rowsWhenClosed[3] = {};
        bool dialogSeen = false;
        // The dialog opens once the console has caught up with the clicks before it.
        QTimer finder;
        finder.setInterval(20);
        QObject::connect(&finder, &QTimer::timeout, [&] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (d == nullptr) return;
            finder.stop();
            dialogSeen = true;
            QTimer::singleShot(1000, d, [&, d] {
                for (int s : carSlots) rowsWhenClosed[s] = TimedRows(c.st.panels[s].Spd_LapTime);
                d->findChild<QLineEdit*>("fileNameEdit")->setText(during);
                d->findChild<QDialogButtonBox*>("buttonBox")
                    ->button(QDialogButtonBox::Save)
                    ->click();
            });
        });
        finder.start();
        QVERIFY(Click("Btn_Write"));  // returns once the file is written
        app().dialogs().setNonInteractive(true);
        QVERIFY(dialogSeen);
        QVERIFY(c.st.Measuring());
        for (int s : carSlots) {
            QVERIFY2(rowsWhenClosed[s] >= 1, "a lap should have been recorded before the save");
            QCOMPARE(LapLines(during + ".txt", Utf8(CarLabel(s))), rowsWhenClosed[s]);
        }

        for (auto& [s, p] : cars) {
            QSignalSpy finished(p.get(), &QProcess::finished);
            QVERIFY(p->state() == QProcess::NotRunning || finished.wait(25000));
        }
        QVERIFY(app().sync());
        for (int s : carSlots) {
            const CarRun run = ParseCarOutput(QString::fromUtf8(cars[s]->readAllStandardOutput()));
            const QByteArray context = run.output.toUtf8();
            QVERIFY2(run.sent > 0 && run.sent == run.replies, context);  // nothing lost
            QVERIFY2(run.laps == kLaps && run.lapMs.size() == kLaps, context);
            const Grid& g = c.st.panels[s].Spd_LapTime;
            QCOMPARE(TimedRows(g), kLaps);
            // Lap 1 runs from Start; the others must agree with the car's own clock.
            for (int k = 2; k <= kLaps; ++k)
                QVERIFY2(std::llabs(std::stoll(g.Cell(k, 4)) - run.lapMs[k - 1]) <= kToleranceMs,
                         context);
        }

        const QString after = FilePath("after.txt");
        app().dialogs().pushSaveAnswer(after.toStdString());
        QVERIFY(Click("Btn_Write"));
        for (int s : carSlots) QCOMPARE(LapLines(after, Utf8(CarLabel(s))), kLaps);
    }

  private:
    static QString Utf8(const std::string& s) { return QString::fromStdString(s); }
};

QTEST_MAIN(SaveDuringRunEndToEnd)
#include "save_during_run_e2e_test.moc"
