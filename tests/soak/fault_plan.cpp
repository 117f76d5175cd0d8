#include "fault_plan.h"

namespace velmora::soak {

std::string_view DirectionName(Direction d) { return d == Direction::CarToHost ? "c2h" : "h2c"; }

std::string_view FateName(Fate f) {
    switch (f) {
        case Fate::Drop:
            return "drop";
        case Fate::Duplicate:
            return "dup";
        case Fate::Hold:
            return "hold";
        case Fate::Forward:
            break;
    }
    return "fwd";
}

FaultPlan::Stream& FaultPlan::StreamOf(Direction d, int slot) {
    const auto key = std::make_pair(d, slot);
    auto it = streams_.find(key);
    if (it == streams_.end()) {
        const std::uint64_t stream =
            static_cast<std::uint64_t>(slot) * 2 + (d == Direction::HostToCar);
        it = streams_.emplace(key, Stream{{}, 0, std::mt19937_64(seed_ * 16 + stream)}).first;
    }
    return it->second;
}

Fate FaultPlan::Decide(Direction d, int slot, bool canHold) {
    Stream& s = StreamOf(d, slot);
    ++s.counts.received;
    // One draw per datagram whatever the outcome, so a seed replays the same run.
    const double u = std::uniform_real_distribution<double>(0.0, 1.0)(s.rng);
    Fate fate = Fate::Forward;
    if (u < rates_.loss) {
        if (s.counts.dropped < rates_.maxFaults && s.dropsInARow < rates_.maxConsecutiveDrops)
            fate = Fate::Drop;
    } else if (u < rates_.loss + rates_.dup) {
        if (s.counts.duplicated < rates_.maxFaults) fate = Fate::Duplicate;
    } else if (u < rates_.loss + rates_.dup + rates_.reorder) {
        if (canHold && s.counts.reordered < rates_.maxFaults) fate = Fate::Hold;
    }
    s.dropsInARow = fate == Fate::Drop ? s.dropsInARow + 1 : 0;
    if (fate == Fate::Drop) ++s.counts.dropped;
    if (fate == Fate::Duplicate) ++s.counts.duplicated;
    if (fate == Fate::Hold) ++s.counts.reordered;
    return fate;
}

}  // namespace velmora::soak
