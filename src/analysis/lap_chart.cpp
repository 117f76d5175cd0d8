#include "analysis/lap_chart.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "carlink/laps.h"
#include "core/time_format.h"

namespace velmora {

namespace {

int DriverIndex(LapChart& chart, const std::string& driver) {
    for (std::size_t k = 0; k < chart.drivers.size(); ++k)
        if (chart.drivers[k] == driver) return static_cast<int>(k);
    chart.drivers.push_back(driver);
    return static_cast<int>(chart.drivers.size()) - 1;
}

std::int32_t ClampTicks(double v) {
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(v, kMin, kMax));
}

}  // namespace

LapChart BuildLapChart(const ConsoleState& st) {
    LapChart chart;
    bool any = false;
    for (int s = 0; s < kPanelCount; ++s) {
        const PanelState& p = st.panels[s];
        if (p.Lbl_IP.caption.empty()) continue;
        ChartSeries& series = chart.cars.emplace_back();
        series.slot = s;
        series.caption = p.Frm_Runner.caption;
        series.carName = p.Cmb_Car.Column(0);
        const Grid& laps = p.Spd_LapTime;
        for (int row = 1; row <= laps.RowCount(); ++row) {
            const std::optional<double> ticks = LapRowTicks(laps, row);
            if (!ticks || !std::isfinite(*ticks)) continue;
            series.points.push_back({row, *ticks, DriverIndex(chart, laps.Cell(row, 2))});
            const ChartPoint& pt = series.points.back();
            if (series.best < 0 || pt.ticks < series.points[series.best].ticks)
                series.best = static_cast<int>(series.points.size()) - 1;
            chart.minTicks = any ? std::min(chart.minTicks, pt.ticks) : pt.ticks;
            chart.maxTicks = any ? std::max(chart.maxTicks, pt.ticks) : pt.ticks;
            chart.maxLap = std::max(chart.maxLap, row);
            any = true;
        }
    }
    return chart;
}

int DriverNumbers::Of(const std::string& driver) {
    return numbers_.try_emplace(driver, static_cast<int>(numbers_.size())).first->second;
}

std::vector<ChartPoint> ThinPoints(const std::vector<ChartPoint>& points, double fromLap,
                                   double toLap, int budget) {
    const auto lapBefore = [](const ChartPoint& p, double lap) { return p.lap < lap; };
    const auto lapAfter = [](double lap, const ChartPoint& p) { return lap < p.lap; };
    const auto first = std::lower_bound(points.begin(), points.end(), fromLap, lapBefore);
    const auto last = std::upper_bound(first, points.end(), toLap, lapAfter);
    const auto count = static_cast<std::size_t>(last - first);

    std::vector<ChartPoint> out;
    if (first != points.begin()) out.push_back(*(first - 1));
    if (budget < 2 || count <= static_cast<std::size_t>(budget)) {
        out.insert(out.end(), first, last);
    } else {
        const std::size_t runs = static_cast<std::size_t>(budget) / 2;
        for (std::size_t k = 0; k < runs; ++k) {
            const auto begin = first + static_cast<std::ptrdiff_t>(count * k / runs);
            const auto end = first + static_cast<std::ptrdiff_t>(count * (k + 1) / runs);
            const auto [lo, hi] = std::minmax_element(
                begin, end,
                [](const ChartPoint& a, const ChartPoint& b) { return a.ticks < b.ticks; });
            out.push_back(*std::min(lo, hi));
            if (lo != hi) out.push_back(*std::max(lo, hi));
        }
    }
    if (last != points.end()) out.push_back(*last);
    return out;
}

std::vector<AxisMark> LapTimeAxisMarks(double lo, double hi, const ClockParams& clock,
                                       int maxMarks) {
    std::vector<AxisMark> marks;
    if (!std::isfinite(lo) || !std::isfinite(hi) || hi < lo || maxMarks < 1) return marks;
    // Steps in tenths of a second, the finest a lap-time text shows at either precision.
    static constexpr double kTenths[] = {1,     2,     5,     10,     20,     50,    100,
                                         150,   300,   600,   1200,   3000,   6000,  9000,
                                         18000, 36000, 72000, 180000, 360000, 864000};
    const double perTenth = (clock.TicksPerSecond > 0 ? clock.TicksPerSecond : 1000) / 10.0;
    double step = 0;
    for (double t : kTenths) {
        step = t * perTenth;
        if (std::floor(hi / step) - std::ceil(lo / step) + 1 <= maxMarks) break;
    }
    // Wider than the largest step: a coarser multiple of it.
    while (std::floor(hi / step) - std::ceil(lo / step) + 1 > maxMarks) step *= 10;
    for (double v = std::ceil(lo / step) * step; v <= hi; v += step)
        marks.push_back({v, FormatLapTime(ClampTicks(v), clock)});
    return marks;
}

LapChartKey ChartKeyOf(const ConsoleState& st, const ClockParams& clock) {
    LapChartKey key;
    key.texts = std::to_string(clock.TicksPerSecond);
    for (int s = 0; s < kPanelCount; ++s) {
        const PanelState& p = st.panels[s];
        key.revisions[s] = p.Spd_LapTime.Revision();
        key.texts +=
            '\n' + p.Lbl_IP.caption + '\t' + p.Frm_Runner.caption + '\t' + p.Cmb_Car.Column(0);
    }
    return key;
}

}  // namespace velmora
