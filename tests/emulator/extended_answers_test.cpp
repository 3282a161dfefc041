// The answers of extended-family bridges: identify, station list with its clock stamps and
// rate classes, memory and block reads, and the two ExtendedSetKey modes.
#include "tests/emulator/emulated_network.h"

namespace {

const char* const Turbo = R"({
  "adapters": [{"name": "plc0", "address": "02:50:43:00:00:01"}],
  "bridges": [
    {"address": "02:a0:00:00:11:01", "adapter": "plc0", "family": "extended", "kind": 3,
     "firmware": "FW TEST 1.0", "device_info": "11 22 33 44", "clock_start": 65530,
     "clock_unit_ms": 1000, "age_limit": 30},
    {"address": "02:a0:00:00:12:01", "family": "extended", "device_password": "TURBO-1201",
     "rate_class": 4, "rate_flag": true},
    {"address": "02:a0:00:00:12:02", "device_password": "STD-1202", "rate_class": 2,
     "rate_flag": false},
    {"address": "02:a0:00:00:12:03", "present": false, "heard_ago": 10, "rate_class": 5,
     "rate_flag": false},
    {"address": "02:a0:00:00:12:04", "present": false},
    {"address": "02:a0:00:00:12:05", "network_password": "Elsewhere"}
  ]
})";

const EmuMac Adapter = mac("02:50:43:00:00:01");
const EmuMac Local = mac("02:a0:00:00:11:01");
const EmuMac Turbo1 = mac("02:a0:00:00:12:01");
const EmuMac Standard2 = mac("02:a0:00:00:12:02");
const EmuMac Left3 = mac("02:a0:00:00:12:03");
const EmuKey NewKey = {0x13, 0x25, 0x37, 0x49, 0x5b, 0x6d, 0x7f, 0x80};

struct Record {
    EmuMac address;
    uint16_t stamp;
    uint8_t rate_a, rate_b;
    bool operator==(const Record&) const = default;
};

// Unpacks an ExtendedStationList answer the way the station table reads it: the first payload
// byte counts the entries to take; each entry gives its data after marker and command, without
// the check sum; the records then follow one another by their length bytes.
std::vector<Record> unpack(const Bytes& f) {
    Bytes buffer;
    size_t count = f[20];
    size_t p = 15;
    for (size_t taken = 0; taken < count && p + 1 < f.size(); ++taken) {
        size_t length = f[p + 1];
        if (length > 5) {
            for (size_t i = p + 5; i <= p + length - 1 && i < f.size(); ++i) {
                buffer.push_back(f[i]);
            }
            p += length + 2;
        } else {
            p += 7;
        }
    }
    std::vector<Record> records;
    for (size_t at = 0; at + 24 <= buffer.size() && buffer[at] != 0; at += buffer[at]) {
        records.push_back({mac_at(buffer, at + 2), uint16_t(buffer[at + 8] | buffer[at + 9] << 8),
                           buffer[at + 22], buffer[at + 23]});
    }
    return records;
}

class Extended : public EmulatedNetwork {
  protected:
    void SetUp() override {
        EmulatedNetwork::SetUp();
        load(Turbo);
    }

    Bytes only_answer(const Bytes& request) {
        std::vector<Bytes> answers = ask(request);
        EXPECT_EQ(answers.size(), 1u);
        return answers.empty() ? Bytes(60, 0) : answers[0];
    }

    uint16_t memory(uint32_t location, uint8_t width) {
        Bytes f = only_answer(memory_read(Adapter, location, width));
        EXPECT_EQ(bytes_at(f, 15, 1), Bytes{0x15});
        EXPECT_EQ(f[18], 0xCC);
        EXPECT_EQ(bytes_at(f, 19, 4), (Bytes{uint8_t(location >> 16), uint8_t(location >> 8),
                                             uint8_t(location), width}));
        return width == 1 ? f[23] : uint16_t(f[23] | f[24] << 8);
    }
};

TEST_F(Extended, IdentifyIsAnsweredWithMarkerAndCommand) {
    Bytes f = only_answer(extended_command(Adapter, 0xFF));
    EXPECT_EQ(mac_at(f, 0), Adapter);
    EXPECT_EQ(mac_at(f, 6), Local);
    EXPECT_EQ(bytes_at(f, 12, 8), (Bytes{0x88, 0x7B, 0x01, 0x16, 0x05, 0x00, 0xAC, 0xFF}));
    EXPECT_EQ(bytes_at(f, 20, 2), (Bytes{0x01, 0xAB}));  // 0xAC + 0xFF
}

TEST_F(Extended, StationListCarriesStampsAndRateClassesOfTheStationsHeard) {
    run_for(5000);  // the station clock reads 65535
    Bytes f = only_answer(extended_command(Adapter, 0x04));
    EXPECT_EQ(bytes_at(f, 15, 5), (Bytes{0x16, 29, 0x00, 0xAC, 0x04}));
    EXPECT_GE(f[20], f[14]);  // the count to unpack covers every entry
    // Heard now: stamp 65535. Left 10 counts before the load: 65520. Never heard: absent.
    std::vector<Record> expected = {
        {Turbo1, 65535, 0x80, 0x80},     // class 4, flag 1: 31.4
        {Standard2, 65535, 0x20, 0x00},  // class 2, flag 0: 9.0
        {Left3, 65520, 0x10, 0x80},      // class 5: 47.1
    };
    EXPECT_EQ(unpack(f), expected);
}

