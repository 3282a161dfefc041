// Scenario files: the shipped ones load and hold what their names promise; broken ones are
// refused with the file, the line and the problem; keys come out as the derivation gives them.
#include <filesystem>

#include "tests/emulator/emulated_network.h"

namespace {

std::string scenario_path(const std::string& name) {
    return std::string(SCENARIO_DIR) + "/" + name;
}

class Scenarios : public EmulatedNetwork {};

TEST_F(Scenarios, ShippedScenariosLoadWithTheirAdaptersAndBridges) {
    struct Case {
        const char* file;
        std::vector<std::string> adapters;
        // Report answer per adapter: the kind, or -1 for no bridge.
        std::vector<int> kinds;
    } cases[] = {
        {"home.json", {"plc0"}, {2}},
        {"extended.json", {"plc0"}, {3}},
        {"two_adapters.json", {"plc0", "eth1", "plc2"}, {1, -1, 3}},
        {"unsupported.json", {"plc0"}, {5}},
        {"lossy.json", {"plc0"}, {2}},
        {"hostile.json", {"plc0"}, {2}},
    };
    size_t shipped = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SCENARIO_DIR)) {
        shipped += entry.path().extension() == ".json";
    }
    EXPECT_EQ(shipped, std::size(cases));
    for (const Case& c : cases) {
        std::string error;
        ASSERT_TRUE(emulator_load_file(scenario_path(c.file), &error)) << error;
        ASSERT_EQ(emulator_adapter_count(), c.adapters.size()) << c.file;
        emulator_set_faults(EmulatorFaults{});  // the lossy line would blur the check
        for (size_t a = 0; a < c.adapters.size(); ++a) {
            EXPECT_EQ(emulator_adapter_name(a), c.adapters[a]);
            captured.clear();
            emulator_attach(a, [this](const uint8_t* frame, size_t length) {
                captured.push_back({0, clock_now(), Bytes(frame, frame + length)});
            });
            Bytes request = bridge_report_request(emulator_adapter_address(a));
            emulator_from_adapter(a, request.data(), request.size());
            run_for(100);
            emulator_detach(a);
            if (c.kinds[a] < 0) {
                EXPECT_TRUE(captured.empty()) << c.file;
            } else {
                ASSERT_EQ(captured.size(), 1u) << c.file << " adapter " << a;
                EXPECT_EQ(captured[0].bytes[17], c.kinds[a]) << c.file;
            }
        }
    }
}

TEST_F(Scenarios, BrokenScenariosNameFileLineAndProblem) {
    struct Case {
        const char* text;
        const char* message;
    } cases[] = {
        {"{\n  \"adapters\": [\n    {\"name\": \"plc0\" \"address\": 1}\n  ]\n}",
         "broken.json:3: not valid JSON"},
        {"{\n  \"adapters\": [],\n  \"colour\": \"red\"\n}",
         "broken.json:3: unknown field \"colour\""},
        {"{\"bridges\": [\n  {\"address\": \"02:a0:00:00:01:01\"},\n  {\"address\": \"02:zz\"}\n]}",
         "broken.json:3: \"02:zz\" is not an Ethernet address"},
        {"{\"bridges\": [\n {\"address\": \"02:a0:00:00:01:01\"},\n"
         " {\"address\": \"02:a0:00:00:01:01\"}]}",
         "broken.json:3: two bridges have the address 02:a0:00:00:01:01"},
        {"{\"bridges\": [{\"address\": \"02:a0:00:00:01:01\",\n \"adapter\": \"eth9\"}]}",
         "broken.json:2: no adapter is named \"eth9\""},
        {"{\"bridges\": [{\"address\": \"02:a0:00:00:01:01\",\n\n \"kind\": 300}]}",
         "broken.json:3: kind must be from 0 to 127, not 300"},
        {"{\"bridges\": [{\"address\": \"02:a0:00:00:01:01\",\n \"eeprom\": \"00 11\"}]}",
         "broken.json:2: eeprom must hold 50 bytes, not 2"},
        {"{\"bridges\": [{\"address\": \"02:a0:00:00:01:01\",\n \"device_password\": \"abc\"}]}",
         "broken.json:2: a password has 4 to 24 characters"},
        {"{\n\"faults\": {\n\"loss\": 1.5}}", "broken.json:3: loss must be a number from 0 to 1"},
        {"{\"links\": [\n{\"between\": [\"02:a0:00:00:01:01\", \"02:a0:00:00:01:02\"]}]}",
         "broken.json:2: no bridge has the address 02:a0:00:00:01:01"},
        {"{\"events\": [\n{\"at_ms\": 5}]}", "broken.json:2: missing field \"command\""},
        {"[1, 2]", "broken.json:1: expected an object"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(emulator_load_text(c.text, "broken.json", &error)) << c.text;
        EXPECT_EQ(error.rfind(c.message, 0), 0u) << "got: " << error;
    }
    std::string error;
    EXPECT_FALSE(emulator_load_file(scenario_path("no-such.json"), &error));
    EXPECT_NE(error.find("no-such.json:0: cannot be read"), std::string::npos) << error;
}

TEST_F(Scenarios, KeysComeFromPasswordsAsTheDerivationGivesThem) {
    // Computed independently: PBKDF1-MD5 over password and salt, 1000 rounds, odd parity.
    struct Case {
        const char* password;
        EmuKey key;
    } cases[] = {
        {"WindLark", {0x31, 0xbf, 0x45, 0x5d, 0x31, 0xd6, 0x3e, 0x3e}},
        {"HomePlug", {0x46, 0xd6, 0x13, 0xe0, 0xf8, 0x4a, 0x76, 0x4c}},
        {"LOCAL-0101", {0x02, 0xf4, 0x89, 0xe0, 0xae, 0x86, 0x40, 0x08}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(emulator_derive_key(c.password), c.key) << c.password;
    }
    load(R"({"bridges": [{"address": "02:a0:00:00:01:01", "network_password": "HomePlug",
                          "device_password": "LOCAL-0101"},
                         {"address": "02:a0:00:00:01:02",
                          "network_key": "01 02 04 08 10 20 40 80"}]})");
    EmuKey network, device;
    ASSERT_TRUE(emulator_bridge_keys(mac("02:a0:00:00:01:01"), &network, &device));
    EXPECT_EQ(network, cases[1].key);
    EXPECT_EQ(device, cases[2].key);
    ASSERT_TRUE(emulator_bridge_keys(mac("02:a0:00:00:01:02"), &network, nullptr));
    EXPECT_EQ(network, (EmuKey{0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80}));
}

}  // namespace
