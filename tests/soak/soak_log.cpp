#include "soak_log.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace velmora::soak {

const char* CauseName(Cause c) {
    switch (c) {
        case Cause::ReplyLost:
            return "reply lost";
        case Cause::ReplyLate:
            return "reply late";
        case Cause::ReplyInFlight:
            return "reply in flight";
        case Cause::CarDuplicate:
            return "car datagram duplicated";
        case Cause::CarReordered:
            return "car datagram reordered";
        case Cause::Unexplained:
            break;
    }
    return "unexplained";
}

std::vector<LogEvent> ParseLog(std::istream& in, std::vector<std::string>* errors) {
    std::vector<LogEvent> events;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.starts_with("ev ")) continue;
        LogEvent e;
        char dir[8] = {};
        char action[8] = {};
        const int n =
            std::sscanf(line.c_str(), "ev t=%lld d=%7s s=%d id=%lld a=%7s lap=%d last=%lld", &e.tUs,
                        dir, &e.slot, &e.id, action, &e.lap, &e.last);
        if (n < 6 || (std::string(dir) != "c2h" && std::string(dir) != "h2c")) {
            if (errors) errors->push_back("bad log line: " + line);
            continue;
        }
        e.carToHost = std::string(dir) == "c2h";
        e.action = action;
        events.push_back(e);
    }
    return events;
}

int SlotReport::RecordedAgain() const {
    int n = 0;
    for (const auto& [row, times] : timesRecorded) n += times - 1;
    return n;
}

namespace {

// The span in ms from the recording before `row` (or `startUs`) to the recording of `row`,
// each taken at the time `at` of the recording; -1 for an unknown row.
double SpanToRowMs(const std::vector<Recording>& recordings, int row, long long startUs,
                   long long Recording::*at) {
    long long previous = startUs;
    for (const Recording& r : recordings) {
        if (r.row == row) return static_cast<double>(r.*at - previous) / 1000.0;
        previous = r.*at;
    }
    return -1;
}

}  // namespace

double SlotReport::ExpectedRowMs(int row, long long startUs) const {
    return SpanToRowMs(recordings, row, startUs, &Recording::tUs);
}

double SlotReport::CarLapMs(int row, long long startUs) const {
    return SpanToRowMs(recordings, row, startUs, &Recording::passFirstUs);
}

double SlotReport::PassShiftMs(int row) const {
    double shift = 0;
    for (const Recording& r : recordings)
        if (r.row == row || r.row == row - 1) shift += static_cast<double>(r.tUs - r.passFirstUs);
    return shift / 1000.0;
}

namespace {

struct Delivery {
    long long tUs;
    int echo;
    std::string action;
};

struct Reply {
    long long tUs;
    int lap;
    long long last;
};

// What happened to the replies of one slot on their way to the car.
struct ReplyPath {
    std::vector<std::pair<long long, std::string>> faults;  // time, "drop" or "hold"
    std::map<int, long long> firstDelivered;                // lap → first delivery to the car
};

// Why the car still echoed `echo` when the console's count, since `sinceUs`, was `lap`.
Cause ExplainStale(const Delivery& d, long long sinceUs, int lap, const ReplyPath& path) {
    if (d.action == "dup") return Cause::CarDuplicate;
    if (d.action == "rel") return Cause::CarReordered;
    for (const auto& [t, what] : path.faults)
        if (t >= sinceUs && t <= d.tUs) return what == "drop" ? Cause::ReplyLost : Cause::ReplyLate;
    const auto it = path.firstDelivered.find(lap);
    if (it == path.firstDelivered.end() || it->second > d.tUs) return Cause::ReplyInFlight;
    return Cause::Unexplained;
}

}  // namespace

