// A classic Berkeley packet filter interpreter, for backends whose frames do not pass through
// the kernel's socket filter. Any program and any frame are safe: loads outside the frame,
// jumps outside the program and division by zero reject the frame, as the kernel does.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/framegate/framegate.h"

// At most this many instructions, as in the kernel.
constexpr size_t BPF_MAX_INSTRUCTIONS = 4096;

// The number of bytes of the frame the program accepts (0: rejected).
uint32_t bpf_run(const BpfInstruction* program, size_t count, const uint8_t* frame, size_t length);
