#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "keys/passwords.h"

namespace {

constexpr const char* NO_PASSWORD = "No password was entered...exiting\n";
constexpr const char* BAD_LENGTH = "Password length illegal, use 4-24 chars\n";
constexpr const char* BAD_CHARACTER =
    "Illegal character in password, CTRL and ALT characters not allowed.\n";

struct Checked {
    int result;
    std::string output;
};

Checked check(const char* text) {
    testing::internal::CaptureStdout();
    int result = password_is_valid(text);
    return {result, testing::internal::GetCapturedStdout()};
}

TEST(PasswordRules, ChecksInOrderWithTheirMessages) {
    const std::string len24(24, 'x');
    const std::string len25(25, 'x');
    const struct {
        const char* name;
        const char* text;
        int result;
        const char* output;
    } cases[] = {
        {"null", nullptr, 0, NO_PASSWORD},
        {"empty", "", 0, BAD_LENGTH},
        {"3 chars", "abc", 0, BAD_LENGTH},
        {"4 chars", "abcd", 1, ""},
        {"24 chars", len24.c_str(), 1, ""},
        {"25 chars", len25.c_str(), 0, BAD_LENGTH},
        {"2 chars with a control", "a\x01", 0, BAD_LENGTH},
        {"space", "pass word", 1, ""},
        {"0x7F", "abc\x7f", 1, ""},
        {"tab", "ab\tcd", 0, BAD_CHARACTER},
        {"0x1F", "abcd\x1f", 0, BAD_CHARACTER},
        {"0x80",
         "\x80"
         "abcd",
         0, BAD_CHARACTER},
        {"0xE9", "caf\xe9", 0, BAD_CHARACTER},
        {"default", default_network_password, 1, ""},
    };
    for (const auto& c : cases) {
        Checked got = check(c.text);
        EXPECT_EQ(got.result, c.result) << c.name;
        EXPECT_EQ(got.output, c.output) << c.name;
    }
    EXPECT_STREQ(default_network_password, "WindLark");
}

// A damaged stored field: 25 bytes without a terminator. Refused on length, read no further
// than the field (ASan watches the end of the allocation).
TEST(PasswordRules, UnterminatedFieldIsRefusedWithinIt) {
    auto field = std::make_unique<char[]>(25);
    for (int i = 0; i < 25; ++i) {
        field[i] = static_cast<char>('A' + i);
    }
    Checked got = check(field.get());
    EXPECT_EQ(got.result, 0);
    EXPECT_EQ(got.output, BAD_LENGTH);
}

}  // namespace
