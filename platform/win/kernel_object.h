// What lies behind a HANDLE of the kernel stand-in. Platform-internal: the programs only ever
// see the opaque HANDLE.
#pragma once

#include "platform/win/win_types.h"

struct KernelObject {
    virtual ~KernelObject() = default;
    // Called by GetOverlappedResult on a handle of this object before it reads the overlapped
    // record: the object may complete operations that finished in the background.
    virtual void update_overlapped() {}
};

// Registers `object` and returns its handle; the object stays owned by the caller.
HANDLE kernel_register(KernelObject* object);
void kernel_unregister(HANDLE handle);
// The object behind `handle`, or null for an unknown handle.
KernelObject* kernel_lookup(HANDLE handle);

// Completes an overlapped operation: status, byte count, and the signal of its event.
void kernel_complete_overlapped(OVERLAPPED* overlapped, ULONG_PTR status, DWORD bytes);
