#pragma once
// The whole program assembled: the Qt services, the console, the splash window and the main
// window. main() builds one and calls start(); tests build one on a scratch folder, start it
// with a short splash delay and drive the main window by object names.
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QTranslator>
#include <chrono>
#include <functional>
#include <memory>

#include "app/qt_dialogs.h"
#include "core/console.h"

namespace velmora {

class QtTimers;
class QtDatagrams;
class QtWallClock;
class SteadyMonotonic;
class SplashWindow;
class MainWindow;
class SqliteJournal;
class TeamView;
class TeamViewWindow;

class ConsoleApp : public QObject {
    Q_OBJECT
  public:
    // `programFolder`: where Velmora.ini and the master files live (no trailing separator).
    explicit ConsoleApp(const QString& programFolder);
    ~ConsoleApp() override;

    // Shows the splash window and loads the settings at once; after `splashDelay` hands over
    // to the main window (emits mainWindowShown once it is visible).
    void start(std::chrono::milliseconds splashDelay = std::chrono::milliseconds(3000));

    Console& console() { return *console_; }
    QtDialogs& dialogs() { return *dialogs_; }
    QtTimers& timers() { return *timers_; }
    QtDatagrams& net() { return *net_; }
    SplashWindow* splash() const { return splash_.get(); }
    // Null until the hand-over.
    MainWindow* mainWindow() const { return main_.get(); }
    // The team view; null until the hand-over. Its window is made on first use.
    TeamView* teamView() const { return teamView_.get(); }
    TeamViewWindow* teamViewWindow() const { return teamViewWindow_; }

    // Marks the window out of date; one render follows once the event loop is idle (timer
    // ticks and datagrams render this way, at most about 60 times a second).
    void requestRender();
    // Renders the console state now. Widget events render this way right after their
    // operation; tests call it after changing the state directly.
    void renderNow();

    // Writes the window scale into Velmora.ini now if it changed since it was last written
    // (a resize writes it a second after the last change, and a confirmed End at once).
    void flushWindowScale();

    // What a confirmed Btn_End does after stopping the tick clock; by default it quits the
    // application. Tests replace it.
    void setQuitAction(std::function<void()> quit) { quit_ = std::move(quit); }

  signals:
    void mainWindowShown();

  private:
    void handOver();
    void confirmEnd();
    // After every widget event (rendered at once), timer tick and datagram.
    void afterEvent(bool renderAtOnce);
    // The journal's part of the start-up, before anything else takes input: what is found at
    // its path, and the question whether to bring back an unfinished race. True for Yes.
    bool askToResume();
    // Brings the journaled race back into the console and sets it going; false if it could
    // not be read (it is then set aside and the console starts clean).
    bool restoreRace();
    // Shows a message once the current event is over (never from inside a commit).
    void showLater(std::string text);
    // Team view: Btn_TeamView, and the feed after every render.
    void openTeamView();
    void publishTeamView();

    std::unique_ptr<QtDialogs> dialogs_;
    std::unique_ptr<QtTimers> timers_;
    std::unique_ptr<QtDatagrams> net_;
    std::unique_ptr<QtWallClock> wall_;
    std::unique_ptr<SteadyMonotonic> mono_;
    std::unique_ptr<Console> console_;
    std::unique_ptr<SqliteJournal> journal_;  // goes before the console it follows
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
};

}  // namespace velmora
