// Local device discovery: finding the bridge behind each adapter, and the recognition rules
// that every frame taken from an adapter passes.
#pragma once

#include "platform/framegate/framegate.h"

// Set by inspect_frame when it takes a frame that the bridge sent to itself.
extern int BridgeSeen;

// 1 when at least one opened adapter has a bridge of kind 1, 2 or 3.
int discover_bridges();
// take_completed_slot followed by the bridge recognition rules; the caller re-arms the slot.
PacketDescriptor* inspect_frame(int adapter);
