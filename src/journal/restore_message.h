#pragma once
// The crew's message after a restore that met values it could not read.
#include <string>

#include "core/console_state.h"
#include "journal/sqlite_journal.h"

namespace velmora {

// Lines of unreadable values the message lists; the rest are counted ("… ほか N 件").
inline constexpr std::size_t kRestoreProblemsShown = 10;

// "" when the restore read everything. Otherwise the journal's path, where the journal as
// read was kept, the values derived from the rest of the race, and the values that could not
// be restored, each under the caption of the car it belongs to ("１号車 runner.0.AwayFlag: 2").
std::string RestoreProblemMessage(const SqliteJournal::Restored& r, const std::string& path,
                                  const ConsoleState& st);

}  // namespace velmora
