// Local device discovery, and the bridge recognition rules that every frame taken from an
// adapter passes.
#include "transport/discovery.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win/kernel.h"

#include "app/state.h"
#include "protocol/frames.h"
#include "transport/adapters.h"

int BridgeSeen;

PacketDescriptor* inspect_frame(int adapter) {
    PacketDescriptor* d = take_completed_slot(adapter);
    if (d == nullptr || !is_management_frame(d->frame)) {
        return d;
    }
    const uint8_t* frame = d->frame;
    AdapterRecordEntry& record = AdapterRecord[adapter];
    uint8_t entry_type = frame[15];
    bool recorded = false;
    // Rule A: a frame the bridge sent to itself.
    if (std::memcmp(frame, frame + 6, 6) == 0 && std::memcmp(frame, BroadcastAddress, 6) != 0) {
        BridgeSeen = 1;
        recorded = true;
    } else if ((entry_type == 0x1A || entry_type == 0x1E) && (frame[17] & 0x80) == 0) {
        // Rule B: a bridge report or announcement that answers, not asks.
        recorded = true;
    }
    if (recorded) {
        std::memcpy(record.bridge_address, frame + 6, 6);
        record.bridge_present = 1;
        if (entry_type == 0x1A) {
            record.device_kind = frame[17] & 0x7F;
        }
    }
    // Rule C: the bridge's EEPROM parameter block.
    if (entry_type == 0x19 && frame[16] == 0x33 && frame[17] == 1) {
        record.status_answered = 1;
    }
    return d;
}

const char* const DeviceKindNames[DEVICE_KIND_NAMES] = {
    "PLC Device", "PLC Device", "PLC Device", "PLC Device", "PLC Device",
};

namespace {

constexpr int DISCOVERY_ATTEMPTS = 5;
constexpr int PARAMETER_ATTEMPTS = 3;
constexpr int DISCOVERY_REQUEST_LENGTH = 204;

char UnknownKindName[40];

bool is_zero_address(const uint8_t* address) {
    for (int i = 0; i < 6; ++i) {
        if (address[i] != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

const char* device_kind_name(int kind) {
    if (kind >= 0 && kind < DEVICE_KIND_NAMES) {
        return DeviceKindNames[kind];
    }
    std::snprintf(UnknownKindName, sizeof UnknownKindName, "Unknown device (kind %d)", kind);
    return UnknownKindName;
}

int send_discovery_request(int adapter) {
    auto* frame = static_cast<uint8_t*>(std::calloc(MAX_FRAME_LENGTH, 1));
    if (frame == nullptr) {
        return 0;
    }
    const AdapterRecordEntry& record = AdapterRecord[adapter];
    const uint8_t* source =
        is_zero_address(record.bridge_address) ? record.address : record.bridge_address;
    begin_request(frame, DISCOVERY_REQUEST_LENGTH, source, BroadcastAddress,
                  ManagementEntryType::BridgeReport, 0xBB);
    frame[FIRST_ENTRY_DATA] = 0x80;
    int result = send_frame(adapter, frame, DISCOVERY_REQUEST_LENGTH);
    std::free(frame);
    return result;
}

int wait_for_bridge(int adapter, uint32_t timeout_ms) {
    ActiveHandle = AdapterRecord[adapter].handle;
    int found = 0;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout_ms && found == 0) {
        BridgeSeen = 0;
        PacketDescriptor* d = inspect_frame(adapter);
        if (BridgeSeen == 1) {
            BridgeSeen = 0;
            found = 1;
        }
        if (d != nullptr) {
            rearm_slot(d);
        }
        Sleep(0);
    }
    return found;
}

namespace {

int send_eeprom_request(int adapter) {
    return send_parameter_request(adapter, AdapterRecord[adapter].address, BroadcastAddress, 0x00);
}

// One probe pass of discovery: up to `attempts` requests, each followed by a wait of
// 50 + wait_step × attempt ms that a frame from the bridge to itself ends at once. The pass is
// counted in missed_probes, which both kinds of pass share: true when this was the unanswered
// pass that `attempts` counted passes before it make (missed_probes back to 0); otherwise one
// more pass is counted, so an answered pass leaves it at 1.
bool probe_pass_missed(int adapter, int attempts, uint32_t wait_step, int (*send)(int)) {
    AdapterRecordEntry& record = AdapterRecord[adapter];
    int answered = 0;
    for (int i = 0; i < attempts && answered == 0; ++i) {
        send(adapter);
        if (wait_for_bridge(adapter, 50 + wait_step * static_cast<uint32_t>(i)) == 1) {
            record.missed_probes = 0;
            answered = 1;
        }
    }
    if (answered == 0 && record.missed_probes == attempts) {
        record.missed_probes = 0;
        return true;
    }
    ++record.missed_probes;
    return false;
}

}  // namespace

int probe_bridges() {
    for (int a = 0; a < AdapterCount; ++a) {
        if (probe_pass_missed(a, DISCOVERY_ATTEMPTS, 400, send_discovery_request)) {
            AdapterRecord[a].bridge_present = 0;
        }
    }
    return 1;
}

int probe_parameter_block(int adapter) {
    if (probe_pass_missed(adapter, PARAMETER_ATTEMPTS, 4, send_eeprom_request)) {
        AdapterRecord[adapter].status_answered = 0;
    }
    return 1;
}

int discover_bridges() {
    if (open_all_adapters() == 0) {
        return 0;
    }
    probe_bridges();
    int found = 0;
    for (int a = 0; a < AdapterCount; ++a) {
        AdapterRecordEntry& record = AdapterRecord[a];
        if (record.bridge_present != 1) {
            continue;
        }
        if (record.device_kind >= 1 && record.device_kind <= 3) {
            probe_parameter_block(a);
            found = 1;
        } else {
            record.bridge_present = 0;
        }
    }
    return found;
}
