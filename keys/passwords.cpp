// The password rules and the default network password.
#include "keys/passwords.h"

#include <cstdio>
#include <cstring>

const char default_network_password[] = "WindLark";

int password_is_valid(const char* text) {
    if (text == nullptr) {
        std::printf("No password was entered...exiting\n");
        return 0;
    }
    // Counting stops one byte past the longest valid length: enough to refuse, and it never
    // runs through an unterminated 25-byte field.
    size_t length = strnlen(text, PASSWORD_MAX_LENGTH + 1);
    if (length < PASSWORD_MIN_LENGTH || length > PASSWORD_MAX_LENGTH) {
        std::printf("Password length illegal, use 4-24 chars\n");
        return 0;
    }
    for (size_t i = 0; i < length; ++i) {
        // Read as signed: control characters and every byte from 0x80 on fall below 32.
        if (static_cast<signed char>(text[i]) < 32) {
            std::printf("Illegal character in password, CTRL and ALT characters not allowed.\n");
            return 0;
        }
    }
    return 1;
}
