#pragma once
#include <cstdint>
#include <string>

namespace velmora {

// The measurement environment, read from Velmora.ini at start-up and written by the
// settings dialog.
struct MeasureSettings {
    std::string Precision = "1/1000";
    std::int16_t SilenceSeconds = 10;  // always 1..99 in memory
    std::string AutoMessage3 = "あと３周でピットインです。";
    std::string AutoMessage2 = "あと２周でピットインです。";
    std::string AutoMessage1 = "次の周でピットインしてください。";
    std::string AutoMessage0 = "はよピットインせんかい！";
    std::int32_t DefaultCountdownLaps = 10;
};

// Reads `path` (CP932 private-profile file) into `settings`; missing or empty keys take their
// defaults and are written back. Never throws and never reports to the user.
MeasureSettings LoadMeasureSettings(const std::string& path);

// Writes all seven keys, one at a time, leaving other lines of the file as they are.
// Returns false when the file could not be written (the caller goes on from memory).
bool SaveMeasureSettings(const std::string& path, const MeasureSettings& settings);

}  // namespace velmora
