#include "measure/resume.h"

#include <algorithm>
#include <string>
#include <vector>

#include "measure/measurement.h"
#include "measure/stopwatch.h"
#include "pit/drivers.h"
#include "pit/fuel.h"
#include "pit/messages.h"

namespace velmora {

namespace {

// Elapsed time of the measurement now, never below the latest tick reading the journal holds
// for a slot still measured. From tick 0's monotonic instant while the clock keeps its origin
// (the program restarted): exact, unlike the wall clock, which may have been stepped or slewed
// since and would lengthen or shorten every lap open across the restart. From the real time
// of tick 0 once the machine has started again.
std::int64_t ElapsedNs(const Console& c, const RunningServices& s) {
    const std::int64_t periodNs = 1'000'000'000LL / c.clock.TicksPerSecond;
    std::int64_t floorTicks = 0;
    for (int i = 0; i < kPanelCount; ++i) {
        if (!s.carSockets[static_cast<std::size_t>(i)]) continue;
        const RunnerState& r = c.st.runners[i];
        floorTicks = std::max<std::int64_t>({floorTicks, r.LapStartTick, r.LastHeardTick});
    }
    const bool sameOrigin =
        !c.st.TickZeroClockId.empty() && c.st.TickZeroClockId == c.svc.mono.OriginId();
    const std::int64_t elapsed = sameOrigin
                                     ? c.svc.mono.NowNs() - c.st.TickZeroMonoNs
                                     : (c.svc.wall.RealNowMs() - c.st.TickZeroRealMs) * 1'000'000LL;
    return std::max(elapsed, floorTicks * periodNs);
}

}  // namespace

void StartConsoleTimer(Console& c, TimerKey key) {
    const int i = key.slot;
    switch (key.id) {
        case TimerId::System:
            StartSystemTimer(c);
            break;
        case TimerId::NoInputBlk:
            StartNoInputBlink(c);
            break;
        case TimerId::OtherLap:
            StartOtherLapTimer(c);
            break;
        case TimerId::Lap:
            StartLapTimer(c, i);
            break;
        case TimerId::DriverInfo:
            StartDriverPopupTimer(c, i);
            break;
        case TimerId::GasBlk:
            StartGasBlink(c, i);
            break;
        case TimerId::MessBlk:
            StartMessBlink(c, i);
            break;
    }
}

void ResumeServices(Console& c, const RunningServices& s) {
    if (s.clockRunning) {
        c.ticks.Resume(c.clock.TicksPerSecond, ElapsedNs(c, s));
        NoteTickZeroOrigin(c);  // the next restart counts on from this one's origin
    } else
        c.ticks.Hold(s.heldTicks);

    std::vector<std::string> bindFailures;
    for (int i = 0; i < kPanelCount; ++i) {
        if (!s.carSockets[static_cast<std::size_t>(i)]) continue;
        const std::string error = BindCarSocket(c, i);
        if (!error.empty()) {
            bindFailures.push_back(BindFailureText(i, error));
            LeaveOutOfRun(c, i);
        }
    }
    for (std::size_t k = 0; k < kConsoleTimers.size(); ++k) {
        const TimerKey key = kConsoleTimers[k];
        const bool slotLeft = key.id == TimerId::Lap && !c.svc.net.IsBound(CarSocket(key.slot));
        if (s.timers[k] && !slotLeft) StartConsoleTimer(c, key);
    }
    // The clock and remaining time as they are now, not as they were last journaled.
    SystemClockTick(c);
    for (const std::string& text : bindFailures)
        c.svc.dialogs.MessageBox(text, "", MessageButtons::Ok, MessageIcon::Critical);
}

}  // namespace velmora
