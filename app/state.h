// The state of linkwarden: fixed global tables indexed by adapter index (room for 16
// adapters) and the flags that several parts share. Everything starts zeroed and lives for
// the whole run; nothing here is allocated.
//
// AdapterSettings is also the image of "wizard.data": 16 blocks of 6832 bytes, little-endian,
// with the exact layout checked below.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "platform/win/win_types.h"

static_assert(std::endian::native == std::endian::little,
              "the settings image is stored as the machine holds it: little-endian");

constexpr int MAX_ADAPTERS = 16;
constexpr int STATION_COUNT = 100;
constexpr int DEVICE_PASSWORD_COUNT = 32;
constexpr int PASSWORD_FIELD_SIZE = 25;  // up to 24 characters and a NUL
constexpr int DEVICE_INFO_SIZE = 35;

// 6 bytes in transmission order; shown as "%.2x:%.2x:%.2x:%.2x:%.2x:%.2x".
typedef uint8_t MacAddress[6];

// ---- In memory only -----------------------------------------------------------------------

// What the transport and discovery learned about one adapter.
struct AdapterRecordEntry {
    HANDLE handle;          // from W32N_OpenAdapterA
    MacAddress address;     // the adapter's own current Ethernet address
    uint8_t missed_probes;  // consecutive probe passes without an answer from the bridge
    int bridge_present;     // 1: a bridge was recognised behind this adapter
    int device_kind;        // kind the bridge reported (0-127)
    int status_answered;    // the bridge answered with its EEPROM parameter block
    MacAddress bridge_address;
};

extern AdapterRecordEntry AdapterRecord[MAX_ADAPTERS];

extern int AdapterCount;    // adapters open (0-16); valid indices are 0 to AdapterCount - 1
extern int CurrentAdapter;  // the adapter every page and the monitor work on
extern int BusyGate;        // while 1, the monitor tick does nothing; a flag, not a count
extern int AdaptersOpen;    // 1 after a successful load_settings, until the adapters close

extern int ExtendedProtocol[MAX_ADAPTERS];  // 1: the bridge speaks the extended command set
// 4 bytes of the first device-information read (reversed), then the 31-byte firmware text.
extern uint8_t DeviceInfo[MAX_ADAPTERS][DEVICE_INFO_SIZE];

// ---- The settings image -------------------------------------------------------------------

struct StationEntry {
    int32_t in_use;  // 1: the entry holds a station
    MacAddress address;
    uint8_t reserved_a[30];
    double rate_mbps;  // estimated data rate; 0.0 = no estimate yet
    int32_t heard;     // answers heard since the last aging pass
    uint8_t reserved_b[4];
};
static_assert(sizeof(StationEntry) == 56);
static_assert(offsetof(StationEntry, in_use) == 0);
static_assert(offsetof(StationEntry, address) == 4);
static_assert(offsetof(StationEntry, rate_mbps) == 40);
static_assert(offsetof(StationEntry, heard) == 48);

struct DevicePasswordEntry {
    char password[PASSWORD_FIELD_SIZE];  // free when the first byte is 0
    MacAddress device_address;           // the device that answered when it was added
    uint8_t reserved;
    int32_t set_ok;  // result of the last Set All for this device
};
static_assert(sizeof(DevicePasswordEntry) == 36);
static_assert(offsetof(DevicePasswordEntry, password) == 0);
static_assert(offsetof(DevicePasswordEntry, device_address) == 25);
static_assert(offsetof(DevicePasswordEntry, set_ok) == 32);

struct AdapterSettingsBlock {
    int32_t reserved_head;
    MacAddress adapter_address;                  // copy of AdapterRecord's address
    char network_password[PASSWORD_FIELD_SIZE];  // default "WindLark"
    uint8_t reserved_a[5];
    int32_t bridge_recorded;  // set to 1 once a bridge was found behind the adapter
    int32_t bridge_kind;
    MacAddress recorded_bridge_address;
    uint8_t reserved_b[26];
    StationEntry stations[STATION_COUNT];
    DevicePasswordEntry device_passwords[DEVICE_PASSWORD_COUNT];
};
static_assert(sizeof(AdapterSettingsBlock) == 6832);
static_assert(offsetof(AdapterSettingsBlock, reserved_head) == 0);
static_assert(offsetof(AdapterSettingsBlock, adapter_address) == 4);
static_assert(offsetof(AdapterSettingsBlock, network_password) == 10);
static_assert(offsetof(AdapterSettingsBlock, bridge_recorded) == 40);
static_assert(offsetof(AdapterSettingsBlock, bridge_kind) == 44);
static_assert(offsetof(AdapterSettingsBlock, recorded_bridge_address) == 48);
static_assert(offsetof(AdapterSettingsBlock, stations) == 80);
static_assert(offsetof(AdapterSettingsBlock, device_passwords) == 5680);

extern AdapterSettingsBlock AdapterSettings[MAX_ADAPTERS];

constexpr size_t SETTINGS_IMAGE_SIZE = sizeof(AdapterSettings);
static_assert(SETTINGS_IMAGE_SIZE == 109312);

// ---- The settings file --------------------------------------------------------------------

// Reads "wizard.data" (or takes the defaults), opens the adapters and finds their bridges.
// 1 when at least one bridge of an accepted kind was found; 0 otherwise, adapters closed.
int load_settings();
// Writes the whole image to "wizard.data".
void save_settings();

// The file half of load_settings: rebuilds the image from "wizard.data" as far as the file
// reaches, or fills the defaults when it cannot be opened. 1 when the file was read.
int read_settings_file();
