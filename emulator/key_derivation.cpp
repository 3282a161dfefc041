// Keys from passwords, computed here with OpenSSL's MD5 and nothing of linkwarden's, so that a
// run against the emulator cross-checks the program's own derivation.
#include <openssl/evp.h>

#include <cstring>
#include <vector>

#include "emulator/emulator.h"

namespace {

// The salt of the powerline standard's password-to-key function.
constexpr uint8_t Salt[8] = {0x08, 0x85, 0x6D, 0xAF, 0x7C, 0xF5, 0x81, 0x85};
constexpr int Rounds = 1000;

void md5(const uint8_t* data, size_t length, uint8_t out[16]) {
    unsigned int size = 16;
    EVP_Digest(data, length, out, &size, EVP_md5(), nullptr);
}

}  // namespace

EmuKey emulator_derive_key(const std::string& password) {
    // PBKDF1: T1 = MD5(password || salt), Ti = MD5(Ti-1), key = the first 8 bytes of T1000.
    std::vector<uint8_t> message(password.begin(), password.end());
    message.insert(message.end(), Salt, Salt + sizeof Salt);
    uint8_t digest[16];
    md5(message.data(), message.size(), digest);
    for (int round = 1; round < Rounds; ++round) {
        uint8_t next[16];
        md5(digest, sizeof digest, next);
        std::memcpy(digest, next, sizeof digest);
    }
    EmuKey key;
    for (size_t i = 0; i < key.size(); ++i) {
        // Odd parity in bit 0, as DES keys carry it.
        uint8_t high = digest[i] & 0xFE;
        key[i] = __builtin_popcount(high) % 2 == 0 ? (high | 1) : high;
    }
    return key;
}
