#include "platform/win/clock.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <utility>
#include <vector>

namespace {

struct PendingTask {
    ClockTaskId id;
    ClockTask task;
};

struct WatchedFd {
    int id;
    int fd;
    std::function<void()> on_readable;
};

uint64_t monotonic_ms() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

struct Clock {
    bool is_virtual = false;
    uint64_t now = 0;          // virtual time in ms since the clock started
    uint64_t real_origin = 0;  // real time: monotonic ms at which clock time 0 was
    uint32_t tick_base = 0;    // GetTickCount at clock time 0
    // Ordered by (time, posting order): the multimap keeps equal keys in insertion order.
    std::multimap<uint64_t, PendingTask> tasks;
    ClockTaskId next_id = 1;
    int running_tasks = 0;
    uint64_t last_poll[2] = {UINT64_MAX, UINT64_MAX};
    std::vector<WatchedFd> fds;
    int next_fd_id = 1;
    int wake_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);

    Clock() {
        real_origin = monotonic_ms();
        tick_base = static_cast<uint32_t>(real_origin);
    }
};

Clock& the_clock() {
    static Clock c;
    return c;
}

void reset(bool is_virtual, uint32_t start_tick) {
    Clock& c = the_clock();
    c.is_virtual = is_virtual;
    c.tasks.clear();
    c.fds.clear();
    c.now = 0;
    c.last_poll[0] = c.last_poll[1] = UINT64_MAX;
    c.real_origin = monotonic_ms();
    // Real time: the tick count is the monotonic clock's milliseconds, as uptime is on Windows.
    c.tick_base = is_virtual ? start_tick : static_cast<uint32_t>(c.real_origin);
}

// Runs the earliest task if its time is at or before `limit`; returns whether one ran.
bool run_one_due(uint64_t limit) {
    Clock& c = the_clock();
    auto it = c.tasks.begin();
    if (it == c.tasks.end() || it->first > limit) {
        return false;
    }
    if (c.is_virtual && it->first > c.now) {
        c.now = it->first;
    }
    ClockTask task = std::move(it->second.task);
    c.tasks.erase(it);
    ++c.running_tasks;
    task();
    --c.running_tasks;
    return true;
}

// Virtual time: moves the clock to `t`, running the tasks due on the way in order.
void advance_to(uint64_t t) {
    Clock& c = the_clock();
    while (run_one_due(t)) {
    }
    if (t > c.now) {
        c.now = t;
    }
}

// Real time: blocks for at most `timeout_ms` (-1: without limit) on the watched descriptors.
void real_block(int timeout_ms) {
    Clock& c = the_clock();
    std::vector<pollfd> pfds;
    pfds.push_back({c.wake_fd, POLLIN, 0});
    for (const WatchedFd& w : c.fds) {
        pfds.push_back({w.fd, POLLIN, 0});
    }
    int n = poll(pfds.data(), pfds.size(), timeout_ms);
    if (n <= 0) {
        return;
    }
    if (pfds[0].revents != 0) {
        uint64_t count = 0;
        [[maybe_unused]] ssize_t got = read(c.wake_fd, &count, sizeof count);
    }
    // Copy the ids first: a handler may unwatch descriptors.
    std::vector<std::pair<int, short>> ready;
    for (size_t i = 1; i < pfds.size(); ++i) {
        if (pfds[i].revents != 0) {
            ready.emplace_back(c.fds[i - 1].id, pfds[i].revents);
        }
    }
    for (auto [id, revents] : ready) {
        for (const WatchedFd& w : c.fds) {
            if (w.id == id) {
                std::function<void()> handler = w.on_readable;
                handler();
                break;
            }
        }
    }
}

}  // namespace

void clock_use_virtual(uint32_t start_tick) {
    reset(true, start_tick);
}

void clock_use_real() {
    reset(false, 0);
}

bool clock_is_virtual() {
    return the_clock().is_virtual;
}

uint64_t clock_now() {
    Clock& c = the_clock();
    if (c.is_virtual) {
        return c.now;
    }
    return monotonic_ms() - c.real_origin;
}

uint32_t clock_tick_of(uint64_t t) {
    return static_cast<uint32_t>(the_clock().tick_base + t);
}

ClockTaskId clock_post_at(uint64_t at, ClockTask task) {
    Clock& c = the_clock();
    ClockTaskId id = c.next_id++;
    c.tasks.emplace(at, PendingTask{id, std::move(task)});
    return id;
}

ClockTaskId clock_post_after(uint64_t delay_ms, ClockTask task) {
    return clock_post_at(clock_now() + delay_ms, std::move(task));
}

void clock_cancel(ClockTaskId id) {
    Clock& c = the_clock();
    for (auto it = c.tasks.begin(); it != c.tasks.end(); ++it) {
        if (it->second.id == id) {
            c.tasks.erase(it);
            return;
        }
    }
}

uint64_t clock_next_task_time() {
    Clock& c = the_clock();
    return c.tasks.empty() ? UINT64_MAX : c.tasks.begin()->first;
}

void clock_run_due() {
    while (run_one_due(clock_now())) {
    }
}

bool clock_wait_until(uint64_t deadline, const std::function<bool()>& done) {
    Clock& c = the_clock();
    if (c.running_tasks > 0) {
        std::fprintf(stderr, "clock: a scheduled task tried to wait; tasks must not block\n");
        std::abort();
    }
    for (;;) {
        clock_run_due();
        if (done()) {
            return true;
        }
        uint64_t now = clock_now();
        if (now >= deadline) {
            return false;
        }
        uint64_t next = std::min(deadline, clock_next_task_time());
        if (c.is_virtual) {
            if (next == UINT64_MAX) {
                return false;
            }
            advance_to(next);
        } else {
            int timeout =
                next == UINT64_MAX ? -1 : static_cast<int>(std::min<uint64_t>(next - now, 1 << 30));
            real_block(timeout);
        }
    }
}

void clock_note_poll(int kind) {
    Clock& c = the_clock();
    if (c.running_tasks > 0) {
        return;
    }
    if (c.is_virtual && c.last_poll[kind] == c.now) {
        advance_to(c.now + 1);
    }
    clock_run_due();
    c.last_poll[kind] = clock_now();
}

int clock_watch_fd(int fd, std::function<void()> on_readable) {
    Clock& c = the_clock();
    int id = c.next_fd_id++;
    c.fds.push_back({id, fd, std::move(on_readable)});
    return id;
}

void clock_unwatch_fd(int id) {
    Clock& c = the_clock();
    for (auto it = c.fds.begin(); it != c.fds.end(); ++it) {
        if (it->id == id) {
            c.fds.erase(it);
            return;
        }
    }
}

void clock_wake() {
    Clock& c = the_clock();
    if (c.wake_fd >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t put = write(c.wake_fd, &one, sizeof one);
    }
}
