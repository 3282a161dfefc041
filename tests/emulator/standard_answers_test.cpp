// The answers of standard bridges, checked byte by byte against the answer tables: discovery,
// probes, parameter blocks, and the key requests with their effect on who hears whom.
#include "tests/emulator/emulated_network.h"

namespace {

const char* const Home = R"({
  "adapters": [{"name": "plc0", "address": "02:50:43:00:00:01"}],
  "bridges": [
    {"address": "02:a0:00:00:01:01", "adapter": "plc0", "kind": 2,
     "device_password": "LOCAL-0101"},
    {"address": "02:a0:00:00:02:01", "device_password": "KITCHEN-0201", "rate": 1000},
    {"address": "02:a0:00:00:02:02", "device_password": "GARAGE-0202", "rate": 90,
     "report_group_bit": true},
    {"address": "02:a0:00:00:02:03", "device_password": "ATTIC-0203",
     "network_password": "OtherNet"}
  ],
  "links": [{"between": ["02:a0:00:00:02:02", "02:a0:00:00:01:01"], "rate": 77}]
})";

const EmuMac Adapter = mac("02:50:43:00:00:01");
const EmuMac Local = mac("02:a0:00:00:01:01");
const EmuMac Kitchen = mac("02:a0:00:00:02:01");
const EmuMac Garage = mac("02:a0:00:00:02:02");
const EmuMac Attic = mac("02:a0:00:00:02:03");

// Keys computed independently (PBKDF1-MD5, the powerline salt, 1000 rounds, odd parity).
const EmuKey WindLarkKey = {0x31, 0xbf, 0x45, 0x5d, 0x31, 0xd6, 0x3e, 0x3e};
const EmuKey LocalDeviceKey = {0x02, 0xf4, 0x89, 0xe0, 0xae, 0x86, 0x40, 0x08};
const EmuKey NewKey = {0x13, 0x25, 0x37, 0x49, 0x5b, 0x6d, 0x7f, 0x80};

class Standard : public EmulatedNetwork {
  protected:
    void SetUp() override {
        EmulatedNetwork::SetUp();
        load(Home);
    }

    std::vector<EmuMac> probe_repliers(const EmuMac& destination) {
        std::vector<EmuMac> from;
        for (const Bytes& f : ask(station_probe(Adapter, destination))) {
            EXPECT_EQ(f[15], 0x08);
            EXPECT_EQ(mac_at(f, 0), Adapter);
            from.push_back(mac_at(f, 6));
        }
        return from;
    }

    // The report's station records that hold an address, with their rate values.
    std::vector<std::pair<EmuMac, uint16_t>> report_records() {
        std::vector<Bytes> answers = ask(bridge_report_request(Adapter));
        EXPECT_EQ(answers.size(), 1u);
        std::vector<std::pair<EmuMac, uint16_t>> records;
        for (int k = 0; k < 15 && !answers.empty(); ++k) {
            size_t at = 24 + 12 * k;
            if (mac_at(answers[0], at) != EmuMac{}) {
                records.push_back({mac_at(answers[0], at),
                                   uint16_t(answers[0][at + 6] | (answers[0][at + 7] << 8))});
            }
        }
        return records;
    }

    Bytes eeprom_answer() {
        std::vector<Bytes> answers = ask(parameter_request(Adapter, 0x00));
        return answers.size() == 1 ? answers[0] : Bytes{};
    }
};

TEST_F(Standard, ReportRequestIsAnsweredToTheAdapterWithKindAndStationRecords) {
    for (size_t length : {38u, 204u}) {
        std::vector<Bytes> answers = ask(bridge_report_request(Adapter, length));
        ASSERT_EQ(answers.size(), 1u) << length;
        const Bytes& f = answers[0];
        ASSERT_GE(f.size(), 24u + 15 * 12);
        EXPECT_EQ(mac_at(f, 0), Adapter);
        EXPECT_EQ(mac_at(f, 6), Local);
        EXPECT_EQ(bytes_at(f, 12, 4), (Bytes{0x88, 0x7B, 0x01, 0x1A}));
        EXPECT_EQ(f[17], 0x02);  // kind 2, bit 7 clear: an answer
    }
    // Only stations on the bridge's key, the garage with bit 0 of its first byte set and the
    // rate of its link entry; unused records are zero.
    auto records = report_records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], std::make_pair(Kitchen, uint16_t{1000}));
    EXPECT_EQ(records[1], std::make_pair(mac("03:a0:00:00:02:02"), uint16_t{77}));
}

