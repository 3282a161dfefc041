#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <memory>
#include <string>

#include "keys/md5.h"
#include "keys/passwords.h"
#include "tests/keys/openssl_md5.h"

namespace {

// The derivation computed independently: OpenSSL's MD5 over password and salt, 999 more
// digests of the digest, then odd parity on bytes 0-7. All 16 bytes are returned, since the
// derived key leaves bytes 8-15 of the last digest in place.
std::string reference_key(const std::string& password) {
    const uint8_t salt[8] = {0x08, 0x85, 0x6d, 0xaf, 0x7c, 0xf5, 0x81, 0x85};
    std::string message = password + std::string(reinterpret_cast<const char*>(salt), 8);
    auto digest = openssl_md5(message.data(), message.size());
    for (int i = 1; i < 1000; ++i) {
        digest = openssl_md5(digest.data(), digest.size());
    }
    for (int i = 0; i < 8; ++i) {
        bool odd_without_bit0 = std::popcount(static_cast<unsigned>(digest[i] >> 1)) % 2 == 1;
        digest[i] = odd_without_bit0 ? (digest[i] & 0xfe) : (digest[i] | 0x01);
    }
    return to_hex(digest.data(), digest.size());
}

TEST(KeyDerivation, MatchesIndependentComputationWithOddParity) {
    const std::string passwords[] = {"WindLark", "abcd", "pass word~\x7f", std::string(24, 'Z')};
    for (const std::string& password : passwords) {
        uint8_t* key = derive_key(password.c_str());
        ASSERT_EQ(key, md5_digest_buffer);
        EXPECT_EQ(to_hex(key, 16), reference_key(password)) << password;
        for (int i = 0; i < NETWORK_KEY_SIZE; ++i) {
            EXPECT_EQ(std::popcount(static_cast<unsigned>(key[i])) % 2, 1)
                << password << " byte " << i;
        }
    }
}

TEST(KeyDerivation, IsRepeatableAndLivesInTheSharedBuffer) {
    uint8_t first[NETWORK_KEY_SIZE];
    std::memcpy(first, derive_key("WindLark"), NETWORK_KEY_SIZE);
    md5_digest(reinterpret_cast<const uint8_t*>("abc"), 3);  // something else in between
    EXPECT_EQ(std::memcmp(derive_key("WindLark"), first, NETWORK_KEY_SIZE), 0);

    // A pointer held from one derivation shows the next one's key.
    const uint8_t* held = derive_key("network-one");
    uint8_t second[NETWORK_KEY_SIZE];
    std::memcpy(second, derive_key("network-two"), NETWORK_KEY_SIZE);
    EXPECT_EQ(std::memcmp(held, second, NETWORK_KEY_SIZE), 0);
    EXPECT_EQ(to_hex(held, 16), reference_key("network-two"));
}

// A damaged "wizard.data" can hold a password field of 25 non-zero bytes. The key comes from
// its first 24 bytes, and nothing past the field is read (ASan watches the allocation's end).
TEST(KeyDerivation, OverlongStoredFieldUsesItsFirst24Bytes) {
    auto field = std::make_unique<char[]>(25);
    for (int i = 0; i < 25; ++i) {
        field[i] = static_cast<char>('a' + i);
    }
    std::string first24(field.get(), 24);
    EXPECT_EQ(to_hex(derive_key(field.get()), 16), reference_key(first24));
}

}  // namespace
