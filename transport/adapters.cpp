// Adapter access and frame I/O through the framegate library.
#include "transport/adapters.h"

#include <cstdlib>
#include <cstring>

#include "platform/win/kernel.h"
#include "transport/discovery.h"

ReceiveSlot ReceiveSlots[MAX_ADAPTERS][RECEIVE_SLOTS];
SendSlot SendSlots[2];
int SendIndex;
HANDLE ActiveHandle;
int ReceivedFrameLength;
OVERLAPPED RequestOverlapped;

const BpfInstruction management_filter_program[4] = {
    {0x28, 0, 0, 12},          // load the 16-bit Ethernet type at byte 12
    {0x15, 0, 1, 0x887B},      // management frame? go on, else skip to the rejection
    {0x06, 0, 0, 0xFFFFFFFF},  // accept the whole frame
    {0x06, 0, 0, 0},           // reject
};

namespace {

// The request block and the filter value live in static storage beside the adapter records,
// which is what the library's 32-bit buffer reference needs.
NdisRequest RequestBlock;
DWORD PacketFilterValue;

int make_request(DWORD type, DWORD oid, void* buffer, DWORD length, DWORD count) {
    RequestBlock.request_type = type;
    RequestBlock.oid = oid;
    RequestBlock.information_ref = ndis_buffer_ref(&RequestBlock, buffer);
    RequestBlock.information_length = length;
    RequestBlock.bytes_done = 0;
    RequestBlock.bytes_needed = count;
    return W32N_MakeNdisRequest(ActiveHandle, &RequestBlock, &RequestOverlapped, 1) == 0 ? 1 : 0;
}

// Asks for the adapter's name and opens it; the handle, or INVALID_HANDLE_VALUE.
HANDLE open_entry(HANDLE entry) {
    DWORD size = 0;
    DWORD result = W32N_GetAdapterName(entry, nullptr, &size);
    if ((result != 0 && result != ERROR_INSUFFICIENT_BUFFER) || size == 0) {
        return INVALID_HANDLE_VALUE;
    }
    char* name = static_cast<char*>(std::malloc(size));
    if (name == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (W32N_GetAdapterName(entry, name, &size) == 0 && size > 0) {
        handle = W32N_OpenAdapterA(name);
    }
    std::free(name);
    return handle;
}

void start_adapter(int adapter) {
    ActiveHandle = AdapterRecord[adapter].handle;
    query_adapter_address(AdapterRecord[adapter].address);
    for (ReceiveSlot& slot : ReceiveSlots[adapter]) {
        slot.overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (slot.overlapped.hEvent == nullptr) {
            break;
        }
        slot.descriptor.capacity = RECEIVE_FRAME_SIZE;
    }
    W32N_SetBPFProgram(ActiveHandle, management_filter_program, sizeof management_filter_program);
    set_packet_filter(NDIS_PACKET_TYPE_PROMISCUOUS);
    for (ReceiveSlot& slot : ReceiveSlots[adapter]) {
        ResetEvent(slot.overlapped.hEvent);
        W32N_PacketRead(ActiveHandle, &slot.descriptor, &slot.byte_count, &slot.overlapped, 0);
    }
}

}  // namespace

int open_all_adapters() {
    HANDLE enumeration = W32N_StartAdapterEnum();
    if (enumeration == INVALID_HANDLE_VALUE) {
        return 0;
    }
    int opened = 0;
    HANDLE entry = W32N_FirstAdapter(enumeration);
    while (entry != INVALID_HANDLE_VALUE) {
        // The tables hold 16 adapters; later ones are left unopened.
        if (opened < MAX_ADAPTERS) {
            ActiveHandle = open_entry(entry);
            if (ActiveHandle != INVALID_HANDLE_VALUE) {
                AdapterRecord[opened++].handle = ActiveHandle;
            }
        }
        W32N_ReleaseAdapterEntry(entry);
        entry = W32N_NextAdapter(enumeration);
    }
    W32N_EndAdapterEnum(enumeration);
    AdapterCount = opened;

    RequestOverlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (RequestOverlapped.hEvent == nullptr) {
        for (int a = 0; a < AdapterCount; ++a) {
            W32N_CloseAdapter(AdapterRecord[a].handle);
        }
        AdapterCount = 0;
        return 0;
    }
    ResetEvent(RequestOverlapped.hEvent);

    for (int a = 0; a < AdapterCount; ++a) {
        start_adapter(a);
    }
    SendSlots[0].overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (SendSlots[0].overlapped.hEvent != nullptr) {
        SendSlots[1].overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (SendSlots[1].overlapped.hEvent != nullptr) {
            SendIndex = 0;
        }
    }
    return 1;
}

int query_adapter_address(uint8_t* buffer) {
    return make_request(NdisRequestQueryInformation, OID_802_3_CURRENT_ADDRESS, buffer, 6, 6);
}

int set_packet_filter(DWORD value) {
    PacketFilterValue = value;
    return make_request(NdisRequestSetInformation, OID_GEN_CURRENT_PACKET_FILTER,
                        &PacketFilterValue, 4, 0);
}

int send_frame(int adapter, const uint8_t* frame, int length) {
    if (length > MAX_FRAME_LENGTH || length < 0 || adapter < 0 || adapter >= MAX_ADAPTERS) {
        return 0;
    }
    SendSlot& slot = SendSlots[SendIndex];
    std::memcpy(slot.frame, frame, static_cast<size_t>(length));
    if (length < MIN_FRAME_LENGTH) {
        std::memset(slot.frame + length, 0, static_cast<size_t>(MIN_FRAME_LENGTH - length));
        length = MIN_FRAME_LENGTH;
    }
    slot.length = static_cast<uint16_t>(length);
    int result = 0;
    if (W32N_PacketSend(AdapterRecord[adapter].handle, slot.frame, slot.length, &slot.bytes_sent,
                        &slot.overlapped) != 0) {
        // A completion that never comes still counts as sent once the wait has run out.
        result = WaitForSingleObject(slot.overlapped.hEvent, SEND_WAIT_MS) == WAIT_FAILED ? 0 : 1;
    }
    SendIndex = SendIndex == 0 ? 1 : 0;
    return result;
}

PacketDescriptor* take_completed_slot(int adapter) {
    for (int s = 0; s < RECEIVE_SLOTS; ++s) {
        ReceiveSlot& slot = ReceiveSlots[adapter][s];
        GetOverlappedResult(ActiveHandle, &slot.overlapped, &slot.byte_count, FALSE);
        if (slot.descriptor.status == 0) {
            slot.descriptor.status = 259;
            slot.descriptor.adapter_index = static_cast<DWORD>(adapter);
            slot.descriptor.slot_index = static_cast<DWORD>(s);
            return &slot.descriptor;
        }
    }
    return nullptr;
}

int rearm_slot(PacketDescriptor* descriptor) {
    DWORD adapter = descriptor->adapter_index;
    DWORD s = descriptor->slot_index;
    if (adapter >= MAX_ADAPTERS || s >= RECEIVE_SLOTS) {
        return 0;
    }
    ReceiveSlot& slot = ReceiveSlots[adapter][s];
    return W32N_PacketRead(ActiveHandle, &slot.descriptor, &slot.byte_count, &slot.overlapped, 0);
}

int receive_next_frame(uint8_t* buffer) {
    PacketDescriptor* d = nullptr;
    for (int a = 0; a < AdapterCount && d == nullptr; ++a) {
        ActiveHandle = AdapterRecord[a].handle;
        d = inspect_frame(a);
        if (BridgeSeen != 0) {
            BridgeSeen = 0;
        }
    }
    if (d == nullptr) {
        return 0;
    }
    if (d->frame[12] == 0x88 && d->frame[13] == 0x7B) {
        DWORD length = d->length < RECEIVE_FRAME_SIZE ? d->length : RECEIVE_FRAME_SIZE;
        std::memcpy(buffer, d->frame, length);
        ReceivedFrameLength = static_cast<int>(length);
    }
    rearm_slot(d);
    return 1;
}

int close_all_adapters() {
    for (int a = 0; a < AdapterCount; ++a) {
        ActiveHandle = AdapterRecord[a].handle;
        set_packet_filter(0);
        for (ReceiveSlot& slot : ReceiveSlots[a]) {
            ResetEvent(slot.overlapped.hEvent);
            W32N_CancelPacketRead(ActiveHandle, &slot.descriptor);
        }
        W32N_CloseAdapter(ActiveHandle);
        for (ReceiveSlot& slot : ReceiveSlots[a]) {
            CloseHandle(slot.overlapped.hEvent);
            slot.overlapped.hEvent = nullptr;
        }
    }
    for (SendSlot& slot : SendSlots) {
        CloseHandle(slot.overlapped.hEvent);
        slot.overlapped.hEvent = nullptr;
    }
    CloseHandle(RequestOverlapped.hEvent);
    RequestOverlapped.hEvent = nullptr;
    AdapterCount = 0;
    return 1;
}
