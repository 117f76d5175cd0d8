#pragma once
// The console's repeating timers, run by its own thread. Each repeats at a fixed period from
// when it was started and never drifts. The thread runs every timer at its deadline, in time
// order with the datagrams that arrived (datagrams first when both fall at the same instant):
// a handler sees exactly what had arrived by its deadline, however late the thread got to it.
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/services.h"

namespace velmora {

class EngineTimers : public TimerService {
  public:
    // `afterEvent` runs after every handler (the console's journal commit and publication).
    EngineTimers(MonotonicClock& mono, std::function<void()> afterEvent)
        : mono_(mono), afterEvent_(std::move(afterEvent)) {}

    // Starting a running timer keeps its phase and takes the new handler; a new interval
    // applies from the next deadline, which comes no later than one new interval from now.
    void Start(TimerKey key, int intervalMs, std::function<void()> onTick) override;
    void Stop(TimerKey key) override;
    bool IsRunning(TimerKey key) const override;

    // The earliest deadline of a running timer.
    std::optional<std::int64_t> NextDeadline() const;
    // Runs, in deadline order, every timer due at or before `upTo`, each once per period it
    // owes. `atDeadline` is told each deadline before its handler runs.
    void RunDue(std::int64_t upTo, const std::function<void(std::int64_t)>& atDeadline);

    // A timer that owes more periods than this (the thread was held that long) skips ahead.
    static constexpr std::int64_t kMaxCatchUpNs = 3'600'000'000'000;

  private:
    struct Entry {
        TimerKey key;
        std::int64_t periodNs = 0;
        std::int64_t nextNs = 0;
        std::function<void()> onTick;
    };
    Entry* Find(TimerKey key);
    const Entry* Find(TimerKey key) const;

    MonotonicClock& mono_;
    std::function<void()> afterEvent_;
    std::vector<Entry> running_;
};

}  // namespace velmora
