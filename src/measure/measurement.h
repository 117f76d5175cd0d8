#pragma once
#include <string>

#include "core/console.h"

namespace velmora {

// Starts Time_System and Time_NoInputBlk (window load).
void StartWindowTimers(Console& c);
void StartSystemTimer(Console& c);
void StartNoInputBlink(Console& c);
// Starts Time_Lap(i): the lap clock and the silence step.
void StartLapTimer(Console& c, int i);
// Binds slot i's car socket to HandleArrival; "" or the platform's reason.
std::string BindCarSocket(Console& c, int i);
// A datagram on slot i's car socket: HandleCarMessage timed to its arrival (after the silence
// step as of its arrival, for a datagram that was held).
void HandleArrival(Console& c, int i, const Datagram& d);
// The crew's message for a car socket that cannot be bound.
std::string BindFailureText(int i, const std::string& reason);
// A slot that does not take part: no lap clock, no socket, panel and stop button disabled.
void LeaveOutOfRun(Console& c, int i);
// Btn_Start click: StartMeasurement or StopMeasurement by its caption.
void Btn_Start_Click(Console& c);
void StartMeasurement(Console& c);
// Notes where tick 0 of the running count lies on the monotonic clock, and that clock's
// origin (nothing when the clock names none), for a restart of the program to count on from.
void NoteTickZeroOrigin(Console& c);
void StopMeasurement(Console& c);
// Btn_RunStop(i) click.
void StopCar(Console& c, int i);
// Txt_RunH (hours = true) / Txt_RunN got and lost the focus.
void RunLengthGotFocus(Console& c, bool hours);
void RunLengthLostFocus(Console& c, bool hours);
// Time_System tick: clock and remaining time.
void SystemClockTick(Console& c);

}  // namespace velmora
