// OpenSSL's MD5, the oracle the tests check our digest and key derivation against.
#pragma once

#include <openssl/evp.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

inline std::array<uint8_t, 16> openssl_md5(const void* bytes, size_t length) {
    std::array<uint8_t, 16> digest{};
    unsigned size = 0;
    EVP_Digest(bytes, length, digest.data(), &size, EVP_md5(), nullptr);
    return digest;
}

inline std::string to_hex(const uint8_t* bytes, size_t count) {
    std::string text;
    char pair[3];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        text += pair;
    }
    return text;
}
