#include "journal/journal_checkpointer.h"

#include <utility>

#include "core/thread_priority.h"
#include "journal/journal_file.h"

namespace velmora {

JournalCheckpointer::JournalCheckpointer(const std::string& path, std::function<void()> emptied)
    : warmer_(path + "-wal"), emptied_(std::move(emptied)) {
    // SQLite opens the log and its index by name at the first read: one read now, so that all
    // three files are the ones at the path now, never a log put there later.
    // The journal's own settings: a checkpoint with synchronous=FULL syncs the file before the
    // log may start over, so a power cut never finds a log cut back over pages not yet synced.
    open_ = db_.Open(path, false) && ConfigureJournal(db_) &&
            db_.QueryInt("SELECT count(*) FROM sqlite_schema").has_value();
    if (!open_) {
        error_ = db_.Error();
        db_.Close();
    } else {
        pageSize_ = static_cast<int>(db_.QueryInt("PRAGMA page_size").value_or(4096));
    }
    thread_ = std::thread([this] { Run(); });
}

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
    LowerThisThreadsPriority();
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
        int inLog = -1, copied = -1;
        const int rc = open_ ? sqlite3_wal_checkpoint_v2(db_.handle(), nullptr,
                                                         SQLITE_CHECKPOINT_PASSIVE, &inLog, &copied)
                             : SQLITE_CANTOPEN;
        if (rc == SQLITE_OK) warmer_.Ahead(0, pageSize_);
        if (rc == SQLITE_OK && inLog > 0 && copied == inLog && emptied_) emptied_();
        {
            std::lock_guard lock(mutex_);
            if (rc == SQLITE_OK) ++done_;
            running_ = false;
        }
        idle_.notify_all();
    }
}

}  // namespace velmora
