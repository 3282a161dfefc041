// The key transactions on the test wire in virtual time: the frames they send, what they do to
// ParameterMirror, and how the confirmation and the remote searches treat the answers.
#include "protocol/key_transactions.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "protocol/event_log.h"
#include "tests/protocol/on_the_wire.h"

namespace {

namespace fs = std::filesystem;

const uint8_t DeviceKey[8] = {0x01, 0x02, 0x04, 0x07, 0x08, 0x0B, 0x0D, 0x0E};
const uint8_t NetworkKey[8] = {0x10, 0x13, 0x15, 0x16, 0x19, 0x1A, 0x1C, 0x1F};

// An EEPROM (kind 1) or RAM (kind 2) block answer from the bridge carrying `block`.
Bytes block_answer(uint8_t kind, const uint8_t* block) {
    Bytes f = management(AdapterAddress, BridgeAddress, {0x01, 0x19, 0x33, kind});
    f.resize(PARAMETER_BLOCK_DATA + PARAMETER_BLOCK_SIZE, 0);
    std::memcpy(f.data() + PARAMETER_BLOCK_DATA, block, PARAMETER_BLOCK_SIZE);
    return f;
}

bool is_parameter_request(const SentFrame& f) {
    return f.bytes[FIRST_ENTRY_TYPE] == 0x19 && f.bytes[FIRST_ENTRY_LENGTH] == 0x0F;
}

bool is_probe(const SentFrame& f) {
    return f.bytes[FIRST_ENTRY_TYPE] == 0x07;
}

class KeyTransactions : public OnTheWire {
  protected:
    void SetUp() override {
        OnTheWire::SetUp();
        old_ = fs::current_path();
        dir_ = fs::temp_directory_path() / ("lw-keys-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        fs::current_path(dir_);
        std::memset(ParameterMirror, 0, sizeof ParameterMirror);
        for (int i = 0; i < PARAMETER_BLOCK_SIZE; ++i) {
            ParameterMirror[i] = static_cast<uint8_t>(0x80 + i);
        }
        ParameterMirror[24] = 0x00;
        AdapterRecord[0].status_answered = 1;
        take_sent();
    }
    void TearDown() override {
        OnTheWire::TearDown();
        fs::current_path(old_);
        fs::remove_all(dir_);
    }

    // The bridge answers each EEPROM request with these blocks in turn: "mirror" for what the
    // program's mirror holds at that moment, anything else for a block that differs.
    void bridge_answers(std::vector<std::vector<std::string>> per_request) {
        test_wire_on_send([this, per_request, n = size_t{0}](const SentFrame& f) mutable {
            if (!is_parameter_request(f) || n >= per_request.size()) {
                return;
            }
            uint64_t at = f.time + 20;
            for (const std::string& which : per_request[n]) {
                uint8_t block[PARAMETER_BLOCK_SIZE];
                std::memcpy(block, ParameterMirror, sizeof block);
                if (which != "mirror") {
                    block[40] ^= 0xFF;
                }
                test_wire_land(0, at, block_answer(1, block));
                at += 10;
            }
            ++n;
        });
    }

    // A station answering every probe after `delay` ms.
    void station_answers_probes(const uint8_t* station, uint64_t delay) {
        test_wire_on_send([station, delay](const SentFrame& f) {
            if (is_probe(f)) {
                test_wire_land(0, f.time + delay,
                               management(AdapterAddress, station, hex("01 08 00")));
            }
        });
    }

    std::vector<std::string> log_lines() {
        std::ifstream in(EVENT_LOG_FILE_NAME, std::ios::binary);
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            lines.push_back(line);
        }
        return lines;
    }

