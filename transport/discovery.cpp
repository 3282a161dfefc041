// The bridge recognition rules that every frame taken from an adapter passes.
#include "transport/discovery.h"

#include <cstring>

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
