#include "fault_plan.h"

#include <gtest/gtest.h>

#include <vector>

namespace velmora::soak {
namespace {

std::vector<Fate> Draw(FaultPlan& plan, int n, bool canHold = true) {
    std::vector<Fate> out;
    for (int k = 0; k < n; ++k) out.push_back(plan.Decide(Direction::CarToHost, 0, canHold));
    return out;
}

TEST(FaultPlan, ASeedReplaysTheSameRun) {
    const FaultRates rates{0.2, 0.2, 0.2};
    FaultPlan a(rates, 7), b(rates, 7), c(rates, 8);
    const auto first = Draw(a, 200);
    EXPECT_EQ(first, Draw(b, 200));
    EXPECT_NE(first, Draw(c, 200));

    // Another stream's traffic in between changes nothing for this one.
    FaultPlan d(rates, 7);
    std::vector<Fate> interleaved;
    for (int k = 0; k < 200; ++k) {
        d.Decide(Direction::HostToCar, 0, true);
        interleaved.push_back(d.Decide(Direction::CarToHost, 0, true));
    }
    EXPECT_EQ(first, interleaved);
}

TEST(FaultPlan, RatesAreMetOverALongRun) {
    struct Case {
        FaultRates rates;
    } cases[] = {{{0.03, 0.02, 0.03}}, {{0.10, 0.0, 0.0}}, {{0.0, 0.25, 0.25}}};
    for (const Case& k : cases) {
        FaultPlan plan(k.rates, 42);
        const int n = 20000;
        Draw(plan, n);
        const FaultCounts& got = plan.Counts(Direction::CarToHost, 0);
        EXPECT_EQ(got.received, n);
        EXPECT_NEAR(got.dropped, k.rates.loss * n, 0.01 * n + 5);
        EXPECT_NEAR(got.duplicated, k.rates.dup * n, 0.01 * n + 5);
        EXPECT_NEAR(got.reordered, k.rates.reorder * n, 0.01 * n + 5);
    }
}

TEST(FaultPlan, BoundsHoldWhateverTheRates) {
    // Certain loss still lets every third datagram through.
    FaultPlan lossy({1.0, 0, 0, 1'000'000, 2}, 1);
    const auto fates = Draw(lossy, 9);
    for (std::size_t k = 0; k < fates.size(); ++k)
        EXPECT_EQ(fates[k], k % 3 == 2 ? Fate::Forward : Fate::Drop) << k;

    // At most maxFaults of a kind, per stream: the other stream has its own budget.
    FaultPlan dups({0, 1.0, 0, 3, 2}, 1);
    const auto d = Draw(dups, 6);
    EXPECT_EQ(std::count(d.begin(), d.end(), Fate::Duplicate), 3);
    EXPECT_EQ(d.back(), Fate::Forward);
    EXPECT_EQ(dups.Decide(Direction::HostToCar, 0, true), Fate::Duplicate);
    EXPECT_EQ(dups.Decide(Direction::CarToHost, 1, true), Fate::Duplicate);

    // Nothing is held while another datagram of the stream is held.
    FaultPlan holds({0, 0, 1.0}, 1);
    for (Fate f : Draw(holds, 5, false)) EXPECT_EQ(f, Fate::Forward);
    EXPECT_EQ(holds.Counts(Direction::CarToHost, 0).reordered, 0);
}

}  // namespace
}  // namespace velmora::soak
