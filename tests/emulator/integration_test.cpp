// linkwarden's transport and protocol code against the emulated network, in virtual time:
// discovery finds the scenario's bridges, the extended transactions read what the extended
// bridge holds, keys set with the program's requests change who answers, and the faults give
// the behaviour the program is built for.
#include <cstring>

#include "app/state.h"
#include "emulator/backend.h"
#include "keys/passwords.h"
#include "platform/win/kernel.h"
#include "protocol/extended.h"
#include "protocol/frames.h"
#include "tests/emulator/emulated_network.h"
#include "transport/adapters.h"
#include "transport/discovery.h"

namespace {

EmuMac record_mac(const uint8_t* bytes) {
    EmuMac m;
    std::memcpy(m.data(), bytes, 6);
    return m;
}

class Integration : public ::testing::Test {
  protected:
    void SetUp() override { clock_use_virtual(); }
    void TearDown() override {
        close_all_adapters();
        emulator_unload();
    }

    // A fresh network from a shipped scenario, and the records of a program that never ran.
    void use(const std::string& scenario, const std::vector<std::string>& commands = {}) {
        std::memset(AdapterRecord, 0, sizeof AdapterRecord);
        std::string error;
        ASSERT_TRUE(emulator_load_file(std::string(SCENARIO_DIR) + "/" + scenario, &error))
            << error;
        for (const std::string& c : commands) {
            std::string reply;
            ASSERT_TRUE(emulator_command(c, &reply)) << c << ": " << reply;
        }
        emulator_backend_install();
    }

    // Every frame receive_next_frame hands over within `ms`, polled as the program polls.
    std::vector<Bytes> drain(uint32_t ms) {
        std::vector<Bytes> frames;
        uint8_t buffer[1500];
        DWORD start = GetTickCount();
        while (GetTickCount() - start < ms) {
            std::memset(buffer, 0, sizeof buffer);
            if (receive_next_frame(buffer)) {
                frames.emplace_back(buffer, buffer + ReceivedFrameLength);
            } else {
                Sleep(10);
            }
        }
        return frames;
    }

