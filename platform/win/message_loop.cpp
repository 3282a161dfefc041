#include "platform/win/message_loop.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <vector>

#include "platform/win/clock.h"

namespace {

struct Timer {
    HWND window;
    UINT_PTR id;
    UINT elapse;
    TIMERPROC proc;
    uint64_t due;  // clock time at which the next WM_TIMER may be produced
};

struct Queue {
    std::deque<MSG> posted;
    std::vector<Timer> timers;  // in creation order, which breaks ties between due timers
    bool quit_pending = false;
    int quit_code = 0;
    UINT_PTR next_timer_id = 1;
    WindowDispatcher dispatcher = nullptr;
    IdleHook idle = nullptr;
};

Queue& queue() {
    static Queue q;
    return q;
}

MSG make_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return MSG{window, message, wparam, lparam, clock_tick_of(clock_now()), {0, 0}};
}

Timer* earliest_timer() {
    Timer* best = nullptr;
    for (Timer& t : queue().timers) {
        if (best == nullptr || t.due < best->due) {
            best = &t;
        }
    }
    return best;
}

// Takes the next message if there is one: posted messages first, then the quit request, then
// a due timer. A timer's message is produced here, so at most one is ever pending per timer.
bool take_message(MSG* msg, bool remove) {
    Queue& q = queue();
    clock_run_due();
    if (!q.posted.empty()) {
        *msg = q.posted.front();
        if (remove) {
            q.posted.pop_front();
        }
        return true;
    }
    if (q.quit_pending) {
        *msg = make_message(nullptr, WM_QUIT, static_cast<WPARAM>(q.quit_code), 0);
        if (remove) {
            q.quit_pending = false;
        }
        return true;
    }
    Timer* timer = earliest_timer();
    uint64_t now = clock_now();
    if (timer != nullptr && timer->due <= now) {
        *msg =
            make_message(timer->window, WM_TIMER, timer->id, reinterpret_cast<LPARAM>(timer->proc));
        if (remove) {
            timer->due = now + timer->elapse;
        }
        return true;
    }
    return false;
}

IdleHook q_idle() {
    return queue().idle;
}

bool anything_posted() {
    return !queue().posted.empty() || queue().quit_pending;
}

}  // namespace

BOOL GetMessageA(MSG* msg, HWND, UINT, UINT) {
    for (;;) {
        if (take_message(msg, true)) {
            return msg->message == WM_QUIT ? FALSE : TRUE;
        }
        if (q_idle() != nullptr) {
            q_idle()();
            if (take_message(msg, true)) {
                return msg->message == WM_QUIT ? FALSE : TRUE;
            }
        }
        Timer* timer = earliest_timer();
        uint64_t deadline = timer == nullptr ? UINT64_MAX : timer->due;
        if (clock_is_virtual() && deadline == UINT64_MAX && clock_next_task_time() == UINT64_MAX) {
            std::fprintf(stderr,
                         "message loop: waiting in virtual time with no timer, no scheduled task "
                         "and no message; nothing could ever arrive\n");
            std::abort();
        }
        clock_wait_until(deadline, anything_posted);
    }
}

BOOL PeekMessageA(MSG* msg, HWND, UINT, UINT, UINT remove) {
    return take_message(msg, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        proc(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
        return 0;
    }
    if (msg->hwnd != nullptr && queue().dispatcher != nullptr) {
        return queue().dispatcher(msg);
    }
    return 0;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    queue().posted.push_back(make_message(window, message, wparam, lparam));
    return TRUE;
}

void PostQuitMessage(int exit_code) {
    queue().quit_pending = true;
    queue().quit_code = exit_code;
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse_ms, TIMERPROC proc) {
    Queue& q = queue();
    if (elapse_ms < USER_TIMER_MINIMUM) {
        elapse_ms = USER_TIMER_MINIMUM;
    }
    uint64_t due = clock_now() + elapse_ms;
    for (Timer& t : q.timers) {
        if (t.window == window && t.id == id) {
            t.elapse = elapse_ms;
            t.proc = proc;
            t.due = due;
            return window == nullptr ? id : 1;
        }
    }
    if (window == nullptr) {
        id = q.next_timer_id++;
    } else if (id == 0) {
        return 0;
    }
    q.timers.push_back(Timer{window, id, elapse_ms, proc, due});
    return window == nullptr ? id : 1;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    auto& timers = queue().timers;
    for (auto it = timers.begin(); it != timers.end(); ++it) {
        if (it->window == window && it->id == id) {
            timers.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}

void message_loop_set_window_dispatcher(WindowDispatcher dispatcher) {
    queue().dispatcher = dispatcher;
}

void message_loop_set_idle_hook(IdleHook hook) {
    queue().idle = hook;
}

void message_loop_reset() {
    WindowDispatcher dispatcher = queue().dispatcher;
    IdleHook idle = queue().idle;
    queue() = Queue{};
    queue().dispatcher = dispatcher;
    queue().idle = idle;
}
