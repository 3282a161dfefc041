#include "platform/win/clock.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/win/kernel.h"

namespace {

TEST(Clock, TickCountWrapsAtThirtyTwoBits) {
    clock_use_virtual(0xFFFFFF00u);
    DWORD start = GetTickCount();
    EXPECT_EQ(start, 0xFFFFFF00u);
    Sleep(0x200);
    DWORD later = GetTickCount();
    EXPECT_EQ(later, 0x100u);
    // Unsigned difference, as every deadline in the programs is computed.
    EXPECT_EQ(later - start, 0x200u);
}

TEST(Clock, SleepJumpsVirtualTimeAndRunsTasksOnTheWay) {
    clock_use_virtual();
    std::vector<uint64_t> ran;
    clock_post_at(30, [&] { ran.push_back(clock_now()); });
    clock_post_at(10, [&] { ran.push_back(clock_now()); });
    clock_post_at(10, [&] { ran.push_back(clock_now() + 1000); });  // same time: posting order
    Sleep(25);
    EXPECT_EQ(ran, (std::vector<uint64_t>{10, 1010}));
    EXPECT_EQ(clock_now(), 25u);
    Sleep(5);
    EXPECT_EQ(ran.back(), 30u);
}

TEST(Clock, CancelledTaskNeverRuns) {
    clock_use_virtual();
    bool ran = false;
    ClockTaskId id = clock_post_after(5, [&] { ran = true; });
    clock_cancel(id);
    Sleep(10);
    EXPECT_FALSE(ran);
}

// Loops of the shape the programs use: each must end after exactly its virtual time.
TEST(Clock, SpinningOnTheTickCountEnds) {
    clock_use_virtual();
    DWORD start = GetTickCount();
    int polls = 0;
    while (GetTickCount() - start < 100) {
        ++polls;
    }
    EXPECT_EQ(clock_now(), 100u);
    EXPECT_EQ(polls, 99);
}

TEST(Clock, YieldingLoopOnTheTickCountMovesOneMillisecondAPass) {
    clock_use_virtual();
    DWORD start = GetTickCount();
    int passes = 0;
    while (GetTickCount() - start < 50) {
        ++passes;
        Sleep(0);
    }
    EXPECT_EQ(clock_now(), 50u);
    EXPECT_EQ(passes, 49);
}

TEST(Clock, LoopThatOnlyYieldsStillEnds) {
    clock_use_virtual();
    bool flag = false;
    clock_post_at(20, [&] { flag = true; });
    while (!flag) {
        Sleep(0);
    }
    EXPECT_EQ(clock_now(), 20u);
}

TEST(Clock, ReadingTheTickOnceAfterAWaitDoesNotMoveIt) {
    clock_use_virtual();
    GetTickCount();
    Sleep(10);
    EXPECT_EQ(GetTickCount(), 10u);
    Sleep(10);
    EXPECT_EQ(GetTickCount(), 20u);
}

TEST(Clock, WaitWithoutDeadlineOrTaskReturnsAtOnceInVirtualTime) {
    clock_use_virtual();
    EXPECT_FALSE(clock_wait_until(UINT64_MAX, [] { return false; }));
    EXPECT_EQ(clock_now(), 0u);
}

TEST(Clock, RealTimeSleepWaitsForReal) {
    clock_use_real();
    uint64_t before = clock_now();
    Sleep(20);
    EXPECT_GE(clock_now() - before, 20u);
}

}  // namespace
