#pragma once
#include "core/console.h"
#include "core/running_services.h"

namespace velmora {

// Sets the console going again once its state came back from the journal. A running
// measurement's tick clock counts on from the real time of its tick 0, so the lap in progress
// and every later lap are timed from the same start as before, however long the program was
// down; a wall clock set back meanwhile cannot take it below a reading already journaled.
// The car sockets of the slots still measured are bound again (a failure is reported as at
// Start and takes the slot out of the run) and every timer that ran runs again. The presence
// responder is left to the start-up, which binds it only between runs.
void ResumeServices(Console& c, const RunningServices& s);

// Starts one of the console's timers with its own period and handler.
void StartConsoleTimer(Console& c, TimerKey key);

}  // namespace velmora
