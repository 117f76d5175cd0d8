#pragma once
#include <string>
#include <string_view>

#include "core/console.h"

namespace velmora {

// The save dialog of the results file.
inline constexpr std::string_view kResultsDialogTitle = "ファイル書込";
inline constexpr std::string_view kResultsDialogFilter =
    "テキストデータ (*.txt)|*.txt|全てのファイル (*.*)|*.*";

// The report as UTF-8 text with CR LF line ends, from the state as it stands.
std::string BuildResultsText(const ConsoleState& st);
// Writes the report (CP932) to `path`, replacing the file as a whole or not at all. A file
// marked read-only is refused rather than replaced. False with the reason in `error`.
bool WriteResultsFile(const ConsoleState& st, const std::string& path, std::string* error);
// Btn_Write: ask for a file name and write the report there. A failure is reported with a
// message box naming the file and the reason; the console goes on either way.
void WriteResults(Console& c);

// What every file the crew saves goes through: `bytes` replace `path` as a whole or not at
// all, and a file marked read-only is refused rather than replaced. False with the reason.
bool WriteSavedFile(const std::string& path, std::string_view bytes, std::string* error);
// The message box for a saved file that could not be written: the file and the reason.
void ReportSaveFailure(Console& c, const std::string& path, const std::string& reason);

}  // namespace velmora
