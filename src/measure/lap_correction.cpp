#include "measure/lap_correction.h"

#include <string>

#include "core/text_rules.h"
#include "measure/plain_number.h"
#include "pit/drivers.h"

namespace velmora {

namespace {

// The grid gets one row per lap, so an answer like 2000000000 would allocate without end;
// no run comes near this many laps.
constexpr std::int32_t kMaxCorrectedLap = 99999;

struct LapTimeParts {
    std::string minutes, seconds, fraction;
};

// "m'ss\"fff": an apostrophe closes the minutes, a double quote the seconds, the rest is
// the fraction. A repeated separator overrides its first text.
LapTimeParts SplitLapTime(std::string_view text) {
    LapTimeParts parts;
    std::string collected;
    for (char ch : text) {  // both separators are ASCII, never part of a UTF-8 sequence
        if (ch == '\'') {
            parts.minutes = std::move(collected);
            collected.clear();
        } else if (ch == '"') {
            parts.seconds = std::move(collected);
            collected.clear();
        } else {
            collected += ch;
        }
    }
    parts.fraction = std::move(collected);
    return parts;
}

}  // namespace

void CorrectLapCount(Console& c, int i) {
    RunnerState& r = c.st.runners[i];
    PanelState& p = c.st.panels[i];
    CloseDriverPopup(c, i);
    const std::string answer =
        c.svc.dialogs.InputBox("今何周目ですか？", "Ｌａｐ修正", std::to_string(r.LapCount));
    const std::int32_t n = WholeNumber(answer);
    // Cancel, an empty answer and 0 change nothing; a negative lap cannot exist.
    if (n == r.LapCount || n <= 0) return;
    if (n > kMaxCorrectedLap) {
        c.svc.dialogs.Beep();
        return;
    }
    if (n < r.LapCount) {
        const std::string question = "測定された" + FullWidthNumber(n) +
                                     "周値以降のＬＡＰ内容が削除されます。よろしいですか？";
        if (c.svc.dialogs.MessageBox(question, "Ｌａｐ値確認", MessageButtons::YesNo,
                                     MessageIcon::Critical) != MessageAnswer::Yes)
            return;
    }
    r.LapCount = n;
    p.Lbl_LapCnt.caption = std::to_string(n) + "周目";
    // The next message is recorded as a lap even when the car echoes the corrected count,
    // and the silence step must not open another row before the car is heard.
    r.LinkFlag = "C";
    r.AwayFlag = true;
    p.Spd_LapTime.SetRowCount(n);
    p.Spd_LapTime.SetActiveCell(1, n);
}

void ParseLapCell(Console& c, int i, int col, int row) {
    if (col != 1) return;
    Grid& grid = c.st.panels[i].Spd_LapTime;
    if (row < 1 || row > grid.RowCount()) return;

    const LapTimeParts parts = SplitLapTime(grid.Cell(row, 1));
    double minutes = 0, seconds = 0, fraction = 0;
    if (ParseNumber(parts.minutes, minutes) && ParseNumber(parts.seconds, seconds) &&
        ParseNumber(parts.fraction, fraction)) {
        // The fraction counts ticks, not a decimal part of a second.
        const double ticks = (minutes * 60 + seconds) * c.clock.TicksPerSecond + fraction;
        grid.SetCell(row, 4, PlainNumber(ticks));
        return;
    }
    c.svc.dialogs.MessageBox("入力が不正です。", "", MessageButtons::Ok, MessageIcon::Critical);
    grid.SetCell(row, 1, c.st.runners[i].LapCellBackup);
}

void LapGridBeginEdit(Console& c, int i, int col, int row) {
    c.st.runners[i].LapCellBackup = c.st.panels[i].Spd_LapTime.Cell(row, col);
}

}  // namespace velmora
