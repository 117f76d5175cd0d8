#pragma once
// Comma-separated text as spreadsheets read it (RFC 4180).
#include <initializer_list>
#include <string>
#include <string_view>

namespace velmora {

// One field: as it stands, or in double quotes with every quote doubled when it holds a
// comma, a quote, CR or LF. Text is passed through byte for byte (UTF-8 stays UTF-8).
std::string CsvField(std::string_view text);

// A text cell that a spreadsheet shows and never runs: one starting with =, +, -, @, a tab or
// CR would be taken for a formula, so it gets a leading apostrophe. For text the crew typed or
// a car sent (names, remarks, messages), never for numbers and lap times.
std::string CsvText(std::string_view text);

// Appends one record: the fields joined by commas, then CR LF.
void AppendCsvRecord(std::string& out, std::initializer_list<std::string_view> fields);

}  // namespace velmora
