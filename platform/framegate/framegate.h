// framegate: the packet-driver library through which linkwarden reaches raw Ethernet.
//
// Adapters are enumerated, opened by name, given a classic BPF filter program and a packet
// filter, and then read with posted reads that complete in the background (in posting order)
// and written with sends that complete through an overlapped record's event.
//
// Behind this interface sit backends (framegate_backend.h): packet sockets on the machine's
// Ethernet interfaces, the in-process emulated powerline network (FRAMEGATE_EMULATE), and the
// scripted test wire.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win/win_types.h"

// ---- Receive descriptor -------------------------------------------------------------------

constexpr DWORD FRAMEGATE_FRAME_CAPACITY = 1500;

struct PacketDescriptor {
    DWORD adapter_index;  // written by the caller when it takes the frame
    DWORD slot_index;     // written by the caller when it takes the frame
    BYTE library_a[16];   // the library's own
    DWORD status;         // 0: a frame has landed; STATUS_PENDING (0x103) while the read is posted
    BYTE library_b[16];   // the library's own
    DWORD length;         // length of the frame that landed
    DWORD library_c;      // the library's own
    DWORD capacity;       // size of the frame area the caller offers, at most 1500
    BYTE frame[FRAMEGATE_FRAME_CAPACITY];  // the frame, from its destination address on
    BYTE library_d[16];                    // the library's own
};
static_assert(sizeof(PacketDescriptor) == 1572);
static_assert(offsetof(PacketDescriptor, adapter_index) == 0);
static_assert(offsetof(PacketDescriptor, slot_index) == 4);
static_assert(offsetof(PacketDescriptor, status) == 24);
static_assert(offsetof(PacketDescriptor, length) == 44);
static_assert(offsetof(PacketDescriptor, capacity) == 52);
static_assert(offsetof(PacketDescriptor, frame) == 56);

// ---- NDIS requests ------------------------------------------------------------------------

constexpr DWORD NdisRequestQueryInformation = 0;
constexpr DWORD NdisRequestSetInformation = 1;
constexpr DWORD OID_802_3_CURRENT_ADDRESS = 0x01010102;
constexpr DWORD OID_GEN_CURRENT_PACKET_FILTER = 0x0001010E;
constexpr DWORD NDIS_PACKET_TYPE_PROMISCUOUS = 0x20;

// The information buffer is named by a 32-bit reference (the layout of the request block has
// four bytes for it): the buffer's distance in bytes from the request block itself. Both must
// therefore lie in the program's static storage; ndis_buffer_ref refuses anything farther.
struct NdisRequest {
    BYTE library_a[20];
    DWORD request_type;        // NdisRequestQueryInformation or NdisRequestSetInformation
    DWORD oid;                 // object identifier
    int32_t information_ref;   // the information buffer, see ndis_buffer_ref
    DWORD information_length;  // its length in bytes
    DWORD bytes_done;          // bytes written (query) or read (set)
    DWORD bytes_needed;        // bytes the request needs
    BYTE library_b[512];
};
static_assert(sizeof(NdisRequest) == 556);
static_assert(offsetof(NdisRequest, request_type) == 20);
static_assert(offsetof(NdisRequest, oid) == 24);
static_assert(offsetof(NdisRequest, information_ref) == 28);
static_assert(offsetof(NdisRequest, information_length) == 32);
static_assert(offsetof(NdisRequest, bytes_done) == 36);
static_assert(offsetof(NdisRequest, bytes_needed) == 40);

// The reference to `buffer` to store in `request`, or 0 when it cannot be expressed (0 itself
// is never a valid reference: the buffer cannot start at the request block).
int32_t ndis_buffer_ref(const NdisRequest* request, const void* buffer);
// The buffer that a request's reference names, or null for reference 0.
void* ndis_buffer_of(const NdisRequest* request);

// ---- Filter programs ----------------------------------------------------------------------

// One instruction of a classic Berkeley packet filter program, in the kernel's encoding.
struct BpfInstruction {
    WORD code;
    BYTE jump_true;
    BYTE jump_false;
    DWORD k;
};
static_assert(sizeof(BpfInstruction) == 8);

// ---- The library --------------------------------------------------------------------------
// The enumeration functions are imported by ordinal in the original library and have no names
// of their own; the ordinal of each is noted.

HANDLE W32N_StartAdapterEnum();                // ordinal 50: -1 on failure
void W32N_EndAdapterEnum(HANDLE enumeration);  // ordinal 51
HANDLE W32N_FirstAdapter(HANDLE enumeration);  // ordinal 52: -1 when there is none
HANDLE W32N_NextAdapter(HANDLE enumeration);   // ordinal 53: -1 when there are no more
void W32N_ReleaseAdapterEntry(HANDLE entry);   // ordinal 54
// Ordinal 57. Without a buffer: sets *size to the bytes the name needs (terminator included)
// and returns ERROR_INSUFFICIENT_BUFFER. With a buffer of at least that size: writes the name
// and returns 0. Anything else (a buffer too small, an unknown entry) returns another code.
DWORD W32N_GetAdapterName(HANDLE entry, char* buffer, DWORD* size);

HANDLE W32N_OpenAdapterA(const char* name);  // -1 on failure
BOOL W32N_CloseAdapter(HANDLE adapter);
// Performs the request before it returns; 0 on success. `synchronous` must be 1.
DWORD W32N_MakeNdisRequest(HANDLE adapter, NdisRequest* request, OVERLAPPED* overlapped,
                           DWORD synchronous);
// Only frames the program accepts reach the posted reads from now on.
BOOL W32N_SetBPFProgram(HANDLE adapter, const void* program, DWORD length);
// Posts one read. The descriptor's status is STATUS_PENDING until a frame lands; then length
// and frame are set, the status becomes 0, *byte_count the length, and the event is signalled.
BOOL W32N_PacketRead(HANDLE adapter, PacketDescriptor* descriptor, DWORD* byte_count,
                     OVERLAPPED* overlapped, DWORD flags);
BOOL W32N_CancelPacketRead(HANDLE adapter, PacketDescriptor* descriptor);
// Starts a send of 1 to 1514 bytes; not 0 when it was started. The event is signalled when the
// frame has gone out.
BOOL W32N_PacketSend(HANDLE adapter, const BYTE* frame, DWORD length, DWORD* bytes_sent,
                     OVERLAPPED* overlapped);
