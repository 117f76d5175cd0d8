#include "measure/stopwatch.h"

#include <cstdint>

#include "core/time_format.h"

namespace velmora {

namespace {

constexpr int kStopwatchMs = 99;

// Readings kept across a restart of the clock give negative spans; 64-bit keeps the
// difference exact before it is shown.
std::int32_t Span(std::int32_t from, std::int32_t to) {
    return static_cast<std::int32_t>(static_cast<std::int64_t>(to) - from);
}

}  // namespace

void OtherLapClick(Console& c) {
    MainFrameState& m = c.st.main;
    if (m.Btn_OtherLap.caption == "Start") {
        c.st.SpotStartTick = c.TickCounter();
        StartOtherLapTimer(c);
        m.Btn_OtherLap.caption = "Stop";
    } else {
        c.st.SpotStopTick = c.TickCounter();
        c.svc.timers.Stop(TimerKey{TimerId::OtherLap});
        m.Btn_OtherLap.caption = "Start";
        m.Lbl_OtherLap.caption =
            FormatLapTime(Span(c.st.SpotStartTick, c.st.SpotStopTick), c.clock);
    }
}

void StartOtherLapTimer(Console& c) {
    c.svc.timers.Start(TimerKey{TimerId::OtherLap}, kStopwatchMs, [&c] { OtherLapTick(c); });
}

void OtherLapTick(Console& c) {
    c.st.main.Lbl_OtherLap.caption =
        FormatLapTime(Span(c.st.SpotStartTick, c.TickCounter()), c.clock);
}

}  // namespace velmora
