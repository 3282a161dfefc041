// The send-and-listen transactions of the extended command set: the identify probe, memory
// reads of the station clock and age limit, and block reads of the device information. Each
// sends once and then listens three windows of 500 ms.
#pragma once

#include <cstdint>

constexpr uint32_t DEVICE_CLOCK_LOCATION = 0x00CE1C;
constexpr uint32_t AGE_LIMIT_LOCATION = 0x00CE1E;
constexpr uint32_t DEVICE_INFO_LOCATION = 0x008088;
constexpr uint32_t FIRMWARE_TEXT_LOCATION = 0x00FFE0;
constexpr int DEVICE_INFO_READ_LENGTH = 40;
constexpr int FIRMWARE_TEXT_LENGTH = 31;

// 1 when any window took an answer to the identify probe sent before.
int wait_extended_identify();
// The value of the last matching answer (width 1 or 2 bytes), 0 when none came.
uint16_t extended_memory_read(int adapter, uint32_t location, int width);
int read_device_clock(int adapter);
int read_age_limit(int adapter);
// Reads `length` bytes at `location` through CurrentAdapter into `destination`; 1 when an
// answer came.
int extended_block_read(uint8_t tag, uint32_t location, uint8_t length, uint8_t* destination);
// Fills the adapter's DeviceInfo: 1 when both reads succeeded.
int read_device_info(int adapter);
