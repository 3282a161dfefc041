// The network monitor: a 100 ms tick that drains answers and runs a cycle of 60 steps.
#pragma once

extern int TickCounter;  // ticks counted within the current step, 0-9
extern int StepCounter;  // position in the cycle, 0-60; one step is ten ticks
