#include "engine/live_console.h"

#include <pthread.h>

#include "engine/console_startup.h"

namespace velmora {

namespace {
// Well under a frame of the window and a blink of the crew's eye; at 300 datagrams a second
// from each of three cars it turns 900 snapshots a second into at most 100.
constexpr std::int64_t kPublishGapNs = 10'000'000;
// What only datagrams and the lap clocks changed reaches the journal's writer this often at
// the most; every write is at least this fresh.
constexpr std::int64_t kWriterGapNs = 100'000'000;
}  // namespace

LiveConsole::LiveConsole(std::string programFolder, Hooks hooks)
    : folder_(std::move(programFolder)), hooks_(std::move(hooks)) {
    net_ = std::make_unique<PosixDatagrams>(mono_);
    timers_ = std::make_unique<EngineTimers>(mono_, [this] { engine_->AfterEvent(); });
    EngineDialogs::Hooks d;
    d.show = hooks_.showDialog;
    d.beep = hooks_.beep;
    d.waitUntil = [this](const std::function<bool()>& answered) { engine_->WaitUntil(answered); };
    d.wake = [this] { engine_->Wake(); };
    dialogs_ = std::make_unique<EngineDialogs>(std::move(d));
    console_ = std::make_unique<Console>(Services{*dialogs_, *timers_, *net_, wall_, mono_});
    writer_ = std::make_unique<JournalWriter>(Paths::InFolder(folder_).JournalFilePath,
                                              hooks_.report, wall_, mono_);
    engine_ = std::make_unique<Engine>(*console_, *net_, *timers_, mono_);
    engine_->SetPublished(hooks_.published);
    engine_->SetPublishGap(kPublishGapNs);
    engine_->SetWriterGap(kWriterGapNs);
}

LiveConsole::~LiveConsole() {
    if (thread_.joinable()) {
        engine_->RequestStop();
        thread_.join();
    }
    // The journal's writer goes first (it writes out what it holds), then what it followed.
    engine_->SetJournal(nullptr);
    writer_.reset();
}

void LiveConsole::Start() {
    // The replies a sync freed leave from the writer's thread as it ends: waking the engine to
    // send them put one more thread wake-up into every lap's reply. The engine is still woken,
    // to log them and to go on with what waited for the write.
    writer_->Start([this](JournalTicket durable) {
        net_->Release(durable);
        engine_->Wake();
    });
    const std::string folder = folder_;
    engine_->Post([folder](Console& c) { PrepareConsole(c, folder); });
    thread_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "velmora-engine");
        captured_ = CaptureLeftRace(Paths::InFolder(folder_).JournalFilePath, *net_);
        engine_->Run();
    });
}

void LiveConsole::Open() {
    engine_->Post([this](Console& c) {
        OpenConsole(c, *engine_, *writer_, *net_);
        // The window opens on the state as it is now, journaled.
        engine_->AfterEvent();
        engine_->Publish();
        if (hooks_.opened) hooks_.opened();
    });
}

void LiveConsole::End() {
    engine_->Post([this](Console& c) {
        if (ConfirmEnd(c, *engine_, *writer_) && hooks_.ended) hooks_.ended();
    });
}

}  // namespace velmora
