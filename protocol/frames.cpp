// Management frames: the request builders and the listening windows.
#include "protocol/frames.h"

#include <cstring>

#include "platform/win/kernel.h"
#include "transport/adapters.h"

const MacAddress BroadcastAddress = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
uint16_t DeviceClock;
uint16_t AgeLimit;

namespace {

uint8_t RequestFrame[MAX_FRAME_LENGTH];
uint8_t ListenBuffer[RECEIVE_FRAME_SIZE];

}  // namespace

uint8_t* begin_request(uint8_t* f, int length, const uint8_t* source, const uint8_t* destination,
                       ManagementEntryType entry_type, uint8_t entry_length) {
    std::memset(f, 0, static_cast<size_t>(length));
    std::memcpy(f + FRAME_DESTINATION, destination, 6);
    std::memcpy(f + FRAME_SOURCE, source, 6);
    f[FRAME_TYPE] = MANAGEMENT_TYPE_HIGH;
    f[FRAME_TYPE + 1] = MANAGEMENT_TYPE_LOW;
    f[FRAME_ENTRY_COUNT] = 0x01;
    f[FIRST_ENTRY_TYPE] = static_cast<uint8_t>(entry_type);
    f[FIRST_ENTRY_LENGTH] = entry_length;
    return f;
}

void put_check_sum(uint8_t* f, size_t at, size_t from, size_t to_inclusive) {
    uint16_t sum = check_sum(f + from, to_inclusive - from + 1);
    f[at] = static_cast<uint8_t>(sum >> 8);
    f[at + 1] = static_cast<uint8_t>(sum);
}

namespace {

// An ExtendedCommand request to broadcast from the adapter's own address: marker, command.
int send_extended_command(int adapter, ExtendedCommand command) {
    uint8_t* f = begin_request(RequestFrame, 22, AdapterRecord[adapter].address, BroadcastAddress,
                               ManagementEntryType::ExtendedCommand, 0x05);
    f[18] = EXTENDED_REQUEST_MARKER;
    f[19] = static_cast<uint8_t>(command);
    put_check_sum(f, 20, 18, 19);
    return send_frame(adapter, f, 22);
}

}  // namespace

uint16_t check_sum(const uint8_t* bytes, size_t count) {
    uint16_t sum = 0;
    for (size_t i = 0; i < count; ++i) {
        sum = static_cast<uint16_t>(sum + bytes[i]);
    }
    return sum;
}

int send_station_probe(int adapter, const uint8_t* source, const uint8_t* destination) {
    uint8_t* f = begin_request(RequestFrame, 18, source, destination,
                               ManagementEntryType::StationProbe, 0x00);
    return send_frame(adapter, f, 18);
}

int probe_stations_broadcast() {
    return send_station_probe(CurrentAdapter, AdapterSettings[CurrentAdapter].adapter_address,
                              BroadcastAddress);
}

int probe_known_stations() {
    for (const StationEntry& station : AdapterSettings[CurrentAdapter].stations) {
        if (station.in_use != 0) {
            send_station_probe(CurrentAdapter, AdapterRecord[CurrentAdapter].address,
                               station.address);
        }
    }
    return 1;
}

int send_bridge_report_request(int adapter, const uint8_t* source, const uint8_t* destination) {
    // The length byte 0xBB is that of the long form discovery sends; only 21 data bytes follow.
    uint8_t* f = begin_request(RequestFrame, 38, source, destination,
                               ManagementEntryType::BridgeReport, 0xBB);
    f[FIRST_ENTRY_DATA] = 0x80;
    return send_frame(adapter, f, 38);
}

int send_parameter_request(int adapter, const uint8_t* source, const uint8_t* destination,
                           uint8_t selector) {
    uint8_t* f = begin_request(RequestFrame, 32, source, destination,
                               ManagementEntryType::ParameterBlock, 0x0F);
    f[FIRST_ENTRY_DATA] = selector;
    return send_frame(adapter, f, 32);
}

