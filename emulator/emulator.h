// plcemu: an emulated powerline network of Ethernet-to-powerline bridges, the peer that tests,
// demos and end-to-end runs of linkwarden talk to.
//
// A scenario (emulator/scenarios/*.json, see emulator/README.md) describes the PC's adapters,
// the bridges plugged into some of them, the remote stations on the mains, their keys, link
// rates and faults. The network answers management frames (Ethernet type 0x887B) that arrive
// from an adapter the way the bridges do, and hands its answers to the adapter's outlet. Every
// answer is a task on the platform clock (platform/win/clock.h), so the network runs the same
// in virtual time (tests) and in real time.
//
// Ways to run it:
//   - in process, as the framegate backend "emulated" (emulator/backend.h);
//   - as the program plcemu, attached to real Ethernet interfaces (emulator/plcemu.cpp).
//
// One network at a time; single-threaded, on the clock's thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

using EmuMac = std::array<uint8_t, 6>;
using EmuKey = std::array<uint8_t, 8>;

// Trouble on the line between the bridges and the PC, for the whole network. Every frame the
// network hands to an adapter passes through these, in this order: loss, delay, corruption,
// truncation, duplication.
struct EmulatorFaults {
    double loss = 0.0;       // probability that a frame towards an adapter is lost
    uint32_t delay_ms = 0;   // added to every answer's latency
    uint32_t jitter_ms = 0;  // a further random 0..jitter_ms
    double duplicate = 0.0;  // probability that a frame arrives twice
    double corrupt = 0.0;    // probability that bytes after the Ethernet header are flipped
    double truncate = 0.0;   // probability that a frame is cut short
    // A flood of unrelated management frames on every open adapter; 0: none.
    uint32_t flood_per_second = 0;
    // The entry type of the flood's frames; -1: a mix of types no program takes as an answer.
    int flood_entry_type = -1;
};

// ---- Loading -----------------------------------------------------------------------------

// Replaces the network with the scenario in `path`. On failure the network is unchanged and
// `error` reads "FILE:LINE: problem".
bool emulator_load_file(const std::string& path, std::string* error);
// The same for a scenario held in memory; `name` stands for the file name in messages.
bool emulator_load_text(const std::string& text, const std::string& name, std::string* error);
// Drops the network and everything it scheduled.
void emulator_unload();
bool emulator_loaded();

// ---- Adapters ----------------------------------------------------------------------------

size_t emulator_adapter_count();
std::string emulator_adapter_name(size_t adapter);
EmuMac emulator_adapter_address(size_t adapter);
// The adapter index of a name, or -1.
int emulator_find_adapter(const std::string& name);

// Where the frames towards an adapter go (a framegate port, a raw socket). Until attached, and
// after detaching, nothing is delivered to the adapter and nothing is scheduled for it.
using EmulatorOutlet = std::function<void(const uint8_t* frame, size_t length)>;
void emulator_attach(size_t adapter, EmulatorOutlet outlet);
// Cancels every answer and flood frame scheduled for the adapter: the outlet is never called
// again after this returns.
void emulator_detach(size_t adapter);

// A frame the PC sent on an adapter: the bridges plugged into it take it.
void emulator_from_adapter(size_t adapter, const uint8_t* frame, size_t length);

// ---- Run-time control --------------------------------------------------------------------

EmulatorFaults emulator_faults();
void emulator_set_faults(const EmulatorFaults& faults);

// One control command, as plcemu reads them from standard input and scenarios schedule them
// as events (emulator/README.md lists them). Returns false for a command it does not know or
// cannot carry out; `reply` then says why, else what was done.
bool emulator_command(const std::string& line, std::string* reply);

// One readable line for every frame the network answers or acts on.
void emulator_set_logger(std::function<void(const std::string& line)> logger);

// ---- Looking inside (tests) ----------------------------------------------------------------

// The keys a bridge holds now; false for an unknown address.
bool emulator_bridge_keys(const EmuMac& bridge, EmuKey* network_key, EmuKey* device_key);
// Its parameter blocks: kind 1 the EEPROM block, kind 2 the RAM block (50 bytes).
bool emulator_bridge_block(const EmuMac& bridge, int kind, std::array<uint8_t, 50>* block);
// The bridge's station clock now.
uint16_t emulator_bridge_clock(const EmuMac& bridge);

// The key a password gives: PBKDF1 with MD5, the powerline salt, 1000 rounds, odd parity.
EmuKey emulator_derive_key(const std::string& password);
