// A data section shared by every running instance of one executable, as a Windows executable
// marks a section shared: all instances see one copy, it starts with its stored initial value
// when the first instance maps it, and it vanishes with the last instance.
//
// The section is a small file under $XDG_RUNTIME_DIR (or /tmp when that is unset), named after
// the executable and the section; a shared lock held by every running instance tells whether
// any instance still runs, so a start after the last one ended finds the initial value again.
// Tests isolate their instances by giving them their own XDG_RUNTIME_DIR.
#pragma once

#include "platform/win/win_types.h"

// The shared 32-bit value of section `section` of this executable, mapped for the life of the
// process. Returns null when the section cannot be set up (no writable directory).
volatile LONG* shared_section_long(const char* section, LONG initial);
