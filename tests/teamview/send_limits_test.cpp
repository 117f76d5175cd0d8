#include <gtest/gtest.h>

#include <algorithm>

#include "teamview/connection_table.h"
#include "teamview/page_send_queue.h"

namespace velmora {
namespace {

TEST(PageSendQueue, ASlowPageGetsTheLatestStateOnceItHasRoomAndAStuckOneIsGivenUp) {
    PageSendQueue q(1000, 30'000, 0);
    EXPECT_TRUE(q.Offer(0, 0));        // room: sent
    EXPECT_TRUE(q.Offer(900, 100));    // still within the bound
    EXPECT_FALSE(q.Offer(1900, 200));  // behind: owed, nothing written
    EXPECT_FALSE(q.Offer(1900, 300));  // more steps while behind are not queued
    EXPECT_TRUE(q.Owed());
    EXPECT_FALSE(q.Drained(1500, 400));  // took some, still over the bound
    EXPECT_TRUE(q.Drained(800, 500));    // room again: the latest state, once
    EXPECT_FALSE(q.Owed());
    EXPECT_FALSE(q.Drained(0, 600));  // nothing owed

    // Stalls count from the last time the queue shrank or was empty.
    EXPECT_FALSE(q.Offer(2000, 1000));
    EXPECT_FALSE(q.Stalled(2000, 30'600));
    EXPECT_TRUE(q.Stalled(2000, 30'601));
    EXPECT_FALSE(q.Drained(1999, 30'700));  // a byte taken: alive again
    EXPECT_FALSE(q.Stalled(1999, 60'000));
    EXPECT_TRUE(q.Stalled(1999, 60'701));
    EXPECT_FALSE(q.Stalled(0, 90'000));
}

TEST(ConnectionTable, RefusesOverTheLimitAndClosesRequestsThatDoNotComeInTime) {
    ConnectionTable t(3, 10'000);
    EXPECT_TRUE(t.Admit(1, 0));
    EXPECT_TRUE(t.Admit(2, 0));
    EXPECT_FALSE(t.Admit(2, 0));  // already open
    EXPECT_TRUE(t.Admit(3, 5'000));
    EXPECT_FALSE(t.Admit(4, 5'000));  // over the limit
    EXPECT_EQ(t.Open(), 3u);

    t.Answered(1, 8'000);  // due again at 18 s
    t.Streaming(2);        // a stream is never overdue
    t.Streaming(2);
    EXPECT_EQ(t.Streams(), 1u);
    EXPECT_TRUE(t.Overdue(10'000).empty());
    EXPECT_EQ(t.Overdue(15'001), std::vector<std::uint64_t>{3});
    std::vector<std::uint64_t> late = t.Overdue(18'001);
    std::sort(late.begin(), late.end());
    EXPECT_EQ(late, (std::vector<std::uint64_t>{1, 3}));

    t.Closed(2);
    t.Closed(2);
    t.Closed(99);
    EXPECT_EQ(t.Streams(), 0u);
    EXPECT_TRUE(t.Admit(4, 20'000));
    for (std::uint64_t id = 1; id <= 1000; ++id) {  // churn: nothing is left behind
        t.Closed(id);
        EXPECT_TRUE(t.Admit(id + 1000, 20'000));
        t.Closed(id + 1000);
    }
    EXPECT_EQ(t.Open(), 0u);
}

}  // namespace
}  // namespace velmora
