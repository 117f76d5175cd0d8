#pragma once
// What the soak proxy does to each datagram: a seeded draw against the loss, duplication and
// reordering rates, bounded so a run stays a race and not a blackout: at most `maxFaults` of
// each kind per direction and slot, and never more than `maxConsecutiveDrops` drops in a row
// (a pass near the pit must still reach the console, or two laps would merge into one).
#include <cstdint>
#include <map>
#include <random>
#include <string_view>

namespace velmora::soak {

enum class Direction { CarToHost, HostToCar };
enum class Fate { Forward, Drop, Duplicate, Hold };

std::string_view DirectionName(Direction d);  // "c2h", "h2c"
std::string_view FateName(Fate f);            // "fwd", "drop", "dup", "hold"

struct FaultRates {
    double loss = 0;  // probability of each, 0..1; they add up to at most 1
    double dup = 0;
    double reorder = 0;  // held back until the next datagram went on (or the hold ran out)
    long long maxFaults = 1'000'000;
    int maxConsecutiveDrops = 2;
};

struct FaultCounts {
    long long received = 0, dropped = 0, duplicated = 0, reordered = 0;
};

class FaultPlan {
  public:
    FaultPlan(FaultRates rates, std::uint64_t seed) : rates_(rates), seed_(seed) {}

    // `canHold` is false while a datagram of the same stream is already held back.
    Fate Decide(Direction d, int slot, bool canHold);
    const FaultCounts& Counts(Direction d, int slot) { return StreamOf(d, slot).counts; }

  private:
    // Each stream draws from its own generator, so the k-th datagram of a stream meets the
    // same fate in every run with the seed, however the streams interleave.
    struct Stream {
        FaultCounts counts;
        int dropsInARow = 0;
        std::mt19937_64 rng;
    };
    Stream& StreamOf(Direction d, int slot);
    FaultRates rates_;
    std::uint64_t seed_;
    std::map<std::pair<Direction, int>, Stream> streams_;
};

}  // namespace velmora::soak
