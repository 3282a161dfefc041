// Fault injection, timed events and run-time commands, and the promise that nothing reaches an
// adapter after it was detached.
#include "tests/emulator/emulated_network.h"

namespace {

const char* const Small = R"({
  "latency_ms": 3,
  "adapters": [{"name": "plc0", "address": "02:50:43:00:00:01"},
               {"name": "plc1", "address": "02:50:43:00:00:02"}],
  "bridges": [
    {"address": "02:a0:00:00:01:01", "adapter": "plc0", "kind": 2},
    {"address": "02:a0:00:00:01:02", "adapter": "plc1", "kind": 7, "powerline": "garden"},
    {"address": "02:a0:00:00:02:01"},
    {"address": "02:a0:00:00:02:02", "announce": "bridge_announce", "announce_every_ms": 3000},
    {"address": "02:a0:00:00:02:03", "announce": "to_itself", "announce_every_ms": 5000,
     "powerline": "garden"}
  ]
})";

const EmuMac Adapter = mac("02:50:43:00:00:01");
const EmuMac Local = mac("02:a0:00:00:01:01");
const EmuMac Station = mac("02:a0:00:00:02:01");
const EmuMac Hostile = mac("02:a0:00:00:02:02");

class Faults : public EmulatedNetwork {
  protected:
    void SetUp() override {
        EmulatedNetwork::SetUp();
        load(Small);
    }

    void command(const std::string& line) {
        std::string reply;
        ASSERT_TRUE(emulator_command(line, &reply)) << line << ": " << reply;
    }

    std::vector<Captured> announcements(size_t adapter) {
        std::vector<Captured> out;
        for (const Captured& c : captured) {
            if (c.adapter == adapter) {
                out.push_back(c);
            }
        }
        return out;
    }
};

TEST_F(Faults, LineFaultsShapeTheFramesTowardsTheAdapter) {
    Bytes request = parameter_request(Adapter, 0x10);
    Bytes clean = ask(request).at(0);
    struct Case {
        const char* command;
        size_t frames;
        uint64_t latency;
        bool same_length;
        bool same_bytes;
    } cases[] = {
        {"fault loss 1", 0, 0, true, true},       {"fault duplicate 1", 2, 3, true, true},
        {"fault delay 40", 1, 43, true, true},    {"fault corrupt 1", 1, 3, true, false},
        {"fault truncate 1", 1, 3, false, false},
    };
    for (const Case& c : cases) {
        command("fault clear");
        command(c.command);
        uint64_t sent = clock_now();
        std::vector<Bytes> got = ask(request);
        ASSERT_EQ(got.size(), c.frames) << c.command;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(captured[i].time - sent, c.latency + i) << c.command;
            EXPECT_EQ(got[i].size() == clean.size(), c.same_length) << c.command;
            EXPECT_EQ(got[i] == clean, c.same_bytes) << c.command;
            EXPECT_EQ(bytes_at(got[i], 0, 14), bytes_at(clean, 0, 14)) << c.command;
            EXPECT_GE(got[i].size(), 15u);
        }
    }
}

TEST_F(Faults, AFloodBringsManagementFramesAtItsRate) {
    command("fault flood 50");
    run_for(1000);
    std::vector<Captured> plc0 = announcements(0);
    EXPECT_GE(plc0.size(), 50u);
    EXPECT_LE(plc0.size(), 51u);
    for (const Captured& c : plc0) {
        EXPECT_EQ(bytes_at(c.bytes, 12, 2), (Bytes{0x88, 0x7B}));
        // A mix of types that no program takes as an answer.
        for (uint8_t answer_type : {0x08, 0x13, 0x15, 0x16, 0x19, 0x1A, 0x1E}) {
            EXPECT_NE(c.bytes[15], answer_type);
        }
    }
    command("fault flood-type 8");
    run_for(10);  // frames already on their way
    captured.clear();
    run_for(200);
    ASSERT_FALSE(captured.empty());
    for (const Captured& c : captured) {
        EXPECT_EQ(c.bytes[15], 0x08);
    }
    command("fault flood 0");
    run_for(100);  // frames already on their way
    captured.clear();
    run_for(6000);
    for (const Captured& c : captured) {
        EXPECT_TRUE(c.bytes[15] == 0x1E || c.bytes[15] == 0x1A);  // only the announcements
    }
}

