#include "engine/engine_timers.h"

#include <algorithm>

namespace velmora {

namespace {
// A period of 0 ms would run its timer without end within one call; Qt runs such a timer once
// per pass of its loop, which this matches closely enough.
constexpr std::int64_t kShortestPeriodNs = 1'000'000;
}  // namespace

EngineTimers::Entry* EngineTimers::Find(TimerKey key) {
    for (Entry& e : running_)
        if (e.key == key) return &e;
    return nullptr;
}

const EngineTimers::Entry* EngineTimers::Find(TimerKey key) const {
    for (const Entry& e : running_)
        if (e.key == key) return &e;
    return nullptr;
}

void EngineTimers::Start(TimerKey key, int intervalMs, std::function<void()> onTick) {
    const std::int64_t period =
        std::max<std::int64_t>(kShortestPeriodNs, std::int64_t{intervalMs} * 1'000'000);
    const std::int64_t now = mono_.NowNs();
    if (Entry* e = Find(key)) {
        e->onTick = std::move(onTick);
        if (e->periodNs != period) e->nextNs = std::min(e->nextNs, now + period);
        e->periodNs = period;
        return;
    }
    running_.push_back(Entry{key, period, now + period, std::move(onTick)});
}

void EngineTimers::Stop(TimerKey key) {
    std::erase_if(running_, [key](const Entry& e) { return e.key == key; });
}

bool EngineTimers::IsRunning(TimerKey key) const { return Find(key) != nullptr; }

std::optional<std::int64_t> EngineTimers::NextDeadline() const {
    std::optional<std::int64_t> next;
    for (const Entry& e : running_)
        if (!next || e.nextNs < *next) next = e.nextNs;
    return next;
}

void EngineTimers::RunDue(std::int64_t upTo, const std::function<void(std::int64_t)>& atDeadline) {
    while (true) {
        Entry* due = nullptr;
        for (Entry& e : running_)
            if (e.nextNs <= upTo && (!due || e.nextNs < due->nextNs)) due = &e;
        if (!due) return;
        const std::int64_t deadline = due->nextNs;
        due->nextNs += due->periodNs;
        if (upTo - due->nextNs > kMaxCatchUpNs)
            due->nextNs += (upTo - due->nextNs) / due->periodNs * due->periodNs;
        // A copy: the handler may stop or restart this very timer, or start others.
        auto handler = due->onTick;
        if (atDeadline) atDeadline(deadline);
        if (handler) handler();
        if (afterEvent_) afterEvent_();
    }
}

}  // namespace velmora
