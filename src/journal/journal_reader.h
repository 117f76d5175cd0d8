#pragma once
// Reading a journal as it lies on the disk, for tools: its traffic record and its lap grids.
// Opens the file it is given; give it a copy of a journal a console is writing.
#include <string>
#include <vector>

#include "journal/traffic_record.h"

namespace velmora {

// The traffic record in the order it was written; false with `error` set when the file cannot
// be read (a version-1 journal has no record: that is an error too).
bool ReadJournalTraffic(const std::string& path, std::vector<TrafficRecord>& out,
                        std::string* error);

// One row of a car's lap grid as the journal holds it.
struct JournaledLap {
    int slot = 0;
    int row = 0;
    std::string ticks;       // column 4: empty for a lap without a time
    std::string recordedAt;  // column 6: empty for a row whose time was typed or corrected
};
bool ReadJournalLaps(const std::string& path, std::vector<JournaledLap>& out, std::string* error);

}  // namespace velmora
