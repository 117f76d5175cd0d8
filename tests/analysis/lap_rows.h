#pragma once
// Lap grids written the way RecordLap, the silence step, corrections and the crew leave them.
#include <string>
#include <vector>

#include "core/console_state.h"

namespace velmora::test {

struct LapRow {
    std::string ticks;  // column 4; "" = untimed (the open lap, a row a correction added)
    std::string driver;
    std::string remarks = {};
    std::string message = {};  // column 5
    std::string split = {};    // column 7
    std::string recordedAt = {};
};

// Column 1 holds the lap-time text of the ticks at 1/1000 (as RecordLap writes it) when they
// are a plain whole number, and stays empty otherwise.
inline std::string LapText(const std::string& ticks) {
    if (ticks.empty() || ticks.find_first_not_of("0123456789") != std::string::npos) return {};
    const long long t = std::stoll(ticks);
    std::string ms = std::to_string(t % 1000);
    std::string ss = std::to_string(t / 1000 % 60);
    return std::to_string(t / 60000) + "'" + std::string(2 - ss.size(), '0') + ss + "\"" +
           std::string(3 - ms.size(), '0') + ms;
}

inline void FillLaps(Grid& g, const std::vector<LapRow>& rows) {
    g.SetRowCount(static_cast<int>(rows.size()));
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const int r = static_cast<int>(k) + 1;
        const LapRow& row = rows[k];
        g.SetCell(r, 1, LapText(row.ticks));
        g.SetCell(r, 2, row.driver);
        g.SetCell(r, 3, row.remarks);
        g.SetCell(r, 4, row.ticks);
        g.SetCell(r, 5, row.message);
        g.SetCell(r, kLapRecordedAtColumn, row.recordedAt);
        g.SetCell(r, kLapMessageSplitColumn, row.split);
    }
}

// `n` timed laps of 60 s + row ms, drivers taking turns every `stint` laps.
inline std::vector<LapRow> ManyLaps(int n, int stint, const std::vector<std::string>& drivers) {
    std::vector<LapRow> rows;
    for (int r = 1; r <= n; ++r)
        rows.push_back({std::to_string(60000 + r % 1000),
                        drivers[static_cast<std::size_t>((r - 1) / stint) % drivers.size()]});
    return rows;
}

}  // namespace velmora::test
