// The emulated network's state, shared by the files of the emulator: the bridges with their
// current keys and blocks, who hears whom, and the delivery of frames towards the adapters
// with the faults of the line.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "emulator/scenario.h"
#include "platform/win/clock.h"

constexpr EmuMac EmuBroadcast = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

struct EmuBridge : EmuBridgeSpec {
    int adapter_index = -1;  // the adapter it is plugged into, or -1 for a remote station
    // The key it uses under selector 0: the device key of the remote devices it reaches for
    // key changes. It starts as the key in its RAM block.
    EmuKey selector0_key{};
};

struct EmuAdapterState {
    EmuAdapterSpec spec;
    EmulatorOutlet outlet;
    bool attached = false;
    std::set<ClockTaskId> tasks;  // everything scheduled for this adapter
    uint64_t periodic_epoch = 0;  // periodic tasks of an older epoch stop
};

struct EmuNetwork {
    EmuScenario scenario;
    std::vector<EmuBridge> bridges;
    std::vector<EmuAdapterState> adapters;
    EmulatorFaults faults;
    uint32_t latency_ms = 2;
    std::mt19937 random;
    uint64_t loaded_at = 0;  // clock time of the load: station clocks count from here
    uint64_t generation = 0;
    std::vector<ClockTaskId> event_tasks;
    // When each local bridge (first) last heard each station (second), in clock time.
    std::map<std::pair<size_t, size_t>, int64_t> heard_at;
};

// The loaded network, or null.
EmuNetwork* emu_network();

// ---- Who hears whom ----------------------------------------------------------------------

// Data passes between them: both present on one powerline with the same network key.
bool emu_audible(const EmuBridge& a, const EmuBridge& b);
// Key changes from `local` reach `remote`: its device key is local's key under selector 0.
bool emu_reachable_by_device_key(const EmuBridge& local, const EmuBridge& remote);
// Notes who hears whom at this moment; call before anything that changes it.
void emu_note_hearing();
// The station clock of a bridge at clock time `t` (may be before the load).
uint16_t emu_station_clock(const EmuBridge& b, int64_t t);
// The rate values of the link between two bridges.
void emu_link_rate(const EmuBridge& a, const EmuBridge& b, uint16_t* rate, uint8_t* rate_class,
                   bool* rate_flag);
EmuBridge* emu_find_bridge(const EmuMac& address);

// ---- Towards the adapters ----------------------------------------------------------------

// Hands a frame to the adapter after the network's latency and the line's faults; frames are
// padded to the Ethernet minimum of 60 bytes.
void emu_deliver(size_t adapter, std::vector<uint8_t> frame);
// Schedules `task` for the adapter `delay_ms` from now; cancelled when it detaches.
void emu_schedule(size_t adapter, uint64_t delay_ms, std::function<void()> task);
// Starts the periodic happenings of an attached adapter (floods, announcing stations).
void emu_start_periodic(size_t adapter);
// Restarts them after the faults changed.
void emu_restart_periodic();
void emu_log(const std::string& line);

// ---- Answers (answers.cpp) ---------------------------------------------------------------

// The bridge plugged into `adapter` takes a frame from it; returns a readable description of
// what it was and how it was answered, or "" for a frame it ignores.
std::string emu_bridge_take(size_t adapter, EmuBridge& bridge, const uint8_t* frame, size_t length);
// A management frame header: destination, source, type 0x887B, entry count.
std::vector<uint8_t> emu_frame(const EmuMac& destination, const EmuMac& source, uint8_t entries);
// An announcement of a hostile station, or empty when it does not announce.
std::vector<uint8_t> emu_announcement(const EmuBridge& station);
