#include "soak_log.h"

#include <cstdio>
#include <string>

namespace velmora::soak {

const char* CauseName(Cause c) {
    switch (c) {
        case Cause::FirstRecording:
            return "lap";
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
        if (std::sscanf(line.c_str(), "ev t=%lld d=%7s s=%d id=%lld a=%7s lap=%d", &e.tUs, dir,
                        &e.slot, &e.id, action, &e.lap) != 6 ||
            (std::string(dir) != "c2h" && std::string(dir) != "h2c")) {
            if (errors) errors->push_back("bad log line: " + line);
            continue;
        }
        e.carToHost = std::string(dir) == "c2h";
        e.action = action;
        events.push_back(e);
    }
    return events;
}

double SlotReport::ExpectedRowMs(int row, long long startUs) const {
    long long previous = startUs;
    double expected = -1;
    for (const Recording& r : recordings) {
        if (r.row == row) expected = static_cast<double>(r.tUs - previous) / 1000.0;
        previous = r.tUs;
    }
    return expected;
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
};

// What happened to the replies of one slot on their way to the car.
struct ReplyPath {
    std::vector<std::pair<long long, std::string>> faults;  // time, "drop" or "hold"
    std::map<int, long long> firstDelivered;                // lap → first delivery to the car
};

Cause ExplainExtra(const Delivery& d, long long firstUs, int row, const ReplyPath& path) {
    if (d.action == "dup") return Cause::CarDuplicate;
    if (d.action == "rel") return Cause::CarReordered;
    for (const auto& [t, what] : path.faults)
        if (t >= firstUs && t <= d.tUs) return what == "drop" ? Cause::ReplyLost : Cause::ReplyLate;
    const auto it = path.firstDelivered.find(row);
    if (it == path.firstDelivered.end() || it->second > d.tUs) return Cause::ReplyInFlight;
    return Cause::Unexplained;
}

}  // namespace

std::map<int, SlotReport> Analyse(const std::vector<LogEvent>& events) {
    std::map<int, std::vector<Delivery>> deliveries;
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
            continue;
        }
        // A reply's first line is its arrival from the console; later lines are its copies.
        if (replyIds[e.slot].insert(e.id).second) replies[e.slot].push_back({e.tUs, e.lap});
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
        rep.toConsole = static_cast<long long>(in.size());
        rep.fromConsole = static_cast<long long>(out.size());
        if (in.size() != out.size())
            rep.problems.push_back(std::to_string(in.size()) + " datagrams reached the console, " +
                                   std::to_string(out.size()) + " replies came back");
        std::map<int, long long> firstRecordedUs;
        for (std::size_t k = 0; k < std::min(in.size(), out.size()); ++k) {
            const Delivery& d = in[k];
            const int lap = out[k].lap;
            if (lap < 0) {
                // No status block yet: only the "000" echo may take the short branch here.
                if (d.echo != 0)
                    rep.problems.push_back("reply without a status block to echo " +
                                           std::to_string(d.echo));
                continue;
            }
            if (d.echo == lap) continue;
            if (d.echo > lap)
                rep.problems.push_back("echo " + std::to_string(d.echo) +
                                       " ahead of the console's count " + std::to_string(lap));
            if (lap < rep.LastRow())
                rep.problems.push_back("row " + std::to_string(lap) + " recorded after row " +
                                       std::to_string(rep.LastRow()));
            Recording r{lap, d.tUs, d.echo, Cause::FirstRecording};
            const auto first = firstRecordedUs.find(lap);
            if (first == firstRecordedUs.end()) {
                firstRecordedUs.emplace(lap, d.tUs);
            } else {
                r.cause = ExplainExtra(d, first->second, lap, paths[slot]);
                ++rep.extraByCause[r.cause];
                if (r.cause == Cause::Unexplained)
                    rep.problems.push_back("row " + std::to_string(lap) +
                                           " recorded again with no fault to explain it");
            }
            ++rep.timesRecorded[lap];
            rep.recordings.push_back(r);
        }
    }
    return reports;
}

}  // namespace velmora::soak
