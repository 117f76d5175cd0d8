#include "journal/journal_checkpointer.h"

#include "journal/sqlite_db.h"

namespace velmora {

JournalCheckpointer::JournalCheckpointer(std::string path)
    : path_(std::move(path)), thread_([this] { Run(); }) {}

JournalCheckpointer::~JournalCheckpointer() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void JournalCheckpointer::Request() {
    {
        std::lock_guard lock(mutex_);
        requested_ = true;
    }
    wake_.notify_one();
}

int JournalCheckpointer::Done() const {
    std::lock_guard lock(mutex_);
    return done_;
}

void JournalCheckpointer::WaitIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !requested_ && !running_; });
}

void JournalCheckpointer::Run() {
    SqliteDb db;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return requested_ || stop_; });
            if (stop_) return;
            requested_ = false;
            running_ = true;
        }
        // A failure is left to the console's own connection to notice and report; the log
        // simply waits for the next request.
        if (!db.IsOpen() && (!db.Open(path_, false) || !db.Exec("PRAGMA synchronous=FULL")))
            db.Close();
        const int rc = db.IsOpen()
                           ? sqlite3_wal_checkpoint_v2(db.handle(), nullptr,
                                                       SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr)
                           : SQLITE_CANTOPEN;
        {
            std::lock_guard lock(mutex_);
            if (rc == SQLITE_OK) ++done_;
            running_ = false;
        }
        idle_.notify_all();
    }
}

}  // namespace velmora
