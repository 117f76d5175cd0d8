#pragma once
// Checkpoints of the journal's write-ahead log, on a thread of their own with a connection of
// their own. A checkpoint copies the log back into the database and syncs both files: on a
// busy disk that can take tens of milliseconds, which the user-interface thread must never
// wait for (a car's datagram handled that much later is a lap timed that much longer).
// SQLite lets a passive checkpoint run while the console's connection goes on committing.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "journal/log_warmer.h"
#include "journal/sqlite_db.h"

namespace velmora {

class JournalCheckpointer {
  public:
    // Opens the connection at once, on the caller's thread, right beside the caller's own: the
    // caller then checks that the file at the path is still the one it opened, so a file that
    // replaced the journal later is never checkpointed. IsOpen() says whether it could.
    // `emptied` runs on the checkpointer's thread after each checkpoint that copied the whole
    // log back: the next commit then starts the log over, and syncs its new start first.
    explicit JournalCheckpointer(const std::string& path, std::function<void()> emptied = {});
    // Waits for a checkpoint under way, then ends the thread.
    ~JournalCheckpointer();
    JournalCheckpointer(const JournalCheckpointer&) = delete;
    JournalCheckpointer& operator=(const JournalCheckpointer&) = delete;

    bool IsOpen() const { return open_; }
    const std::string& Error() const { return error_; }

    // Asks for one checkpoint; returns at once. Requests made while one runs are merged.
    void Request();
    // Checkpoints done so far, and a wait until none is asked for or running (for tests).
    int Done() const;
    void WaitIdle();

  private:
    void Run();

    SqliteDb db_;  // used by the thread only once it runs
    // After a checkpoint the next commit writes the log from its start again, pages the
    // checkpoint may not have read (it reads only each page's latest frame): read in here.
    LogWarmer warmer_;
    std::function<void()> emptied_;
    int pageSize_ = 4096;
    bool open_ = false;
    std::string error_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    bool requested_ = false;
    bool running_ = false;
    bool stop_ = false;
    int done_ = 0;
    std::thread thread_;
};

}  // namespace velmora
