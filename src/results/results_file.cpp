#include "results/results_file.h"

#include <filesystem>
#include <system_error>

#include "core/atomic_file.h"
#include "core/encoding.h"
#include "core/text_rules.h"

namespace velmora {

namespace {

const std::string kRule(40, '-');

void Line(std::string& out, std::string_view text) {
    out.append(text);
    out.append("\r\n");
}

void WriteSlotBlock(std::string& out, const PanelState& p) {
    Line(out, kRule);
    Line(out, p.Frm_Runner.caption);
    Line(out, "車輌名:" + p.Cmb_Car.Column(0));
    Line(out, kRule);
    const Grid& laps = p.Spd_LapTime;
    // The open lap (no time yet) and rows whose time is only blanks are left out.
    for (int r = 1; r <= laps.RowCount(); ++r) {
        if (Trim(laps.Cell(r, 1)).empty()) continue;
        Line(out, std::to_string(r) + "," + laps.Cell(r, 1) + "," + laps.Cell(r, 2) + "," +
                      laps.Cell(r, 3) + "," + laps.Cell(r, 5));
    }
    Line(out, kRule);
    Line(out, "個人集計");
    Line(out, kRule);
    const Grid& drivers = p.Spd_DriverInfo;
    for (int r = 1; r <= drivers.RowCount(); ++r)
        Line(out, drivers.Cell(r, 1) + "," + drivers.Cell(r, 2) + "," + drivers.Cell(r, 3));
}

bool MarkedReadOnly(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::is_regular_file(status)) return false;
    using std::filesystem::perms;
    return (status.permissions() &
            (perms::owner_write | perms::group_write | perms::others_write)) == perms::none;
}

}  // namespace

std::string BuildResultsText(const ConsoleState& st) {
    std::string out;
    Line(out, "イベント名:" + st.main.Txt_Event.text);
    Line(out, "日付:" + st.main.Txt_Date.text);
    Line(out, "天気:" + st.main.Cmb_Tenki.text);
    Line(out, "気温:" + st.main.Txt_Kion.text);
    Line(out, "");
    for (const PanelState& p : st.panels)
        if (!p.Lbl_IP.caption.empty()) WriteSlotBlock(out, p);
    return out;
}

bool WriteSavedFile(const std::string& path, std::string_view bytes, std::string* error) {
    // Replacing by rename would silently overwrite a file the user protected.
    if (MarkedReadOnly(path)) {
        if (error) *error = "読み取り専用のファイルです。";
        return false;
    }
    return WriteFileAtomically(path, bytes, error);
}

void ReportSaveFailure(Console& c, const std::string& path, const std::string& reason) {
    std::string text = "走行結果を書き込めませんでした。\n" + path;
    if (!reason.empty()) text += "\n" + reason;
    c.svc.dialogs.MessageBox(text, "", MessageButtons::Ok, MessageIcon::Critical);
}

bool WriteResultsFile(const ConsoleState& st, const std::string& path, std::string* error) {
    return WriteSavedFile(path, Utf8ToCp932(BuildResultsText(st)), error);
}

void WriteResults(Console& c) {
    const std::string path =
        c.svc.dialogs.SaveFileDialog(kResultsDialogTitle, kResultsDialogFilter);
    if (path.empty()) return;  // cancelled: nothing written, nothing said
    std::string reason;
    if (!WriteResultsFile(c.st, path, &reason)) ReportSaveFailure(c, path, reason);
}

}  // namespace velmora
