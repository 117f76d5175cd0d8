#include "app/console_app.h"

#include <QApplication>
#include <QScreen>
#include <algorithm>

#include "app/main_window.h"
#include "app/qt_clocks.h"
#include "app/qt_datagrams.h"
#include "app/qt_timers.h"
#include "app/qt_translations.h"
#include "app/splash_window.h"
#include "app/team_view.h"
#include "app/team_view_window.h"
#include "app/ui_font.h"
#include "carlink/presence.h"
#include "core/window_scale.h"
#include "core/window_state.h"
#include "journal/journal_file.h"
#include "journal/sqlite_journal.h"
#include "master/editors.h"
#include "master/master_files.h"
#include "measure/measurement.h"
#include "measure/resume.h"
#include "pit/settings_dialog.h"

namespace velmora {

namespace {

// Renders closer together than this are merged into one.
constexpr qint64 kMinRenderGapMs = 15;
// The window scale is written this long after the last resize, not at every step of a drag.
constexpr int kScaleSaveDelayMs = 1000;
// Room a window frame and title bar take on the screen.
constexpr int kFrameAllowance = 48;

// Rows that could not be read back, listed in the message (the rest are counted).
constexpr std::size_t kProblemsShown = 10;

QSize ScreenSize() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->size() : QSize(1280, 1024);
}

// The largest scale at which the window still fits the screen's free area.
double ScaleThatFits() {
    const QScreen* s = QGuiApplication::primaryScreen();
    if (s == nullptr) return 1.0;
    const QSize free = s->availableGeometry().size() - QSize(kFrameAllowance, kFrameAllowance);
    const QSize d = MainWindow::DesignSize();
    return std::min(static_cast<double>(free.width()) / d.width(),
                    static_cast<double>(free.height()) / d.height());
}

}  // namespace

ConsoleApp::ConsoleApp(const QString& programFolder)
    : dialogs_(std::make_unique<QtDialogs>()),
      timers_(std::make_unique<QtTimers>([this] { afterEvent(false); })),
      net_(std::make_unique<QtDatagrams>([this] { afterEvent(false); })),
      wall_(std::make_unique<QtWallClock>()),
      mono_(std::make_unique<SteadyMonotonic>()),
      folder_(programFolder),
      quit_([] { QCoreApplication::exit(0); }) {
    console_ = std::make_unique<Console>(Services{*dialogs_, *timers_, *net_, *wall_, *mono_});
    sinceRender_.start();
    scaleSaveTimer_.setSingleShot(true);
    connect(&scaleSaveTimer_, &QTimer::timeout, this, &ConsoleApp::flushWindowScale);
}

ConsoleApp::~ConsoleApp() {
    // Sockets and timers call into the console: silence them before it goes.
    timers_.reset();
    net_.reset();
    main_.reset();
    teamView_.reset();
    if (console_) console_->journal = nullptr;
    journal_.reset();
}

void ConsoleApp::start(std::chrono::milliseconds splashDelay) {
    InstallUiFont();
    translator_ = InstallQtTranslations();
    splash_ = std::make_unique<SplashWindow>();
    splash_->CentreOn(ScreenSize());
    splashTimer_ = std::make_unique<QTimer>();
    splashTimer_->setSingleShot(true);
    connect(splashTimer_.get(), &QTimer::timeout, this, &ConsoleApp::handOver);
    splashTimer_->start(static_cast<int>(splashDelay.count()));
    splash_->show();

    Console& c = *console_;
    c.paths = Paths::InFolder(folder_.toStdString());
    c.settings = LoadMeasureSettings(c.paths.SettingsFilePath);
    c.DeriveClock();
    rememberedScale_ = LoadWindowScale(c.paths.SettingsFilePath);
    savedScaleText_ = WindowScaleText(rememberedScale_);
    ApplyDesignState(c);
}