int request_parameter_block(uint8_t selector) {
    const AdapterRecordEntry& record = AdapterRecord[CurrentAdapter];
    if (record.bridge_present != 0 && record.device_kind != 0) {
        send_parameter_request(CurrentAdapter, record.address, BroadcastAddress, selector);
    }
    return 1;
}

int send_key_parameters(int adapter, const uint8_t* source, const uint8_t* destination,
                        uint8_t first, uint8_t second, uint8_t third) {
    uint8_t* f = begin_request(RequestFrame, 20, source, destination,
                               ManagementEntryType::KeyParameters, 0x03);
    f[17] = first;
    f[18] = second;
    f[19] = third;
    return send_frame(adapter, f, 20);
}

void build_set_network_key(uint8_t* frame, const uint8_t* source, const uint8_t* destination,
                           uint8_t selector, const uint8_t* key, int with_parameters, uint8_t first,
                           uint8_t second, uint8_t third) {
    uint8_t* f = begin_request(frame, SET_NETWORK_KEY_LENGTH, source, destination,
                               ManagementEntryType::SetNetworkKey, 0x09);
    f[17] = selector;
    std::memcpy(f + 18, key, 8);
    if (with_parameters != 0) {
        f[FRAME_ENTRY_COUNT] = 0x02;
        f[26] = static_cast<uint8_t>(ManagementEntryType::KeyParameters);
        f[27] = 0x03;
        f[28] = first;
        f[29] = second;
        f[30] = third;
    }
}

int send_extended_identify(int adapter) {
    return send_extended_command(adapter, ExtendedCommand::ExtendedIdentify);
}

int send_extended_station_list_request(int adapter) {
    return send_extended_command(adapter, ExtendedCommand::ExtendedStationList);
}

int send_extended_set_key(int adapter, const uint8_t* source, const uint8_t* destination,
                          const uint8_t* key) {
    uint8_t* f = begin_request(RequestFrame, 32, source, destination,
                               ManagementEntryType::ExtendedCommand, 0x0F);
    f[18] = EXTENDED_REQUEST_MARKER;
    f[19] = static_cast<uint8_t>(ExtendedCommand::ExtendedSetKey);
    f[20] = 0x01;  // the local bridge
    f[21] = 0x01;
    std::memcpy(f + 22, key, 8);
    put_check_sum(f, 30, 18, 29);
    return send_frame(adapter, f, 32);
}

int send_extended_remote_key(int adapter, const uint8_t* source, const uint8_t* destination,
                             const uint8_t* key_a, const uint8_t* key_b) {
    // The length byte says 15 although 24 data bytes follow.
    uint8_t* f = begin_request(RequestFrame, 42, source, destination,
                               ManagementEntryType::ExtendedCommand, 0x0F);
    f[18] = EXTENDED_REQUEST_MARKER;
    f[19] = static_cast<uint8_t>(ExtendedCommand::ExtendedSetKey);
    f[20] = 0x02;  // a remote device
    f[21] = 0x01;
    std::memcpy(f + 22, key_a, 8);
    std::memcpy(f + 31, key_b, 8);
    put_check_sum(f, 39, 18, 38);
    return send_frame(adapter, f, 42);
}

int take_frame(uint8_t* buffer) {
    buffer[FRAME_TYPE] = 0;
    buffer[FIRST_ENTRY_TYPE] = 0;
    return receive_next_frame(buffer);
}

int listen_window(FrameMatcher match, void* context, uint32_t idle_sleep_ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < LISTEN_WINDOW_MS) {
        if (take_frame(ListenBuffer) == 0) {
            Sleep(idle_sleep_ms);
        } else if (match(ListenBuffer, context) != 0) {
            return 1;
        }
    }
    return 0;
}

int listen_three_windows(FrameMatcher match, void* context) {
    int matched = 0;
    for (int window = 0; window < 3; ++window) {
        if (listen_window(match, context, LISTEN_IDLE_SLEEP_MS) == 1) {
            matched = 1;
        }
    }
    return matched;
}
