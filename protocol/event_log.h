// The parameter mirror and "plc.log".
//
// ParameterMirror is what the program believes the local bridge's 50-byte parameter block
// holds. Parameter-block answers refresh it; an answer whose leading bytes look blank, and a
// key change that the bridge's EEPROM block does not confirm, are logged to "plc.log" in the
// working directory, which keeps the last ten events (20 lines).
#pragma once

#include <cstdint>
#include <ctime>

#include "protocol/frames.h"

extern uint8_t ParameterMirror[PARAMETER_BLOCK_SIZE];

constexpr const char* EVENT_LOG_FILE_NAME = "plc.log";

// Event kinds of log_event.
constexpr int EVENT_BLANK_EEPROM = 0;  // "**EEPROM**"
constexpr int EVENT_BLANK_RAM = 1;     // "** RAM  **"
constexpr int EVENT_KEY_MISMATCH = 2;  // "**SETNEK**Retry=<try number>"

// The calendar time of the events' time lines; `time` unless a test sets it.
using CalendarTime = time_t (*)(time_t*);
extern CalendarTime EventLogTime;

// A ParameterBlock answer of length 51 (in the buffer that receive_next_frame last filled):
// a block whose bytes 0-5 are all equal is logged, any other block of the kind the bridge
// answers with (EEPROM once it has answered with it, RAM before) replaces ParameterMirror.
void handle_parameter_reply(const uint8_t* frame);
// 1 when the received frame's block (bytes 18-67) equals ParameterMirror, else 0.
int parameter_block_matches(const uint8_t* frame);
// Appends an event with the block of `frame` (bytes 18-67) to "plc.log", keeping the last ten.
// The event is lost when the log cannot be written; the previous log then stays as it was.
void log_event(int kind, int try_number, const uint8_t* frame);
