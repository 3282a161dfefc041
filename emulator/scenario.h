// A scenario as loaded from its JSON file: the adapters of the PC, the bridges (those plugged
// into an adapter and the remote stations on the mains), link rates, faults and timed events.
// emulator/README.md describes the file format.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "emulator/emulator.h"

constexpr size_t EMU_BLOCK_SIZE = 50;
constexpr size_t EMU_FIRMWARE_SIZE = 31;
constexpr size_t EMU_DEVICE_INFO_SIZE = 40;

using EmuBlock = std::array<uint8_t, EMU_BLOCK_SIZE>;

enum class EmuFamily { standard, extended };

// How a hostile station announces itself as a bridge.
enum class EmuAnnounce {
    none,
    bridge_announce,  // a BridgeAnnounce answer to broadcast
    bridge_report,    // a BridgeReport answer to broadcast
    to_itself,        // a frame addressed to itself, as a bridge answers its own address
};

struct EmuAdapterSpec {
    std::string name;
    EmuMac address;
};

struct EmuBridgeSpec {
    EmuMac address;
    std::string adapter;  // the adapter it is plugged into; empty for a remote station
    EmuFamily family = EmuFamily::standard;
    int kind = 2;
    std::string powerline = "mains";  // stations on different powerlines never hear each other
    bool present = true;

    std::string device_password;
    EmuKey device_key{};
    EmuKey network_key{};

    EmuBlock eeprom{};
    EmuBlock ram{};
    std::array<uint8_t, EMU_FIRMWARE_SIZE> firmware{};
    std::array<uint8_t, EMU_DEVICE_INFO_SIZE> device_info{};

    // Station clock of the extended family: clock_start at load, one count per clock_unit_ms.
    uint16_t clock_start = 0;
    uint32_t clock_unit_ms = 1000;
    uint8_t age_limit = 60;
    // Heard by the local bridges this many clock counts before the load, though not audible
    // now (a station that left); -1: only what is audible counts.
    int64_t heard_ago = -1;

    // The link to this station, unless a link entry says otherwise.
    uint16_t rate = 100;
    uint8_t rate_class = 4;
    bool rate_flag = true;
    // Bridge reports list it with bit 0 of the first address byte set.
    bool report_group_bit = false;

    bool silent = false;     // answers nothing
    bool no_eeprom = false;  // never sends its EEPROM block
    EmuAnnounce announce = EmuAnnounce::none;
    uint32_t announce_every_ms = 0;
};

struct EmuLinkSpec {
    EmuMac a, b;
    uint16_t rate;
    uint8_t rate_class;
    bool rate_flag;
};

struct EmuEventSpec {
    uint64_t at_ms;
    std::string command;
};

struct EmuScenario {
    std::string name;
    std::string description;
    uint32_t seed = 1;
    uint32_t latency_ms = 2;
    std::vector<EmuAdapterSpec> adapters;
    std::vector<EmuBridgeSpec> bridges;
    std::vector<EmuLinkSpec> links;
    EmulatorFaults faults;
    std::vector<EmuEventSpec> events;
};

// Parses a scenario; on failure `error` reads "NAME:LINE: problem".
bool emu_parse_scenario(const std::string& text, const std::string& name, EmuScenario* out,
                        std::string* error);

// "02:00:00:00:00:01" form; false if the text is not six hex bytes separated by colons.
bool emu_parse_mac(const std::string& text, EmuMac* mac);
std::string emu_format_mac(const EmuMac& mac);
