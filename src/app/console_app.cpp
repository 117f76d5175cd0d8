#include "app/console_app.h"

#include <QApplication>
#include <QEventLoop>
#include <QScreen>
#include <algorithm>

#include "app/main_window.h"
#include "app/qt_translations.h"
#include "app/splash_window.h"
#include "app/team_view.h"
#include "app/team_view_window.h"
#include "app/ui_font.h"
#include "core/thread_priority.h"
#include "core/window_scale.h"

namespace velmora {

namespace {

// Renders closer together than this are merged into one.
constexpr qint64 kMinRenderGapMs = 15;
// The window scale is written this long after the last resize, not at every step of a drag.
constexpr int kScaleSaveDelayMs = 1000;
// Room a window frame and title bar take on the screen.
constexpr int kFrameAllowance = 48;

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
      view_(Services{*dialogs_, null_, null_, wall_, mono_}),
      folder_(programFolder),
      quit_([] { QCoreApplication::exit(0); }) {
    view_.paths = Paths::InFolder(folder_.toStdString());
    // Everything the console asks of the window arrives on the console's thread and is carried
    // over to this one; nothing here is called back while the console waits.
    connect(this, &ConsoleApp::carried, this, &ConsoleApp::runCarried, Qt::QueuedConnection);
    connect(&publishWake_, &ThreadWake::raised, this, &ConsoleApp::published);
    LiveConsole::Hooks hooks;
    hooks.published = [this] {
        // One pending hand-over at a time: the window takes the latest snapshot when it gets
        // there, however many were published meanwhile.
        if (!publishPending_.exchange(true)) publishWake_.Raise();
    };
    hooks.showDialog = [this](DialogRequest r) {
        carry([this, r = std::move(r)] { showDialog(r); });
    };
    hooks.beep = [this] { carry([this] { dialogs_->Beep(); }); };
    hooks.report = [this](const std::string& text, MessageIcon icon) {
        carry([this, text, icon] { showLater(text, icon); });
    };
    hooks.opened = [this] { carry([this] { opened(); }); };
    hooks.ended = [this] { carry([this] { ended(); }); };
    live_ = std::make_unique<LiveConsole>(folder_.toStdString(), std::move(hooks));
    sinceRender_.start();
    scaleSaveTimer_.setSingleShot(true);
    connect(&scaleSaveTimer_, &QTimer::timeout, this, &ConsoleApp::flushWindowScale);
}

ConsoleApp::~ConsoleApp() {
    // The console's thread ends first: nothing it does can reach the window after this.
    live_.reset();
    teamView_.reset();
    main_.reset();
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

    live_->Start();
    // The engine's thread exists now; the window, and every thread it starts from here on,
    // give way to it when they compete for a core.
    LowerThisThreadsPriority();
}

void ConsoleApp::carry(std::function<void()> f) {
    {
        std::lock_guard lock(carryMutex_);
        carried_.push_back(std::move(f));
    }
    emit carried();
}

void ConsoleApp::runCarried() {
    // One call per signal, in order: a call that opens a dialog lets the ones behind it run
    // from the dialog's own event loop, as queued calls always did.
    std::function<void()> f;
    {
        std::lock_guard lock(carryMutex_);
        if (carried_.empty()) return;
        f = std::move(carried_.front());
        carried_.pop_front();
    }
    f();
}

void ConsoleApp::handOver() {
    splashTimer_->stop();
    splash_->hide();
    splash_.reset();

    // The settings and the design state are in place once the console has begun the first
    // action, which the start queued before anything else; the settings file is there then.
    sync();
    rememberedScale_ = LoadWindowScale(view_.paths.SettingsFilePath);
    savedScaleText_ = WindowScaleText(rememberedScale_);
    // Reading work sees the console as it stands after everything the crew did before it.
    EventSink sink{[this](EventSink::Action a) { post(std::move(a)); },
                   [this](EventSink::Action a) {
                       sync();
                       a(view_);
                   }};
    main_ = std::make_unique<MainWindow>(
        view_, sink, [this] { live_->End(); }, [this] { openTeamView(); });
    dialogs_->setParentWidget(main_.get());
    main_->ResizeToScale(StartWindowScale(rememberedScale_, ScaleThatFits()));
    main_->CentreOn(ScreenSize());
    main_->setOnScaleChanged([this](double) { scaleSaveTimer_.start(kScaleSaveDelayMs); });
    live_->Open();
}

void ConsoleApp::opened() {
    // Team view: on again if the crew left it on. A taken port is said once; measuring goes on.
    teamView_ = std::make_unique<TeamView>(
        view_.paths.SettingsFilePath, [this] { return live_->net().LocalAddress(); },
        [this] { publishTeamView(); });
    const QString teamViewError = teamView_->StartFromSettings();
    if (!teamViewError.isEmpty()) showLater(teamViewError.toStdString(), MessageIcon::Critical);
    renderNow();
    main_->show();
    emit mainWindowShown();
}

void ConsoleApp::ended() {
    flushWindowScale();
    if (quit_) quit_();
}

void ConsoleApp::post(std::function<void(Console&)> action) {
    posted_ = live_->Post(std::move(action));
}

bool ConsoleApp::sync(std::chrono::milliseconds timeout) {
    const std::uint64_t fence = live_->Post([](Console&) {});
    posted_ = fence;
    QEventLoop loop;
    QTimer guard;
    guard.setSingleShot(true);
    guard.start(static_cast<int>(timeout.count()));
    while (true) {
        const auto snap = live_->Latest();
        if (snap && snap->commandsBegun >= fence) break;
        if (!guard.isActive()) return false;
        // Every snapshot the console publishes posts an event here, and the guard fires one.
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    // What the console handed over before the fence (a dialog, the end) is queued here by now.
    QCoreApplication::processEvents();
    renderNow();
    return true;
}

bool ConsoleApp::run(std::function<void(Console&)> action) {
    post(std::move(action));
    return sync();
}

void ConsoleApp::published() {
    publishPending_ = false;
    requestRender();
}

void ConsoleApp::takeSnapshot() {
    const std::shared_ptr<const ConsoleSnapshot> snap = live_->Latest();
    if (!snap || snap == shown_) return;
    // A snapshot from before an action the window posted would undo, on screen, what the crew
    // just did (a text box would lose the last key typed). While one of the console's dialogs
    // is open the crew cannot act on the window, and its figures keep moving.
    if (snap->commandsBegun < posted_ && dialogsOpen_ == 0) return;
    view_.st = snap->st;
    view_.settings = snap->settings;
    view_.clock = snap->clock;
    shown_ = snap;
}

void ConsoleApp::showDialog(DialogRequest r) {
    ++dialogsOpen_;
    requestRender();
    DialogAnswer a;
    a.id = r.id;
    switch (r.kind) {
        case DialogRequest::Kind::Message:
            a.answer = dialogs_->MessageBox(r.text, r.title, r.buttons, r.icon);
            break;
        case DialogRequest::Kind::Input:
            a.text = dialogs_->InputBox(r.text, r.title, r.defaultText);
            break;
        case DialogRequest::Kind::SaveFile:
            a.text = dialogs_->SaveFileDialog(r.title, r.filter);
            break;
    }
    --dialogsOpen_;
    live_->Answer(std::move(a));
}

void ConsoleApp::showLater(std::string text, MessageIcon icon) {
    QTimer::singleShot(0, this, [this, text = std::move(text), icon] {
        dialogs_->MessageBox(text, "", MessageButtons::Ok, icon);
    });
}

void ConsoleApp::openTeamView() {
    if (!teamView_) return;
    if (!teamViewWindow_) teamViewWindow_ = new TeamViewWindow(main_.get(), *teamView_);
    teamViewWindow_->Open();
}

void ConsoleApp::publishTeamView() {
    if (teamView_) teamView_->Publish(view_.st, view_.clock);
}

void ConsoleApp::flushWindowScale() {
    scaleSaveTimer_.stop();
    if (!main_) return;
    const std::string text = WindowScaleText(main_->scale());
    if (text == savedScaleText_) return;
    // A failed write is not reported: the window simply opens at its design size next time.
    if (SaveWindowScale(view_.paths.SettingsFilePath, main_->scale())) savedScaleText_ = text;
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
    takeSnapshot();
    if (!main_) return;
    if (rendering_) {
        // An event raised by the render itself (a focus change): render once more after.
        renderAgain_ = true;
        return;
    }
    rendering_ = true;
    main_->Render(view_);
    publishTeamView();  // the team view follows what the window shows
    if (shown_ && shown_->focusSerial > focusSerial_) {
        focusSerial_ = shown_->focusSerial;
        main_->FocusControl(shown_->focusRequest);
    }
    rendering_ = false;
    sinceRender_.restart();
    if (renderAgain_) {
        renderAgain_ = false;
        requestRender();
    }
}

}  // namespace velmora
