// velmora-shots OUTPUT_FOLDER [--scale S]: takes the crew guide's screenshots. The console
// runs offscreen in a scratch folder with a small set of master data; two simulated cars
// drive a few laps on slots 1 and 3 while slot 2 stays idle, and the window is grabbed at
// a readable scale: screenshot-run.png during the run, screenshot-rules.png with slot 3's
// driver pop-up and its stint table open, screenshot-stopped.png after 計測中止 on slot 3,
// and screenshot-rules-dialog.png, the "走行規則" dialog with the rules of the run. Slot 3's
// car stands in the pit for a stop shorter than those rules allow.
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <map>
#include <memory>

#include "app/console_app.h"
#include "app/main_window.h"
#include "app/rules_dialog.h"
#include "core/encoding.h"
#include "core/window_state.h"
#include "master/master_files.h"
#include "pit/drivers.h"
#include "pit/fuel.h"

using namespace velmora;

namespace {

bool WriteCp932(const QString& path, const std::string& utf8) {
    const std::string bytes = Utf8ToCp932(utf8);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) &&
           f.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
               static_cast<qint64>(bytes.size());
}

bool Click(QWidget* w, const std::string& name) {
    auto* b = w->findChild<QPushButton*>(QString::fromStdString(name));
    if (b == nullptr || !b->isEnabled()) return false;
    b->click();
    return true;
}

bool Grab(MainWindow* w, double scale, const QString& path) {
    w->ResizeToScale(scale);
    // No caret or selection left over from the set-up in the picture.
    if (QWidget* f = QApplication::focusWidget()) f->clearFocus();
    for (QLineEdit* e : w->findChildren<QLineEdit*>()) e->deselect();
    QCoreApplication::processEvents();
    const bool ok = w->grab().save(path);
    std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "could not write", qPrintable(path), w->width(),
                w->height());
    return ok;
}

// The rules of the run, typed into the "走行規則" dialog and registered.
bool SetRules(QWidget* w) {
    if (!Click(w, "Btn_Rules")) return false;
    auto* d = w->findChild<RulesDialog*>("Frm_Rules");
    if (d == nullptr) return false;
    const std::pair<RuleField, const char*> rules[] = {
        {RuleField::MinStint, "1"},      {RuleField::MaxStint, "4"}, {RuleField::MinStop, "3"},
        {RuleField::StopThreshold, "1"}, {RuleField::MinStops, "2"}, {RuleField::PenaltyLaps, "1"}};
    for (const auto& [field, text] : rules) d->field(field)->setText(text);
    return Click(d, "Btn_RulesOk");
}

