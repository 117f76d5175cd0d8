#pragma once
// Laps of one car as the console records them, built stint by stint for the engine's tests.
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "rules/rule_engine.h"

namespace velmora::test {

inline constexpr std::int64_t kMinute = 60'000;
inline constexpr std::int64_t kPassMs = 1'000;  // a pass without a stop

struct RaceLap {
    std::string driver;
    std::optional<std::int64_t> lapMs;
    std::optional<std::int64_t> closedAtMs;
    std::optional<std::int64_t> passEndMs;
};

class Race {
  public:
    // `laps` laps of `lapMs` by `driver`, the last one `lastLapExtraMs` longer; each closes a
    // pass of kPassMs, except the last, whose pass (the stop after the leg) lasts `stopMs`.
    Race& Leg(const std::string& driver, int laps, std::int64_t lapMs,
              std::int64_t lastLapExtraMs = 0, std::int64_t stopMs = kPassMs) {
        for (int k = 1; k <= laps; ++k) {
            const std::int64_t ms = lapMs + (k == laps ? lastLapExtraMs : 0);
            end_ += ms;
            laps_.push_back({driver, ms, end_, end_ + (k == laps ? stopMs : kPassMs)});
        }
        return *this;
    }
    // A row without a time (opened by a correction, or cleared by hand).
    Race& Untimed(const std::string& driver = {}) {
        laps_.push_back({driver, std::nullopt, std::nullopt, std::nullopt});
        return *this;
    }
    // Legs written "A6 B12+1 A3-1/89999": driver, laps, the last lap's extra ms, and the
    // stop after the leg ("/ms"; `stopMs` by default, a plain pass after the last leg).
    static Race Of(std::string_view legs, std::int64_t lapMs, std::int64_t stopMs = kPassMs) {
        Race race;
        std::istringstream in{std::string(legs)};
        for (std::string leg; in >> leg;) {
            std::size_t pos = 1;
            const int laps = std::stoi(leg.substr(1), &pos);
            const std::string rest = leg.substr(1 + pos);
            const std::size_t slash = rest.find('/');
            const std::int64_t extra = slash == 0 || rest.empty() ? 0 : std::stoll(rest);
            const bool last = (in >> std::ws).eof();
            race.Leg(leg.substr(0, 1), laps, lapMs, extra,
                     slash != std::string::npos ? std::stoll(rest.substr(slash + 1))
                                                : (last ? kPassMs : stopMs));
        }
        return race;
    }
    std::vector<RaceLap>& Laps() { return laps_; }
    std::int64_t EndMs() const { return end_; }

    // Views into the laps: valid while the race lives and is not changed.
    std::vector<LapInput> Inputs() const {
        std::vector<LapInput> in;
        for (std::size_t k = 0; k < laps_.size(); ++k) {
            const RaceLap& l = laps_[k];
            in.push_back(
                {static_cast<std::int32_t>(k + 1), l.driver, l.lapMs, l.closedAtMs, l.passEndMs});
        }
        return in;
    }

  private:
    std::vector<RaceLap> laps_;
    std::int64_t end_ = 0;
};

inline RuleReport Judge(const DrivingRules& rules, const Race& race, const LiveInput& live) {
    RuleEngine engine(rules);
    const std::vector<LapInput> in = race.Inputs();
    engine.Reset(in);
    return engine.Evaluate(live);
}

}  // namespace velmora::test