void ConsoleApp::handOver() {
    splashTimer_->stop();
    splash_->hide();
    splash_.reset();

    Console& c = *console_;
    main_ = std::make_unique<MainWindow>(
        c, EventSink{c, [this] { afterEvent(true); }}, [this] { confirmEnd(); },
        [this] { openTeamView(); });
    dialogs_->setParentWidget(main_.get());
    main_->ResizeToScale(StartWindowScale(rememberedScale_, ScaleThatFits()));
    main_->CentreOn(ScreenSize());
    main_->setOnScaleChanged([this](double) { scaleSaveTimer_.start(kScaleSaveDelayMs); });
    journal_ = std::make_unique<SqliteJournal>(c, c.paths.JournalFilePath,
                                               [this](const std::string& t) { showLater(t); });
    const bool resume = askToResume();

    struct MasterList {
        bool (*load)(Console&, bool, std::string*);
        const std::string& path;
    };
    const MasterList lists[] = {{LoadDriverList, c.paths.DriverFilePath},
                                {LoadCourseList, c.paths.CourseFilePath},
                                {LoadCarList, c.paths.CarFilePath}};
    for (const MasterList& l : lists) {
        std::string reason;
        if (!l.load(c, false, &reason)) {
            const std::string file = l.path.substr(l.path.find_last_of("/\\") + 1);
            std::string text = file + " を読み書きできません。登録データなしで起動します。";
            if (!reason.empty()) text += "\n(" + reason + ")";
            c.svc.dialogs.MessageBox(text, "", MessageButtons::Ok, MessageIcon::Critical);
        }
    }
    MainWindowStartupState(c);
    const bool resumed = resume && restoreRace();
    c.journal = journal_.get();
    // The presence responder answers only between runs.
    const std::string presence = c.st.Measuring() ? "" : StartPresenceResponder(c);
    if (!presence.empty()) {
        c.svc.dialogs.MessageBox("ポート7001を使用できません (" + presence +
                                     ")。他のプログラムが使用中の可能性があります。車輌PCからの登録"
                                     "確認には応答しません。",
                                 "", MessageButtons::Ok, MessageIcon::Critical);
    }
    if (!resumed) StartWindowTimers(c);
    // Team view: on again if the crew left it on. A taken port is said once; measuring goes on.
    teamView_ = std::make_unique<TeamView>(
        c.paths.SettingsFilePath, [this] { return net_->LocalAddress(); },
        [this] { publishTeamView(); });
    const QString teamViewError = teamView_->StartFromSettings();
    if (!teamViewError.isEmpty()) showLater(teamViewError.toStdString());
    renderNow();
    main_->show();
    emit mainWindowShown();
}

void ConsoleApp::confirmEnd() {
    Console& c = *console_;
    if (c.svc.dialogs.MessageBox("終了します。よろしいですか？", "終了確認", MessageButtons::YesNo,
                                 MessageIcon::Information) != MessageAnswer::Yes)
        return;
    c.ticks.Stop();
    flushWindowScale();
    // A clean End: the journal is marked finished, and the next start begins a new one.
    if (journal_) journal_->Finish();
    if (quit_) quit_();
}

bool ConsoleApp::askToResume() {
    Console& c = *console_;
    const std::string& path = c.paths.JournalFilePath;
    const JournalCheck check = CheckJournal(path);
    std::string error;
    switch (check.found) {
        case JournalFound::None:
            return false;
        case JournalFound::Finished:
            // Kept under a dated name; a failure shows when the new journal is created.
            SetAsideJournal(path, c.svc.wall.Now(), "", &error);
            return false;
        case JournalFound::Unreadable: {
            const std::string kept = SetAsideJournal(path, c.svc.wall.Now(), "unreadable", &error);
            const std::string text =
                kept.empty() ? "走行記録ファイルを読めません。別名にもできないため、記録なしで起動"
                               "します。\n" +
                                   path + "\n(" + check.reason + ")\n(" + error + ")"
                             : "走行記録ファイルを読めないため、別名で保管しました。新しい記録を"
                               "始めます。\n" +
                                   kept + "\n(" + check.reason + ")";
            c.svc.dialogs.MessageBox(text, "", MessageButtons::Ok, MessageIcon::Critical);
            return false;
        }
        case JournalFound::Unfinished:
            break;
    }
    if (c.svc.dialogs.MessageBox("前回の計測データが残っています。復元しますか？", "復元確認",
                                 MessageButtons::YesNo,
                                 MessageIcon::Information) == MessageAnswer::Yes)
        return true;
    // No: the race stays in the file, kept under its date and time; this start is clean.
    SetAsideJournal(path, c.svc.wall.Now(), "", &error);
    return false;
}