    std::vector<EmuMac> probe_repliers() {
        send_station_probe(0, AdapterRecord[0].address, BroadcastAddress);
        std::vector<EmuMac> from;
        for (const Bytes& f : drain(200)) {
            if (is_station_probe_reply(f.data())) {
                from.push_back(mac_at(f, 6));
            }
        }
        return from;
    }
};

TEST_F(Integration, DiscoveryFindsTheBridgesOfEachScenario) {
    struct Case {
        const char* scenario;
        int result;
        std::vector<EmuMac> bridges;  // per adapter; zero: none kept
        std::vector<int> kinds;
        uint64_t at_most_ms;      // listening time: 4,250 ms for every adapter without a bridge
        bool eeprom_sure = true;  // on a bad line its answer may be lost
    } cases[] = {
        {"home.json", 1, {mac("02:a0:00:00:01:01")}, {2}, 1000},
        {"extended.json", 1, {mac("02:a0:00:00:11:01")}, {3}, 1000},
        {"two_adapters.json",
         1,
         {mac("02:a0:00:00:21:01"), {}, mac("02:a0:00:00:21:03")},
         {1, 0, 3},
         6000},
        {"unsupported.json", 0, {{}}, {0}, 1000},
        {"lossy.json", 1, {mac("02:a0:00:00:41:01")}, {2}, 5000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        use(c.scenario);
        uint64_t start = clock_now();
        EXPECT_EQ(discover_bridges(), c.result);
        EXPECT_LE(clock_now() - start, c.at_most_ms);
        ASSERT_EQ(AdapterCount, int(c.bridges.size()));
        for (int a = 0; a < AdapterCount; ++a) {
            bool kept = c.bridges[a] != EmuMac{};
            EXPECT_EQ(AdapterRecord[a].bridge_present, kept ? 1 : 0) << a;
            EXPECT_EQ(record_mac(AdapterRecord[a].address), emulator_adapter_address(a));
            if (kept) {
                EXPECT_EQ(record_mac(AdapterRecord[a].bridge_address), c.bridges[a]);
                EXPECT_EQ(AdapterRecord[a].device_kind, c.kinds[a]);
                if (c.eeprom_sure) {
                    EXPECT_EQ(AdapterRecord[a].status_answered, 1);
                }
            }
        }
        close_all_adapters();
        emulator_unload();
    }
}

TEST_F(Integration, DiscoveryOfFaultyBridges) {
    use("home.json", {"silent 02:a0:00:00:01:01 on"});
    uint64_t start = clock_now();
    EXPECT_EQ(discover_bridges(), 0);
    EXPECT_GE(clock_now() - start, 4250u);
    close_all_adapters();

    use("home.json", {"no-eeprom 02:a0:00:00:01:01 on"});
    EXPECT_EQ(discover_bridges(), 1);
    EXPECT_EQ(AdapterRecord[0].bridge_present, 1);
    EXPECT_EQ(AdapterRecord[0].status_answered, 0);
}

TEST_F(Integration, AHostileAnnouncementTakesOverTheBridgeAddress) {
    use("hostile.json");
    ASSERT_EQ(discover_bridges(), 1);
    EXPECT_EQ(record_mac(AdapterRecord[0].bridge_address), mac("02:a0:00:00:51:01"));
    drain(3500);
    EXPECT_EQ(record_mac(AdapterRecord[0].bridge_address), mac("02:66:66:66:66:66"));
}

TEST_F(Integration, AFloodIsDrainedAndTheBridgeStillAnswers) {
    use("home.json", {"fault flood 200"});
    ASSERT_EQ(discover_bridges(), 1);
    std::vector<Bytes> frames = drain(1000);
    EXPECT_GE(frames.size(), 190u);
    EXPECT_EQ(probe_repliers().size(), 4u);
}

TEST_F(Integration, ExtendedTransactionsReadWhatTheBridgeHolds) {
    use("extended.json");
    ASSERT_EQ(discover_bridges(), 1);
    CurrentAdapter = 0;
    send_extended_identify(0);
    EXPECT_EQ(wait_extended_identify(), 1);
    EXPECT_EQ(read_device_info(0), 1);
    const char firmware[] = "PLC-TURBO FW 2.4.17 (emulated)";
    EXPECT_EQ(std::memcmp(DeviceInfo[0] + 4, firmware, sizeof firmware - 1), 0);
    EXPECT_EQ(Bytes(DeviceInfo[0], DeviceInfo[0] + 4), (Bytes{0x44, 0x33, 0x22, 0x11}));

    uint16_t expected_clock = emulator_bridge_clock(mac("02:a0:00:00:11:01"));
    EXPECT_EQ(read_device_clock(0), 1);
    EXPECT_EQ(DeviceClock, expected_clock);
    EXPECT_EQ(read_age_limit(0), 1);
    EXPECT_EQ(AgeLimit, 30);
}

TEST_F(Integration, AStandardBridgeDoesNotAnswerTheExtendedProbe) {
    use("home.json");
    ASSERT_EQ(discover_bridges(), 1);
    CurrentAdapter = 0;
    uint64_t start = clock_now();
    send_extended_identify(0);
    EXPECT_EQ(wait_extended_identify(), 0);
    EXPECT_GE(clock_now() - start, 1500u);
}

TEST_F(Integration, TheProgramDerivesTheKeysTheBridgesDerive) {
    for (const char* password :
         {"WindLark", "HomePlug", "LOCAL-0101", "a b~\x7f", "24-characters-long-text!"}) {
        uint8_t program[8];
        std::memcpy(program, derive_key(password), 8);
        EmuKey emulated = emulator_derive_key(password);
        EXPECT_EQ(Bytes(program, program + 8), Bytes(emulated.begin(), emulated.end())) << password;
    }
}

TEST_F(Integration, KeysSetWithTheProgramsRequestsDecideWhoAnswers) {
    use("home.json");
    ASSERT_EQ(discover_bridges(), 1);
    const uint8_t* own = AdapterRecord[0].address;
    EXPECT_EQ(probe_repliers().size(), 4u);

    // A new network key on the local bridge cuts the remote stations off.
    uint8_t network_key[8];
    std::memcpy(network_key, derive_key("NewHome-2024"), 8);
    uint8_t frame[SET_NETWORK_KEY_LENGTH];
    build_set_network_key(frame, own, BroadcastAddress, 1, network_key, 1, 0x40, 0x00, 0x01);
    send_frame(0, frame, SET_NETWORK_KEY_LENGTH);
    EXPECT_EQ(probe_repliers(), std::vector<EmuMac>{mac("02:a0:00:00:01:01")});

    // The kitchen, reached through its device key under selector 0, takes it too.
    uint8_t device_key[8];
    std::memcpy(device_key, derive_key("KITCHEN-0201"), 8);
    const uint8_t kitchen[6] = {0x02, 0xa0, 0x00, 0x00, 0x02, 0x01};
    build_set_network_key(frame, own, BroadcastAddress, 0, device_key, 1, 0x40, 0x01, 0x00);
    send_frame(0, frame, SET_NETWORK_KEY_LENGTH);
    build_set_network_key(frame, own, kitchen, 1, network_key, 0, 0, 0, 0);
    send_frame(0, frame, SET_NETWORK_KEY_LENGTH);
    EXPECT_EQ(probe_repliers(),
              (std::vector<EmuMac>{mac("02:a0:00:00:01:01"), record_mac(kitchen)}));
}

}  // namespace
