// linkwarden's transport and protocol code against the emulated network, in virtual time:
// discovery finds the scenario's bridges, the monitor's analyses fill the station table with
// the scenario's rates, the extended transactions read what the extended bridge holds, the key
// transactions change which stations are found, and the faults give the behaviour the program
// is built for.
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/state.h"
#include "emulator/backend.h"
#include "keys/passwords.h"
#include "platform/win/kernel.h"
#include "platform/win/message_loop.h"
#include "protocol/event_log.h"
#include "protocol/extended.h"
#include "protocol/frames.h"
#include "protocol/key_transactions.h"
#include "protocol/monitor.h"
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
        std::memset(ParameterMirror, 0, sizeof ParameterMirror);
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

// linkwarden after its Connect: the monitor's 100 ms timer runs, and each analysis is
// started as the pages start it and ends when the monitor ends it.
class Analysis : public Integration {
  protected:
    void SetUp() override {
        Integration::SetUp();
        message_loop_reset();
        // The event log goes to the working directory: give each test its own.
        std::string dir = testing::TempDir() + "/emulator-analysis-" + std::to_string(getpid());
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        std::filesystem::remove("plc.log");
    }

    void connect(const std::string& scenario, const std::vector<std::string>& commands = {}) {
        use(scenario, commands);
        ASSERT_EQ(discover_bridges(), 1);
        CurrentAdapter = 0;
        std::memcpy(AdapterSettings[0].adapter_address, AdapterRecord[0].address, 6);
        send_extended_identify(0);
        ExtendedProtocol[0] = wait_extended_identify() == 1 && read_device_info(0) == 1;
        BusyGate = 0;
        SetTimer(nullptr, 0, MONITOR_PERIOD_MS, monitor_tick);
    }

    // Empties the table, runs an analysis to its end and returns how long it took.
    uint64_t analyse() {
        for (StationEntry& e : AdapterSettings[0].stations) {
            e.in_use = 0;
            e.rate_mbps = 0.0;
        }
        ProgressActive = 1;
        start_analysis();
        uint64_t start = clock_now();
        pump_while([] { return ProgressActive == 1; }, 20000);
        return clock_now() - start;
    }

    void pump_while(bool (*going)(), uint64_t at_most_ms) {
        uint64_t end = clock_now() + at_most_ms;
        MSG msg;
        while (going() && clock_now() < end && GetMessageA(&msg, nullptr, 0, 0)) {
            DispatchMessageA(&msg);
        }
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

    static std::array<uint8_t, 8> key_of(const char* password) {
        std::array<uint8_t, 8> key;
        std::memcpy(key.data(), derive_key(password), 8);
        return key;
    }
};

TEST_F(Analysis, AStandardAnalysisFillsTheTableWithTheScenariosRatesAndEndsOnTheReport) {
    connect("home.json");
    ASSERT_EQ(ExtendedProtocol[0], 0);
    uint64_t took = analyse();
    EXPECT_GE(took, 4100u);  // the report is asked for at step 21
    EXPECT_LT(took, 4700u);
    std::vector<std::pair<EmuMac, double>> expected = {
        {mac("02:a0:00:00:02:01"), standard_rate(1000)},
        {mac("02:a0:00:00:02:02"), standard_rate(90)},
        {mac("02:a0:00:00:02:03"), standard_rate(420)},
    };
    EXPECT_EQ(table(), expected);
    EXPECT_EQ(expected[0].second, 27.095238095238088);
    EXPECT_EQ(std::memcmp(ParameterMirror, AdapterRecord[0].bridge_address, 6), 0);
}

TEST_F(Analysis, AnExtendedAnalysisFillsTheTableWithRateClassesAndAges) {
    connect("extended.json");
    ASSERT_EQ(ExtendedProtocol[0], 1);
    EXPECT_GE(analyse(), 10000u);  // extended answers do not end it: the timer does
    EXPECT_EQ(AgeLimit, 30);
    // The station that left 10 counts before the start is still young; the one that left
    // 300 counts before is past the age limit.
    std::vector<std::pair<EmuMac, double>> expected = {
        {mac("02:a0:00:00:12:01"), 31.4},
        {mac("02:a0:00:00:12:02"), 9.0},
        {mac("02:a0:00:00:12:03"), 47.1},
    };
    EXPECT_EQ(table(), expected);

    // Later (the station clock has wrapped meanwhile) the young one has aged out too.
    pump_while([] { return true; }, 15000);
    analyse();
    expected.pop_back();
    EXPECT_EQ(table(), expected);
}

// The key flows of the Security and Advanced pages: a new key on the local bridge empties
// the next analysis; adding a station by its device password and putting the key on it brings
// it back. The bridge's EEPROM block confirms every change, so nothing is logged.
TEST_F(Analysis, KeysSetByTheProgramsTransactionsDecideWhichStationsTheAnalysisFinds) {
    connect("home.json");
    ASSERT_EQ(analyse() < 10000, true);
    const uint8_t* own = AdapterRecord[0].address;
    auto network_key = key_of("NewHome-2024");

    set_network_key(0, own, BroadcastAddress, 1, network_key.data(), 1, 1, 0);
    analyse();
    EXPECT_TRUE(table().empty());

    auto kitchen_key = key_of("KITCHEN-0201");
    uint8_t random_key[8] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};
    uint8_t found[6] = {};
    ASSERT_EQ(find_remote_device(kitchen_key.data(), random_key, found), 1);
    EXPECT_EQ(record_mac(found), mac("02:a0:00:00:02:01"));

