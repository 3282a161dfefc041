// The key transactions.
#include "protocol/key_transactions.h"

#include <cstring>

#include "app/state.h"
#include "platform/win/kernel.h"
#include "protocol/event_log.h"
#include "protocol/frames.h"
#include "transport/adapters.h"

namespace {

constexpr uint32_t EXTENDED_SETTLE_MS = 100;
constexpr uint32_t EXTENDED_IDLE_SLEEP_MS = 50;

uint8_t KeyFrame[SET_NETWORK_KEY_LENGTH];
uint8_t ConfirmationFrame[RECEIVE_FRAME_SIZE];

bool is_broadcast(const uint8_t* address) {
    return std::memcmp(address, BroadcastAddress, 6) == 0;
}

bool is_eeprom_block(const uint8_t* frame) {
    return is_parameter_block_answer(frame) && frame[PARAMETER_BLOCK_KIND] == 1;
}

// Up to three fresh EEPROM blocks: the first that equals ParameterMirror ends the confirmation;
// each that differs is logged with its try number.
void confirm_key(int adapter, const uint8_t* source) {
    busy_wait(CONFIRMATION_DELAY_MS);
    for (int attempt = 0; attempt < KEY_TRIES; ++attempt) {
        send_parameter_request(adapter, source, BroadcastAddress, 0x00);
        DWORD start = GetTickCount();
        while (GetTickCount() - start < LISTEN_WINDOW_MS) {
            if (take_frame(ConfirmationFrame) == 0 || !is_eeprom_block(ConfirmationFrame)) {
                continue;
            }
            if (parameter_block_matches(ConfirmationFrame) == 1) {
                return;
            }
            log_event(EVENT_KEY_MISMATCH, attempt, ConfirmationFrame);
        }
    }
}

struct ProbeReplyWanted {
    const uint8_t* from;   // the device that must answer, or null for any but the bridge
    uint8_t* answered_by;  // where the answering address goes, or null
};

int match_probe_reply(const uint8_t* frame, void* context) {
    auto* wanted = static_cast<ProbeReplyWanted*>(context);
    if (!is_station_probe_reply(frame)) {
        return 0;
    }
    const uint8_t* source = frame + FRAME_SOURCE;
    if (wanted->from != nullptr) {
        return std::memcmp(source, wanted->from, 6) == 0 ? 1 : 0;
    }
    if (std::memcmp(source, AdapterRecord[CurrentAdapter].bridge_address, 6) == 0) {
        return 0;
    }
    std::memcpy(wanted->answered_by, source, 6);
    return 1;
}

int match_remote_key_answer(const uint8_t* frame, void* context) {
    if (!is_extended_set_key_answer(frame)) {
        return 0;
    }
    std::memcpy(static_cast<uint8_t*>(context), frame + FRAME_SOURCE, 6);
    return 1;
}

// The steps shared by the two remote-device transactions: the device key under selector 0,
// the network key under selector 1 to `key_destination`, the key parameters, and a probe to
// `probe_destination`; all transient, so ParameterMirror keeps the bridge's own parameters.
void offer_keys(const uint8_t* device_key, const uint8_t* network_key,
                const uint8_t* key_destination, const uint8_t* probe_destination) {
    const uint8_t* own = AdapterRecord[CurrentAdapter].address;
    set_network_key(CurrentAdapter, own, BroadcastAddress, 0, device_key, 0, 1, 1);
    set_network_key(CurrentAdapter, own, key_destination, 1, network_key, 1, 0, 1);
    send_key_parameters(CurrentAdapter, own, BroadcastAddress, ParameterMirror[23] | 0x40,
                        ParameterMirror[24] | 0x01, 1);
    send_station_probe(CurrentAdapter, own, probe_destination);
}

}  // namespace

void busy_wait(uint32_t milliseconds) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
    }
}

int set_network_key(int adapter, const uint8_t* source, const uint8_t* destination,
                    uint8_t selector, const uint8_t* key, uint32_t value, int with_parameters,
                    int transient) {
    BusyGate = 1;
    auto first = static_cast<uint8_t>(ParameterMirror[23] | 0x40);
    auto second = static_cast<uint8_t>(ParameterMirror[24] | (transient != 0 ? 0x01 : 0x00));
    auto third = static_cast<uint8_t>(value);
    build_set_network_key(KeyFrame, source, destination, selector, key, with_parameters, first,
                          second, third);
    int sent = send_frame(adapter, KeyFrame, SET_NETWORK_KEY_LENGTH);
    if (transient == 0) {
        ParameterMirror[23] = first;
        ParameterMirror[24] = second;
        ParameterMirror[25] = third;
    }
    bool network_wide = selector != 0 && is_broadcast(destination);
    if (network_wide) {
        std::memcpy(ParameterMirror + 15, key, 8);
        ParameterMirror[14] = selector;
    }
    if (network_wide && AdapterRecord[adapter].status_answered != 0) {
        confirm_key(adapter, source);
    }
    BusyGate = 0;
    return sent;
}

int set_remote_key(const uint8_t* device_key, const uint8_t* network_key,
                   const uint8_t* device_address) {
    ProbeReplyWanted wanted{device_address, nullptr};
    for (int attempt = 0; attempt < KEY_TRIES; ++attempt) {
        offer_keys(device_key, network_key, device_address, device_address);
        if (listen_window(match_probe_reply, &wanted, LISTEN_IDLE_SLEEP_MS) == 1) {
            return 1;
        }
    }
    return 0;
}

int find_remote_device(const uint8_t* device_key, const uint8_t* network_key,
                       uint8_t* device_address) {
    ProbeReplyWanted wanted{nullptr, device_address};
    for (int attempt = 0; attempt < KEY_TRIES; ++attempt) {
        offer_keys(device_key, network_key, BroadcastAddress, BroadcastAddress);
        if (listen_window(match_probe_reply, &wanted, LISTEN_IDLE_SLEEP_MS) == 1) {
            return 1;
        }
    }
    return 0;
}

int restore_bridge_keys(const uint8_t* key_0, const uint8_t* key_1) {
    const uint8_t* own = AdapterRecord[CurrentAdapter].address;
    set_network_key(CurrentAdapter, own, BroadcastAddress, 0, key_0, 1, 1, 1);
    set_network_key(CurrentAdapter, own, BroadcastAddress, 1, key_1, 1, 1, 0);
    return 1;
}

int extended_find_remote_device(const uint8_t* device_key, const uint8_t* network_key,
                                uint8_t* device_address) {
    const uint8_t* own = AdapterRecord[CurrentAdapter].address;
    send_extended_set_key(CurrentAdapter, own, BroadcastAddress, network_key);
    Sleep(EXTENDED_SETTLE_MS);
    for (int attempt = 0; attempt < KEY_TRIES; ++attempt) {
        send_extended_remote_key(CurrentAdapter, own, BroadcastAddress, network_key, device_key);
        if (listen_window(match_remote_key_answer, device_address, EXTENDED_IDLE_SLEEP_MS) == 1) {
            return 1;
        }
    }
    return 0;
}
