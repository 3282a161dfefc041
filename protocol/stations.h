// The station table of the current adapter and its rate estimates.
//
// Standard bridges: probe replies add and refresh stations, the bridge report gives each a
// rate value. Extended bridges: the station-list answer gives the stations, their last-heard
// stamps and a rate class each.
//
// The frame handlers read the buffer that receive_next_frame last filled and stay within the
// ReceivedFrameLength bytes it copied: what a short frame does not hold is treated as absent.
#pragma once

#include <cstddef>
#include <cstdint>

// Station records unpacked from the last extended station-list answer: each record starts
// with its own length byte, a length byte of 0 ends them. Never cleared.
constexpr size_t EXTENDED_RECORDS_SIZE = 768;
extern uint8_t ExtendedStationRecords[EXTENDED_RECORDS_SIZE];

// Offsets within one extended station record.
constexpr size_t EXTENDED_RECORD_ADDRESS = 2;
constexpr size_t EXTENDED_RECORD_STAMP = 8;  // 16-bit, little-endian, on the bridge's clock
constexpr size_t EXTENDED_RECORD_RATE_A = 22;
constexpr size_t EXTENDED_RECORD_RATE_B = 23;
constexpr size_t EXTENDED_RECORD_MIN_SIZE = 24;

// A StationProbeReply: adds its source to the table, or counts it as heard.
void record_station_reply(const uint8_t* frame);
// End of a monitor cycle: entries heard since the last pass are kept (heard back to 0), the
// others emptied. Walks from entry 0 up to the first free entry.
void age_stations();
// A BridgeReport answer: sets rate_mbps of each station it reports, walking from entry 0 up
// to the first free entry.
void estimate_station_rates(const uint8_t* frame);

// Listens three windows for the answers to the station-list request sent just before and
// unpacks them into ExtendedStationRecords; 1 when an answer was taken.
int receive_extended_station_list();
// One received frame of `length` bytes: 1 when it is a station-list answer (taken), 0 when it
// is not. `unpacked` is the count of entries unpacked so far in this listen; an answer that
// counts more entries than that is unpacked into ExtendedStationRecords from its start.
int unpack_extended_station_list(const uint8_t* frame, int length, int* unpacked);
// Applies ExtendedStationRecords to the adapter's table with DeviceClock and AgeLimit.
void fill_stations_from_extended_list(int adapter);

// The data rate in Mbit/s of an extended rate class (0-7) under its rate flag (0 or 1).
double rate_class_mbps(int rate_class, int flag);
