// The driving-time rules end to end: the console in-process and offscreen, a 2-minute maximum
// stint set through the "走行規則" dialog, and one simulated car that drives on without a
// driver change and stands in the pit every 20 laps, each time too short. The panel is watched
// while the car drives and the car's replies are read afterwards: both warn at once (the
// five-minute moment of a 2-minute stint) and at one minute left, the panel turns red at the
// limit, and the breaches are listed in the stint table.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <chrono>
#include <map>
#include <set>

#include "analysis/rule_table.h"
#include "app/console_app.h"
#include "app/rules_dialog.h"
#include "console_rig.h"
#include "pit/drivers.h"

using namespace velmora;
using namespace std::chrono;

namespace {

long long NowMs() {
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The message part of every reply, by when (steady clock, ms) its pass began.
std::map<long long, std::set<QString>> MessagesByPass(const QString& output) {
    static const QRegularExpression pass(R"(^pass n=\d+ t_ns=(\d+)$)");
    static const QRegularExpression reply("^reply .* msg=\"((?:[^\"\\\\]|\\\\.)*)\"$");
    std::map<long long, std::set<QString>> out;
    long long passMs = 0;
    for (const QString& line : output.split('\n', Qt::SkipEmptyParts)) {
        if (auto p = pass.match(line); p.hasMatch())
            passMs = p.captured(1).toLongLong() / 1'000'000;
        else if (auto y = reply.match(line); y.hasMatch())
            out[passMs].insert(y.captured(1));  // the warnings hold nothing to unquote
    }
    return out;
}

}  // namespace

class DrivingRulesEndToEnd : public QObject, private e2e::ConsoleRig {
    Q_OBJECT

  private slots:
    void initTestCase() { QVERIFY(Start()); }
    void cleanupTestCase() { Stop(); }

    void aStintOverItsMaximumWarnsAtFiveAndOneMinuteAndIsListed() {
        // Stints of at most 2 minutes; a pass over 2 s is a stop, which must last 4 s.
        QVERIFY(Click("Btn_Rules"));
        auto* dialog = window()->findChild<RulesDialog*>("Frm_Rules");
        QVERIFY(dialog);
        dialog->field(RuleField::MaxStint)->setText("2");
        dialog->field(RuleField::StopThreshold)->setText("2");
        dialog->field(RuleField::MinStop)->setText("4");
        dialog->findChild<QPushButton*>("Btn_RulesOk")->click();
        app().dialogs().pushInputAnswer("127.0.0.1");
        QVERIFY(Click("Btn_ClientNoSet_0"));
        QVERIFY(app().run([](Console& c) {
            c.st.panels[0].Cmb_Driver.AddItem("山田");
            c.st.panels[0].Cmb_Driver.Select(0);
            ChooseDriver(c, 0);
        }));

        QVERIFY(Click("Btn_Start"));
        const long long start = NowMs();
        QProcess car;
        car.start(VELMORA_CARSIM_PATH, {"--slot", "0", "--silence-ms", "1500", "--in-range-ms",
                                        "500", "--interval-ms", "50", "--laps", "66", "--pit-every",
                                        "20", "--pit-ms", "3000", "--max-seconds", "220"});
        QVERIFY2(car.waitForStarted(5000), "carsim did not start");
        QSignalSpy finished(&car, &QProcess::finished);

        // When the panel first showed each time left in each colour, and every rule line.
        std::map<std::pair<QString, Colour>, long long> firstSeen;
        std::set<QString> notes;
        while (car.state() != QProcess::NotRunning && finished.count() == 0) {
            finished.wait(100);
            app().renderNow();
            const PanelState& p = app().view().st.panels[0];
            firstSeen.emplace(
                std::pair{QString::fromStdString(p.Lbl_ChangeDue.caption), p.Lbl_ChangeDue.back},
                NowMs() - start);
            notes.insert(QString::fromStdString(p.Lbl_RuleNote.caption));
        }
        QVERIFY(app().sync());
        QCOMPARE(car.exitCode(), 0);
        const QString output = QString::fromUtf8(car.readAllStandardOutput());

        // The panel: the five-minute colour from the start, the one-minute colour from 1:00
        // into the stint, red from 2:00; a stop too short once the car has left it.
        QString seen;
        for (const auto& [due, at] : firstSeen)
            seen += QString("%1 ms: %2\n").arg(at).arg(due.first);
        const auto at = [&](const char* due, Colour back) {
            const auto it = firstSeen.find({QString::fromUtf8(due), back});
            return it == firstSeen.end() ? -1LL : it->second;
        };
        const long long soon = at("交代まで 2分", ChangeSoonColour);
        const long long oneLeft = at("交代まで 1分", ChangeNowColour);
        const long long over = at("交代時間超過 1分", ChangeOverColour);
        QVERIFY2(soon >= 0 && soon < 2000, qPrintable(seen));
        QVERIFY2(oneLeft >= 59'000 && oneLeft < 62'000, qPrintable(seen));
        QVERIFY2(over >= 119'000 && over < 122'000, qPrintable(seen));
        const bool shortStop = notes.count(QStringLiteral("停止不足0:02 違反1件")) ||
                               notes.count(QStringLiteral("停止不足0:03 違反1件"));
        QVERIFY(shortStop);

        // The car: the five-minute message in every reply until the one-minute moment, then
        // the one-minute message to the end, never the five-minute one again.
        const std::set<QString> five{QStringLiteral(" [ あと5分でドライバー交代です ] ")};
        const std::set<QString> one{QStringLiteral(" [ あと1分でドライバー交代です ] ")};
        int early = 0, late = 0;
        for (const auto& [passMs, messages] : MessagesByPass(output)) {
            const long long into = passMs - start;
            if (into < 58'000) {
                QVERIFY2(messages == five, qPrintable(output));
                ++early;
            } else if (into >= 61'000) {
                QVERIFY2(messages == one, qPrintable(output));
                ++late;
            }
        }
        QVERIFY2(early > 20 && late > 20, qPrintable(output));

        // The stint table: three stops of some 3 s, each too short, and the stint too long.
        const Grid& t = app().view().st.panels[0].Spd_Stints;
        std::multiset<std::string> kinds;
        for (int row = 1; row <= t.RowCount(); ++row) {
            const std::string& note = t.Cell(row, 6);
            kinds.insert(t.Cell(row, 1) + " " + note.substr(0, note.find(' ')));
            if (t.Cell(row, 1) == "停止")
                QVERIFY(std::abs(std::stoll(t.Cell(row, kStintLengthMsColumn)) - 3000) < 500);
        }
        QCOMPARE(kinds.count("停止 "), 3u);
        QCOMPARE(kinds.count("違反 ピット停止時間不足"), 3u);
        QCOMPARE(kinds.count("違反 連続走行超過"), 1u);
        QCOMPARE(Find<QLabel>("Lbl_RuleNote_0")->text(), QStringLiteral("違反4件"));

        app().dialogs().pushMessageAnswer(MessageAnswer::Yes);
        QVERIFY(Click("Btn_Start"));
    }
};

QTEST_MAIN(DrivingRulesEndToEnd)
#include "driving_rules_e2e_test.moc"
