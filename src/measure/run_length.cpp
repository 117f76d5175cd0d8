#include "measure/run_length.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>

#include "core/text_rules.h"
#include "core/time_format.h"
#include "measure/measurement.h"

namespace velmora {

namespace {

// The fields hold signed 16-bit whole numbers.
constexpr double kFieldMin = std::numeric_limits<std::int16_t>::min();
constexpr double kFieldMax = std::numeric_limits<std::int16_t>::max();

std::int64_t FieldValue(std::string_view text) {
    return static_cast<std::int64_t>(
        std::clamp(RoundHalfEven(LeadingNumber(text)), kFieldMin, kFieldMax));
}

// Seconds of a run length given in whole hours and minutes.
std::int64_t RunSeconds(std::int64_t hours, std::int64_t minutes) {
    return hours * 3600 + minutes * 60;
}

// The remaining time is handed on as a 32-bit tick count: a run length must fit in it.
bool FitsTickRange(const Console& c, std::int64_t seconds) {
    const std::int64_t limit = std::numeric_limits<std::int32_t>::max() / c.clock.TicksPerSecond;
    return seconds <= limit && seconds >= -limit;
}

std::int32_t ClampTicks(std::int64_t ticks) {
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(ticks, kMin, kMax));
}

}  // namespace

void ApplyRunLength(Console& c) {
    const MainFrameState& m = c.st.main;
    if (LeadingNumber(m.Txt_RunH.text) == 0 && LeadingNumber(m.Txt_RunN.text) == 0) {
        c.st.EndTimeSet = false;
        return;
    }
    c.st.MeasureEndTime = c.st.MeasureStartTime + std::chrono::hours(FieldValue(m.Txt_RunH.text)) +
                          std::chrono::minutes(FieldValue(m.Txt_RunN.text));
    c.st.EndTimeSet = true;
}

void RunLengthGotFocus(Console& c, bool hours) {
    const TextBox& box = hours ? c.st.main.Txt_RunH : c.st.main.Txt_RunN;
    (hours ? c.st.RunHoursOnEntry : c.st.RunMinutesOnEntry) = WholeNumber(box.text);
}

void RunLengthLostFocus(Console& c, bool hours) {
    MainFrameState& m = c.st.main;
    TextBox& box = hours ? m.Txt_RunH : m.Txt_RunN;
    const TextBox& other = hours ? m.Txt_RunN : m.Txt_RunH;

    double value = 0;
    bool valid = ParseNumber(box.text, value);
    if (valid) {
        // Beyond the 16-bit field or the 32-bit tick range the run length cannot be
        // represented: refuse it like a non-number instead of letting it overflow.
        const double whole = RoundHalfEven(value);
        valid = whole >= kFieldMin && whole <= kFieldMax;
        if (valid) {
            const auto self = static_cast<std::int64_t>(whole);
            const std::int64_t seconds = hours ? RunSeconds(self, FieldValue(other.text))
                                               : RunSeconds(FieldValue(other.text), self);
            valid = FitsTickRange(c, seconds);
        }
    }
    if (!valid) {
        c.svc.dialogs.Beep();
        box.text = "0";
        c.st.focusRequest = hours ? "Txt_RunH" : "Txt_RunN";
        return;
    }
    const std::int32_t onEntry = hours ? c.st.RunHoursOnEntry : c.st.RunMinutesOnEntry;
    if (WholeNumber(box.text) != onEntry && c.st.Measuring()) ApplyRunLength(c);
}

void SystemClockTick(Console& c) {
    const LocalTime now = c.svc.wall.Now();
    MainFrameState& m = c.st.main;
    m.Lbl_SysTime.caption = FormatAmPmClock(now);
    if (!c.st.EndTimeSet) return;
    m.Lbl_ZanTime.fore = now < c.st.MeasureEndTime ? Red : White;
    const std::int64_t secs = (c.st.MeasureEndTime - now).count();
    m.Lbl_ZanTime.caption = FormatRemaining(secs);
    c.st.RemainingTicks = ClampTicks(secs * c.clock.TicksPerSecond);
}

}  // namespace velmora
