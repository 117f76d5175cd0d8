#pragma once
// The console as the program runs it: the real clocks and sockets, the console itself, the
// thread that owns it (Engine) and the journal's writer. The window reaches it only through
// this class: it posts crew actions, reads published snapshots and answers dialogs; it never
// touches the console, and nothing here ever waits for the window.
#include <memory>
#include <string>
#include <thread>

#include "core/console.h"
#include "core/system_clocks.h"
#include "engine/engine.h"
#include "engine/engine_dialogs.h"
#include "engine/engine_timers.h"
#include "engine/posix_datagrams.h"
#include "journal/journal_writer.h"

namespace velmora {

class LiveConsole {
  public:
    struct Hooks {
        std::function<void()> published;                // a new snapshot (console's thread)
        std::function<void(DialogRequest)> showDialog;  // console's thread
        std::function<void()> beep;                     // console's thread
        SqliteJournal::Report report;                   // the journal's news (writer's thread)
        std::function<void()> opened;                   // the start-up is done (console's thread)
        std::function<void()> ended;                    // End confirmed, journal closed
    };

    LiveConsole(std::string programFolder, Hooks hooks);
    // Stops the console's thread, then writes out what the journal was handed.
    ~LiveConsole();
    LiveConsole(const LiveConsole&) = delete;
    LiveConsole& operator=(const LiveConsole&) = delete;

    // Starts the console's thread: the ports of a race the journal left measuring are bound at
    // once; then the settings are loaded.
    void Start();
    // The main window's load step (OpenConsole), then hooks.opened.
    void Open();
    // Btn_End: asks, and on Yes closes the journal, then hooks.ended.
    void End();

    std::uint64_t Post(Engine::Command command) { return engine_->Post(std::move(command)); }
    std::shared_ptr<const ConsoleSnapshot> Latest() const { return engine_->Latest(); }
    void Answer(DialogAnswer a) { dialogs_->Answer(std::move(a)); }

    // For tests and benchmarks.
    Engine& engine() { return *engine_; }
    JournalWriter& writer() { return *writer_; }
    PosixDatagrams& net() { return *net_; }
    const std::string& folder() const { return folder_; }
    // Slots whose ports were bound at start-up for a race left measuring.
    int captured() const { return captured_; }

  private:
    std::string folder_;
    Hooks hooks_;
    SteadyClock mono_;
    SystemWallClock wall_;
    std::unique_ptr<PosixDatagrams> net_;
    std::unique_ptr<EngineTimers> timers_;
    std::unique_ptr<EngineDialogs> dialogs_;
    std::unique_ptr<Console> console_;
    std::unique_ptr<JournalWriter> writer_;
    std::unique_ptr<Engine> engine_;
    std::thread thread_;
    int captured_ = 0;
};

}  // namespace velmora
