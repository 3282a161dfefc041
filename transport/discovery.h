// Local device discovery: finding the bridge behind each adapter, and the recognition rules
// that every frame taken from an adapter passes.
#pragma once

#include "platform/framegate/framegate.h"

#include <cstdint>

// Set by inspect_frame when it takes a frame that the bridge sent to itself.
extern int BridgeSeen;

// The names of the device kinds 0 to 4, as the Device page shows them.
constexpr int DEVICE_KIND_NAMES = 5;
extern const char* const DeviceKindNames[DEVICE_KIND_NAMES];
// The name of any kind; one outside the table says its number.
const char* device_kind_name(int kind);

// Opens all adapters and finds their bridges. 1 when at least one opened adapter has a bridge
// of kind 1, 2 or 3.
int discover_bridges();
// Five discovery requests per adapter, each followed by a wait of 50, 450, 850, 1250, 1650 ms
// that a frame from the bridge to itself ends early. Always 1.
int probe_bridges();
// The 204-byte bridge report request to broadcast; send_frame's result.
int send_discovery_request(int adapter);
// 1 when a frame from the bridge to itself was taken from the adapter within the time-out;
// every frame taken meanwhile is dropped after inspection.
int wait_for_bridge(int adapter, uint32_t timeout_ms);
// Three requests for the EEPROM parameter block, waiting 50, 54 and 58 ms. Always 1.
int probe_parameter_block(int adapter);
// take_completed_slot followed by the bridge recognition rules; the caller re-arms the slot.
PacketDescriptor* inspect_frame(int adapter);
