// Management frames: Ethernet frames of type 0x887B whose payload is a short list of
// management entries. This header is the one definition of that wire format: the frame
// layout, the entry types, the extended command bytes, and the builders of every request.
//
// Frame layout (offsets from the start of the Ethernet header):
//   0  destination (6)     6  source (6)     12  type 0x88 0x7B     14  entry count
//   15 first entry: type byte, length byte, data from offset 17; a second entry follows it.
// An answer is recognised by its first entry alone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/state.h"

// Byte offsets within a management frame.
constexpr size_t FRAME_DESTINATION = 0;
constexpr size_t FRAME_SOURCE = 6;
constexpr size_t FRAME_TYPE = 12;
constexpr size_t FRAME_ENTRY_COUNT = 14;
constexpr size_t FIRST_ENTRY_TYPE = 15;
constexpr size_t FIRST_ENTRY_LENGTH = 16;
constexpr size_t FIRST_ENTRY_DATA = 17;

constexpr uint8_t MANAGEMENT_TYPE_HIGH = 0x88;
constexpr uint8_t MANAGEMENT_TYPE_LOW = 0x7B;

// The frame as it lies in a buffer; entries are read by offset.
struct ManagementFrame {
    MacAddress destination;
    MacAddress source;
    uint8_t type[2];
    uint8_t entry_count;
    uint8_t entries[1500 - 15];
};
static_assert(offsetof(ManagementFrame, source) == FRAME_SOURCE);
static_assert(offsetof(ManagementFrame, type) == FRAME_TYPE);
static_assert(offsetof(ManagementFrame, entry_count) == FRAME_ENTRY_COUNT);
static_assert(offsetof(ManagementFrame, entries) == FIRST_ENTRY_TYPE);
static_assert(sizeof(ManagementFrame) == 1500);

// One entry: its type, its length byte, then its data.
struct ManagementEntry {
    uint8_t type;
    uint8_t length;
};
static_assert(sizeof(ManagementEntry) == 2);

enum class ManagementEntryType : uint8_t {
    SetNetworkKey = 0x04,      // request: a network key under a key selector
    StationProbe = 0x07,       // request: empty probe
    StationProbeReply = 0x08,  // answer: only its source address is used
    BlockRead = 0x12,          // extended request: a block of bytes at a 3-byte location
    BlockReadReply = 0x13,     // extended answer: the bytes read
    MemoryRead = 0x14,         // extended request: a 1- or 2-byte value at a 3-byte location
    MemoryReadReply = 0x15,    // extended answer: the value read
    ExtendedCommand = 0x16,    // extended, both ways: marker, command, parameters, check sum
    ParameterBlock = 0x19,     // both ways: one of the two 50-byte parameter blocks
    BridgeReport = 0x1A,       // both ways: device kind and up to 15 station records
    BridgeAnnounce = 0x1E,     // answer: recognised like a bridge report answer
    KeyParameters = 0x1F,      // request: three bytes sent with or after a SetNetworkKey
};

// The command byte (offset 19) of an ExtendedCommand entry.
enum class ExtendedCommand : uint8_t {
    ExtendedStationList = 0x04,
    ExtendedSetKey = 0x02,  // mode byte at offset 20: 1 local bridge, 2 remote device
    ExtendedIdentify = 0xFF,
};

constexpr uint8_t MEMORY_READ_MARKER = 0xCC;       // MemoryRead requests and answers
constexpr uint8_t EXTENDED_REQUEST_MARKER = 0xCD;  // ExtendedCommand requests
constexpr uint8_t EXTENDED_ANSWER_MARKER = 0xAC;   // ExtendedCommand answers

constexpr int PARAMETER_BLOCK_SIZE = 50;
constexpr uint8_t PARAMETER_ANSWER_LENGTH = 0x33;  // 51: block kind and the 50-byte block
constexpr size_t PARAMETER_BLOCK_KIND = 17;        // 1 EEPROM block, 2 RAM block
constexpr size_t PARAMETER_BLOCK_DATA = 18;        // the 50 bytes, offsets 18-67

// Bridge report answers: 15 station records of 12 bytes from offset 24; bytes 0-5 the
// station address, 6-7 the rate value, little-endian.
constexpr int REPORT_RECORDS = 15;
constexpr size_t REPORT_FIRST_RECORD = 24;
constexpr size_t REPORT_RECORD_SIZE = 12;

extern const MacAddress BroadcastAddress;

// The extended bridge's station clock and station age limit, as last read.
extern uint16_t DeviceClock;
extern uint16_t AgeLimit;

// The frame is of type 0x887B.
inline bool is_management_frame(const uint8_t* frame) {
    return frame[FRAME_TYPE] == MANAGEMENT_TYPE_HIGH &&
           frame[FRAME_TYPE + 1] == MANAGEMENT_TYPE_LOW;
}

inline bool first_entry_is(const uint8_t* frame, ManagementEntryType type) {
    return frame[FIRST_ENTRY_TYPE] == static_cast<uint8_t>(type);
}

// ---- Listening --------------------------------------------------------------------------

