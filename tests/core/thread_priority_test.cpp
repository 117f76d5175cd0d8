// Threads that give way to the engine: lowered once below the console's priority, however
// often they ask and whoever started them, and never the caller's neighbours.
#include "core/thread_priority.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

namespace velmora {
namespace {

int OwnNice() { return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid())); }

TEST(ThreadPriority, AThreadIsLoweredOnceAndThreadsItStartsStayThere) {
    const int console = OwnNice();
    const int lowered = std::min(19, console + kBackgroundNice);
    int first = 0, again = 0, child = 0;
    std::thread([&] {
        EXPECT_TRUE(LowerThisThreadsPriority());
        first = OwnNice();
        EXPECT_TRUE(LowerThisThreadsPriority());
        again = OwnNice();
        // A thread started by a lowered one inherits its priority and asks again.
        std::thread([&] {
            EXPECT_TRUE(LowerThisThreadsPriority());
            child = OwnNice();
        }).join();
    }).join();
    EXPECT_EQ(first, lowered);
    EXPECT_EQ(again, lowered);
    EXPECT_EQ(child, lowered);
    EXPECT_EQ(OwnNice(), console);  // the engine's stays as it was
}

}  // namespace
}  // namespace velmora
