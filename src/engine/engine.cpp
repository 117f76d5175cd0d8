#include "engine/engine.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

#include "carlink/protocol.h"

namespace velmora {

// The console's journal as the core sees it: a commit asks for the snapshot at the end of the
// round to be written and synced, and its ticket is that snapshot's number.
class Engine::Feed final : public RaceJournal {
  public:
    explicit Feed(Engine& e) : e_(e) {}
    JournalTicket Commit(const Console&) override {
        e_.commitWanted_ = true;
        // Someone holds this ticket (a lap's reply): its snapshot must not wait.
        if (!e_.routineCommit_) e_.ticketWaiting_ = true;
        return e_.writer_ ? e_.seq_ + 1 : 0;
    }
    void Heartbeat(const Console&) override { e_.heartbeatWanted_ = true; }

  private:
    Engine& e_;
};

namespace {

// A wait with nothing to do still comes round this often (a stop request, a clock step).
constexpr std::int64_t kLongestWaitNs = 1'000'000'000;

// The run's settings and slots, as the Start marker keeps them for a replay.
RunSetup SetupOf(const Console& c) {
    RunSetup s;
    s.precision = c.settings.Precision;
    s.silenceSeconds = c.settings.SilenceSeconds;
    for (int i = 0; i < kPanelCount; ++i)
        if (c.svc.net.IsBound(CarSocket(i))) s.cars.push_back(i);
    return s;
}

}  // namespace

Engine::Engine(Console& console, EngineNet& net, EngineTimers& timers, MonotonicClock& mono)
    : c_(console),
      net_(net),
      timers_(timers),
      mono_(mono),
      feed_(std::make_unique<Feed>(*this)),
      wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

Engine::~Engine() {
    if (c_.journal == feed_.get()) c_.journal = nullptr;
    net_.SetTrafficLog(nullptr);
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void Engine::SetJournal(JournalWriter* writer) {
    writer_ = writer;
    c_.journal = writer ? feed_.get() : nullptr;
    if (writer)
        net_.SetTrafficLog([this](const EngineNet::Traffic& t) { Note(t); });
    else
        net_.SetTrafficLog(nullptr);
}

std::uint64_t Engine::Post(Command command) {
    std::uint64_t n = 0;
    {
        std::lock_guard lock(mutex_);
        n = ++posted_;
        commands_.emplace_back(n, std::move(command));
    }
    Wake();
    return n;
}

std::shared_ptr<const ConsoleSnapshot> Engine::Latest() const {
    std::lock_guard lock(mutex_);
    return latest_;
}

void Engine::Wake() {
    const std::uint64_t one = 1;
    if (wakeFd_ >= 0) (void)!::write(wakeFd_, &one, sizeof one);
}

void Engine::RequestStop() {
    stop_ = true;
    Wake();
}

void Engine::Run() {
    while (!stop_) {
        WaitForWork(false);
        if (stop_) break;
        Round(false);
    }
}

void Engine::WaitUntil(const std::function<bool()>& done) {
    // Whatever happened before the wait is journaled and shown while it lasts.
    Publish();
    while (!done() && !stop_) {
        WaitForWork(true);
        Round(true);
    }
}

void Engine::WaitForWork(bool nested) {
    std::int64_t waitNs = kLongestWaitNs;
    {
        std::lock_guard lock(mutex_);
        if (!nested && !commands_.empty()) waitNs = 0;
    }
    const std::int64_t now = mono_.NowNs();
    if (const auto next = timers_.NextDeadline())
        waitNs = std::clamp<std::int64_t>(*next - now, 0, waitNs);
    // A snapshot held back (see PublishCanWait) goes out when its gap is over; so does the
    // writer's wake-up for a batch handed over without one.
    if (publishGapNs_ > 0 && (dirty_ || heartbeatWanted_ || !traffic_.empty()))
        waitNs = std::clamp<std::int64_t>(lastPublishNs_ + publishGapNs_ - now, 0, waitNs);
    if (writerOwed_)
        waitNs = std::clamp<std::int64_t>(lastWriterWakeNs_ + writerGapNs_ - now, 0, waitNs);
    fds_.clear();
    fds_.push_back(pollfd{wakeFd_, POLLIN, 0});
    net_.AddPollFds(fds_);
    const timespec timeout{static_cast<time_t>(waitNs / 1'000'000'000),
                           static_cast<long>(waitNs % 1'000'000'000)};
    ::ppoll(fds_.data(), fds_.size(), &timeout, nullptr);
    if (fds_[0].revents & POLLIN) {
        std::uint64_t count = 0;
        (void)!::read(wakeFd_, &count, sizeof count);
    }
}

void Engine::Round(bool nested) {
    const std::int64_t now = mono_.NowNs();
    const auto atDeadline = [this](std::int64_t deadline) { c_.heardUntilNs = deadline; };
    // What arrived joins the datagrams not handled yet, in order of arrival. A handler or a
    // timer may open a dialog: the rounds run while it is open handle the rest of the list
    // themselves (and what arrives meanwhile), so every datagram is handled once, in order.
    net_.Read(fresh_);
    for (EngineNet::Arrived& a : fresh_) pending_.push_back({++arrivals_, std::move(a)});
    fresh_.clear();
    std::stable_sort(pending_.begin(), pending_.end(), [](const Pending& x, const Pending& y) {
        return x.datagram.arrivalNs < y.datagram.arrivalNs;
    });
    while (!pending_.empty()) {
        const std::uint64_t next = pending_.front().number;
        // A timer that fell due before this datagram arrived runs first, as it would have.
        timers_.RunDue(pending_.front().datagram.arrivalNs - 1, atDeadline);
        c_.heardUntilNs = 0;
        if (pending_.empty() || pending_.front().number != next) continue;  // handled meanwhile
        const EngineNet::Arrived a = std::move(pending_.front().datagram);
        pending_.pop_front();
        if (net_.Dispatch(a)) AfterEvent();
    }
    timers_.RunDue(now, atDeadline);
    c_.heardUntilNs = 0;
    if (writer_) net_.Durable(writer_->Durable());
    if (!nested) RunCommands();
    if (!PublishCanWait()) Publish(true);
    if (writerOwed_ && mono_.NowNs() - lastWriterWakeNs_ >= writerGapNs_) {
        writer_->Wake();
        lastWriterWakeNs_ = mono_.NowNs();
        unwrittenTraffic_ = 0;
        writerOwed_ = false;
    }
}

// Each snapshot wakes the window and, within its own gap, the journal's writer. At hundreds of
// datagrams a second those wake-ups crowd the cores the replies need, while the window merges
// renders closer than its frame anyway. So a round that only heard cars or ran the lap clocks
// publishes at most once per gap (the lap clocks' heartbeat writes the running values once a
// second, and is no later for riding the gap); a commit someone waits for (a lap's reply) or a
// focus request goes out at once.
bool Engine::PublishCanWait() const {
    return publishGapNs_ > 0 && !ticketWaiting_ && c_.st.focusRequest.empty() &&
           mono_.NowNs() - lastPublishNs_ < publishGapNs_;
}

void Engine::RunCommands() {
    while (!stop_) {
        std::pair<std::uint64_t, Command> next;
        {
            std::lock_guard lock(mutex_);
            if (commands_.empty()) return;
            next = std::move(commands_.front());
            commands_.pop_front();
        }
        begun_ = next.first;
        next.second(c_);
        AfterEvent();
        // The crew sees each action's outcome, whatever follows it in the queue.
        Publish();
        // And it is on the disk before the next action begins, as a lap is before its reply:
        // a crash right after a correction, a refuel or a Start loses none of them. The cars
        // are served meanwhile; a write that has nothing to sync comes back at once.
        if (writer_) {
            const JournalTicket written = seq_;
            WaitUntil([this, written] { return writer_->Durable() >= written; });
        }
    }
}

void Engine::AfterEvent() {
    dirty_ = true;
    // Whatever the handler changed is journaled, but nobody waits for it.
    routineCommit_ = true;
    c_.CommitJournal();
    routineCommit_ = false;
    const bool measuring = c_.st.Measuring();
    if (measuring != wasMeasuring_) {
        wasMeasuring_ = measuring;
        Mark(measuring ? TrafficKind::Start : TrafficKind::Stop);
    }
}

void Engine::Mark(TrafficKind kind) {
    dirty_ = true;
    if (!writer_) return;
    TrafficRecord r;
    r.kind = kind;
    r.ns = kind == TrafficKind::Start ? c_.ticks.OriginNs() : mono_.NowNs();
    r.tick = c_.ticks.At(r.ns);
    if (kind != TrafficKind::Stop) r.bytes = FormatRunSetup(SetupOf(c_));
    traffic_.push_back(std::move(r));
}

void Engine::Note(const EngineNet::Traffic& t) {
    TrafficRecord r;
    r.kind = t.direction == EngineNet::Direction::In ? TrafficKind::In : TrafficKind::Out;
    r.slot = static_cast<int>(t.id);
    r.ns = t.ns;
    r.tick = c_.ticks.At(t.ns);
    r.bytes = std::string(t.bytes);
    traffic_.push_back(std::move(r));
}

void Engine::Publish(bool routine) {
    if (!dirty_ && !commitWanted_ && !heartbeatWanted_ && traffic_.empty()) return;
    // A focus request goes to the window once, with every snapshot until the next one.
    if (!c_.st.focusRequest.empty()) {
        focus_ = c_.st.focusRequest;
        ++focusSerial_;
        c_.st.focusRequest.clear();
    }
    figures_.Refresh(c_.st, c_.clock);
    rules_.Refresh(c_);
    std::shared_ptr<ConsoleSnapshot> made = TakeSnapshot(c_, ++seq_, begun_);
    made->focusRequest = focus_;
    made->focusSerial = focusSerial_;
    std::shared_ptr<const ConsoleSnapshot> snap = std::move(made);
    {
        std::lock_guard lock(mutex_);
        latest_ = snap;
    }
    if (writer_) {
        JournalWriter::Batch b;
        b.snapshot = snap;
        b.commit = commitWanted_;
        b.heartbeat = heartbeatWanted_;
        b.waited = !routine || ticketWaiting_;
        unwrittenTraffic_ += traffic_.size();
        b.traffic.swap(traffic_);
        // Each wake-up costs the writer a copy of the snapshot and a comparison with the file,
        // and the engine a wake-up of its own when the writer reports; at ten datagrams a second
        // per car and the lap clocks' ticks, that was most of the console's CPU. A batch of
        // datagrams and lap clocks alone waits up to the writer's gap; a commit someone waits
        // for (a lap's reply, a crew action) goes at once. So does a batch behind which the
        // traffic record has grown long: a lap's write would insert all of it before its sync.
        const std::int64_t now = mono_.NowNs();
        const bool wake = !routine || ticketWaiting_ || writerGapNs_ == 0 ||
                          now - lastWriterWakeNs_ >= writerGapNs_ ||
                          unwrittenTraffic_ >= kTrafficLinesPerWrite;
        writer_->Submit(std::move(b), wake);
        if (wake) {
            lastWriterWakeNs_ = now;
            unwrittenTraffic_ = 0;
        }
        writerOwed_ = !wake;
    }
    traffic_.clear();
    dirty_ = commitWanted_ = ticketWaiting_ = heartbeatWanted_ = false;
    lastPublishNs_ = mono_.NowNs();
    if (published_) published_();
}

}  // namespace velmora
