// The password-to-key function of the powerline standard: PBKDF1 (PKCS #5) with MD5, a fixed
// 8-byte salt, 1000 digests and an 8-byte result, then odd parity on every key byte.
#include <cstring>

#include "keys/md5.h"
#include "keys/passwords.h"

namespace {

constexpr int SALT_SIZE = 8;
constexpr int DIGEST_COUNT = 1000;

// The standard's salt, 08 85 6D AF 7C F5 81 85, built byte by byte and zero-terminated.
void build_salt(uint8_t salt[SALT_SIZE + 1]) {
    salt[0] = 0x08;
    salt[1] = 0x85;
    salt[2] = 0x6d;
    salt[3] = 0xaf;
    salt[4] = 0x7c;
    salt[5] = 0xf5;
    salt[6] = 0x81;
    salt[7] = 0x85;
    salt[8] = 0x00;
}

// Bits 1-7 keep their value; bit 0 makes the number of one bits odd.
uint8_t with_odd_parity(uint8_t byte) {
    int ones = 0;
    for (int bit = 1; bit < 8; ++bit) {
        ones += (byte >> bit) & 1;
    }
    return static_cast<uint8_t>((ones % 2 == 1) ? (byte & 0xfe) : (byte | 0x01));
}

}  // namespace

uint8_t* derive_key(const char* password) {
    uint8_t salt[SALT_SIZE + 1];
    build_salt(salt);

    // A valid password has at most 24 bytes. Only a damaged "wizard.data" holds a longer one,
    // possibly without a terminator in its 25-byte field: its first 24 bytes are taken, so
    // neither the field nor this buffer is overrun.
    uint8_t message[64] = {};
    size_t length = strnlen(password, PASSWORD_MAX_LENGTH);
    std::memcpy(message, password, length);
    std::memcpy(message + length, salt, SALT_SIZE);

    uint8_t* digest = md5_digest(message, static_cast<uint32_t>(length + SALT_SIZE));
    for (int round = 1; round < DIGEST_COUNT; ++round) {
        digest = md5_digest(digest, MD5_DIGEST_SIZE);
    }
    for (int i = 0; i < NETWORK_KEY_SIZE; ++i) {
        digest[i] = with_odd_parity(digest[i]);
    }
    return digest;
}
