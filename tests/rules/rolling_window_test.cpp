// The window sums against a count over every millisecond, on random small timelines.
#include "rules/rolling_window.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace velmora {
namespace {

// The driving inside [t − window, t], one millisecond at a time.
std::int64_t Brute(const std::vector<DriveSpan>& spans, std::int64_t window, std::int64_t t) {
    std::int64_t sum = 0;
    for (const DriveSpan& s : spans)
        for (std::int64_t x = s.startMs; x < s.endMs; ++x) sum += (x >= t - window && x < t);
    return sum;
}

std::vector<DriveSpan> RandomSpans(std::mt19937& rng) {
    std::vector<DriveSpan> spans;
    std::int64_t t = std::uniform_int_distribution<std::int64_t>(0, 20)(rng);
    const int count = std::uniform_int_distribution<int>(1, 6)(rng);
    for (int k = 0; k < count; ++k) {
        const std::int64_t length = std::uniform_int_distribution<std::int64_t>(0, 40)(rng);
        spans.push_back({t, t + length});
        t += length + std::uniform_int_distribution<std::int64_t>(0, 30)(rng);
    }
    return spans;
}

TEST(RollingWindow, AgreesWithACountOverEveryMillisecond) {
    std::mt19937 rng(20);
    for (int round = 0; round < 400; ++round) {
        const std::vector<DriveSpan> spans = RandomSpans(rng);
        const std::int64_t window = std::uniform_int_distribution<std::int64_t>(1, 80)(rng);
        const std::int64_t cap = std::uniform_int_distribution<std::int64_t>(0, window)(rng);
        const std::int64_t until = spans.back().endMs;
        SCOPED_TRACE(testing::Message()
                     << "round " << round << " window " << window << " cap " << cap);

        std::int64_t most = 0;
        for (std::int64_t t = 0; t <= until; ++t) {
            ASSERT_EQ(DrivingInWindow(spans, window, t), Brute(spans, window, t)) << t;
            most = std::max(most, Brute(spans, window, t));
        }
        EXPECT_EQ(MaxDrivingInWindow(spans, window, until), most);

        for (std::size_t k = 0; k < spans.size(); ++k) {
            const std::vector<DriveSpan> upTo(spans.begin(), spans.begin() + k + 1);
            std::optional<std::int64_t> reached;
            if (Brute(upTo, window, spans[k].endMs) > cap)
                for (std::int64_t t = spans[k].startMs; !reached; ++t)
                    if (Brute(upTo, window, t) >= cap) reached = t;
            EXPECT_EQ(WindowCapReached(spans, k, window, cap), reached) << "span " << k;
        }

        // Driving on from the end of the last span: the last moment still within the cap.
        std::vector<DriveSpan> on = spans;
        std::optional<std::int64_t> left;
        const std::int64_t held = Brute(on, window, until);
        if (held > cap) left = cap - held;
        for (std::int64_t x = 0; cap < window && !left; ++x) {
            on.back().endMs = until + x + 1;
            if (Brute(on, window, until + x + 1) > cap) left = x;
        }
        EXPECT_EQ(WindowDrivingLeft(spans, window, cap), left);
    }
}

}  // namespace
}  // namespace velmora
