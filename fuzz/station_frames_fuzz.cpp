// Arbitrary received frames against the station table: the extended station-list unpacking,
// the bridge-report rate estimates and the probe replies, then a fill and an aging pass.
//
// Input: the station clock and the age limit (2 bytes each, little-endian), then frames, each
// a 2-byte little-endian length followed by that many bytes (cut to what is left and to 1500).
// Every frame lies in a buffer of exactly its length, so any read past it is caught.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/state.h"
#include "protocol/frames.h"
#include "protocol/stations.h"
#include "transport/adapters.h"

namespace {

const MacAddress Bridge = {0x00, 0x0B, 0x3B, 0x00, 0x00, 0x01};

void start_over() {
    std::memset(ExtendedStationRecords, 0, sizeof ExtendedStationRecords);
    std::memset(AdapterSettings[0].stations, 0, sizeof AdapterSettings[0].stations);
    CurrentAdapter = 0;
    std::memcpy(AdapterRecord[0].bridge_address, Bridge, 6);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) {
        return 0;
    }
    start_over();
    DeviceClock = static_cast<uint16_t>(data[0] | (data[1] << 8));
    AgeLimit = static_cast<uint16_t>(data[2] | (data[3] << 8));
    size_t at = 4;
    int unpacked = 0;
    while (at + 2 <= size) {
        size_t length = data[at] | (data[at + 1] << 8);
        at += 2;
        length = std::min({length, size - at, static_cast<size_t>(RECEIVE_FRAME_SIZE)});
        std::vector<uint8_t> frame(data + at, data + at + length);
        at += length;
        ReceivedFrameLength = static_cast<int>(length);
        unpack_extended_station_list(frame.data(), ReceivedFrameLength, &unpacked);
        record_station_reply(frame.data());
        estimate_station_rates(frame.data());
    }
    fill_stations_from_extended_list(0);
    for (const StationEntry& entry : AdapterSettings[0].stations) {
        if (!std::isfinite(entry.rate_mbps)) {
            __builtin_trap();
        }
    }
    age_stations();
    return 0;
}
