#pragma once
#include <string>

#include "core/console.h"

namespace velmora {

// The report as UTF-8 text with CR LF line ends, from the state as it stands.
std::string BuildResultsText(const ConsoleState& st);
// Btn_Write: ask for a file name and write the report (CP932) there, replacing the file
// atomically. Reports a failure with a message box.
void WriteResults(Console& c);

}  // namespace velmora
