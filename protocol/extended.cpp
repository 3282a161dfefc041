// The extended transactions: send once, then listen three windows for the answer.
#include "protocol/extended.h"

#include <cstring>

#include "app/state.h"
#include "protocol/frames.h"
#include "transport/adapters.h"

namespace {

uint8_t TransactionFrame[32];

struct MemoryRead {
    uint8_t echo[4];  // location (3 bytes, high first) and width, as the answer repeats them
    int width;
    uint16_t value;
};

struct BlockRead {
    uint8_t tag;
    uint8_t length;
    uint8_t* destination;
};

void put_location(uint8_t* at, uint32_t location) {
    at[0] = static_cast<uint8_t>(location >> 16);
    at[1] = static_cast<uint8_t>(location >> 8);
    at[2] = static_cast<uint8_t>(location);
}

int match_identify(const uint8_t* frame, void*) {
    return is_extended_answer(frame, ExtendedCommand::ExtendedIdentify) ? 1 : 0;
}

int match_memory_read(const uint8_t* frame, void* context) {
    auto* read = static_cast<MemoryRead*>(context);
    if (!is_management_frame(frame) ||
        !first_entry_is(frame, ManagementEntryType::MemoryReadReply) ||
        frame[18] != MEMORY_READ_MARKER || std::memcmp(frame + 19, read->echo, 4) != 0) {
        return 0;
    }
    if (read->width == 1) {
        read->value = frame[23];
    } else if (read->width == 2) {
        read->value = static_cast<uint16_t>(frame[23] | (frame[24] << 8));
    }
    return 1;
}

int match_block_read(const uint8_t* frame, void* context) {
    auto* read = static_cast<BlockRead*>(context);
    if (!is_management_frame(frame) ||
        !first_entry_is(frame, ManagementEntryType::BlockReadReply) || frame[17] != read->tag ||
        frame[18] != 0x01 || frame[19] != 0x01 || frame[20] != read->length) {
        return 0;
    }
    // An answer too short to hold the bytes asked for is no answer: its tail would be whatever
    // an earlier frame left in the buffer.
    if (ReceivedFrameLength < 21 + read->length) {
        return 0;
    }
    std::memcpy(read->destination, frame + 21, read->length);
    return 1;
}

}  // namespace

int wait_extended_identify() {
    return listen_three_windows(match_identify, nullptr);
}

uint16_t extended_memory_read(int adapter, uint32_t location, int width) {
    uint8_t* f = begin_request(TransactionFrame, 26, AdapterRecord[adapter].address,
                               BroadcastAddress, ManagementEntryType::MemoryRead, 0x06);
    f[18] = MEMORY_READ_MARKER;
    put_location(f + 19, location);
    f[22] = static_cast<uint8_t>(width);
    put_check_sum(f, 23, 18, 22);
    send_frame(adapter, f, 26);

    MemoryRead read{};
    std::memcpy(read.echo, f + 19, 4);
    read.width = width;
    listen_three_windows(match_memory_read, &read);
    return read.value;
}

int read_device_clock(int adapter) {
    DeviceClock = extended_memory_read(adapter, DEVICE_CLOCK_LOCATION, 2);
    return DeviceClock != 0 ? 1 : 0;
}

int read_age_limit(int adapter) {
    AgeLimit = extended_memory_read(adapter, AGE_LIMIT_LOCATION, 1);
    return AgeLimit != 0 ? 1 : 0;
}

int extended_block_read(uint8_t tag, uint32_t location, uint8_t length, uint8_t* destination) {
    uint8_t* f = begin_request(TransactionFrame, 25, AdapterRecord[CurrentAdapter].address,
                               BroadcastAddress, ManagementEntryType::BlockRead, 0x08);
    f[17] = tag;
    f[18] = 0x01;
    put_location(f + 19, location);
    f[22] = length;
    put_check_sum(f, 23, 17, 22);
    send_frame(CurrentAdapter, f, 25);

    BlockRead read{tag, length, destination};
    return listen_three_windows(match_block_read, &read);
}

int read_device_info(int adapter) {
    uint8_t buffer[DEVICE_INFO_READ_LENGTH];
    int first = extended_block_read(0, DEVICE_INFO_LOCATION, DEVICE_INFO_READ_LENGTH, buffer);
    if (first == 1) {
        for (int i = 0; i < 4; ++i) {
            DeviceInfo[adapter][i] = buffer[3 - i];
        }
    }
    if (extended_block_read(0, FIRMWARE_TEXT_LOCATION, DEVICE_INFO_READ_LENGTH, buffer) == 0) {
        return 0;
    }
    std::memcpy(DeviceInfo[adapter] + 4, buffer, FIRMWARE_TEXT_LENGTH);
    return first;
}
