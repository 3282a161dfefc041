// The framegate backend "emulated": the PC's adapters as a scenario describes them, wired to
// the emulated powerline network (emulator/emulator.h).
//
// The framegate library chooses it when FRAMEGATE_EMULATE names a scenario file; the backend
// then loads that file at the first enumeration (unless a scenario is already loaded) and
// keeps the network, with every key it was given, for the rest of the run.
//
// Linking: the backend registers itself with the library from a static initialiser in
// backend.cpp, which is built as the OBJECT library `emulator_backend`. A program that should
// honour FRAMEGATE_EMULATE links `emulator_backend` (an object library is always linked whole,
// so the registration cannot be dropped). Tests may instead load a scenario and call
// emulator_backend_install().
#pragma once

#include "platform/framegate/framegate_backend.h"

extern const FramegateBackend EmulatedBackend;

// Makes the emulated network the library's backend for the next enumeration.
void emulator_backend_install();
// Does nothing; referencing it is another way of making sure the backend is linked in.
void emulator_link_backend();
