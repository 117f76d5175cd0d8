#pragma once
// Reads the fault proxy's datagram log back and works out, per slot, which car datagrams
// the console must have recorded as a lap, and why any lap row was recorded more than once.
//
// The rule it relies on: the console answers every datagram once, in arrival order, and a
// datagram records a lap exactly when its echo differs from the console's lap count, which
// is then the lap count in the reply. So the k-th datagram delivered to the console pairs
// with the k-th reply it sent, and a pair whose echo differs from the reply's lap is a
// recording of that row. A row recorded again is only allowed for a reason the log shows:
// a reply lost or held back on the way to the car, a reply still in flight when the car
// sent again, or a duplicated or reordered car datagram.
#include <istream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace velmora::soak {

struct LogEvent {
    long long tUs = 0;
    bool carToHost = true;
    int slot = 0;
    long long id = 0;
    std::string action;  // fwd, drop, dup, hold, rel
    int lap = -1;        // echo (car to host) or status lap (host to car); -1 when none
};

// Lines that are not "ev ..." lines (notes) are skipped; a malformed "ev" line is an error.
std::vector<LogEvent> ParseLog(std::istream& in, std::vector<std::string>* errors);

enum class Cause {
    FirstRecording,  // the lap itself
    ReplyLost,       // a reply was dropped on its way to the car
    ReplyLate,       // a reply was held back (reordered) on its way to the car
    ReplyInFlight,   // the car sent again before the reply to its last datagram arrived
    CarDuplicate,    // a duplicated car datagram with a stale echo
    CarReordered,    // a car datagram held back, arriving after a newer one
    Unexplained,
};
const char* CauseName(Cause c);

struct Recording {
    int row = 0;
    long long tUs = 0;  // when the proxy passed the datagram on to the console
    int echo = 0;
    Cause cause = Cause::FirstRecording;
};

struct SlotReport {
    long long toConsole = 0;    // car datagrams delivered to the console (copies included)
    long long fromConsole = 0;  // replies the console sent
    std::vector<Recording> recordings;
    std::map<int, int> timesRecorded;  // row → recordings
    std::map<Cause, int> extraByCause;
    std::set<int> lostNewLaps;  // laps whose only news to the car was dropped
    std::vector<std::string> problems;

    int LastRow() const { return timesRecorded.empty() ? 0 : timesRecorded.rbegin()->first; }
    // The time the console should show in `row`: from the recording before its last one
    // (any row; `startUs` for the very first) to its last one, in milliseconds.
    double ExpectedRowMs(int row, long long startUs) const;
};

std::map<int, SlotReport> Analyse(const std::vector<LogEvent>& events);

}  // namespace velmora::soak
