#include "platform/ThrottledEventPump.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using tessaly::ThrottledEventPump;

TEST(ThrottledEventPump, ProcessesAtMostOncePerInterval)
{
    auto now = std::chrono::steady_clock::time_point{} + 1h;
    int processed = 0;
    ThrottledEventPump pump([&] { ++processed; }, 15ms, [&] { return now; });

    pump.pump(); // the first call always processes
    EXPECT_EQ(processed, 1);
    for (int i = 0; i < 100000; ++i)
        pump.pump();
    EXPECT_EQ(processed, 1);

    now += 14ms;
    pump.pump();
    EXPECT_EQ(processed, 1);
    now += 1ms;
    pump.pump();
    EXPECT_EQ(processed, 2);
    EXPECT_EQ(pump.processedCount(), 2);
}

TEST(ThrottledEventPump, SlowCallersAreServedEveryTime)
{
    auto now = std::chrono::steady_clock::time_point{} + 1h;
    int processed = 0;
    ThrottledEventPump pump([&] { ++processed; }, 15ms, [&] { return now; });
    for (int i = 0; i < 5; ++i) {
        pump.pump();
        now += 100ms;
    }
    EXPECT_EQ(processed, 5);
}
