// The network monitor: a 100 ms thread timer whose tick drains every received frame, hands the
// answers of a standard bridge to the station table and the parameter mirror, steps the
// analysis progress bars, and moves a cycle of 60 steps on by one step every ten ticks,
// sending its requests at fixed steps. An analysis runs the cycle from step 15 and ends on the
// bridge's report answer or, at the latest, when the 10-second end-of-scan timer fires.
#pragma once

#include "platform/win/message_loop.h"

constexpr UINT MONITOR_PERIOD_MS = 100;
constexpr UINT END_OF_SCAN_MS = 10000;
constexpr int TICKS_PER_STEP = 10;
constexpr int CYCLE_STEPS = 60;
constexpr int ANALYSIS_FIRST_STEP = 15;
constexpr int ANALYSIS_BAR_ID = 1018;  // the progress bar of the Device page and scan dialog

extern int TickCounter;          // ticks counted within the current step, 0-9
extern int StepCounter;          // position in the cycle, 0-60
extern int ProgressActive;       // while 1, every tick advances the analysis progress bars
extern UINT_PTR EndOfScanTimer;  // the one armed end-of-scan timer, 0 when none

// The monitor timer's callback; its arguments are not used.
void monitor_tick(HWND window, UINT message, UINT_PTR timer, DWORD time);
// Restarts the cycle at step 15 and bounds the analysis with a fresh 10-second timer.
void start_analysis();
// The end-of-scan timer's callback.
void end_of_scan(HWND window, UINT message, UINT_PTR timer, DWORD time);
// Stops the end-of-scan timer and the bars, refreshes the link quality and the station list,
// and ends the scan dialog if it is open.
void end_analysis();
