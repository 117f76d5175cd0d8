// Arbitrary text typed over a lap time: either the ticks column becomes a number and the text
// stays as typed, or the entry is refused, the old text comes back and the ticks stay. The
// statistics are then recomputed over the edited grid.
//
// Input: byte 0 holds the knobs (bit 0: 1/100 precision; bit 1: take the text as CP932 bytes
// rather than as UTF-8; bits 2-3: which of three lap rows is edited), the rest is the text.
#include <cmath>
#include <cstdint>
#include <string>

#include "carlink/laps.h"
#include "core/encoding.h"
#include "core/text_rules.h"
#include "fakes/fakes.h"
#include "fuzz_support.h"
#include "measure/lap_correction.h"

namespace {

// The Qt shell only ever hands over valid UTF-8: keep such text, replace anything else.
std::string AsUtf8(std::string_view bytes) {
    std::size_t k = 0;
    while (k < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[k]);
        const std::size_t len = b < 0x80         ? 1
                                : (b >> 5) == 6  ? 2
                                : (b >> 4) == 14 ? 3
                                : (b >> 3) == 30 ? 4
                                                 : 0;
        if (len == 0 || k + len > bytes.size()) return velmora::Cp932ToUtf8(bytes);
        for (std::size_t m = 1; m < len; ++m)
            if ((static_cast<unsigned char>(bytes[k + m]) & 0xC0) != 0x80)
                return velmora::Cp932ToUtf8(bytes);
        k += len;
    }
    return std::string(bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmora;
    using namespace velmora::fuzz;
    ByteStream in(data, size);
    const std::uint8_t knobs = in.Byte();
    const std::string_view raw = in.Take(size);
    const std::string typed = (knobs & 2) ? Cp932ToUtf8(raw) : AsUtf8(raw);
    const int row = 1 + ((knobs >> 2) & 3) % 3;

    test::FakeConsole fc;
    Console& c = fc.console;
    if (knobs & 1) c.settings.Precision = "1/100";
    c.DeriveClock();
    const int slot = 0;
    Grid& grid = fc.panel(slot).Spd_LapTime;
    grid.SetRowCount(3);
    for (int r = 1; r <= 3; ++r) {
        grid.SetCell(r, 1, "1'0" + std::to_string(r) + "\"000");
        grid.SetCell(r, 2, "ドライバ");
        grid.SetCell(r, 4, std::to_string(61000 + r));
    }
    fc.runner(slot).LapCount = 3;
    fc.panel(slot).Cmb_Driver.text = "ドライバ";

    LapGridBeginEdit(c, slot, 1, row);
    const std::string backup = grid.Cell(row, 1);
    const std::string ticksBefore = grid.Cell(row, 4);
    grid.SetCell(row, 1, typed);
    ParseLapCell(c, slot, 1, row);

    const bool refused = !fc.dialogs.shown.empty();
    if (refused) {
        Check(fc.dialogs.shown.size() == 1, "more than one message for one entry");
        Check(fc.dialogs.shown[0].text == "入力が不正です。", "wrong refusal text");
        Check(grid.Cell(row, 1) == backup, "refused text not restored", grid.Cell(row, 1));
        Check(grid.Cell(row, 4) == ticksBefore, "refused text changed the ticks");
    } else {
        Check(grid.Cell(row, 1) == typed, "accepted text not left as typed");
        double ticks = 0;
        Check(ParseNumber(grid.Cell(row, 4), ticks) && std::isfinite(ticks),
              "ticks column is not a number", grid.Cell(row, 4));
        // The column must read back the same under the rule the statistics use.
        Check(LeadingNumber(grid.Cell(row, 4)) == ticks, "ticks column reads back otherwise",
              grid.Cell(row, 4));
    }
    for (int r = 1; r <= 3; ++r)
        if (r != row)
            Check(grid.Cell(r, 4) == std::to_string(61000 + r), "another row's ticks changed");

    RecomputeLapStats(c, slot);
    const RunnerState& rs = fc.runner(slot);
    Check(rs.BestLapNo >= 1 && rs.BestLapNo <= 3, "best lap outside the grid");
    Check(rs.DriverLapCount == 3, "driver laps not counted");
    return 0;
}
