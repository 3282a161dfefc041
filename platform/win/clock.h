// The one clock of the platform, and its task queue.
//
// Every wait of the programs goes through this clock: the tick count, sleeping, waits on
// events, the message loop's wait for the next timer. Everything that happens "in the
// background" (a frame landing in a posted read, a send completing, an emulated bridge
// answering, scripted user input) is a task scheduled on it.
//
// Two modes:
//   real     the operating system's monotonic clock; tasks run when the program next touches
//            the clock at or after their time.
//   virtual  time moves only when the program waits or polls. A wait jumps straight to the next
//            task or to its deadline. A program that spins (reads the tick count, or yields,
//            twice with no passing of time between) moves the clock on by one millisecond, so
//            polling loops end after the same number of virtual milliseconds on every run.
//
// Times are milliseconds on a 64-bit count; the 32-bit tick count is its low half plus a base.
// Single-threaded: only the program's thread may call these.
#pragma once

#include <cstdint>
#include <functional>

using ClockTask = std::function<void()>;
using ClockTaskId = uint64_t;

// Switches to virtual time starting at `start_tick` (the value GetTickCount will return) and
// drops every pending task and watched descriptor. Tests call it first.
void clock_use_virtual(uint32_t start_tick = 0);
// Switches back to real time (the default) and drops every pending task.
void clock_use_real();
bool clock_is_virtual();

// Milliseconds since the clock started; does not move time and runs no task.
uint64_t clock_now();
// The 32-bit tick count of clock time `t`.
uint32_t clock_tick_of(uint64_t t);

// Schedules `task` to run once at clock time `at` (or at once, at the next touch of the clock,
// when `at` has passed). Tasks at the same time run in the order they were posted.
ClockTaskId clock_post_at(uint64_t at, ClockTask task);
ClockTaskId clock_post_after(uint64_t delay_ms, ClockTask task);
void clock_cancel(ClockTaskId id);
// Time of the earliest pending task, or UINT64_MAX when none is pending.
uint64_t clock_next_task_time();

// Runs every task whose time has come. Tasks may post further tasks.
void clock_run_due();

// Waits until `done()` is true or the clock reaches `deadline` (UINT64_MAX: no deadline),
// running tasks as their time comes. Returns done(). In virtual time the clock jumps from task
// to task; with no task left before the deadline it jumps to the deadline, and with no deadline
// either it returns false at once (nothing could ever make done() true).
bool clock_wait_until(uint64_t deadline, const std::function<bool()>& done);

// The spin rule of virtual time, applied by the tick count and by yielding: `kind` names the
// polling call (0: tick count, 1: yield). A second poll of the same kind with no passing of
// time since the first moves the clock on by one millisecond.
void clock_note_poll(int kind);

// Real time only: while the clock waits, a readable `fd` runs `on_readable` (terminal input,
// the sockets of the emulator program). Returns an id for clock_unwatch_fd.
int clock_watch_fd(int fd, std::function<void()> on_readable);
void clock_unwatch_fd(int id);
// Ends a real-time wait early from another thread (for example a signal handler's helper).
void clock_wake();
