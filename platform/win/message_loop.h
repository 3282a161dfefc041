// The message queue of the user-interface thread and its thread timers, with the Windows
// names and values.
//
// One queue holds posted messages. A timer produces its WM_TIMER message only when the queue
// holds nothing else and the timer is due; at most one is pending per timer, and a tick missed
// while the thread was busy is not made up: the timer's next tick is due one period after the
// message was produced. Nested modal loops (dialogs, message boxes) call the same functions
// and so deliver timers too.
#pragma once

#include "platform/win/win_types.h"

struct POINT {
    LONG x;
    LONG y;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_NOTIFY = 0x004E;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

constexpr UINT USER_TIMER_MINIMUM = 10;

// Waits for the next message; FALSE when it is WM_QUIT. The window filter is not supported
// (pass null and 0, 0): every message of the thread is returned.
BOOL GetMessageA(MSG* msg, HWND window, UINT first, UINT last);
BOOL PeekMessageA(MSG* msg, HWND window, UINT first, UINT last, UINT remove);
BOOL TranslateMessage(const MSG* msg);
// WM_TIMER with a timer procedure calls it; a message for a window goes to the window layer.
LRESULT DispatchMessageA(const MSG* msg);
// Posts to a window, or to the thread itself when `window` is null.
BOOL PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
void PostQuitMessage(int exit_code);

// A thread timer when `window` is null (the id argument is then ignored and a new id returned;
// passing the id of an existing thread timer re-arms that timer), a window timer otherwise.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse_ms, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);

// For the window layer: where DispatchMessageA sends messages that name a window.
using WindowDispatcher = LRESULT (*)(const MSG* msg);
void message_loop_set_window_dispatcher(WindowDispatcher dispatcher);

// For the window layer: called each time GetMessageA is about to wait, so a frontend can draw
// what changed before the thread sleeps.
using IdleHook = void (*)();
void message_loop_set_idle_hook(IdleHook hook);

// For tests: empties the queue and forgets every timer and the quit request (the hooks stay).
void message_loop_reset();
