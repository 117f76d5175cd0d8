#pragma once
// The whole program assembled: the console on its own thread (LiveConsole), the window's copy
// of it, the splash window and the main window. main() builds one and calls start(); tests
// build one on a scratch folder, start it with a short splash delay and drive the main window
// by object names.
//
// Thread rules (docs/architecture.md): the console's state belongs to its own thread. This
// class, on the window's thread, never touches it: it posts the crew's actions, copies each
// published snapshot into view() and renders that, and shows the dialogs the console asks for.
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QTranslator>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "app/qt_dialogs.h"
#include "app/thread_wake.h"
#include "core/console.h"
#include "core/null_services.h"
#include "core/system_clocks.h"
#include "engine/live_console.h"

namespace velmora {

class SplashWindow;
class MainWindow;
class TeamView;
class TeamViewWindow;

class ConsoleApp : public QObject {
    Q_OBJECT
  public:
    // `programFolder`: where Velmora.ini and the master files live (no trailing separator).
    explicit ConsoleApp(const QString& programFolder);
    ~ConsoleApp() override;

    // Shows the splash window and starts the console at once (a race the journal left
    // measuring is heard from now on); after `splashDelay` hands over to the main window
    // (emits mainWindowShown once it is visible).
    void start(std::chrono::milliseconds splashDelay = std::chrono::milliseconds(3000));

    // The window's copy of the console, as of the last snapshot it took.
    const Console& view() const { return view_; }
    QtDialogs& dialogs() { return *dialogs_; }
    LiveConsole& live() { return *live_; }
    SplashWindow* splash() const { return splash_.get(); }
    // Null until the hand-over.
    MainWindow* mainWindow() const { return main_.get(); }
    // Null until the main window is shown; the window null until first opened.
    TeamView* teamView() const { return teamView_.get(); }
    TeamViewWindow* teamViewWindow() const { return teamViewWindow_; }

    // Posts a crew action to the console (what the widgets do).
    void post(std::function<void(Console&)> action);
    // Runs the window's event loop until the console has carried out every action posted so
    // far and the window shows the state after them (dialogs the console asks for meanwhile
    // are answered as usual). False if that took longer than `timeout`. For tests and tools.
    bool sync(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // post, then sync.
    bool run(std::function<void(Console&)> action);

    // Marks the window out of date; one render follows once the event loop is idle (at most
    // about 60 times a second).
    void requestRender();
    // Takes the latest snapshot and renders it now.
    void renderNow();

    // Writes the window scale into Velmora.ini now if it changed since it was last written
    // (a resize writes it a second after the last change, and a confirmed End at once).
    void flushWindowScale();

    // What a confirmed Btn_End does once the journal is closed; by default it quits the
    // application. Tests replace it.
    void setQuitAction(std::function<void()> quit) { quit_ = std::move(quit); }

  signals:
    void mainWindowShown();
    // One call carried over from the console's thread waits (see carry).
    void carried();

  private:
    // Runs `f` on this thread, after what was carried over before it. The call waits in a
    // queue under our own lock, so the hand-over between the threads is one a thread checker
    // sees (Qt's event queue locks inside a library it cannot look into).
    void carry(std::function<void()> f);
    void runCarried();
    void handOver();
    void opened();
    void ended();
    void published();
    // Copies the latest snapshot into the view unless it is older than an action the window
    // posted (it would show a text box without what was just typed into it).
    void takeSnapshot();
    void showDialog(DialogRequest r);
    // Shows a message once the current event is over.
    void showLater(std::string text, MessageIcon icon);
    // Team view: Btn_TeamView, and the feed after every render.
    void openTeamView();
    void publishTeamView();

    std::unique_ptr<QtDialogs> dialogs_;
    NullServices null_;
    SteadyClock mono_;
    SystemWallClock wall_;
    Console view_;
    std::unique_ptr<LiveConsole> live_;
    std::unique_ptr<SplashWindow> splash_;
    std::unique_ptr<MainWindow> main_;
    std::unique_ptr<TeamView> teamView_;        // goes after the window that shows it
    TeamViewWindow* teamViewWindow_ = nullptr;  // owned by main_
    QString folder_;
    std::function<void()> quit_;
    std::unique_ptr<QTimer> splashTimer_;
    std::unique_ptr<QTranslator> translator_;
    QTimer scaleSaveTimer_;
    double rememberedScale_ = 1.0;
    std::string savedScaleText_;
    QElapsedTimer sinceRender_;
    bool renderPending_ = false;
    bool rendering_ = false;
    bool renderAgain_ = false;
    std::atomic<bool> publishPending_{false};
    ThreadWake publishWake_;  // raised by the console's thread for a new snapshot
    std::mutex carryMutex_;
    std::deque<std::function<void()>> carried_;
    std::uint64_t posted_ = 0;                      // the last action this window posted
    std::shared_ptr<const ConsoleSnapshot> shown_;  // the snapshot in view_
    std::uint64_t focusSerial_ = 0;                 // the last focus request carried out
    int dialogsOpen_ = 0;                           // the console's dialogs on screen now
};

}  // namespace velmora
