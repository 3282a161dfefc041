#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/state.h"
#include "keys/passwords.h"

namespace {

class DevicePasswords : public testing::Test {
  protected:
    void SetUp() override {
        std::memset(AdapterSettings, 0, sizeof AdapterSettings);
        CurrentAdapter = 2;  // not adapter 0, so the look-ups show whose list they read
    }
    static void store(int entry, const char* text, int adapter = 2) {
        std::strcpy(AdapterSettings[adapter].device_passwords[entry].password, text);
    }
};

TEST_F(DevicePasswords, FirstFreeEntry) {
    EXPECT_EQ(first_free_device_password(), 0);
    EXPECT_EQ(device_password_list_full(), 0);

    store(0, "zero");
    store(1, "one1");
    store(2, "two2");
    store(4, "four");
    EXPECT_EQ(first_free_device_password(), 3);

    for (int i = 0; i < DEVICE_PASSWORD_COUNT; ++i) {
        store(i, "used");
    }
    EXPECT_EQ(first_free_device_password(), 0);
    EXPECT_EQ(device_password_list_full(), 1);
}

TEST_F(DevicePasswords, FindsExactTextsInTheCurrentAdaptersList) {
    store(5, "Secret-5");
    store(7, "twice");
    store(9, "twice");
    store(1, "elsewhere", 0);  // another adapter's list

    const struct {
        const char* text;
        int index;
        int exists;
    } cases[] = {
        {"Secret-5", 5, 1}, {"twice", 7, 1},     {"secret-5", 0, 0},  // case matters
        {"Secret-", 0, 0},  {"Secret-55", 0, 0}, {"elsewhere", 0, 0}, {"nowhere", 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(find_device_password(c.text), c.index) << c.text;
        EXPECT_EQ(device_password_exists(c.text), c.exists) << c.text;
    }

    CurrentAdapter = 0;
    EXPECT_EQ(find_device_password("elsewhere"), 1);
    EXPECT_EQ(device_password_exists("Secret-5"), 0);
}

// A damaged entry fills its 25 bytes without a terminator, and the address bytes that follow
// would complete a longer text. The comparison stays inside the field and matches nothing.
TEST_F(DevicePasswords, UnterminatedEntryMatchesNoText) {
    DevicePasswordEntry& entry = AdapterSettings[2].device_passwords[3];
    std::memset(entry.password, 'A', PASSWORD_FIELD_SIZE);
    entry.device_address[0] = 'B';
    entry.device_address[1] = 0;

    const std::string through_address = std::string(25, 'A') + "B";
    const std::string field_only(25, 'A');
    for (const std::string& text : {through_address, field_only}) {
        EXPECT_EQ(device_password_exists(text.c_str()), 0) << text.size() << " chars";
    }
    EXPECT_EQ(first_free_device_password(), 0);  // entry 0 is free; entry 3 counts as used
}

}  // namespace
