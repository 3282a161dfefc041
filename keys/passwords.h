// Passwords and keys: the rules every password meets, the default network password, the
// derivation of 8-byte keys from passwords, the throw-away random key, and the look-ups in the
// current adapter's device password list.
#pragma once

#include <cstdint>
#include <ctime>

constexpr int PASSWORD_MIN_LENGTH = 4;
constexpr int PASSWORD_MAX_LENGTH = 24;
// A network or device key: 8 bytes, each with an odd number of one bits (bit 0 is the parity).
constexpr int NETWORK_KEY_SIZE = 8;

// The network password that fresh settings carry and "Restore Default" puts back.
extern const char default_network_password[];

// 1 when `text` holds 4 to 24 bytes, each 0x20-0x7F. Otherwise 0, and the reason goes to
// standard output as one line.
int password_is_valid(const char* text);

// Derives the key of a password (network or device) into bytes 0-7 of md5_digest_buffer and
// returns md5_digest_buffer. The next digest of any kind overwrites it: copy the 8 bytes at
// once. At most the first 24 bytes of `password` are read.
uint8_t* derive_key(const char* password);

// Fills key[0..7] with a pseudo-random key seeded by the calendar time in seconds, so two keys
// made within the same second are equal. Returns 1.
int make_random_key(uint8_t* key);
// Where make_random_key reads the calendar time; `time` unless a test puts its own clock here.
extern time_t (*RandomKeyClock)(time_t*);

// Look-ups in AdapterSettings[CurrentAdapter].device_passwords. Texts compare exactly, up to
// and including the terminator.
// Index of the first entry holding `text`; 0 when none does.
int find_device_password(const char* text);
// 1 when some entry holds `text`.
int device_password_exists(const char* text);
// Index of the first free entry; 0 when none is free (device_password_list_full tells that
// apart from a free entry 0).
int first_free_device_password();
// 1 when all 32 entries are in use.
int device_password_list_full();