std::map<int, SlotReport> Analyse(const std::vector<LogEvent>& events, long long silenceUs) {
    std::map<int, std::vector<Delivery>> deliveries;
    std::map<int, std::vector<long long>> carSent;  // every car datagram the proxy got
    std::map<int, std::vector<Reply>> replies;
    std::map<int, ReplyPath> paths;
    std::map<int, std::set<long long>> replyIds;
    std::map<int, int> carLap;  // last status lap the car got, per slot
    std::map<int, SlotReport> reports;

    for (const LogEvent& e : events) {
        SlotReport& rep = reports[e.slot];
        if (e.carToHost) {
            if (e.action == "fwd" || e.action == "dup" || e.action == "rel")
                deliveries[e.slot].push_back({e.tUs, e.lap, e.action});
            if (e.action != "dup" && e.action != "rel") carSent[e.slot].push_back(e.tUs);
            continue;
        }
        // A reply's first line is its arrival from the console; later lines are its copies.
        if (replyIds[e.slot].insert(e.id).second) replies[e.slot].push_back({e.tUs, e.lap, e.last});
        ReplyPath& path = paths[e.slot];
        if (e.action == "drop" || e.action == "hold") path.faults.emplace_back(e.tUs, e.action);
        if (e.action == "drop" && e.lap >= 0) {
            const auto known = carLap.find(e.slot);
            if (known == carLap.end() || known->second != e.lap) rep.lostNewLaps.insert(e.lap);
        }
        if ((e.action == "fwd" || e.action == "dup" || e.action == "rel") && e.lap >= 0) {
            path.firstDelivered.emplace(e.lap, e.tUs);
            carLap[e.slot] = e.lap;
        }
    }

    for (auto& [slot, rep] : reports) {
        const std::vector<Delivery>& in = deliveries[slot];
        const std::vector<Reply>& out = replies[slot];
        const std::vector<long long>& sent = carSent[slot];
        rep.toConsole = static_cast<long long>(in.size());
        rep.fromConsole = static_cast<long long>(out.size());
        if (in.size() != out.size())
            rep.problems.push_back(std::to_string(in.size()) + " datagrams reached the console, " +
                                   std::to_string(out.size()) + " replies came back");

        int lastLap = 0;                  // the console's count as its replies show it
        long long lastLapSinceUs = 0;     // when that count first went out
        std::map<int, long long> timeOf;  // row → last-lap ms of its recording
        long long previousUs = -1;
        bool pendingPass = false;  // a new pass began and has not closed a lap yet
        long long passFirstUs = 0;
        for (std::size_t k = 0; k < std::min(in.size(), out.size()); ++k) {
            const Delivery& d = in[k];
            const Reply& reply = out[k];
            const bool newPass = previousUs < 0 || d.tUs - previousUs > silenceUs;
            if (newPass) {
                ++rep.passes;
                pendingPass = rep.passes > 1;
                // The car's first datagram of this pass, lost or not: back from the last one
                // the proxy got before this delivery, while the gaps stay within the silence.
                auto j = std::upper_bound(sent.begin(), sent.end(), d.tUs);
                if (j != sent.begin()) --j;
                while (j != sent.begin() && *j - *(j - 1) <= silenceUs) --j;
                passFirstUs = j != sent.end() ? std::min(*j, d.tUs) : d.tUs;
            }
            previousUs = std::max(previousUs, d.tUs);

            if (reply.lap < 0) {
                // No status block yet: the first pass, before any lap was closed.
                if (rep.passes > 1)
                    rep.problems.push_back("no status block in pass " + std::to_string(rep.passes));
                continue;
            }
            if (d.echo > reply.lap)
                rep.problems.push_back("echo " + std::to_string(d.echo) +
                                       " ahead of the console's count " +
                                       std::to_string(reply.lap));
            if (reply.lap > lastLap) {
                if (reply.lap != lastLap + 1)
                    rep.problems.push_back("row " + std::to_string(reply.lap) +
                                           " recorded after row " + std::to_string(lastLap));
                if (!newPass || !pendingPass)
                    rep.problems.push_back("row " + std::to_string(reply.lap) +
                                           " closed by a datagram that was not the first of a "
                                           "new pass");
                pendingPass = false;
                lastLap = reply.lap;
                lastLapSinceUs = reply.tUs;
                timeOf[reply.lap] = reply.last;
                ++rep.timesRecorded[reply.lap];
                rep.recordings.push_back({reply.lap, d.tUs, passFirstUs, reply.last});
                continue;
            }
            if (reply.lap < lastLap)
                rep.problems.push_back("reply count went back from " + std::to_string(lastLap) +
                                       " to " + std::to_string(reply.lap));
            if (reply.last != timeOf[reply.lap]) {
                ++rep.timesRecorded[reply.lap];
                rep.problems.push_back("row " + std::to_string(reply.lap) +
                                       " recorded again (last lap " +
                                       std::to_string(timeOf[reply.lap]) + " ms, then " +
                                       std::to_string(reply.last) + " ms)");
                timeOf[reply.lap] = reply.last;
            }
            if (pendingPass && newPass)
                rep.problems.push_back("pass " + std::to_string(rep.passes) +
                                       " closed no lap at its first datagram");
            if (d.echo != reply.lap) {
                const Cause cause = ExplainStale(d, lastLapSinceUs, reply.lap, paths[slot]);
                ++rep.staleByCause[cause];
                if (cause == Cause::Unexplained)
                    rep.problems.push_back("stale echo " + std::to_string(d.echo) +
                                           " with no fault to explain it");
            }
        }
    }
    return reports;
}

}  // namespace velmora::soak
