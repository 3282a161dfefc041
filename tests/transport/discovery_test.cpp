// Finding the bridge behind each adapter, on the test wire in virtual time, with scripted
// bridges that answer the discovery requests.
#include "transport/discovery.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "app/state.h"
#include "protocol/frames.h"
#include "tests/support/wire_fixture.h"
#include "transport/adapters.h"

namespace {

bool is_discovery_request(const SentFrame& f) {
    return f.bytes.size() == 204 && f.bytes[15] == 0x1A && f.bytes[17] == 0x80;
}

// What a scripted bridge does when a discovery request goes out: the frames it lands, each
// some milliseconds later. `only_first` answers the first request alone.
struct Script {
    std::vector<Bytes> frames;
    bool only_first = true;
};

class Discovery : public WireTest {
  protected:
    void run(const Script& script) {
        int requests = 0;
        test_wire_on_send([&, script](const SentFrame& f) {
            if (!is_discovery_request(f)) {
                return;
            }
            if (requests++ > 0 && script.only_first) {
                return;
            }
            uint64_t at = clock_now() + 10;
            for (const Bytes& frame : script.frames) {
                test_wire_land(f.adapter, at++, frame);
            }
        });
        uint64_t start = clock_now();
        probe_bridges();
        took_ = clock_now() - start;
        test_wire_on_send(nullptr);
        for (const SentFrame& f : take_sent()) {
            if (is_discovery_request(f)) {
                discovery_requests_.push_back(f);
            }
        }
    }
    uint64_t took_ = 0;
    std::vector<SentFrame> discovery_requests_;
};

Bytes report_answer(const uint8_t* destination, const uint8_t* source, uint8_t kind_byte) {
    Bytes payload = hex("01 1a bb");
    payload.push_back(kind_byte);
    return management(destination, source, payload);
}

TEST_F(Discovery, RecognitionCases) {
    struct Case {
        const char* name;
        Script script;
        uint8_t missed_before;
        int bridge_present;
        int device_kind;
        const uint8_t* bridge_address;  // null: none recorded
        uint64_t took_min, took_max;
        int missed_after;
    } cases[] = {
        {"no bridge: five requests, 4250 ms", {}, 0, 0, 0, nullptr, 4250, 4260, 1},
        {"report answer to the adapter: recorded, the waits run out",
         {{report_answer(AdapterAddress, BridgeAddress, 0x02)}},
         0,
         1,
         2,
         BridgeAddress,
         4250,
         4260,
         1},
        {"a frame from the bridge to itself ends the wait at once",
         {{report_answer(BridgeAddress, BridgeAddress, 0x03)}},
         0,
         1,
         3,
         BridgeAddress,
         10,
         20,
         1},
        {"broadcast to broadcast is no such frame",
         {{report_answer(BroadcastAddress, BroadcastAddress, 0x80)}},
         0,
         0,
         0,
         nullptr,
         4250,
         4260,
         1},
        {"a request from another PC records nothing",
         {{report_answer(BroadcastAddress, OtherAddress, 0x80)}},
         0,
         0,
         0,
         nullptr,
         4250,
         4260,
         1},
        {"a bridge announcement records its sender",
         {{management(BroadcastAddress, OtherAddress, hex("01 1e 05 00"))}},
         0,
         1,
         0,
         OtherAddress,
         4250,
         4260,
         1},
        {"five missed passes drop a bridge that only answered",
         {{report_answer(AdapterAddress, BridgeAddress, 0x02)}},
         5,
         0,
         2,
         BridgeAddress,
         4250,
         4260,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open_adapters();
        AdapterRecord[0] =
            AdapterRecordEntry{AdapterRecord[0].handle, {}, c.missed_before, 0, 0, 0, {}};
        std::memcpy(AdapterRecord[0].address, AdapterAddress, 6);
        discovery_requests_.clear();
        run(c.script);
        const AdapterRecordEntry& r = AdapterRecord[0];
        EXPECT_EQ(r.bridge_present, c.bridge_present);
        EXPECT_EQ(r.device_kind, c.device_kind);
        Bytes recorded(r.bridge_address, r.bridge_address + 6);
        EXPECT_EQ(recorded,
                  c.bridge_address ? Bytes(c.bridge_address, c.bridge_address + 6) : Bytes(6, 0));
        EXPECT_GE(took_, c.took_min);
        EXPECT_LE(took_, c.took_max);
        EXPECT_EQ(r.missed_probes, c.missed_after);
        close_all_adapters();
    }
}

TEST_F(Discovery, LaterRequestsGoOutFromTheRecordedBridgeAddress) {
    open_adapters();
    run({{report_answer(AdapterAddress, BridgeAddress, 0x02)}});
    ASSERT_EQ(discovery_requests_.size(), 5u);
    Bytes first(discovery_requests_[0].bytes.begin(), discovery_requests_[0].bytes.begin() + 18);
    EXPECT_EQ(to_hex(first), "ff ff ff ff ff ff 02 00 00 00 00 01 88 7b 01 1a bb 80");
    Bytes source(discovery_requests_[1].bytes.begin() + 6,
                 discovery_requests_[1].bytes.begin() + 12);
    EXPECT_EQ(source, Bytes(BridgeAddress, BridgeAddress + 6));
    for (size_t i = 18; i < 204; ++i) {
        ASSERT_EQ(discovery_requests_[1].bytes[i], 0) << i;
    }
}

TEST_F(Discovery, OnlyKindsOneToThreeAreKept) {
    struct {
        uint8_t kind;
        int result;
    } cases[] = {{0x01, 1}, {0x03, 1}, {0x05, 0}, {0x00, 0}};
    for (auto c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        std::memset(AdapterRecord, 0, sizeof AdapterRecord);
        test_wire_install({TestWireAdapter{"eth0", {0x02, 0, 0, 0, 0, 0x01}}});
        test_wire_on_send([&](const SentFrame& f) {
            if (is_discovery_request(f)) {
                test_wire_land(0, clock_now() + 1,
                               report_answer(BridgeAddress, BridgeAddress, c.kind));
            }
        });
        EXPECT_EQ(discover_bridges(), c.result);
        EXPECT_EQ(AdapterRecord[0].bridge_present, c.result);
        close_all_adapters();
    }
}

TEST_F(Discovery, ParameterProbeFollowsAKeptBridgeAndRuleCNotesItsEepromBlock) {
    test_wire_install({TestWireAdapter{"eth0", {0x02, 0, 0, 0, 0, 0x01}}});
    std::vector<uint8_t> kinds_answered;
    test_wire_on_send([&](const SentFrame& f) {
        if (is_discovery_request(f)) {
            test_wire_land(0, clock_now() + 1, report_answer(BridgeAddress, BridgeAddress, 0x02));
        } else if (f.bytes[15] == 0x19) {
            // RAM block first (changes nothing), then the EEPROM block, bridge to itself.
            test_wire_land(0, clock_now() + 1,
                           management(AdapterAddress, BridgeAddress, hex("01 19 33 02")));
            test_wire_land(0, clock_now() + 2,
                           management(BridgeAddress, BridgeAddress, hex("01 19 33 01")));
        }
    });
    ASSERT_EQ(discover_bridges(), 1);
    EXPECT_EQ(AdapterRecord[0].status_answered, 1);
    EXPECT_EQ(AdapterRecord[0].missed_probes, 1);  // answered: reset, then counted as a pass
    std::vector<SentFrame> sent = take_sent();
    ASSERT_EQ(sent.size(), 2u);  // one discovery request, one parameter request
    EXPECT_EQ(to_hex(Bytes(sent[1].bytes.begin(), sent[1].bytes.begin() + 18)),
              "ff ff ff ff ff ff 02 00 00 00 00 01 88 7b 01 19 0f 00");
}

TEST_F(Discovery, UnansweredParameterProbesClearTheEepromNoteOnTheThirdMissedPass) {
    open_adapters();
    AdapterRecord[0].status_answered = 1;
    AdapterRecord[0].missed_probes = 2;
    probe_parameter_block(0);
    EXPECT_EQ(AdapterRecord[0].status_answered, 1);
    EXPECT_EQ(AdapterRecord[0].missed_probes, 3);
    uint64_t start = clock_now();
    probe_parameter_block(0);
    EXPECT_GE(clock_now() - start, 162u);  // 50 + 54 + 58
    EXPECT_LE(clock_now() - start, 170u);
    EXPECT_EQ(AdapterRecord[0].status_answered, 0);
    EXPECT_EQ(AdapterRecord[0].missed_probes, 0);
}

TEST_F(Discovery, FramesTakenLaterStillPassTheRecognitionRules) {
    open_adapters();
    CurrentAdapter = 0;
    std::memcpy(AdapterRecord[0].bridge_address, BridgeAddress, 6);
    test_wire_land(0, clock_now() + 1,
                   management(BroadcastAddress, OtherAddress, hex("01 1e 05 00")));
    test_wire_land(0, clock_now() + 2,
                   management(AdapterAddress, BridgeAddress, hex("01 19 33 02")));
    Sleep(5);
    uint8_t buffer[RECEIVE_FRAME_SIZE];
    EXPECT_EQ(receive_next_frame(buffer), 1);
    EXPECT_EQ(Bytes(AdapterRecord[0].bridge_address, AdapterRecord[0].bridge_address + 6),
              Bytes(OtherAddress, OtherAddress + 6));
    EXPECT_EQ(receive_next_frame(buffer), 1);
    EXPECT_EQ(AdapterRecord[0].status_answered, 0);  // a RAM block is not the EEPROM block
    EXPECT_EQ(BridgeSeen, 0);
}

TEST(DeviceKindNames, KnownAndUnknownKinds) {
    EXPECT_STREQ(device_kind_name(2), "PLC Device");
    EXPECT_STREQ(device_kind_name(0), "PLC Device");
    EXPECT_STREQ(device_kind_name(5), "Unknown device (kind 5)");
    EXPECT_STREQ(device_kind_name(127), "Unknown device (kind 127)");
}

}  // namespace
