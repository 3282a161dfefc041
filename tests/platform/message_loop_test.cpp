#include "platform/win/message_loop.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/win/clock.h"
#include "platform/win/kernel.h"

namespace {

std::vector<uint64_t> Fired;
DWORD BlockFor;
int FiresBeforeQuit;

void record_tick(HWND, UINT, UINT_PTR, DWORD) {
    Fired.push_back(clock_now());
    if (BlockFor != 0) {
        Sleep(BlockFor);
    }
    if (static_cast<int>(Fired.size()) == FiresBeforeQuit) {
        PostQuitMessage(0);
    }
}

void run_loop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        DispatchMessageA(&msg);
    }
}

class MessageLoop : public ::testing::Test {
  protected:
    void SetUp() override {
        clock_use_virtual();
        message_loop_reset();
        Fired.clear();
        BlockFor = 0;
        FiresBeforeQuit = 0;
    }
};

TEST_F(MessageLoop, BlockingCallbackDelaysTheTimerWithoutCatchingUp) {
    BlockFor = 450;
    FiresBeforeQuit = 4;
    SetTimer(nullptr, 0, 100, record_tick);
    run_loop();
    // The first tick blocks until 550; the missed ticks are not made up one after another.
    EXPECT_EQ(Fired, (std::vector<uint64_t>{100, 550, 1000, 1450}));
}

TEST_F(MessageLoop, ShortCallbackAfterALongOneKeepsThePeriodFromWhenItFired) {
    FiresBeforeQuit = 4;
    UINT_PTR id = SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) {
        Fired.push_back(clock_now());
        if (Fired.size() == 1) {
            Sleep(450);
        }
        if (Fired.size() == 4) {
            PostQuitMessage(0);
        }
    });
    EXPECT_NE(id, 0u);
    run_loop();
    EXPECT_EQ(Fired, (std::vector<uint64_t>{100, 550, 650, 750}));
}

TEST_F(MessageLoop, PostedMessagesComeBeforeADueTimer) {
    std::vector<UINT> order;
    SetTimer(nullptr, 0, 10, record_tick);
    Sleep(50);  // the timer is long due
    PostMessageA(nullptr, WM_USER, 0, 0);
    PostMessageA(nullptr, WM_USER + 1, 0, 0);
    MSG msg;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
        order.push_back(msg.message);
    }
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER, WM_USER + 1, WM_TIMER}));
    // Only one WM_TIMER for all the periods that passed; the next is a period away.
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

UINT_PTR OneShot;

void one_shot(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    Fired.push_back(clock_now());
}

TEST_F(MessageLoop, OneShotKilledAndReArmedFiresOnce) {
    OneShot = SetTimer(nullptr, 0, 10000, one_shot);
    Sleep(3000);
    KillTimer(nullptr, OneShot);
    OneShot = SetTimer(nullptr, 0, 10000, one_shot);  // re-armed: due at 13000
    SetTimer(nullptr, 0, 20000, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(0); });
    run_loop();
    EXPECT_EQ(Fired, (std::vector<uint64_t>{13000}));
}

TEST_F(MessageLoop, SetTimerWithAnExistingIdReArmsIt) {
    UINT_PTR id = SetTimer(nullptr, 0, 1000, one_shot);
    Sleep(600);
    EXPECT_EQ(SetTimer(nullptr, id, 1000, one_shot), id);
    SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(0); });
    run_loop();
    EXPECT_EQ(Fired, (std::vector<uint64_t>{1600}));
}

TEST_F(MessageLoop, ScheduledTaskPostingAMessageWakesTheLoop) {
    clock_post_at(70, [] { PostMessageA(nullptr, WM_USER, 7, 0); });
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_USER);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(clock_now(), 70u);
}

TEST_F(MessageLoop, QuitEndsTheLoopWithItsCode) {
    PostQuitMessage(3);
    MSG msg;
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
}

}  // namespace
