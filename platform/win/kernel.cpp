#include "platform/win/kernel.h"

#include <map>
#include <memory>

#include "platform/win/clock.h"
#include "platform/win/kernel_object.h"

namespace {

struct EventObject : KernelObject {
    bool manual_reset = true;
    bool signalled = false;
};

struct HandleTable {
    std::map<HANDLE, KernelObject*> objects;
    std::map<HANDLE, std::unique_ptr<EventObject>> events;  // events are owned here
    uintptr_t next = 0x1000;
};

HandleTable& handles() {
    static HandleTable table;
    return table;
}

thread_local DWORD last_error = ERROR_SUCCESS;

EventObject* lookup_event(HANDLE handle) {
    auto& events = handles().events;
    auto it = events.find(handle);
    return it == events.end() ? nullptr : it->second.get();
}

}  // namespace

HANDLE kernel_register(KernelObject* object) {
    HandleTable& table = handles();
    HANDLE handle = reinterpret_cast<HANDLE>(table.next);
    table.next += 4;
    table.objects[handle] = object;
    return handle;
}

void kernel_unregister(HANDLE handle) {
    handles().objects.erase(handle);
}

KernelObject* kernel_lookup(HANDLE handle) {
    auto& objects = handles().objects;
    auto it = objects.find(handle);
    return it == objects.end() ? nullptr : it->second;
}

void kernel_complete_overlapped(OVERLAPPED* overlapped, ULONG_PTR status, DWORD bytes) {
    overlapped->Internal = status;
    overlapped->InternalHigh = bytes;
    if (overlapped->hEvent != nullptr) {
        SetEvent(overlapped->hEvent);
    }
}

DWORD GetTickCount() {
    clock_note_poll(0);
    return clock_tick_of(clock_now());
}

void Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        clock_note_poll(1);
        return;
    }
    uint64_t deadline = milliseconds == INFINITE ? UINT64_MAX : clock_now() + milliseconds;
    clock_wait_until(deadline, [] { return false; });
}

DWORD GetLastError() {
    return last_error;
}

void SetLastError(DWORD error) {
    last_error = error;
}

HANDLE CreateEventA(void*, BOOL manual_reset, BOOL initial_state, const char* name) {
    if (name != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto event = std::make_unique<EventObject>();
    event->manual_reset = manual_reset != FALSE;
    event->signalled = initial_state != FALSE;
    HANDLE handle = kernel_register(event.get());
    handles().events[handle] = std::move(event);
    return handle;
}

BOOL SetEvent(HANDLE handle) {
    EventObject* event = lookup_event(handle);
    if (event == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->signalled = true;
    return TRUE;
}

BOOL ResetEvent(HANDLE handle) {
    EventObject* event = lookup_event(handle);
    if (event == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->signalled = false;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    if (lookup_event(handle) == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    uint64_t deadline = milliseconds == INFINITE ? UINT64_MAX : clock_now() + milliseconds;
    // Look the event up afresh each time: a task that runs during the wait may close it.
    bool signalled = clock_wait_until(deadline, [handle] {
        EventObject* event = lookup_event(handle);
        return event == nullptr || event->signalled;
    });
    EventObject* event = lookup_event(handle);
    if (event == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    if (!signalled) {
        return WAIT_TIMEOUT;
    }
    if (!event->manual_reset) {
        event->signalled = false;
    }
    return WAIT_OBJECT_0;
}

BOOL CloseHandle(HANDLE handle) {
    HandleTable& table = handles();
    auto it = table.events.find(handle);
    if (it == table.events.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    table.objects.erase(handle);
    table.events.erase(it);
    return TRUE;
}

BOOL GetOverlappedResult(HANDLE file, OVERLAPPED* overlapped, DWORD* bytes, BOOL wait) {
    KernelObject* object = kernel_lookup(file);
    if (object == nullptr || overlapped == nullptr || wait != FALSE) {
        SetLastError(object == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    object->update_overlapped();
    if (overlapped->Internal == STATUS_PENDING) {
        SetLastError(ERROR_IO_INCOMPLETE);
        return FALSE;
    }
    if (bytes != nullptr) {
        *bytes = static_cast<DWORD>(overlapped->InternalHigh);
    }
    if (overlapped->Internal != STATUS_SUCCESS) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    return TRUE;
}

LONG InterlockedIncrement(volatile LONG* addend) {
    return __atomic_add_fetch(addend, 1, __ATOMIC_SEQ_CST);
}
