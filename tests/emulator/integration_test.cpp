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
#include "protocol/stations.h"
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
        std::memset(AdapterSettings, 0, sizeof AdapterSettings);
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

// The requests of one analysis, in the order of the monitor's cycle, each followed by the
// drain that hands the answers to the station table, as the monitor's ticks do.
class Analysis : public Integration {
  protected:
    void connect(const std::string& scenario) {
        use(scenario);
        ASSERT_EQ(discover_bridges(), 1);
        CurrentAdapter = 0;
        std::memcpy(AdapterSettings[0].adapter_address, AdapterRecord[0].address, 6);
    }

    void empty_table() {
        for (StationEntry& e : AdapterSettings[0].stations) {
            e.in_use = 0;
            e.rate_mbps = 0.0;
        }
    }

    void drain_into_table(uint32_t ms) {
        for (const Bytes& f : drain(ms)) {
            if (is_station_probe_reply(f.data())) {
                record_station_reply(f.data());
            } else if (is_bridge_report_answer(f.data())) {
                estimate_station_rates(f.data());
            }
        }
    }

    void standard_analysis() {
        probe_stations_broadcast();
        drain_into_table(2000);
        probe_known_stations();
        drain_into_table(2000);
        send_bridge_report_request(0, AdapterRecord[0].address, BroadcastAddress);
        drain_into_table(200);
    }

    void extended_analysis() {
        send_extended_station_list_request(0);
        receive_extended_station_list();
        read_device_clock(0);
        read_age_limit(0);
        fill_stations_from_extended_list(0);
    }

    // The stations in use, in table order, with their rates.
    std::vector<std::pair<EmuMac, double>> table() {
        std::vector<std::pair<EmuMac, double>> out;
        for (const StationEntry& e : AdapterSettings[0].stations) {
            if (e.in_use != 0) {
                out.push_back({record_mac(e.address), e.rate_mbps});
            }
        }
        return out;
    }

    // The estimate for a report's rate value, evaluated in the order the estimate takes.
    static double standard_rate(uint16_t n) {
        return n * 0.023809523809523808 * 1.1434511434511434 - 0.12978912978912938;
    }
};

TEST_F(Analysis, AStandardAnalysisFillsTheTableWithTheScenariosRates) {
    connect("home.json");
    standard_analysis();
    std::vector<std::pair<EmuMac, double>> expected = {
        {mac("02:a0:00:00:02:01"), standard_rate(1000)},
        {mac("02:a0:00:00:02:02"), standard_rate(90)},
        {mac("02:a0:00:00:02:03"), standard_rate(420)},
    };
    EXPECT_EQ(table(), expected);
    EXPECT_EQ(expected[0].second, 27.095238095238088);
}

TEST_F(Analysis, AnExtendedAnalysisFillsTheTableWithRateClassesAndAges) {
    connect("extended.json");
    extended_analysis();
    EXPECT_EQ(AgeLimit, 30);
    // The station that left 10 counts before the start is still young; the one that left
    // 300 counts before is past the age limit.
    std::vector<std::pair<EmuMac, double>> expected = {
        {mac("02:a0:00:00:12:01"), 31.4},
        {mac("02:a0:00:00:12:02"), 9.0},
        {mac("02:a0:00:00:12:03"), 47.1},
    };
    EXPECT_EQ(table(), expected);

    // 25 seconds on (the station clock wraps meanwhile), the young one has aged out too.
    drain(25000);
    extended_analysis();
    expected.pop_back();
    EXPECT_EQ(table(), expected);
}

TEST_F(Analysis, ANewKeyOnTheBridgeEmptiesTheNextAnalysisAndTheKeyOnAStationBringsItBack) {
    connect("home.json");
    standard_analysis();
    ASSERT_EQ(table().size(), 3u);

    const uint8_t* own = AdapterRecord[0].address;
    uint8_t network_key[8];
    std::memcpy(network_key, derive_key("NewHome-2024"), 8);
    uint8_t frame[SET_NETWORK_KEY_LENGTH];
    build_set_network_key(frame, own, BroadcastAddress, 1, network_key, 1, 0x40, 0x00, 0x01);
    send_frame(0, frame, SET_NETWORK_KEY_LENGTH);
    empty_table();
    standard_analysis();
    EXPECT_TRUE(table().empty());

    uint8_t device_key[8];
    std::memcpy(device_key, derive_key("ATTIC-0203"), 8);
    const uint8_t attic[6] = {0x02, 0xa0, 0x00, 0x00, 0x02, 0x03};
    build_set_network_key(frame, own, BroadcastAddress, 0, device_key, 1, 0x40, 0x01, 0x00);
    send_frame(0, frame, SET_NETWORK_KEY_LENGTH);
    build_set_network_key(frame, own, attic, 1, network_key, 0, 0, 0, 0);
    send_frame(0, frame, SET_NETWORK_KEY_LENGTH);
    empty_table();
    standard_analysis();
    std::vector<std::pair<EmuMac, double>> expected = {{record_mac(attic), standard_rate(420)}};
    EXPECT_EQ(table(), expected);
}

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
