#include "app/qt_timers.h"

#include <algorithm>

namespace velmora {

void QtTimers::Start(TimerKey key, int intervalMs, std::function<void()> onTick) {
    Slot& s = timers_[Index(key)];
    s.onTick = std::move(onTick);
    if (!s.timer) {
        s.timer = std::make_unique<QTimer>();
        // Lap clocks are read from the tick counter, not from fire counts, but a precise
        // timer keeps the 99 ms display steps even.
        s.timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(s.timer.get(), &QTimer::timeout, [this, k = Index(key)] {
            auto it = timers_.find(k);
            if (it == timers_.end() || !it->second.timer->isActive()) return;
            // After a shortened period (interval changed while running) go on at the new one.
            if (it->second.timer->interval() != it->second.intervalMs)
                it->second.timer->setInterval(it->second.intervalMs);
            // Copy: the handler may restart or stop this very timer.
            auto handler = it->second.onTick;
            if (handler) handler();
            if (afterEvent_) afterEvent_();
        });
    }
    const int interval = intervalMs < 0 ? 0 : intervalMs;
    const int previous = s.intervalMs;
    s.intervalMs = interval;
    if (s.timer->isActive()) {
        // setInterval on an active QTimer would restart the period; instead let the current
        // period end (no later than the new interval) and switch in the timeout handler.
        if (previous != interval) {
            const int remaining = s.timer->remainingTime();
            s.timer->start(remaining < 0 ? interval : std::min(remaining, interval));
        }
        return;
    }
    s.timer->start(interval);
}

void QtTimers::Stop(TimerKey key) {
    auto it = timers_.find(Index(key));
    if (it != timers_.end() && it->second.timer) it->second.timer->stop();
}

bool QtTimers::IsRunning(TimerKey key) const {
    auto it = timers_.find(Index(key));
    return it != timers_.end() && it->second.timer && it->second.timer->isActive();
}

}  // namespace velmora