    fs::path old_;
    fs::path dir_;
};

TEST_F(KeyTransactions, NetworkKeyToTheLocalBridgeIsSentRecordedAndConfirmed) {
    bridge_answers({{"mirror"}});
    BusyGate = 0;
    uint64_t start = clock_now();
    EXPECT_EQ(set_network_key(0, AdapterAddress, BroadcastAddress, 1, NetworkKey, 1, 1, 0), 1);
    EXPECT_EQ(BusyGate, 0);
    std::vector<SentFrame> sent = take_sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(to_hex(sent[0].bytes),
              to_hex(padded(hex("ff ff ff ff ff ff  02 00 00 00 00 01  88 7b  02 04 09 01"
                                "  10 13 15 16 19 1a 1c 1f  1f 03 d7 00 01 00"),
                            60)));  // 0x97 | 0x40 = 0xd7; the second byte not transient: 0x00
    EXPECT_TRUE(is_parameter_request(sent[1]));
    EXPECT_EQ(sent[1].bytes[FIRST_ENTRY_DATA], 0x00);
    EXPECT_GE(sent[1].time - start, CONFIRMATION_DELAY_MS);
    EXPECT_LT(clock_now() - sent[1].time, 100u);  // the matching block ended it at once
    EXPECT_EQ(ParameterMirror[14], 1);
    EXPECT_EQ(std::memcmp(ParameterMirror + 15, NetworkKey, 8), 0);
    EXPECT_EQ(ParameterMirror[23], 0xD7);
    EXPECT_EQ(ParameterMirror[24], 0x00);
    EXPECT_EQ(ParameterMirror[25], 0x01);
    EXPECT_FALSE(fs::exists(EVENT_LOG_FILE_NAME));
}

TEST_F(KeyTransactions, MirrorEffectsOfTheSwitches) {
    struct Case {
        const char* name;
        const uint8_t* destination;
        uint8_t selector;
        int with_parameters;
        int transient;
        bool key_recorded;     // bytes 14-22 take selector and key
        bool params_recorded;  // bytes 23-25 take the parameters
        uint8_t second_sent;   // the second KeyParameters byte on the wire (two-entry form)
    } cases[] = {
        {"unicast with selector 1", StationAddress, 1, 1, 0, false, true, 0x00},
        {"broadcast with selector 0", BroadcastAddress, 0, 1, 0, false, true, 0x00},
        {"one entry still records the parameters", BroadcastAddress, 1, 0, 0, true, true, 0},
        {"transient leaves the parameters alone", StationAddress, 1, 1, 1, false, false, 0x01},
    };
    AdapterRecord[0].status_answered = 0;  // no confirmation here
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint8_t before[PARAMETER_BLOCK_SIZE];
        std::memcpy(before, ParameterMirror, sizeof before);
        take_sent();
        set_network_key(0, AdapterAddress, c.destination, c.selector, NetworkKey, 1,
                        c.with_parameters, c.transient);
        std::vector<SentFrame> sent = take_sent();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].bytes[FRAME_ENTRY_COUNT], c.with_parameters ? 2 : 1);
        if (c.with_parameters) {
            EXPECT_EQ(sent[0].bytes[29], c.second_sent);
        }
        EXPECT_EQ(std::memcmp(ParameterMirror + 14,
                              c.key_recorded ? ParameterMirror + 14 : before + 14, 9),
                  0);
        if (c.key_recorded) {
            EXPECT_EQ(std::memcmp(ParameterMirror + 15, NetworkKey, 8), 0);
        }
        if (c.params_recorded) {
            EXPECT_EQ(ParameterMirror[23], before[23] | 0x40);
            EXPECT_EQ(ParameterMirror[25], 1);
        } else {
            EXPECT_EQ(std::memcmp(ParameterMirror + 23, before + 23, 3), 0);
        }
        std::memcpy(ParameterMirror, before, sizeof before);
    }
}

TEST_F(KeyTransactions, ConfirmationLogsAMismatchThenStopsAtTheMatch) {
    bridge_answers({{"other", "mirror"}});
    set_network_key(0, AdapterAddress, BroadcastAddress, 1, NetworkKey, 1, 1, 0);
    std::vector<SentFrame> sent = take_sent();
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(), is_parameter_request), 1);
    std::vector<std::string> lines = log_lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(0, 18), "**SETNEK**Retry=0 ");
}

TEST_F(KeyTransactions, ThreeMismatchesAreLoggedWithTheirTryNumbers) {
    bridge_answers({{"other"}, {"other"}, {"other"}});
    uint64_t start = clock_now();
    set_network_key(0, AdapterAddress, BroadcastAddress, 1, NetworkKey, 1, 1, 0);
    EXPECT_GE(clock_now() - start, 1600u);  // 100 ms, then three full windows
    EXPECT_LE(clock_now() - start, 1620u);
    std::vector<std::string> lines = log_lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[1].substr(0, 17), "**SETNEK**Retry=0");
    EXPECT_EQ(lines[3].substr(0, 17), "**SETNEK**Retry=1");
    EXPECT_EQ(lines[5].substr(0, 17), "**SETNEK**Retry=2");
    EXPECT_EQ(BusyGate, 0);
}

TEST_F(KeyTransactions, FindRemoteDeviceIgnoresTheLocalBridge) {
    station_answers_probes(BridgeAddress, 20);
    AdapterRecord[0].status_answered = 0;
    uint8_t found[6] = {};
    EXPECT_EQ(find_remote_device(DeviceKey, NetworkKey, found), 0);
    std::vector<SentFrame> sent = take_sent();
    ASSERT_EQ(sent.size(), 12u);  // three tries of: two key frames, parameters, probe
    EXPECT_EQ(to_hex(sent[0].bytes),
              to_hex(padded(hex("ff ff ff ff ff ff  02 00 00 00 00 01  88 7b  02 04 09 00"
                                "  01 02 04 07 08 0b 0d 0e  1f 03 d7 01 00 00"),
                            60)));
    EXPECT_EQ(to_hex(sent[1].bytes),
              to_hex(padded(hex("ff ff ff ff ff ff  02 00 00 00 00 01  88 7b  01 04 09 01"
                                "  10 13 15 16 19 1a 1c 1f"),
                            60)));
    EXPECT_EQ(
        to_hex(sent[2].bytes),
        to_hex(padded(hex("ff ff ff ff ff ff  02 00 00 00 00 01  88 7b  01 1f 03 d7 01 01"), 60)));
    EXPECT_EQ(to_hex(sent[3].bytes),
              to_hex(padded(hex("ff ff ff ff ff ff  02 00 00 00 00 01  88 7b  01 07 00 00"), 60)));
}

