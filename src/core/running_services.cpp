#include "core/running_services.h"

namespace velmora {

RunningServices RunningServices::Capture(const Console& c) {
    RunningServices s;
    s.clockRunning = c.ticks.Running();
    s.heldTicks = s.clockRunning ? 0 : c.ticks.Now();
    for (std::size_t k = 0; k < kConsoleTimers.size(); ++k)
        s.timers[k] = c.svc.timers.IsRunning(kConsoleTimers[k]);
    for (int i = 0; i < kPanelCount; ++i)
        s.carSockets[static_cast<std::size_t>(i)] = c.svc.net.IsBound(CarSocket(i));
    return s;
}

}  // namespace velmora
