// velmora-kill-console: the real console (ConsoleApp, offscreen) for the kill test, started in
// a given program folder with the resume question answered in advance, and driven by lines on
// stdin through its buttons: "setup SLOT ADDRESS", "start", "stop", "save PATH", "dump", "end";
// "type NAME TEXT" (into the text box of that object name, as typed), "choose NAME INDEX" (an item
// of that drop-down), "grab NAME PATH" (a PNG of the window of that object name); and the team
// view's "teamview on|off|key|drop|url|window" (the browser test drives it too). It prints "ready
// resumed=0|1" and a dump of its state once the main window is shown: the state the journal
// restored, and whatever the cars sent while the question was open (kept from the start, handled
// in order of arrival on Yes).
// Like the console, it first takes the folder's lock: a start that finds it held prints
// "refused title=… text=…" and exits with 3; the console holding it prints "raise" when asked
// to come to the front.
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/console_app.h"
#include "app/instance_lock.h"
#include "app/main_window.h"
#include "app/team_view.h"
#include "core/window_state.h"

using namespace velmora;

namespace {

void Out(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool Click(ConsoleApp& app, const std::string& name) {
    auto* b = app.mainWindow()->findChild<QPushButton*>(QString::fromStdString(name));
    if (!b || !b->isEnabled()) return false;
    b->click();
    return app.sync();
}

// One line per fact; lap rows as "dump row slot=S n=N ticks=T text=X".
void Dump(ConsoleApp& app) {
    // Read on the console's own thread, the window waiting meanwhile.
    std::vector<std::string> lines;
    app.run([&lines](Console& c) {
        const ConsoleState& st = c.st;
        std::ostringstream head;
        head << "dump measuring=" << st.Measuring() << " clock=" << c.ticks.Running()
             << " presence=" << c.svc.net.IsBound(SocketId::Presence)
             << " tick=" << c.TickCounter();
        lines.push_back(head.str());
        for (int i = 0; i < kPanelCount; ++i) {
            const RunnerState& r = st.runners[i];
            const PanelState& p = st.panels[i];
            if (p.Lbl_IP.caption.empty()) continue;
            std::ostringstream s;
            s << "dump slot=" << i << " bound=" << c.svc.net.IsBound(CarSocket(i))
              << " timer=" << c.svc.timers.IsRunning(TimerKey{TimerId::Lap, i})
              << " lapcount=" << r.LapCount << " away=" << r.AwayFlag
              << " rows=" << p.Spd_LapTime.RowCount() << " caption=" << p.Lbl_LapCnt.caption;
            lines.push_back(s.str());
            for (int row = 1; row <= p.Spd_LapTime.RowCount(); ++row)
                lines.push_back("dump row slot=" + std::to_string(i) + " n=" + std::to_string(row) +
                                " ticks=" + p.Spd_LapTime.Cell(row, 4) +
                                " text=" + p.Spd_LapTime.Cell(row, 1));
        }
    });
    std::ostringstream head;
    head << lines.front() << " ranking_rows=";
    int shown = 0;
    for (int r = 0; r < kPanelCount; ++r)
        shown += app.mainWindow()
                     ->findChild<QLabel*>(QString::fromStdString(SlotControlName("Lbl_Sort_No", r)))
                     ->isVisibleTo(app.mainWindow());
    head << shown;
    Out(head.str());
    for (std::size_t k = 1; k < lines.size(); ++k) Out(lines[k]);
    Out("dump end");
}

void Command(ConsoleApp& app, const std::string& line) {
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    bool ok = true;
    if (verb == "setup") {
        int slot = 0;
        std::string address;
        in >> slot >> address;
        app.dialogs().pushInputAnswer(address);
        ok = Click(app, SlotControlName("Btn_ClientNoSet", slot));
    } else if (verb == "start") {
        ok = Click(app, "Btn_Start") && app.view().st.Measuring();
    } else if (verb == "stop") {
        app.dialogs().pushMessageAnswer(MessageAnswer::Yes);
        ok = Click(app, "Btn_Start") && !app.view().st.Measuring();
    } else if (verb == "save") {
        std::string path;
        in >> path;
        app.dialogs().pushSaveAnswer(path);
        ok = Click(app, "Btn_Write");
    } else if (verb == "dump") {
        Dump(app);
    } else if (verb == "type") {
        std::string name, text;
        in >> name;
        std::getline(in >> std::ws, text);
        auto* box = app.mainWindow()->findChild<QLineEdit*>(QString::fromStdString(name));
        ok = box != nullptr && box->isEnabled();
        if (ok) box->setText(QString::fromStdString(text));
    } else if (verb == "choose") {
        std::string name;
        int index = -1;
        in >> name >> index;
        auto* box = app.mainWindow()->findChild<QComboBox*>(QString::fromStdString(name));
        ok = box != nullptr && box->isEnabled() && index >= 0 && index < box->count();
        if (ok) {
            box->setCurrentIndex(index);
            emit box->activated(index);
        }
    } else if (verb == "grab") {
        std::string name, path;
        in >> name >> path;
        ok = false;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->objectName() == QString::fromStdString(name))
                ok = w->grab().save(QString::fromStdString(path));
    } else if (verb == "teamview") {
        std::string what;
        in >> what;
        TeamView& v = *app.teamView();
        if (what == "on")
            ok = v.TurnOn().isEmpty();
        else if (what == "off")
            v.TurnOff();
        else if (what == "key")
            v.RenewKey();
        else if (what == "drop")
            v.DropConnections();
        else if (what == "window")
            ok = Click(app, "Btn_TeamView");
        else if (what == "url")
            Out("teamview on=" + std::to_string(v.isOn()) + " pages=" + std::to_string(v.pages()) +
                " url=" + v.address().toStdString());
        else
            ok = false;
    } else if (verb == "end") {
        app.dialogs().pushMessageAnswer(MessageAnswer::Yes);
        ok = Click(app, "Btn_End");
    } else {
        ok = false;
    }
    Out(std::string(ok ? "done " : "failed ") + line);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication qapp(argc, argv);
    QString folder;
    bool answerYes = true;
    int answerDelayMs = 0;
    for (int k = 1; k + 1 < argc; k += 2) {
        const std::string a = argv[k];
        if (a == "--folder") folder = QString::fromLocal8Bit(argv[k + 1]);
        if (a == "--answer") answerYes = std::string(argv[k + 1]) == "yes";
        if (a == "--answer-delay-ms") answerDelayMs = std::atoi(argv[k + 1]);
    }
    if (folder.isEmpty()) {
        std::fprintf(stderr,
                     "usage: velmora-kill-console --folder DIR [--answer yes|no] "
                     "[--answer-delay-ms MS]\n");
        return 2;
    }
    InstanceLock lock(folder);
    QtDialogs refusal;
    refusal.setNonInteractive(true);
    if (!ClaimFolder(lock, refusal)) {
        for (const QtDialogs::Request& r : refusal.requests())
            Out("refused title=" + r.title + " text=" + r.text);
        return 3;
    }
    ConsoleApp app(folder);
    lock.ListenForRaise([&app] {
        BringToFront(app.mainWindow());
        Out("raise");
    });
    app.dialogs().setNonInteractive(true);
    // The resume question, when a journal is there to ask about: answered at once, or shown for
    // real and answered `answerDelayMs` after it appears ("question shown" is printed then), as
    // a crew member would who takes a moment to read it.
    QTimer watch;
    if (QFile::exists(folder + "/VelmoraJournal.db")) {
        if (answerDelayMs <= 0) {
            app.dialogs().pushMessageAnswer(answerYes ? MessageAnswer::Yes : MessageAnswer::No);
        } else {
            app.dialogs().setNonInteractive(false);
            QObject::connect(&watch, &QTimer::timeout, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!box) return;
                watch.stop();
                Out("question shown text=" + box->text().toStdString());
                // Precise: a coarse timer of 2 s or more may fire up to 5 % early.
                QTimer::singleShot(answerDelayMs, Qt::PreciseTimer, box, [&app, box, answerYes] {
                    app.dialogs().setNonInteractive(true);
                    box->button(answerYes ? QMessageBox::Yes : QMessageBox::No)->click();
                });
            });
            watch.start(10);
        }
    }
    app.setQuitAction([] { QCoreApplication::exit(0); });
    QObject::connect(&app, &ConsoleApp::mainWindowShown, [&app] {
        const bool resumed = !app.dialogs().requests().empty() &&
                             app.dialogs().requests().front().title == "復元確認";
        Out(std::string("ready resumed=") + (resumed ? "1" : "0"));
        Dump(app);
    });

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    std::string pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buf[4096];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            input.setEnabled(false);
            return;
        }
        pending.append(buf, static_cast<std::size_t>(n));
        for (auto nl = pending.find('\n'); nl != std::string::npos; nl = pending.find('\n')) {
            const std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            if (app.mainWindow()) Command(app, line);
        }
    });
    app.start(std::chrono::milliseconds(0));
    return QApplication::exec();
}
