#pragma once
// The car link's engine thread answers the cars; the other threads of the console (the
// window, the journal's checkpointer, the team view's server) yield a core to it
// when both want one. Those threads run a few nice steps below the priority the console was
// started with, which the engine keeps. On a 2-core PC with the lap chart open this shortens
// the replies' tail markedly (docs/performance.md, section 10). Any user may lower a thread's
// own priority, so this needs no privilege, and it never raises one.
namespace velmora {

// Nice steps below the console's own priority.
constexpr int kBackgroundNice = 5;

// Lowers the calling thread to kBackgroundNice below the priority of the first thread that
// called this (one still at the console's own priority), unless it is that low already, as
// threads started by a lowered thread are. False when the system refused; nothing changed then.
bool LowerThisThreadsPriority();

}  // namespace velmora
