// Setting encryption keys: the SetNetworkKey request with its confirmation through the
// bridge's EEPROM parameter block, the remote-device transactions built on it, and the
// extended bridge's remote-key transaction.
//
// Key selector 0 carries the key by which a remote device is reached (its device key), key
// selector 1 the network key.
#pragma once

#include <cstdint>

constexpr uint32_t CONFIRMATION_DELAY_MS = 100;
constexpr int KEY_TRIES = 3;

// Returns when the tick count has reached its start plus `milliseconds`, without yielding.
void busy_wait(uint32_t milliseconds);

// Sends the key frame and keeps ParameterMirror up to date; a broadcast with a non-zero
// selector to a bridge that has answered with its EEPROM block is confirmed against fresh
// EEPROM blocks, each mismatch logged. Raises BusyGate and lowers it on return. Returns
// whether the key frame was sent.
int set_network_key(int adapter, const uint8_t* source, const uint8_t* destination,
                    uint8_t selector, const uint8_t* key, uint32_t value, int with_parameters,
                    int transient);
// Puts the network key on the device at `device_address` through its device key; 1 when it
// answered a probe afterwards.
int set_remote_key(const uint8_t* device_key, const uint8_t* network_key,
                   const uint8_t* device_address);
// Looks for the device that the device key reaches; 1 and its address when one answered.
int find_remote_device(const uint8_t* device_key, const uint8_t* network_key,
                       uint8_t* device_address);
// Puts key_0 back under selector 0 and key_1 under selector 1. Always 1.
int restore_bridge_keys(const uint8_t* key_0, const uint8_t* key_1);
// The extended bridge's way: 1 and the address of the remote device that took the keys.
int extended_find_remote_device(const uint8_t* device_key, const uint8_t* network_key,
                                uint8_t* device_address);
