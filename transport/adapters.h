// Raw Ethernet access to every adapter through the framegate library: opening with the
// management filter program and 512 posted reads each, sending with a wait for completion,
// taking received frames lowest adapter and lowest slot first, and closing.
#pragma once

#include <cstdint>

#include "app/state.h"
#include "platform/framegate/framegate.h"
#include "platform/win/win_types.h"

constexpr int RECEIVE_SLOTS = 512;
constexpr int MIN_FRAME_LENGTH = 60;
constexpr int MAX_FRAME_LENGTH = 1514;
constexpr int RECEIVE_FRAME_SIZE = 1500;  // a received frame holds at most this much
constexpr uint32_t SEND_WAIT_MS = 5000;

struct ReceiveSlot {
    DWORD byte_count;  // written by the library and the overlapped query; never read
    OVERLAPPED overlapped;
    PacketDescriptor descriptor;
};

struct SendSlot {
    uint16_t length;
    DWORD bytes_sent;  // written by the library; never read
    OVERLAPPED overlapped;
    uint8_t frame[MAX_FRAME_LENGTH];
};

extern ReceiveSlot ReceiveSlots[MAX_ADAPTERS][RECEIVE_SLOTS];
extern SendSlot SendSlots[2];
extern int SendIndex;  // the send slot of the next send
extern HANDLE ActiveHandle;
// The length of the frame receive_next_frame last copied into its caller's buffer, so that
// parsers never read past what was received.
extern int ReceivedFrameLength;       // the adapter the per-adapter steps act on
extern OVERLAPPED RequestOverlapped;  // shared by every request to the library

// Passes only frames of Ethernet type 0x887B.
extern const BpfInstruction management_filter_program[4];

// 1 on success, also with no adapter; 0 when the enumeration could not start or the request
// event could not be made.
int open_all_adapters();
int close_all_adapters();  // always 1
// Sends `length` bytes (padded with zeros to 60) on `adapter`; 1 when the frame went out.
int send_frame(int adapter, const uint8_t* frame, int length);
// Takes the next received frame of any adapter into `buffer` (1500 bytes); 1 when one was
// taken (a frame of another type than 0x887B leaves the buffer as it was), 0 when none waited.
int receive_next_frame(uint8_t* buffer);
// The lowest-numbered completed slot of `adapter` (on ActiveHandle), marked taken; or null.
PacketDescriptor* take_completed_slot(int adapter);
// Posts a new read on the slot that the descriptor names.
int rearm_slot(PacketDescriptor* descriptor);
int query_adapter_address(uint8_t* buffer);
int set_packet_filter(DWORD value);