TEST_F(Extended, StationsNoLongerHeardKeepTheStampOfTheirLastHearing) {
    run_for(2000);
    ask(extended_set_key(Adapter, NewKey));  // cuts the bridge off at clock 65532
    run_for(7000);                           // clock wraps to 3
    EXPECT_EQ(memory(0x00CE1C, 2), 3u);
    std::vector<Record> records = unpack(only_answer(extended_command(Adapter, 0x04)));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].stamp, 65532u);
    EXPECT_EQ(records[1].stamp, 65532u);
    EXPECT_EQ(records[2].stamp, 65520u);
}

TEST_F(Extended, AnEmptyListUnpacksNothing) {
    emulator_unload();
    load(R"({"adapters": [{"name": "plc0", "address": "02:50:43:00:00:01"}],
             "bridges": [{"address": "02:a0:00:00:11:01", "adapter": "plc0",
                          "family": "extended"}]})");
    Bytes f = only_answer(extended_command(Adapter, 0x04));
    EXPECT_EQ(f[19], 0x04);
    EXPECT_EQ(f[20], 0x00);
}

TEST_F(Extended, ClockAndAgeLimitAreReadFromMemory) {
    EXPECT_EQ(memory(0x00CE1C, 2), 65530u);
    run_for(7400);
    EXPECT_EQ(memory(0x00CE1C, 2), 1u);  // wrapped
    EXPECT_EQ(memory(0x00CE1C, 1), 1u);
    EXPECT_EQ(memory(0x00CE1E, 1), 30u);
}

TEST_F(Extended, BlockReadsGiveDeviceInformationAndFirmwareText) {
    Bytes info = only_answer(block_read(Adapter, 0x008088, 40));
    EXPECT_EQ(bytes_at(info, 15, 1), Bytes{0x13});
    EXPECT_EQ(bytes_at(info, 17, 4), (Bytes{0x00, 0x01, 0x01, 40}));
    ASSERT_GE(info.size(), 61u);
    Bytes expected_info(40, 0);
    expected_info[0] = 0x11, expected_info[1] = 0x22, expected_info[2] = 0x33;
    expected_info[3] = 0x44;
    EXPECT_EQ(bytes_at(info, 21, 40), expected_info);

    Bytes firmware = only_answer(block_read(Adapter, 0x00FFE0, 40));
    ASSERT_GE(firmware.size(), 61u);
    std::string text = "FW TEST 1.0";
    Bytes expected_text(text.begin(), text.end());
    expected_text.resize(40, 0);
    EXPECT_EQ(bytes_at(firmware, 21, 40), expected_text);
}

TEST_F(Extended, RequestsWithAWrongCheckSumOrMarkerAreIgnored) {
    Bytes identify = extended_command(Adapter, 0xFF);
    identify[21] ^= 1;
    Bytes list = extended_command(Adapter, 0x04);
    list[18] = 0xAC;  // an answer's marker
    Bytes memory = memory_read(Adapter, 0x00CE1C, 2);
    memory[24] ^= 1;
    Bytes block = block_read(Adapter, 0x008088, 40);
    block[23] ^= 1;
    Bytes set_key = extended_set_key(Adapter, NewKey);
    set_key[31] ^= 1;
    Bytes remote = extended_remote_key(Adapter, NewKey, NewKey);
    remote[39] ^= 1;
    for (const Bytes& frame : {identify, list, memory, block, set_key, remote}) {
        EXPECT_TRUE(ask(frame).empty());
    }
    EmuKey key;
    emulator_bridge_keys(Local, &key, nullptr);
    EXPECT_NE(key, NewKey);
}

TEST_F(Extended, SetKeyOnTheLocalBridge) {
    Bytes ack = only_answer(extended_set_key(Adapter, NewKey));
    EXPECT_EQ(bytes_at(ack, 15, 6), (Bytes{0x16, 0x07, 0x00, 0xAC, 0x02, 0x01}));
    EmuKey key;
    emulator_bridge_keys(Local, &key, nullptr);
    EXPECT_EQ(key, NewKey);
    std::array<uint8_t, 50> eeprom;
    emulator_bridge_block(Local, 1, &eeprom);
    EXPECT_TRUE(std::equal(NewKey.begin(), NewKey.end(), eeprom.begin() + 15));
}

TEST_F(Extended, SetKeyOnARemoteDeviceReachesItByItsDeviceKey) {
    EmuKey turbo_device_key, standard_device_key, key;
    emulator_bridge_keys(Turbo1, nullptr, &turbo_device_key);
    emulator_bridge_keys(Standard2, nullptr, &standard_device_key);

    std::vector<Bytes> answers = ask(extended_remote_key(Adapter, NewKey, turbo_device_key));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(mac_at(answers[0], 0), Adapter);
    EXPECT_EQ(mac_at(answers[0], 6), Turbo1);  // the device answers, not the bridge
    EXPECT_EQ(bytes_at(answers[0], 15, 6), (Bytes{0x16, 0x07, 0x00, 0xAC, 0x02, 0x02}));
    emulator_bridge_keys(Turbo1, &key, nullptr);
    EXPECT_EQ(key, NewKey);

    // A standard device takes the key but cannot answer in the extended set.
    EXPECT_TRUE(ask(extended_remote_key(Adapter, NewKey, standard_device_key)).empty());
    emulator_bridge_keys(Standard2, &key, nullptr);
    EXPECT_EQ(key, NewKey);
}

}  // namespace
