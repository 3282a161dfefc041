#include "platform/win/kernel.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win/clock.h"
#include "platform/win/shared_section.h"

namespace {

TEST(Events, WaitTimesOutOnTheVirtualClock) {
    clock_use_virtual();
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_TIMEOUT);
    EXPECT_EQ(clock_now(), 5000u);
    EXPECT_TRUE(CloseHandle(event));
}

TEST(Events, ManualResetEventStaysSignalledUntilReset) {
    clock_use_virtual();
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    clock_post_at(300, [event] { SetEvent(event); });
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(clock_now(), 300u);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    ResetEvent(event);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST(Events, ClosedOrUnknownHandlesFail) {
    clock_use_virtual();
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(WaitForSingleObject(event, 10), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(nullptr, 10), WAIT_FAILED);
    EXPECT_FALSE(SetEvent(nullptr));
    EXPECT_EQ(CreateEventA(nullptr, TRUE, FALSE, "named"), nullptr);
}

TEST(Interlocked, IncrementReturnsTheNewValue) {
    volatile LONG value = -1;
    EXPECT_EQ(InterlockedIncrement(&value), 0);
    EXPECT_EQ(InterlockedIncrement(&value), 1);
}

// Each child process is one instance: it maps the section, increments, reports the value it
// got through its exit status, and stays alive until told to go.
class SharedCounter : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/lw-instances-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    }
    void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }

    struct Instance {
        pid_t pid;
        int release;  // write end: closing it ends the instance
        int value;    // the counter value the instance saw
    };

    Instance start() {
        int report[2];
        int release[2];
        EXPECT_EQ(pipe(report), 0);
        EXPECT_EQ(pipe(release), 0);
        pid_t pid = fork();
        if (pid == 0) {
            close(report[0]);
            close(release[1]);
            for (int held : held_) {
                close(held);  // other instances' release pipes must end with the parent's close
            }
            volatile LONG* counter = shared_section_long("Shared", -1);
            LONG value = counter == nullptr ? 99 : InterlockedIncrement(counter);
            [[maybe_unused]] ssize_t n = write(report[1], &value, sizeof value);
            char byte;
            n = read(release[0], &byte, 1);  // until the parent closes its end
            _exit(0);
        }
        close(report[1]);
        close(release[0]);
        LONG value = 0;
        EXPECT_EQ(read(report[0], &value, sizeof value), static_cast<ssize_t>(sizeof value));
        close(report[0]);
        held_.push_back(release[1]);
        return Instance{pid, release[1], value};
    }

    void stop(const Instance& instance) {
        std::erase(held_, instance.release);
        close(instance.release);
        waitpid(instance.pid, nullptr, 0);
    }

    std::string dir_;
    std::vector<int> held_;
};

TEST_F(SharedCounter, FirstInstanceSeesZeroLaterOnesSeeItGrow) {
    Instance first = start();
    Instance second = start();
    Instance third = start();
    EXPECT_EQ(first.value, 0);
    EXPECT_EQ(second.value, 1);
    EXPECT_EQ(third.value, 2);
    stop(second);
    Instance fourth = start();  // the counter only grows while any instance runs
    EXPECT_EQ(fourth.value, 3);
    stop(first);
    stop(third);
    stop(fourth);
}

TEST_F(SharedCounter, VanishesWithTheLastInstance) {
    Instance first = start();
    stop(first);
    Instance again = start();
    EXPECT_EQ(again.value, 0);
    stop(again);
}

}  // namespace
