// MD5 as RFC 1321 defines it: little-endian words, four rounds of sixteen steps.
#include "keys/md5.h"

#include <cstdio>
#include <cstring>

uint8_t md5_digest_buffer[MD5_DIGEST_SIZE];

namespace {

// floor(abs(sin(i + 1)) * 2^32) for step i.
constexpr uint32_t kSineTable[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// Rotation amounts: four per round, repeated over the round's sixteen steps.
constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

uint32_t rotate_left(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

uint32_t load_le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void store_le32(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
    p[3] = static_cast<uint8_t>(value >> 24);
}

// One step's auxiliary function (F, G, H or I) and the message word it uses.
uint32_t round_function(int step, uint32_t b, uint32_t c, uint32_t d, int* word) {
    switch (step / 16) {
        case 0:
            *word = step;
            return (b & c) | (~b & d);
        case 1:
            *word = (5 * step + 1) % 16;
            return (b & d) | (c & ~d);
        case 2:
            *word = (3 * step + 5) % 16;
            return b ^ c ^ d;
        default:
            *word = (7 * step) % 16;
            return c ^ (b | ~d);
    }
}

// Folds the 64 bytes of pending_block into the chaining value.
void compress(Md5Context* context) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) {
        x[i] = load_le32(context->pending_block + 4 * i);
    }
    uint32_t a = context->chaining_value[0];
    uint32_t b = context->chaining_value[1];
    uint32_t c = context->chaining_value[2];
    uint32_t d = context->chaining_value[3];
    for (int step = 0; step < 64; ++step) {
        int word = 0;
        uint32_t f = round_function(step, b, c, d, &word);
        uint32_t sum = a + f + kSineTable[step] + x[word];
        a = d;
        d = c;
        c = b;
        b = b + rotate_left(sum, kShift[step / 16][step % 4]);
    }
    context->chaining_value[0] += a;
    context->chaining_value[1] += b;
    context->chaining_value[2] += c;
    context->chaining_value[3] += d;
}

}  // namespace

void md5_init(Md5Context* context) {
    context->chaining_value[0] = 0x67452301;
    context->chaining_value[1] = 0xefcdab89;
    context->chaining_value[2] = 0x98badcfe;
    context->chaining_value[3] = 0x10325476;
    context->bit_count[0] = 0;
    context->bit_count[1] = 0;
}

void md5_update(Md5Context* context, const uint8_t* bytes, uint32_t length) {
    if (length == 0) {
        return;  // nothing to count or copy; `bytes` may then be null
    }
    uint32_t index = (context->bit_count[0] >> 3) & 63;
    uint32_t added_bits = length << 3;
    context->bit_count[0] += added_bits;
    if (context->bit_count[0] < added_bits) {
        context->bit_count[1] += 1;
    }
    context->bit_count[1] += length >> 29;

    uint32_t done = 0;
    if (index != 0) {
        uint32_t part = 64 - index;
        if (length < part) {
            std::memcpy(context->pending_block + index, bytes, length);
            return;
        }
        std::memcpy(context->pending_block + index, bytes, part);
        compress(context);
        done = part;
    }
    // Each block goes through pending_block, so the input may overlap md5_digest_buffer.
    while (length - done >= 64) {
        std::memcpy(context->pending_block, bytes + done, 64);
        compress(context);
        done += 64;
    }
    if (length > done) {
        std::memcpy(context->pending_block, bytes + done, length - done);
    }
}

void md5_final(Md5Context* context) {
    uint32_t index = (context->bit_count[0] >> 3) & 63;
    context->pending_block[index] = 0x80;
    if (index >= 56) {
        // No room for the length after the marker: it goes into a block of its own.
        std::memset(context->pending_block + index + 1, 0, 63 - index);
        compress(context);
        std::memset(context->pending_block, 0, 56);
    } else {
        std::memset(context->pending_block + index + 1, 0, 55 - index);
    }
    store_le32(context->pending_block + 56, context->bit_count[0]);
    store_le32(context->pending_block + 60, context->bit_count[1]);
    compress(context);
    for (int i = 0; i < 4; ++i) {
        store_le32(md5_digest_buffer + 4 * i, context->chaining_value[i]);
    }
}

uint8_t* md5_digest(const uint8_t* bytes, uint32_t length) {
    Md5Context context;
    md5_init(&context);
    md5_update(&context, bytes, length);
    md5_final(&context);
    return md5_digest_buffer;
}

void md5_digest_print(const char* text, uint32_t length, int print_digest, int print_header) {
    uint8_t* digest = md5_digest(reinterpret_cast<const uint8_t*>(text), length);
    if (print_header) {
        std::printf("MD5 (\"%s\") = 0x", text);
    }
    if (print_digest) {
        md5_print_hex(digest, MD5_DIGEST_SIZE);
        std::printf("\n");
    }
}

void md5_print_hex(const uint8_t* bytes, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
        std::printf("%02x", bytes[i]);
    }
}
