#pragma once
// The console's repeating timers as QTimers, one per TimerKey, on the user-interface thread.
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "core/services.h"

namespace velmora {

class QtTimers : public TimerService {
  public:
    // `afterEvent` runs after every tick's handler (the shell schedules a render there).
    explicit QtTimers(std::function<void()> afterEvent) : afterEvent_(std::move(afterEvent)) {}

    // Starting a running timer keeps its period running: only the interval and handler change.
    void Start(TimerKey key, int intervalMs, std::function<void()> onTick) override;
    void Stop(TimerKey key) override;
    bool IsRunning(TimerKey key) const override;

  private:
    struct Slot {
        std::unique_ptr<QTimer> timer;
        std::function<void()> onTick;
        int intervalMs = 0;
    };
    static int Index(TimerKey key) { return static_cast<int>(key.id) * 16 + key.slot; }

    std::function<void()> afterEvent_;
    std::map<int, Slot> timers_;
};

}  // namespace velmora
