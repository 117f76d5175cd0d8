#include "journal/journal_writer.h"

#include "core/null_services.h"

namespace velmora {

JournalWriter::JournalWriter(std::string path, SqliteJournal::Report report, WallClock& wall,
                             MonotonicClock& mono)
    : null_(std::make_unique<NullServices>()),
      mirror_(std::make_unique<Console>(Services{*null_, *null_, *null_, wall, mono})),
      journal_(std::make_unique<SqliteJournal>(*mirror_, std::move(path), std::move(report))) {
    journal_->SetServicesSource([this] { return services_; });
    journal_->SetLogEmptiedHandler([this] {
        {
            std::lock_guard lock(mutex_);
            startOver_ = true;
        }
        wake_.notify_one();
    });
}

JournalWriter::~JournalWriter() {
    if (thread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    mirror_->journal = nullptr;
    // Its checkpointer's thread calls back into this writer: ended while the writer is whole.
    journal_.reset();
}

void JournalWriter::Start(std::function<void(JournalTicket)> durable) {
    onDurable_ = std::move(durable);
    thread_ = std::thread([this] { Run(); });
}

void JournalWriter::Submit(Batch b, bool wake) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(b));
        if (!wake) return;
        ++wakes_;
        writeWanted_ = true;
    }
    wake_.notify_one();
}

void JournalWriter::Wake() {
    {
        std::lock_guard lock(mutex_);
        if (queue_.empty()) return;
        ++wakes_;
        writeWanted_ = true;
    }
    wake_.notify_one();
}

std::uint64_t JournalWriter::Wakes() const {
    std::lock_guard lock(mutex_);
    return wakes_;
}

void JournalWriter::Finish() {
    {
        std::lock_guard lock(mutex_);
        finish_ = true;
    }
    wake_.notify_one();
}

bool JournalWriter::Finished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

std::string JournalWriter::FinishMessage() const {
    std::lock_guard lock(mutex_);
    return finishMessage_;
}

JournalTicket JournalWriter::Durable() const {
    std::lock_guard lock(mutex_);
    return durable_;
}

void JournalWriter::Drain() {
    Wake();
    std::unique_lock lock(mutex_);
    written_.wait(lock, [this] {
        return (queue_.empty() && !busy_ && !startOver_ && !startingOver_) || !thread_.joinable();
    });
}

void JournalWriter::Run() {
    // The writer keeps the console's priority: a lap's reply waits for its write, and lowered
    // it queued behind the window's redraw of the lap chart for the same lap (a few ms on two
    // cores). Its work is short and comes a few times a second, so the engine loses little.
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] {
            return stop_ || writeWanted_ || (finish_ && !finished_) || startOver_;
        });
        const bool finish = finish_ && !finished_;
        // Batches handed over without a wake-up wait for one (the engine's gap), even when the
        // log's start-over wakes the writer meanwhile.
        std::vector<Batch> batches;
        if (writeWanted_ || stop_ || finish) batches.swap(queue_);
        writeWanted_ = false;
        const bool startOver = startOver_ && !finish;
        startingOver_ = startOver;
        startOver_ = false;
        busy_ = true;
        lock.unlock();
        if (!batches.empty()) Write(batches);
        const std::string ended = finish ? journal_->Finish() : std::string();
        lock.lock();
        busy_ = false;
        if (finish) {
            finished_ = true;
            finishMessage_ = ended;
        }
        if (!batches.empty()) durable_ = batches.back().snapshot->seq;
        const JournalTicket durable = durable_;
        written_.notify_all();
        // A finish with nothing left to write is news too: the engine's End waits for it.
        if ((!batches.empty() || finish) && onDurable_) {
            lock.unlock();
            onDurable_(durable);
            lock.lock();
        }
        if ((!batches.empty() || startOver) && !finish) {
            // The replies are out. A log a checkpoint emptied is started over now, while no lap
            // waits, and the next write's log pages are read in meanwhile.
            lock.unlock();
            if (startOver) journal_->StartLogOver();
            journal_->WarmLog();
            lock.lock();
        }
        if (startingOver_) {
            startingOver_ = false;
            written_.notify_all();
        }
        if (stop_ && queue_.empty()) return;
    }
}

void JournalWriter::Write(std::vector<Batch>& batches) {
    // The latest snapshot holds everything the earlier ones changed; the traffic of every
    // batch goes in, in order.
    const ConsoleSnapshot& s = *batches.back().snapshot;
    bool commit = false;
    bool heartbeat = false;
    bool waited = false;
    std::vector<TrafficRecord> traffic;
    for (Batch& b : batches) {
        commit = commit || b.commit;
        heartbeat = heartbeat || b.heartbeat;
        waited = waited || b.waited;
        for (TrafficRecord& t : b.traffic) traffic.push_back(std::move(t));
    }
    mirror_->st = s.st;
    mirror_->settings = s.settings;
    mirror_->clock = s.clock;
    services_ = s.services;
    journal_->AddTraffic(std::move(traffic));
    if (heartbeat || commit) journal_->Write(*mirror_, waited, heartbeat);
}

}  // namespace velmora