TEST_F(KeyTransactions, FindRemoteDeviceTakesTheFirstOtherStation) {
    station_answers_probes(StationAddress, 30);
    AdapterRecord[0].status_answered = 0;
    uint8_t found[6] = {};
    EXPECT_EQ(find_remote_device(DeviceKey, NetworkKey, found), 1);
    EXPECT_EQ(Bytes(found, found + 6), Bytes(StationAddress, StationAddress + 6));
    EXPECT_EQ(take_sent().size(), 4u);  // one try
}

TEST_F(KeyTransactions, SetRemoteKeyWaitsForTheDeviceItself) {
    AdapterRecord[0].status_answered = 0;
    test_wire_on_send([](const SentFrame& f) {
        if (is_probe(f)) {
            test_wire_land(0, f.time + 10,
                           management(AdapterAddress, OtherAddress, hex("01 08 00")));
            test_wire_land(0, f.time + 40,
                           management(AdapterAddress, StationAddress, hex("01 08 00")));
        }
    });
    EXPECT_EQ(set_remote_key(DeviceKey, NetworkKey, StationAddress), 1);
    std::vector<SentFrame> sent = take_sent();
    ASSERT_EQ(sent.size(), 4u);
    // The network key and the probe go to the device alone.
    EXPECT_EQ(Bytes(sent[1].bytes.begin(), sent[1].bytes.begin() + 6),
              Bytes(StationAddress, StationAddress + 6));
    EXPECT_EQ(Bytes(sent[3].bytes.begin(), sent[3].bytes.begin() + 6),
              Bytes(StationAddress, StationAddress + 6));
    EXPECT_EQ(ParameterMirror[14], 0x80 + 14);  // transient and unicast: the mirror is untouched
}

TEST_F(KeyTransactions, RestoreBridgeKeysPutsBothKeysBack) {
    AdapterRecord[0].status_answered = 0;
    EXPECT_EQ(restore_bridge_keys(DeviceKey, NetworkKey), 1);
    std::vector<SentFrame> sent = take_sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].bytes[17], 0x00);
    EXPECT_EQ(sent[0].bytes[29], 0x01);  // transient
    EXPECT_EQ(sent[1].bytes[17], 0x01);
    EXPECT_EQ(sent[1].bytes[29], 0x00);
    EXPECT_EQ(ParameterMirror[25], 0x01);
    EXPECT_EQ(std::memcmp(ParameterMirror + 15, NetworkKey, 8), 0);
}

TEST_F(KeyTransactions, ExtendedRemoteDeviceAnswersTheRemoteKeyRequest) {
    test_wire_on_send([](const SentFrame& f) {
        if (f.bytes[FIRST_ENTRY_TYPE] == 0x16 && f.bytes[20] == 0x02) {
            Bytes local = management(AdapterAddress, BridgeAddress, hex("01 16 05 00 ac 02 01"));
            test_wire_land(0, f.time + 5, local);  // mode 1: not the answer
            test_wire_land(0, f.time + 60,
                           management(AdapterAddress, StationAddress, hex("01 16 05 00 ac 02 02")));
        }
    });
    uint8_t found[6] = {};
    uint64_t start = clock_now();
    EXPECT_EQ(extended_find_remote_device(DeviceKey, NetworkKey, found), 1);
    EXPECT_EQ(Bytes(found, found + 6), Bytes(StationAddress, StationAddress + 6));
    std::vector<SentFrame> sent = take_sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].bytes[20], 0x01);  // the local bridge takes the network key first
    EXPECT_EQ(std::memcmp(sent[0].bytes.data() + 22, NetworkKey, 8), 0);
    EXPECT_EQ(sent[1].time - start, 100u);
    EXPECT_EQ(std::memcmp(sent[1].bytes.data() + 22, NetworkKey, 8), 0);  // key A
    EXPECT_EQ(std::memcmp(sent[1].bytes.data() + 31, DeviceKey, 8), 0);   // key B
}

TEST_F(KeyTransactions, BusyWaitSpinsForItsTime) {
    uint64_t start = clock_now();
    busy_wait(100);
    EXPECT_GE(clock_now() - start, 100u);
    EXPECT_LE(clock_now() - start, 101u);
}

}  // namespace