// receive_next_frame for the protocol: 1 when a frame was taken, 0 when none waited. A frame
// of another type leaves the buffer's bytes as they were; its type and first entry type are
// cleared first, so that the previous frame can never be handled a second time.
int take_frame(uint8_t* buffer);

constexpr uint32_t LISTEN_WINDOW_MS = 500;
constexpr uint32_t LISTEN_IDLE_SLEEP_MS = 10;

// Decides about one received frame: 1 when it is the awaited answer (and was applied), else 0.
using FrameMatcher = int (*)(const uint8_t* frame, void* context);

// Listens one window of 500 ms: every received frame is offered to `match` until one matches,
// which ends the window at once; with nothing waiting it sleeps `idle_sleep_ms`. 1 when a
// frame matched, else 0.
int listen_window(FrameMatcher match, void* context, uint32_t idle_sleep_ms);
// Listens three windows of 500 ms (the request went out before), sleeping 10 ms while nothing
// waits; a window that ends at a match is followed by the next all the same. 1 when any window
// matched, else 0.
int listen_three_windows(FrameMatcher match, void* context);

// ---- Requests -----------------------------------------------------------------------------
// Every builder that sends takes the adapter index first and returns send_frame's result.
// Bytes a request does not name are 0; some length bytes differ from the data that follows
// (the bridges expect exactly these bytes).

// The sum modulo 65536 of `count` bytes, as the extended requests carry it (high byte first).
uint16_t check_sum(const uint8_t* bytes, size_t count);
// Writes the check sum of frame bytes `from` to `to_inclusive` at `at`, high byte first.
void put_check_sum(uint8_t* frame, size_t at, size_t from, size_t to_inclusive);
// Starts a request of `length` bytes in `frame`: zeroes it, fills the addresses, the type and
// one entry of `entry_type` whose length byte is `entry_length`. Returns `frame`.
uint8_t* begin_request(uint8_t* frame, int length, const uint8_t* source,
                       const uint8_t* destination, ManagementEntryType entry_type,
                       uint8_t entry_length);

int send_station_probe(int adapter, const uint8_t* source, const uint8_t* destination);
// A probe from CurrentAdapter's settings address to broadcast.
int probe_stations_broadcast();
// A probe to every station in use in CurrentAdapter's table.
int probe_known_stations();
int send_bridge_report_request(int adapter, const uint8_t* source, const uint8_t* destination);
// Selector 0x00 asks for the EEPROM block (answer kind 1), 0x10 for the RAM block (kind 2).
int send_parameter_request(int adapter, const uint8_t* source, const uint8_t* destination,
                           uint8_t selector);
// Sends the parameter request on CurrentAdapter only when a bridge of a known kind is there.
int request_parameter_block(uint8_t selector);
int send_key_parameters(int adapter, const uint8_t* source, const uint8_t* destination,
                        uint8_t first, uint8_t second, uint8_t third);

constexpr int SET_NETWORK_KEY_LENGTH = 32;
// Fills the 32-byte key frame: one SetNetworkKey entry, or with `with_parameters` a second,
// KeyParameters, entry carrying first, second and third.
void build_set_network_key(uint8_t* frame, const uint8_t* source, const uint8_t* destination,
                           uint8_t selector, const uint8_t* key, int with_parameters, uint8_t first,
                           uint8_t second, uint8_t third);

int send_extended_identify(int adapter);
int send_extended_station_list_request(int adapter);
// Sets the key of the local bridge (mode 1).
int send_extended_set_key(int adapter, const uint8_t* source, const uint8_t* destination,
                          const uint8_t* key);
// Sets a key on a remote device (mode 2).
int send_extended_remote_key(int adapter, const uint8_t* source, const uint8_t* destination,
                             const uint8_t* key_a, const uint8_t* key_b);

// ---- Answers ------------------------------------------------------------------------------

inline bool is_station_probe_reply(const uint8_t* frame) {
    return is_management_frame(frame) &&
           first_entry_is(frame, ManagementEntryType::StationProbeReply);
}

inline bool is_parameter_block_answer(const uint8_t* frame) {
    return is_management_frame(frame) &&
           first_entry_is(frame, ManagementEntryType::ParameterBlock) &&
           frame[FIRST_ENTRY_LENGTH] == PARAMETER_ANSWER_LENGTH;
}

// A bridge report other than a request (byte 17 of a request is 0x80), as the monitor takes it.
inline bool is_bridge_report_answer(const uint8_t* frame) {
    return first_entry_is(frame, ManagementEntryType::BridgeReport) &&
           frame[FIRST_ENTRY_DATA] != 0x80;
}

inline bool is_extended_answer(const uint8_t* frame, ExtendedCommand command) {
    return is_management_frame(frame) &&
           first_entry_is(frame, ManagementEntryType::ExtendedCommand) &&
           frame[18] == EXTENDED_ANSWER_MARKER && frame[19] == static_cast<uint8_t>(command);
}

// A remote device's answer to the remote-key request (mode 2).
inline bool is_extended_set_key_answer(const uint8_t* frame) {
    return is_extended_answer(frame, ExtendedCommand::ExtendedSetKey) && frame[20] == 0x02;
}