    set_network_key(0, own, BroadcastAddress, 1, network_key.data(), 1, 0, 0);
    uint8_t extended_found[6];
    EXPECT_EQ(extended_find_remote_device(kitchen_key.data(), network_key.data(), extended_found),
              0);
    EXPECT_EQ(set_remote_key(kitchen_key.data(), network_key.data(), found), 1);
    restore_bridge_keys(ParameterMirror + 6, network_key.data());
    analyse();
    std::vector<std::pair<EmuMac, double>> expected = {
        {mac("02:a0:00:00:02:01"), standard_rate(1000)}};
    EXPECT_EQ(table(), expected);

    // A password no device has: nobody is found, and the bridge's keys are put back.
    auto nobody_key = key_of("NOBODY-0000");
    EXPECT_EQ(find_remote_device(nobody_key.data(), random_key, found), 0);
    restore_bridge_keys(ParameterMirror + 6, network_key.data());
    analyse();
    EXPECT_EQ(table(), expected);
    EXPECT_FALSE(std::filesystem::exists("plc.log"));
}

TEST_F(Analysis, ABridgeWithBlankBlocksIsLoggedAndNeverMirrored) {
    connect("home.json", {"blank 02:a0:00:00:01:01 both"});
    analyse();
    EXPECT_EQ(table().size(), 3u);
    EXPECT_EQ(Bytes(ParameterMirror, ParameterMirror + 50), Bytes(50, 0));
    std::ifstream log("plc.log");
    std::string time_line, event_line;
    ASSERT_TRUE(std::getline(log, time_line) && std::getline(log, event_line));
    EXPECT_EQ(event_line.rfind("**EEPROM** ff ff ff ff ff ff", 0), 0u) << event_line;
}

TEST_F(Analysis, ABridgeThatFallsSilentLeavesTheTimerToEndTheAnalysis) {
    connect("home.json");
    std::string reply;
    emulator_command("silent 02:a0:00:00:01:01 on", &reply);
    EXPECT_GE(analyse(), 10000u);
    EXPECT_TRUE(table().empty());
}

TEST_F(Analysis, TheExtendedBridgePutsTheKeyOnARemoteDevice) {
    connect("extended.json");
    auto network_key = key_of("NewTurbo-2024");
    send_extended_set_key(0, AdapterRecord[0].address, BroadcastAddress, network_key.data());
    auto turbo_key = key_of("TURBO-1201");
    uint8_t found[6] = {};
    ASSERT_EQ(extended_find_remote_device(turbo_key.data(), network_key.data(), found), 1);
    EXPECT_EQ(record_mac(found), mac("02:a0:00:00:12:01"));
    EmuKey key;
    emulator_bridge_keys(mac("02:a0:00:00:12:01"), &key, nullptr);
    EXPECT_EQ(Bytes(key.begin(), key.end()), Bytes(network_key.begin(), network_key.end()));
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

}  // namespace
