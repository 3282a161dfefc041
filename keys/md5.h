// MD5 (RFC 1321). Every finished digest lands in the one shared buffer `md5_digest_buffer`;
// a caller that needs a result beyond the next digest copies it out at once.
#pragma once

#include <cstddef>
#include <cstdint>

// One digest in progress.
struct Md5Context {
    uint32_t chaining_value[4];
    uint32_t bit_count[2];  // message bits taken in so far, low word first (modulo 2^64)
    uint8_t pending_block[64];
};
static_assert(sizeof(Md5Context) == 88);
static_assert(offsetof(Md5Context, chaining_value) == 0);
static_assert(offsetof(Md5Context, bit_count) == 16);
static_assert(offsetof(Md5Context, pending_block) == 24);

constexpr int MD5_DIGEST_SIZE = 16;

// The result of the most recent digest (or, after a key derivation, the key in bytes 0-7).
extern uint8_t md5_digest_buffer[MD5_DIGEST_SIZE];

void md5_init(Md5Context* context);
// The input may lie anywhere, md5_digest_buffer included: it is copied before it is used.
void md5_update(Md5Context* context, const uint8_t* bytes, uint32_t length);
// Pads, finishes and writes the digest into md5_digest_buffer. The context is spent.
void md5_final(Md5Context* context);

// The digest of `length` bytes, in md5_digest_buffer; returns md5_digest_buffer.
uint8_t* md5_digest(const uint8_t* bytes, uint32_t length);

// Digests the first `length` bytes of `text`; with `print_header` writes
// MD5 ("<text>") = 0x (the text read up to its terminator), with `print_digest` the 32 hex
// digits and a line feed, both to standard output.
void md5_digest_print(const char* text, uint32_t length, int print_digest, int print_header);
// Writes `count` bytes to standard output as two lower-case hex digits each.
void md5_print_hex(const uint8_t* bytes, unsigned count);
