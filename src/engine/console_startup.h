#pragma once
// The console's start-up, on its own thread, before the crew can act.
#include <string>

#include "core/console.h"
#include "engine/engine.h"
#include "engine/posix_datagrams.h"
#include "journal/journal_writer.h"

namespace velmora {

// When the journal holds a race that was measuring, binds the ports of its cars at once, so
// that they are heard (and what they send is kept, stamped) from the first moment, while the
// crew is still being asked whether to bring the race back. Returns the slots captured.
int CaptureLeftRace(const std::string& journalPath, PosixDatagrams& net);

// The splash window's part: the file paths, the settings, the window's design state.
void PrepareConsole(Console& c, const std::string& programFolder);

// The main window's load step. Asks whether to bring back a race the journal left unfinished
// (an ended or unreadable one is set aside), loads the master data, restores the race or
// starts clean, and sets going what runs: what the cars sent meanwhile is handled in order of
// arrival on a Yes and dropped on a No. From then on the journal follows the console.
// True when a race was brought back.
bool OpenConsole(Console& c, Engine& engine, JournalWriter& writer, PosixDatagrams& net);

// Btn_End: asks "終了確認"; on Yes stops the clock and writes the journal out as ended.
// True when the program is to end.
bool ConfirmEnd(Console& c, Engine& engine, JournalWriter& writer);

}  // namespace velmora
