// Windows kernel services the programs use: the tick count and sleeping (on the one clock of
// clock.h), manual-reset events, overlapped results, handles and the atomic increment.
#pragma once

#include "platform/win/win_types.h"

// Milliseconds on the platform clock, unsigned 32-bit; wraps after 49.7 days.
DWORD GetTickCount();
// Sleeps `milliseconds`; Sleep(0) only yields (in virtual time see clock.h for how a loop
// that yields still ends).
void Sleep(DWORD milliseconds);

DWORD GetLastError();
void SetLastError(DWORD error);

// Events. Only the unnamed form is supported: `name` must be null.
HANDLE CreateEventA(void* security, BOOL manual_reset, BOOL initial_state, const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
// WAIT_OBJECT_0 when the event is signalled within `milliseconds` (INFINITE: no limit),
// WAIT_TIMEOUT when the time ran out, WAIT_FAILED for a handle that is not an event.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL CloseHandle(HANDLE handle);

// The result of an overlapped operation on `file`. Only the non-waiting form (wait = FALSE) is
// supported: TRUE with the byte count when the operation has completed, FALSE with
// ERROR_IO_INCOMPLETE while it is pending.
BOOL GetOverlappedResult(HANDLE file, OVERLAPPED* overlapped, DWORD* bytes, BOOL wait);

LONG InterlockedIncrement(volatile LONG* addend);
