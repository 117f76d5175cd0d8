#pragma once
// The spreadsheet export (Btn_Export): every set-up car's laps and the driving time per
// driver as one CSV file, UTF-8 with a byte-order mark, RFC 4180 quoting, CR LF line ends.
//
// Section 1, one record per lap row that is timed or holds a lap time text:
//   車輌,車輌名,周回,タイム,タイム(ms),ドライバ,備考,送信メッセージ,受信メッセージ,記録日時
// Then one empty line and section 2, one record per driver with timed laps, per car:
//   車輌,車輌名,ドライバ,周回数,走行時間,走行時間(ms)
// Then one empty line and section 3, the stints, pit stops and breaches under the driving-time
// rules, per car in time order (the driver pop-up's stint table):
//   車輌,車輌名,区分,ドライバ,周,開始,開始(ms),時間,時間(ms),備考
// Everything is read from the panels' grids and controls, so a race restored from the
// journal exports exactly as before.
#include <string>
#include <string_view>

#include "core/console.h"

namespace velmora {

inline constexpr std::string_view kExportDialogTitle = "CSV出力";
inline constexpr std::string_view kExportDialogFilter =
    "CSVファイル (*.csv)|*.csv|全てのファイル (*.*)|*.*";

// The whole file, byte-order mark included.
std::string BuildLapExportText(const ConsoleState& st, const ClockParams& clock);

// Btn_Export: ask for a file name and write the export there, like the results file: the
// file is replaced as a whole or not at all, and a failure is reported the same way.
void ExportLaps(Console& c);

}  // namespace velmora