TEST_F(Standard, ReportRequestFromTheBridgesOwnAddressComesBackToTheBridgeItself) {
    std::vector<Bytes> answers = ask(bridge_report_request(Local, 204));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(mac_at(answers[0], 0), Local);
    EXPECT_EQ(mac_at(answers[0], 6), Local);
}

TEST_F(Standard, FramesItDoesNotKnowAreIgnored) {
    Bytes report_answer = bridge_report_request(Adapter);
    report_answer[17] = 0x02;
    Bytes unknown_entry = station_probe(Adapter, Broadcast);
    unknown_entry[15] = 0x42;
    Bytes other_type = station_probe(Adapter, Broadcast);
    other_type[13] = 0x00;
    Bytes short_frame = bridge_report_request(Adapter);
    short_frame.resize(17);
    Bytes odd_selector = parameter_request(Adapter, 0x05);
    Bytes parameter_answer = parameter_request(Adapter, 0x00);
    parameter_answer[16] = 0x33;
    const Bytes cases[] = {report_answer,
                           unknown_entry,
                           other_type,
                           short_frame,
                           odd_selector,
                           parameter_answer,
                           extended_command(Adapter, 0xFF),
                           memory_read(Adapter, 0xCE1C, 2)};
    for (const Bytes& frame : cases) {
        EXPECT_TRUE(ask(frame).empty());
    }
}

TEST_F(Standard, StationProbesAreAnsweredByTheStationsInReach) {
    struct Case {
        EmuMac destination;
        std::vector<EmuMac> repliers;
    } cases[] = {
        {Broadcast, {Local, Kitchen, Garage}},  // Attic is on another key
        {Kitchen, {Kitchen}},
        {Local, {Local}},
        {Attic, {}},
        {mac("02:00:00:00:00:99"), {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(probe_repliers(c.destination), c.repliers) << text(c.destination);
    }
    std::vector<Bytes> replies = ask(station_probe(Adapter, Kitchen));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].size(), 60u);  // padded to the Ethernet minimum, no more
}

TEST_F(Standard, ParameterBlocksCarryTheirKindAndTheKeys) {
    Bytes expected_block(50, 0);
    std::copy(Local.begin(), Local.end(), expected_block.begin());
    std::copy(LocalDeviceKey.begin(), LocalDeviceKey.end(), expected_block.begin() + 6);
    expected_block[14] = 1;
    std::copy(WindLarkKey.begin(), WindLarkKey.end(), expected_block.begin() + 15);
    expected_block[23] = 0x40;
    expected_block[25] = 0x01;
    for (auto [selector, kind] : {std::pair{0x00, 1}, std::pair{0x10, 2}}) {
        std::vector<Bytes> answers = ask(parameter_request(Adapter, uint8_t(selector)));
        ASSERT_EQ(answers.size(), 1u);
        const Bytes& f = answers[0];
        ASSERT_GE(f.size(), 68u);
        EXPECT_EQ(mac_at(f, 0), Adapter);
        EXPECT_EQ(bytes_at(f, 14, 4), (Bytes{0x01, 0x19, 0x33, uint8_t(kind)}));
        EXPECT_EQ(bytes_at(f, 18, 50), expected_block);
    }
}

TEST_F(Standard, NetworkKeyOnTheLocalBridgeShowsInItsEepromBlockAndCutsTheStationsOff) {
    const uint8_t parameters[3] = {0x40, 0x00, 0x01};
    ask(set_network_key(Adapter, Broadcast, 1, NewKey, parameters));
    Bytes block = bytes_at(eeprom_answer(), 18, 50);
    EXPECT_EQ(block[14], 1);
    EXPECT_EQ(bytes_at(block, 15, 8), Bytes(NewKey.begin(), NewKey.end()));
    EXPECT_EQ(bytes_at(block, 23, 3), (Bytes{0x40, 0x00, 0x01}));
    EXPECT_EQ(bytes_at(block, 6, 8), Bytes(LocalDeviceKey.begin(), LocalDeviceKey.end()));
    EXPECT_TRUE(report_records().empty());
    EXPECT_EQ(probe_repliers(Broadcast), std::vector<EmuMac>{Local});
    // Setting it on a unicast address of another station leaves the bridge alone.
    ask(set_network_key(Adapter, Kitchen, 1, WindLarkKey));
    EmuKey key;
    emulator_bridge_keys(Local, &key, nullptr);
    EXPECT_EQ(key, NewKey);
}

