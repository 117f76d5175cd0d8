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
#include "app/ui_font.h"
#include "carlink/presence.h"
#include "core/window_scale.h"
#include "core/window_state.h"
#include "master/master_files.h"
#include "measure/measurement.h"

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
      timers_(std::make_unique<QtTimers>([this] { requestRender(); })),
      net_(std::make_unique<QtDatagrams>([this] { requestRender(); })),
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
    main_ = std::make_unique<MainWindow>(c, EventSink{c, [this] { renderNow(); }},
                                         [this] { confirmEnd(); });
    dialogs_->setParentWidget(main_.get());
    main_->ResizeToScale(StartWindowScale(rememberedScale_, ScaleThatFits()));
    main_->CentreOn(ScreenSize());
    main_->setOnScaleChanged([this](double) { scaleSaveTimer_.start(kScaleSaveDelayMs); });

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
    const std::string presence = StartPresenceResponder(c);
    if (!presence.empty()) {
        c.svc.dialogs.MessageBox("ポート7001を使用できません (" + presence +
                                     ")。他のプログラムが使用中の可能性があります。車輌PCからの登録"
                                     "確認には応答しません。",
                                 "", MessageButtons::Ok, MessageIcon::Critical);
    }
    StartWindowTimers(c);
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
    if (quit_) quit_();
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
    rendering_ = false;
    sinceRender_.restart();
    if (renderAgain_) {
        renderAgain_ = false;
        requestRender();
    }
}

}  // namespace velmora
