#include "analysis/lap_export.h"

#include <cmath>
#include <cstdio>

#include "analysis/csv.h"
#include "analysis/driving_time.h"
#include "analysis/message_record.h"
#include "analysis/rule_table.h"
#include "carlink/laps.h"
#include "core/text_rules.h"
#include "results/results_file.h"

namespace velmora {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Milliseconds as a whole number (ticks typed with a fraction round half to even).
std::string Milliseconds(double ticks, const ClockParams& clock) {
    const double ms = RoundHalfEven(ticks * clock.TickToMs);
    if (!std::isfinite(ms)) return {};
    if (ms == 0) return "0";
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.0f", ms);
    return buf;
}

// Every text a crew member typed or a car sent goes through CsvText: the file runs nothing when
// a spreadsheet opens it. Numbers, lap times and the console's own dates go as they are.
void AppendLaps(std::string& out, const PanelState& p, const ClockParams& clock) {
    const std::string caption = CsvText(p.Frm_Runner.caption);
    const std::string carName = CsvText(p.Cmb_Car.Column(0));
    const Grid& laps = p.Spd_LapTime;
    for (int row = 1; row <= laps.RowCount(); ++row) {
        const std::optional<double> ticks = LapRowTicks(laps, row);
        // The open lap and rows a correction added hold neither a time nor a time text.
        if (!ticks && Trim(laps.Cell(row, 1)).empty()) continue;
        const MessageRecord m =
            SplitMessageRecord(laps.Cell(row, 5), laps.Cell(row, kLapMessageSplitColumn));
        AppendCsvRecord(
            out, {caption, carName, std::to_string(row), laps.Cell(row, 1),
                  ticks ? Milliseconds(*ticks, clock) : std::string(), CsvText(laps.Cell(row, 2)),
                  CsvText(laps.Cell(row, 3)), CsvText(m.sent), CsvText(m.received),
                  laps.Cell(row, kLapRecordedAtColumn)});
    }
}

void AppendTotals(std::string& out, const PanelState& p, const ClockParams& clock) {
    const std::string caption = CsvText(p.Frm_Runner.caption);
    const std::string carName = CsvText(p.Cmb_Car.Column(0));
    for (const DriverTotal& d : DriverTotals(p.Spd_LapTime))
        AppendCsvRecord(out, {caption, carName, CsvText(d.driver), std::to_string(d.laps),
                              FormatDrivingTime(d.ticks, clock), Milliseconds(d.ticks, clock)});
}

// Section 3 from the stint table the engine derived (analysis/rule_figures.h), its times to
// the millisecond from the table's ms columns.
void AppendStints(std::string& out, const PanelState& p) {
    const std::string caption = CsvText(p.Frm_Runner.caption);
    const std::string carName = CsvText(p.Cmb_Car.Column(0));
    const Grid& t = p.Spd_Stints;
    const auto time = [](const std::string& ms) {
        double v = 0;
        return ParseNumber(ms, v) ? RunTimeText(static_cast<std::int64_t>(v), true) : std::string();
    };
    for (int row = 1; row <= t.RowCount(); ++row) {
        const std::string& lengthMs = t.Cell(row, kStintLengthMsColumn);
        AppendCsvRecord(out,
                        {caption, carName, t.Cell(row, 1), CsvText(t.Cell(row, 2)), t.Cell(row, 3),
                         time(t.Cell(row, kStintStartMsColumn)), t.Cell(row, kStintStartMsColumn),
                         lengthMs.empty() ? t.Cell(row, 5) : time(lengthMs), lengthMs,
                         CsvText(t.Cell(row, 6))});
    }
}

}  // namespace

std::string BuildLapExportText(const ConsoleState& st, const ClockParams& clock) {
    std::string out(kBom);
    AppendCsvRecord(out, {"車輌", "車輌名", "周回", "タイム", "タイム(ms)", "ドライバ", "備考",
                          "送信メッセージ", "受信メッセージ", "記録日時"});
    for (const PanelState& p : st.panels)
        if (!p.Lbl_IP.caption.empty()) AppendLaps(out, p, clock);
    out += "\r\n";
    AppendCsvRecord(out, {"車輌", "車輌名", "ドライバ", "周回数", "走行時間", "走行時間(ms)"});
    for (const PanelState& p : st.panels)
        if (!p.Lbl_IP.caption.empty()) AppendTotals(out, p, clock);
    out += "\r\n";
    AppendCsvRecord(out, {"車輌", "車輌名", "区分", "ドライバ", "周", "開始", "開始(ms)", "時間",
                          "時間(ms)", "備考"});
    for (const PanelState& p : st.panels)
        if (!p.Lbl_IP.caption.empty()) AppendStints(out, p);
    return out;
}

void ExportLaps(Console& c) {
    const std::string path = c.svc.dialogs.SaveFileDialog(kExportDialogTitle, kExportDialogFilter);
    if (path.empty()) return;  // cancelled: nothing written, nothing said
    std::string reason;
    if (!WriteSavedFile(path, BuildLapExportText(c.st, c.clock), &reason))
        ReportSaveFailure(c, path, reason);
}

}  // namespace velmora