TEST_F(Faults, HostileStationsAnnounceThemselvesAsBridges) {
    run_for(6500);
    std::vector<Captured> plc0 = announcements(0);
    ASSERT_EQ(plc0.size(), 2u);  // at 3 s and 6 s
    for (const Captured& c : plc0) {
        EXPECT_EQ(mac_at(c.bytes, 0), Broadcast);
        EXPECT_EQ(mac_at(c.bytes, 6), Hostile);
        EXPECT_EQ(c.bytes[15], 0x1E);
        EXPECT_EQ(c.bytes[17] & 0x80, 0);
    }
    // The one in the garden reaches plc1 through its bridge, addressed to itself.
    std::vector<Captured> plc1 = announcements(1);
    ASSERT_EQ(plc1.size(), 1u);
    EXPECT_EQ(mac_at(plc1[0].bytes, 0), mac("02:a0:00:00:02:03"));
    EXPECT_EQ(mac_at(plc1[0].bytes, 6), mac("02:a0:00:00:02:03"));
    // On another key it is no longer heard.
    command("password 02:a0:00:00:02:02 Elsewhere");
    captured.clear();
    run_for(3000);
    EXPECT_TRUE(announcements(0).empty());
}

TEST_F(Faults, BridgeFaults) {
    command("no-eeprom 02:a0:00:00:01:01 on");
    EXPECT_TRUE(ask(parameter_request(Adapter, 0x00)).empty());
    EXPECT_EQ(ask(parameter_request(Adapter, 0x10)).size(), 1u);

    command("blank 02:a0:00:00:01:01 ram");
    Bytes ram = ask(parameter_request(Adapter, 0x10)).at(0);
    EXPECT_EQ(bytes_at(ram, 18, 6), Bytes(6, 0xFF));

    command("silent 02:a0:00:00:02:01 on");
    EXPECT_EQ(ask(station_probe(Adapter, Broadcast)).size(), 2u);  // the bridge and the hostile
    command("silent 02:a0:00:00:01:01 on");
    EXPECT_TRUE(ask(station_probe(Adapter, Broadcast)).empty());
    EXPECT_TRUE(ask(bridge_report_request(Adapter)).empty());

    // An unsupported kind is reported as it is.
    Bytes report = ask(bridge_report_request(mac("02:50:43:00:00:02")), 1).at(0);
    EXPECT_EQ(report[17], 7);
}

TEST_F(Faults, EventsRunAtTheirTimes) {
    emulator_unload();
    load(R"({"adapters": [{"name": "plc0", "address": "02:50:43:00:00:01"}],
             "bridges": [{"address": "02:a0:00:00:01:01", "adapter": "plc0"},
                         {"address": "02:a0:00:00:02:01", "present": false}],
             "events": [{"at_ms": 1000, "command": "join 02:a0:00:00:02:01"},
                        {"at_ms": 2000, "command": "leave 02:a0:00:00:02:01"}]})");
    auto repliers = [&] { return ask(station_probe(Adapter, Broadcast)).size(); };
    EXPECT_EQ(repliers(), 1u);
    run_for(1000);
    EXPECT_EQ(repliers(), 2u);
    run_for(1000);
    EXPECT_EQ(repliers(), 1u);
}

TEST_F(Faults, NothingReachesADetachedAdapter) {
    emulator_unload();
    load(R"({"adapters": [{"name": "plc0", "address": "02:50:43:00:00:01"}],
             "bridges": [{"address": "02:a0:00:00:01:01", "adapter": "plc0"},
                         {"address": "02:a0:00:00:02:01"}],
             "faults": {"flood_per_second": 10}})");
    Bytes probe = station_probe(Adapter, Broadcast);
    emulator_from_adapter(0, probe.data(), probe.size());
    captured.clear();
    emulator_detach(0);
    EXPECT_EQ(clock_next_task_time(), UINT64_MAX);  // every answer and flood frame cancelled
    run_for(1000);
    EXPECT_TRUE(captured.empty());
}

TEST_F(Faults, BadCommandsAreRefusedWithAReason) {
    const char* bad[] = {
        "",
        "explode",
        "leave 02:a0",
        "leave 02:00:00:00:00:99",
        "silent 02:a0:00:00:01:01 maybe",
        "fault loss 2",
        "fault delay -1",
        "fault nothing 1",
        "password 02:a0:00:00:01:01 abc",
        "blank 02:a0:00:00:01:01 flash",
        "rate 02:a0:00:00:01:01 70000",
    };
    for (const char* line : bad) {
        std::string reply;
        EXPECT_FALSE(emulator_command(line, &reply)) << line;
        EXPECT_FALSE(reply.empty()) << line;
    }
}

}  // namespace
