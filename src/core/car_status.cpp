#include "core/car_status.h"

namespace velmora {

namespace {

std::string TwoDigits(std::int64_t n) { return (n < 10 ? "0" : "") + std::to_string(n); }

}  // namespace

std::string SilenceText(std::int64_t seconds) {
    if (seconds < 0) seconds = 0;
    if (seconds < 60) return std::to_string(seconds) + "秒";
    const std::string minSec = TwoDigits(seconds / 60 % 60) + ":" + TwoDigits(seconds % 60);
    if (seconds < 3600) return std::to_string(seconds / 60) + ":" + TwoDigits(seconds % 60);
    return std::to_string(seconds / 3600) + ":" + minSec;
}

CarStatus DescribeCarStatus(const ConsoleState& st, int i, std::int32_t now,
                            const ClockParams& clock) {
    const PanelState& p = st.panels[static_cast<std::size_t>(i)];
    const RunnerState& r = st.runners[static_cast<std::size_t>(i)];
    // Not measured: quiet grey text on the panel's own colour.
    const Colour panel = p.Frm_Runner.back;
    if (p.Lbl_IP.caption.empty()) return {"未設定", panel, DarkGrey};
    if (!st.Measuring()) return {"待機中", panel, DarkGrey};
    // A slot left out of the run (its port could not be opened) has its panel disabled.
    if (!p.Frm_Runner.enabled) return {"計測外", Grey, Black};
    if (!p.Btn_RunStop.enabled) return {"計測中止", Grey, Black};
    if (!r.HeardInRun) return {"未受信", White, Black};
    const std::int64_t since = static_cast<std::int64_t>(now) - r.LastHeardTick;
    const std::int64_t perSecond = clock.TicksPerSecond > 0 ? clock.TicksPerSecond : 1000;
    if (since * 1000 < static_cast<std::int64_t>(kHeardNowMs) * perSecond)
        return {"受信中", HeardColour, Black};
    return {"無通信 " + SilenceText(since / perSecond), White, Black};
}

void ShowCarStatus(Console& c, int i) {
    if (i < 0 || i >= kPanelCount) return;
    const CarStatus s = DescribeCarStatus(c.st, i, c.TickCounter(), c.clock);
    Label& l = c.st.panels[static_cast<std::size_t>(i)].Lbl_CarStatus;
    l.caption = s.text;
    l.back = s.back;
    l.fore = s.fore;
}

void ShowAllCarStatus(Console& c) {
    for (int i = 0; i < kPanelCount; ++i) ShowCarStatus(c, i);
}

}  // namespace velmora