bool ConsoleApp::restoreRace() {
    Console& c = *console_;
    const SqliteJournal::Restored r = journal_->Restore();
    if (!r.ok) {
        std::string error;
        const std::string kept =
            SetAsideJournal(c.paths.JournalFilePath, c.svc.wall.Now(), "unreadable", &error);
        c.svc.dialogs.MessageBox(
            "走行記録ファイルを読めないため、復元できません。新しい記録を始め"
            "ます。\n" +
                (kept.empty() ? c.paths.JournalFilePath : kept) + "\n(" + r.error + ")",
            "", MessageButtons::Ok, MessageIcon::Critical);
        return false;
    }
    c.DeriveClock();
    // An editor or the settings dialog open at the crash closes: its edits were not saved.
    for (Editor e : {Editor::Car, Editor::Course, Editor::Drivers})
        if (EditorOverlay(c.st, e).frame.visible) CancelEditor(c, e);
    if (c.st.Frm_Mess.frame.visible) CancelEnvironmentSettings(c);
    ResumeServices(c, r.services);
    if (!r.problems.empty()) {
        std::string text =
            "走行記録ファイルの一部を読めませんでした。読めた内容で復元しました。\n" +
            c.paths.JournalFilePath;
        for (std::size_t k = 0; k < r.problems.size() && k < kProblemsShown; ++k)
            text += "\n" + r.problems[k];
        if (r.problems.size() > kProblemsShown)
            text += "\n… ほか " + std::to_string(r.problems.size() - kProblemsShown) + " 件";
        c.svc.dialogs.MessageBox(text, "", MessageButtons::Ok, MessageIcon::Critical);
    }
    return true;
}

void ConsoleApp::showLater(std::string text) {
    QTimer::singleShot(0, this, [this, text = std::move(text)] {
        dialogs_->MessageBox(text, "", MessageButtons::Ok, MessageIcon::Critical);
    });
}

void ConsoleApp::openTeamView() {
    if (!teamView_) return;
    if (!teamViewWindow_) teamViewWindow_ = new TeamViewWindow(main_.get(), *teamView_);
    teamViewWindow_->Open();
}

void ConsoleApp::publishTeamView() {
    if (teamView_) teamView_->Publish(console_->st, console_->clock);
}

void ConsoleApp::afterEvent(bool renderAtOnce) {
    // Whatever the event changed is journaled (nothing is written when it changed nothing)
    // before the window catches up with it.
    console_->CommitJournal();
    if (renderAtOnce)
        renderNow();
    else
        requestRender();
}

void ConsoleApp::flushWindowScale() {
    scaleSaveTimer_.stop();
    if (!main_) return;
    const std::string text = WindowScaleText(main_->scale());
    if (text == savedScaleText_) return;
    // A failed write is not reported: the window simply opens at its design size next time.
    if (SaveWindowScale(console_->paths.SettingsFilePath, main_->scale())) savedScaleText_ = text;
}

void ConsoleApp::requestRender() {
    if (renderPending_ || !main_) return;
    renderPending_ = true;
    const qint64 since = sinceRender_.elapsed();
    const int delay = since >= kMinRenderGapMs ? 0 : static_cast<int>(kMinRenderGapMs - since);
    QTimer::singleShot(delay, this, [this] {
        renderPending_ = false;
        renderNow();
    });
}

void ConsoleApp::renderNow() {
    if (!main_) return;
    if (rendering_) {
        // An event raised by the render itself (a focus change): render once more after.
        renderAgain_ = true;
        return;
    }
    rendering_ = true;
    main_->Render(*console_);
    publishTeamView();  // the team view follows what the window shows
    rendering_ = false;
    sinceRender_.restart();
    if (renderAgain_) {
        renderAgain_ = false;
        requestRender();
    }
}

}  // namespace velmora