TEST_F(Standard, TransientKeyParametersStayOutOfTheEepromBlock) {
    ask(key_parameters(Adapter, 0x41, 0x03, 0x07));
    std::array<uint8_t, 50> eeprom, ram;
    emulator_bridge_block(Local, 1, &eeprom);
    emulator_bridge_block(Local, 2, &ram);
    EXPECT_EQ(bytes_at(Bytes(eeprom.begin(), eeprom.end()), 23, 3), (Bytes{0x40, 0x00, 0x01}));
    EXPECT_EQ(bytes_at(Bytes(ram.begin(), ram.end()), 23, 3), (Bytes{0x41, 0x03, 0x07}));
    ask(key_parameters(Adapter, 0x42, 0x02, 0x01));
    emulator_bridge_block(Local, 1, &eeprom);
    EXPECT_EQ(bytes_at(Bytes(eeprom.begin(), eeprom.end()), 23, 3), (Bytes{0x42, 0x02, 0x01}));
}

// The search for a remote device: its device key under selector 0 (transient), then a new
// network key to broadcast, which the bridge and the device reached by that key both take.
TEST_F(Standard, ARemoteDeviceIsFoundThroughItsDeviceKey) {
    EmuKey kitchen_device_key;
    emulator_bridge_keys(Kitchen, nullptr, &kitchen_device_key);
    const uint8_t transient[3] = {0x40, 0x01, 0x00};
    ask(set_network_key(Adapter, Broadcast, 0, kitchen_device_key, transient));
    ask(set_network_key(Adapter, Broadcast, 1, NewKey));
    ask(key_parameters(Adapter, 0x40, 0x01, 0x01));
    EXPECT_EQ(probe_repliers(Broadcast), (std::vector<EmuMac>{Local, Kitchen}));

    Bytes block = bytes_at(eeprom_answer(), 18, 50);
    EXPECT_EQ(bytes_at(block, 15, 8), Bytes(NewKey.begin(), NewKey.end()));
    EXPECT_EQ(bytes_at(block, 6, 8), Bytes(LocalDeviceKey.begin(), LocalDeviceKey.end()));
    std::array<uint8_t, 50> ram;
    emulator_bridge_block(Local, 2, &ram);
    EXPECT_EQ(bytes_at(Bytes(ram.begin(), ram.end()), 6, 8),
              Bytes(kitchen_device_key.begin(), kitchen_device_key.end()));
}

// Setting the key on one remote device: the bridge keeps its key and reaches the device under
// selector 0 with a request addressed to the device alone.
TEST_F(Standard, AKeySetOnOneRemoteDeviceBringsItBack) {
    ask(set_network_key(Adapter, Broadcast, 1, NewKey));
    EXPECT_EQ(probe_repliers(Broadcast), std::vector<EmuMac>{Local});

    EmuKey garage_device_key;
    emulator_bridge_keys(Garage, nullptr, &garage_device_key);
    const uint8_t transient[3] = {0x40, 0x01, 0x00};
    ask(set_network_key(Adapter, Broadcast, 0, garage_device_key, transient));
    ask(set_network_key(Adapter, Garage, 1, NewKey));
    EXPECT_EQ(probe_repliers(Garage), std::vector<EmuMac>{Garage});
    EXPECT_EQ(probe_repliers(Broadcast), (std::vector<EmuMac>{Local, Garage}));
    // A device whose device key the bridge does not hold is out of reach.
    ask(set_network_key(Adapter, Kitchen, 1, NewKey));
    EXPECT_EQ(probe_repliers(Kitchen), std::vector<EmuMac>{});
}

}  // namespace
