#pragma once
// Reads the fault proxy's datagram log back and works out, per slot, which car datagram
// closed each lap, whether any lap row was recorded more than once, and why each datagram
// with a stale lap echo reached the console.
//
// What it relies on: the console answers every datagram once, in arrival order, so the k-th
// datagram delivered to the console pairs with the k-th reply it sent. A reply whose status
// lap is new marks the recording of that row, and its last-lap field is the row's time; a
// later reply with the same lap but another last-lap time would mean the row was recorded
// again. The console opens a lap after the car has been silent for `silenceUs`, so the
// deliveries fall into passes, and each pass after the first must close exactly one lap,
// with its first datagram that reached the console.
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
    std::string action;   // fwd, drop, dup, hold, rel
    int lap = -1;         // echo (car to host) or status lap (host to car); -1 when none
    long long last = -1;  // host to car: the status block's last lap in ms; -1 when none
};

// Lines that are not "ev ..." lines (notes) are skipped; a malformed "ev" line is an error.
std::vector<LogEvent> ParseLog(std::istream& in, std::vector<std::string>* errors);

// Why a car datagram with a stale echo (not the count the console last sent) reached it.
// The console records nothing for these and answers with the current count.
enum class Cause {
    ReplyLost,      // a reply was dropped on its way to the car
    ReplyLate,      // a reply was held back (reordered) on its way to the car
    ReplyInFlight,  // the car sent again before the reply to its last datagram arrived
    CarDuplicate,   // a duplicated car datagram
    CarReordered,   // a car datagram held back, arriving after a newer one
    Unexplained,
};
const char* CauseName(Cause c);

struct Recording {
    int row = 0;
    long long tUs = 0;          // when the proxy passed the closing datagram on to the console
    long long passFirstUs = 0;  // the car's first datagram of that pass, as the proxy got it
    long long lastMs = -1;      // the row's time the reply told the car
};

struct SlotReport {
    long long toConsole = 0;    // car datagrams delivered to the console (copies included)
    long long fromConsole = 0;  // replies the console sent
    int passes = 0;
    std::vector<Recording> recordings;
    std::map<int, int> timesRecorded;  // row → recordings (1 each in a sound run)
    std::map<Cause, int> staleByCause;
    std::set<int> lostNewLaps;  // laps whose only news to the car was dropped
    std::vector<std::string> problems;

    int LastRow() const { return timesRecorded.empty() ? 0 : timesRecorded.rbegin()->first; }
    int RecordedAgain() const;
    // The time the console should show in `row`, in ms: from the datagram that closed the row
    // before (`startUs` for row 1) to the one that closed this row. -1 for an unknown row.
    double ExpectedRowMs(int row, long long startUs) const;
    // The lap the car drove, in ms: from its first datagram of one pass to its first of the
    // next, as the proxy got them (lost ones included); row 1 from `startUs`.
    double CarLapMs(int row, long long startUs) const;
    // How much a row may differ from the car's lap: the time between the car's first
    // datagram of each bounding pass and the one that reached the console.
    double PassShiftMs(int row) const;
};

// `silenceUs`: the console's silence interval; a gap longer than this between two car
// datagrams starts a new pass.
std::map<int, SlotReport> Analyse(const std::vector<LogEvent>& events, long long silenceUs);

}  // namespace velmora::soak
