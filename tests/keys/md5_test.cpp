#include "keys/md5.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/keys/openssl_md5.h"

namespace {

std::string digest_hex(const std::string& text) {
    return to_hex(md5_digest(reinterpret_cast<const uint8_t*>(text.data()),
                             static_cast<uint32_t>(text.size())),
                  MD5_DIGEST_SIZE);
}

TEST(Md5, Rfc1321TestSuite) {
    const struct {
        const char* input;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(digest_hex(c.input), c.digest) << '"' << c.input << '"';
    }
}

TEST(Md5, PaddingBoundaries) {
    for (size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u}) {
        std::string text(length, '\0');
        for (size_t i = 0; i < length; ++i) {
            text[i] = static_cast<char>('a' + i % 26);
        }
        auto expected = openssl_md5(text.data(), text.size());
        EXPECT_EQ(digest_hex(text), to_hex(expected.data(), expected.size())) << length << " bytes";
    }
}

// Random inputs of random lengths, digested in one piece and again fed in random pieces.
TEST(Md5, MatchesOpenSslOnRandomInputs) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 3000; ++round) {
        size_t length = random() % (round % 10 == 0 ? 4000 : 300);
        std::vector<uint8_t> input(length);
        for (uint8_t& b : input) {
            b = static_cast<uint8_t>(byte(random));
        }
        auto expected = openssl_md5(input.data(), input.size());
        std::string want = to_hex(expected.data(), expected.size());

        EXPECT_EQ(to_hex(md5_digest(input.data(), static_cast<uint32_t>(length)), 16), want)
            << "one piece, " << length << " bytes";

        Md5Context context;
        md5_init(&context);
        size_t done = 0;
        while (done < length) {
            size_t piece = random() % (length - done + 1);
            md5_update(&context, input.data() + done, static_cast<uint32_t>(piece));
            done += piece;
        }
        md5_final(&context);
        EXPECT_EQ(to_hex(md5_digest_buffer, 16), want) << "in pieces, " << length << " bytes";
    }
}

TEST(Md5, BitCountCarriesIntoHighWord) {
    Md5Context context;
    md5_init(&context);
    context.bit_count[0] = 0xfffffff8;  // one byte short of wrapping the low word
    const uint8_t bytes[2] = {1, 2};
    md5_update(&context, bytes, 2);
    EXPECT_EQ(context.bit_count[0], 8u);
    EXPECT_EQ(context.bit_count[1], 1u);
}

TEST(Md5, DigestsItsOwnBufferInPlace) {
    for (int i = 0; i < MD5_DIGEST_SIZE; ++i) {
        md5_digest_buffer[i] = static_cast<uint8_t>(0xf0 - 7 * i);
    }
    auto expected = openssl_md5(md5_digest_buffer, MD5_DIGEST_SIZE);
    uint8_t* result = md5_digest(md5_digest_buffer, MD5_DIGEST_SIZE);
    EXPECT_EQ(result, md5_digest_buffer);
    EXPECT_EQ(to_hex(result, 16), to_hex(expected.data(), 16));
}

TEST(Md5, HeldPointerShowsTheLaterDigest) {
    const uint8_t* first = md5_digest(reinterpret_cast<const uint8_t*>("abc"), 3);
    md5_digest(reinterpret_cast<const uint8_t*>("a"), 1);
    EXPECT_EQ(to_hex(first, 16), "0cc175b9c0f1b6a831c399e269772661");
}

TEST(Md5, PrintsExactly) {
    const struct {
        int print_digest;
        int print_header;
        const char* output;
    } cases[] = {
        {0, 0, ""},
        {1, 0, "0cc175b9c0f1b6a831c399e269772661\n"},
        // The header shows the whole zero-terminated text; only one byte was digested.
        {0, 1, "MD5 (\"abc\") = 0x"},
        {1, 1, "MD5 (\"abc\") = 0x0cc175b9c0f1b6a831c399e269772661\n"},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStdout();
        md5_digest_print("abc", 1, c.print_digest, c.print_header);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output)
            << "digest " << c.print_digest << ", header " << c.print_header;
    }

    const uint8_t bytes[] = {0x00, 0x0f, 0xa0, 0xff};
    testing::internal::CaptureStdout();
    md5_print_hex(bytes, 4);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "000fa0ff");
}

}  // namespace