int Fail(const char* what) {
    std::fprintf(stderr, "velmora-shots: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: velmora-shots OUTPUT_FOLDER [--scale S]\n");
        return 2;
    }
    const QString out = args[1];
    const int scaleAt = static_cast<int>(args.indexOf("--scale"));
    const double scale =
        scaleAt > 0 && scaleAt + 1 < args.size() ? args[scaleAt + 1].toDouble() : 1.5;

    QTemporaryDir folder;
    const bool files =
        folder.isValid() &&
        WriteCp932(folder.filePath("Velmora.ini"),
                   "[計測環境設定]\r\n計測精度=1/1000\r\nラップ加算無通信秒数= 1\r\n") &&
        WriteCp932(folder.filePath("Car.ini"), "スイフト,山田,40,12.5\r\nデミオ,鈴木,41,14\r\n") &&
        WriteCp932(folder.filePath("Course.ini"), "筑波2000,2045\r\n") &&
        WriteCp932(folder.filePath("Drivers.ini"), "山田太郎,全車\r\n鈴木一郎,全車\r\n");
    if (!files) return Fail("no scratch folder");

    auto app = std::make_unique<ConsoleApp>(folder.path());
    app->setQuitAction([] {});
    app->dialogs().setNonInteractive(true);
    QSignalSpy shown(app.get(), &ConsoleApp::mainWindowShown);
    app->start(std::chrono::milliseconds(0));
    if (!(shown.count() > 0 || shown.wait(10000)) || app->mainWindow() == nullptr)
        return Fail("the main window did not come up");
    MainWindow* w = app->mainWindow();
    const Console& c = app->view();

    if (!Grab(w, scale, out + "/screenshot-idle.png")) return 1;

    // The event, the course and, on slots 0 and 2, car, driver and a first fill, set as the
    // crew would (on the console's own thread).
    app->run([](Console& live) {
        live.st.main.Txt_Event.text = "耐久リハーサル";
        live.st.main.Cmb_Tenki.Select(0);
        live.st.main.Txt_Kion.text = "21";
        live.st.main.Txt_RunN.text = "5";
        live.st.main.Cmb_Course.Select(0);
        TakeSelectedCourse(live);
    });
    const int carSlots[] = {0, 2};
    for (int k = 0; k < 2; ++k) {
        const int s = carSlots[k];
        app->dialogs().pushInputAnswer("127.0.0.1");
        if (!Click(w, SlotControlName("Btn_ClientNoSet", s))) return Fail("set-up failed");
        app->run([s, k](Console& live) {
            PanelState& p = live.st.panels[s];
            p.Cmb_Car.Select(k);
            ChooseCar(live, s);
            p.Cmb_Driver.Select(k);
            ChooseDriver(live, s);
            p.Txt_InGasl.text = "40";
            Refuel(live, s);
        });
    }
    app->run([](Console& live) {
        live.st.panels[0].Chk_ChgCnter.checked = true;
        ArmCountdown(live, 0);
    });
    if (!SetRules(w) || !app->sync()) return Fail("the rules were not taken");
    if (!Click(w, "Btn_Start") || !app->sync() || !c.st.Measuring())
        return Fail("the run did not start");

    std::map<int, std::unique_ptr<QProcess>> cars;
    for (int s : carSlots) {
        auto p = std::make_unique<QProcess>();
        QStringList args = {"--slot",
                            QString::number(s),
                            "--silence-ms",
                            s == 0 ? "1500" : "1700",
                            "--in-range-ms",
                            "400",
                            "--interval-ms",
                            "50",
                            "--laps",
                            "4",
                            "--quiet",
                            "--text",
                            s == 0 ? "了解" : "",
                            "--max-seconds",
                            "60"};
        // Car 3 stands in the pit after its second lap, too short a stop for the rules.
        if (s == 2)
            args << "--pit-every"
                 << "2"
                 << "--pit-ms"
                 << "1600";
        p->start(VELMORA_CARSIM_PATH, args);
        if (!p->waitForStarted(5000)) return Fail("velmora-carsim did not start");
        cars[s] = std::move(p);
    }
    app->run([](Console& live) { live.st.panels[2].Txt_OutMess.text = "ペース維持"; });
    for (auto& [s, p] : cars) {
        QSignalSpy finished(p.get(), &QProcess::finished);
        if (p->state() != QProcess::NotRunning && !finished.wait(30000))
            return Fail("a simulated car did not finish");
    }
    // One car comes by once more and is heard when the picture is taken.
    QProcess again;
    again.start(VELMORA_CARSIM_PATH, {"--slot", "0", "--laps", "0", "--in-range-ms", "1500",
                                      "--interval-ms", "50", "--quiet", "--text", "了解"});
    QTest::qWait(1200);
    app->sync();
    if (!Grab(w, scale, out + "/screenshot-run.png")) return 1;
    again.waitForFinished(10000);

    // Car 3 comes in for a driver change and leaves after 1.6 s, too short a stop; its rule
    // line shows it pink until the car comes by again.
    QProcess change;
    change.start(VELMORA_CARSIM_PATH, {"--slot", "2", "--laps", "0", "--in-range-ms", "1600",
                                       "--interval-ms", "50", "--quiet"});
    QTest::qWait(600);
    app->run([](Console& live) {
        live.st.panels[2].Cmb_Driver.Select(0);
        ChooseDriver(live, 2);
    });
    change.waitForFinished(10000);
    QTest::qWait(1500);
    if (!Click(w, SlotControlName("Btn_DriverInfo", 2)) || !app->sync())
        return Fail("the driver pop-up did not open");
    if (!Grab(w, scale, out + "/screenshot-rules.png")) return 1;
    if (!Click(w, SlotControlName("Btn_DriverInfo", 2)) || !app->sync())
        return Fail("the driver pop-up did not close");

    app->dialogs().pushMessageAnswer(MessageAnswer::Yes);
    if (!Click(w, SlotControlName("Btn_RunStop", 2))) return Fail("計測中止 failed");
    QTest::qWait(300);
    app->sync();
    if (!Grab(w, scale, out + "/screenshot-stopped.png")) return 1;

    if (!Click(w, "Btn_Rules")) return Fail("the rules dialog did not open");
    auto* dialog = w->findChild<RulesDialog*>("Frm_Rules");
    if (dialog == nullptr) return Fail("the rules dialog did not open");
    QCoreApplication::processEvents();
    const QString dialogPath = out + "/screenshot-rules-dialog.png";
    const bool ok = dialog->grab().save(dialogPath);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(dialogPath));
    dialog->reject();
    app.reset();
    return 0;
}
