// What the pit tells a car during a run, end to end: the console in-process and offscreen,
// one slot set up and armed through its widgets, a typed message for the car and one for all
// cars, then one simulated car driving three laps on loopback. The replies the car printed
// are grouped by pass and compared with what the crew typed and with the countdown.
#include <QApplication>
#include <QCheckBox>
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

#include "app/console_app.h"
#include "app/main_window.h"
#include "console_rig.h"
#include "core/window_state.h"

using namespace velmora;
using namespace std::chrono;

namespace {

constexpr int kLaps = 3;

// The message part of every reply, by the pass of the car it answered (1-based).
struct CarReplies {
    int exitCode = -1;
    std::map<int, std::set<QString>> messagesOfPass;
    long long sent = -1, replies = -1;
    QString output;
};

// Undoes the simulator's quoting of the message field (\" \\ \r \n \t).
QString Unquote(const QString& quoted) {
    QString out;
    for (qsizetype k = 0; k < quoted.size(); ++k) {
        QChar ch = quoted[k];
        if (ch == '\\' && k + 1 < quoted.size()) {
            const QChar e = quoted[++k];
            ch = e == 'r' ? QChar('\r') : e == 'n' ? QChar('\n') : e == 't' ? QChar('\t') : e;
        }
        out += ch;
    }
    return out;
}

CarReplies ParseCarOutput(const QString& text, int exitCode) {
    CarReplies r;
    r.exitCode = exitCode;
    r.output = text;
    static const QRegularExpression pass(R"(^pass n=(\d+) )");
    static const QRegularExpression reply("^reply .* msg=\"((?:[^\"\\\\]|\\\\.)*)\"$");
    static const QRegularExpression summary(R"(^summary sent=(\d+) replies=(\d+) )");
    int current = 0;
    for (const QString& line : text.split('\n', Qt::SkipEmptyParts)) {
        if (auto p = pass.match(line); p.hasMatch()) {
            current = p.captured(1).toInt();
        } else if (auto y = reply.match(line); y.hasMatch()) {
            r.messagesOfPass[current].insert(Unquote(y.captured(1)));
        } else if (auto s = summary.match(line); s.hasMatch()) {
            r.sent = s.captured(1).toLongLong();
            r.replies = s.captured(2).toLongLong();
        }
    }
    return r;
}

QString Utf8(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

class PitMessagesEndToEnd : public QObject, private e2e::ConsoleRig {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QVERIFY(Start());
        QCOMPARE(console().clock.SilenceTicks, 1000);
    }

    void cleanupTestCase() { Stop(); }

    void typedMessagesAndTheCountdownReachTheCar() {
        const Console& c = console();
        app().dialogs().pushInputAnswer("127.0.0.1");
        QVERIFY(Click("Btn_ClientNoSet_0"));

        // Arming brings the default countdown; the crew then types a shorter one.
        auto* arm = Find<QCheckBox>("Chk_ChgCnter_0");
        QVERIFY(arm && arm->isEnabled());
        arm->click();
        QVERIFY(app().sync());
        QVERIFY(c.st.panels[0].Chk_ChgCnter.checked);
        QCOMPARE(Find<QLineEdit>("Txt_ZanRunCnt_0")->text(), QStringLiteral("10"));
        QVERIFY(TypeInto("Txt_ZanRunCnt_0", "4"));
        QCOMPARE(Utf8(c.st.panels[0].Txt_ZanRunCnt.text), QStringLiteral("4"));

        QVERIFY(TypeInto("Txt_OutMess_0", "BOX"));
        QVERIFY(TypeInto("Txt_AllOutMess", "rain"));
        QCOMPARE(Utf8(c.st.AllCarsMessage), QStringLiteral("（全車へ：ｒａｉｎ）"));

        // The car must be heard within the silence after Start, or the first lap would open
        // (and clear the typed message) before the first pass.
        QVERIFY(Click("Btn_Start"));
        QVERIFY(c.st.Measuring());
        QProcess car;
        car.setProcessChannelMode(QProcess::SeparateChannels);
        car.start(
            VELMORA_CARSIM_PATH,
            {"--slot", "0", "--silence-ms", "1500", "--in-range-ms", "500", "--interval-ms", "50",
             "--laps", QString::number(kLaps), "--max-seconds", "30", "--text", "了解"});
        QVERIFY2(car.waitForStarted(5000), "carsim did not start");
        QSignalSpy finished(&car, &QProcess::finished);
        QVERIFY(car.state() == QProcess::NotRunning || finished.wait(25000));
        QVERIFY(app().sync());  // the window shows the last datagrams

        const QByteArray err = car.readAllStandardError();
        QVERIFY2(err.isEmpty(), err.constData());
        const CarReplies run =
            ParseCarOutput(QString::fromUtf8(car.readAllStandardOutput()), car.exitCode());
        const QByteArray context = run.output.toUtf8();
        QVERIFY2(run.exitCode == 0, context);
        QVERIFY2(run.sent > 0 && run.sent == run.replies, context);

        // Every reply of a pass carries the same message; the typed text only in the first
        // pass (the opened lap clears it), the countdown lowered at each opened lap.
        const QString all = QStringLiteral("（全車へ：ｒａｉｎ）");
        const std::map<int, QString> expected = {
            {1, QStringLiteral("ＢＯＸ ") + all},
            {2, QStringLiteral(" [ あと３周でピットインです。 ] ") + all},
            {3, QStringLiteral(" [ あと２周でピットインです。 ] ") + all},
            {4, QStringLiteral(" [ 次の周でピットインしてください。 ] ") + all},
        };
        QVERIFY2(run.messagesOfPass.size() == expected.size(), context);
        for (const auto& [pass, message] : expected) {
            const auto it = run.messagesOfPass.find(pass);
            QVERIFY2(it != run.messagesOfPass.end(), context);
            QVERIFY2(it->second.size() == 1,
                     qPrintable(QStringLiteral("pass %1:\n%2").arg(pass).arg(run.output)));
            QCOMPARE(*it->second.begin(), message);
        }

        // The panel as the crew sees it: the car's text, the typed box emptied, and the
        // countdown standing at 4 minus the laps opened (a fourth lap opens once the car has
        // been silent long enough after its last pass).
        QCOMPARE(Find<QLabel>("Lbl_InMess_0")->text(), QStringLiteral("了解"));
        QVERIFY(Find<QLineEdit>("Txt_OutMess_0")->text().isEmpty());
        const int opened = c.st.runners[0].LapCount;
        QVERIFY(opened == kLaps || opened == kLaps + 1);
        QCOMPARE(Find<QLineEdit>("Txt_ZanRunCnt_0")->text(), QString::number(4 - opened));

        // Stop: the countdown is disarmed; the message to all cars stays for the next run.
        app().dialogs().pushMessageAnswer(MessageAnswer::Yes);
        QVERIFY(Click("Btn_Start"));
        QVERIFY(!c.st.Measuring());
        QVERIFY(!arm->isChecked());
        QCOMPARE(Find<QLineEdit>("Txt_ZanRunCnt_0")->text(), QStringLiteral("0"));
        QCOMPARE(Find<QLineEdit>("Txt_AllOutMess")->text(), QStringLiteral("rain"));
    }
};

QTEST_MAIN(PitMessagesEndToEnd)
#include "pit_messages_e2e_test.moc"
