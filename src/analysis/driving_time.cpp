#include "analysis/driving_time.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "carlink/laps.h"
#include "core/text_rules.h"

namespace velmora {

namespace {

// A whole non-negative number of any size as plain decimal text.
std::string Whole(double v) {
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.0f", v);
    return buf;
}

std::string TwoDigits(double v) {
    const int n = static_cast<int>(v);
    return n < 10 ? "0" + std::to_string(n) : std::to_string(n);
}

}  // namespace

std::vector<DriverTotal> DriverTotals(const Grid& laps) {
    std::vector<DriverTotal> totals;
    for (int row = 1; row <= laps.RowCount(); ++row) {
        const std::optional<double> ticks = LapRowTicks(laps, row);
        if (!ticks) continue;
        const std::string& driver = laps.Cell(row, 2);
        DriverTotal* t = nullptr;
        for (DriverTotal& d : totals)
            if (d.driver == driver) t = &d;
        if (!t) t = &totals.emplace_back(DriverTotal{driver, 0, 0});
        ++t->laps;
        t->ticks += *ticks;
    }
    return totals;
}

Stint CurrentStint(const Grid& laps, std::string_view driver) {
    Stint stint;
    for (int row = laps.RowCount(); row >= 1; --row) {
        const std::optional<double> ticks = LapRowTicks(laps, row);
        if (!ticks) continue;
        if (laps.Cell(row, 2) != driver) break;
        ++stint.laps;
        stint.ticks += *ticks;
    }
    return stint;
}

std::string FormatDrivingTime(double ticks, const ClockParams& clock, Fraction fraction) {
    if (!std::isfinite(ticks)) return "-";
    const double perSecond = clock.TicksPerSecond > 0 ? clock.TicksPerSecond : 1000;
    const double t = std::fabs(RoundHalfEven(ticks));
    const double seconds = std::floor(t / perSecond);
    const double hours = std::floor(seconds / 3600);
    const double minutes = std::floor((seconds - hours * 3600) / 60);
    const double secs = seconds - hours * 3600 - minutes * 60;
    std::string text = (ticks < 0 && t != 0 ? "-" : "") + Whole(hours) + ":" + TwoDigits(minutes) +
                       ":" + TwoDigits(secs);
    if (fraction == Fraction::Left) return text;
    std::string digits = Whole(t - seconds * perSecond);
    const std::size_t width = clock.FractionFormat.size();
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    return text + "." + digits;
}

std::string StintCaption(const Stint& stint, const ClockParams& clock) {
    const double perMinute = 60.0 * (clock.TicksPerSecond > 0 ? clock.TicksPerSecond : 1000);
    const double minutes = std::isfinite(stint.ticks) ? std::trunc(stint.ticks / perMinute) : 0;
    return "連続" + std::to_string(stint.laps) + "周 " + Whole(minutes == 0 ? 0 : minutes) + "分";
}

namespace {

void WriteFigures(PanelState& p, const ClockParams& clock, const std::vector<DriverTotal>& totals,
                  const Stint& stint) {
    Grid& table = p.Spd_DriverInfo;
    auto set = [&table](int row, int col, std::string text) {
        if (table.Cell(row, col) != text) table.SetCell(row, col, std::move(text));
    };
    for (int row = 1; row <= table.RowCount(); ++row) {
        DriverTotal found;
        for (const DriverTotal& d : totals)
            if (d.driver == table.Cell(row, 1)) found = d;
        set(row, kDriverLapsColumn, std::to_string(found.laps));
        set(row, kDriverTimeColumn, FormatDrivingTime(found.ticks, clock, Fraction::Left));
    }
    p.Lbl_Stint.caption = StintCaption(stint, clock);
}

}  // namespace

void UpdateDrivingFigures(PanelState& p, const ClockParams& clock) {
    WriteFigures(p, clock, DriverTotals(p.Spd_LapTime),
                 CurrentStint(p.Spd_LapTime, p.Cmb_Driver.text));
}

DrivingFigures::Fold DrivingFigures::FoldLaps(const Grid& laps, Memo& memo) {
    // Sums are taken in row order, as DriverTotals takes them.
    return FoldRowBlocks(laps, memo, false, [&](Fold& sum, int row) {
        const std::optional<double> ticks = LapRowTicks(laps, row);
        if (!ticks) return;
        const std::string& driver = laps.Cell(row, 2);
        DriverTotal* t = nullptr;
        for (DriverTotal& d : sum.totals)
            if (d.driver == driver) t = &d;
        if (!t) t = &sum.totals.emplace_back(DriverTotal{driver, 0, 0});
        ++t->laps;
        t->ticks += *ticks;
        if (driver != sum.lastDriver) {
            sum.lastDriver = driver;
            sum.run = Stint{};
        }
        ++sum.run.laps;
        sum.run.ticks += *ticks;
    });
}

void DrivingFigures::Refresh(ConsoleState& st, const ClockParams& clock) {
    for (int i = 0; i < kPanelCount; ++i) {
        PanelState& p = st.panels[static_cast<std::size_t>(i)];
        auto& from = from_[static_cast<std::size_t>(i)];
        const Source now{p.Spd_LapTime.Revision(), p.Spd_DriverInfo.Revision(), p.Cmb_Driver.text,
                         clock.TicksPerSecond};
        if (from == now) continue;
        const Fold f = FoldLaps(p.Spd_LapTime, memo_[static_cast<std::size_t>(i)]);
        // The stint is the trailing run of timed laps, if the driver chosen now drove it.
        WriteFigures(p, clock, f.totals,
                     f.lastDriver == p.Cmb_Driver.text && f.run.laps > 0 ? f.run : Stint{});
        // Writing the table moves its revision: the figures in it are the ones just derived.
        from = Source{now.lapRevision, p.Spd_DriverInfo.Revision(), now.driver, now.ticksPerSecond};
    }
}

}  // namespace velmora
