// Every request exactly as it goes on the wire, written out by hand from the frame tables.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "app/state.h"
#include "protocol/frames.h"
#include "tests/support/wire_fixture.h"

namespace {

const uint8_t KeyA[8] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
const uint8_t KeyB[8] = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80};

struct BuilderCase {
    const char* name;
    std::function<int()> send;
    const char* frame;  // as it leaves the adapter, after padding
};

class Builders : public WireTest {};

TEST_F(Builders, EveryRequestByteForByte) {
    open_adapters();
    const uint8_t* own = AdapterRecord[0].address;
    std::memcpy(AdapterSettings[0].adapter_address, own, 6);
    const BuilderCase cases[] = {
        {"station probe", [&] { return send_station_probe(0, own, StationAddress); },
         "00 b0 52 00 00 02  02 00 00 00 00 01  88 7b  01 07 00 00"},
        {"bridge report request",
         [&] { return send_bridge_report_request(0, own, BroadcastAddress); },
         "ff ff ff ff ff ff  02 00 00 00 00 01  88 7b  01 1a bb 80"},
        {"EEPROM parameter request",
         [&] { return send_parameter_request(0, own, BroadcastAddress, 0x00); },
         "ff ff ff ff ff ff  02 00 00 00 00 01  88 7b  01 19 0f 00"},
        {"RAM parameter request",
         [&] { return send_parameter_request(0, own, BroadcastAddress, 0x10); },
         "ff ff ff ff ff ff  02 00 00 00 00 01  88 7b  01 19 0f 10"},
        {"key parameters",
         [&] { return send_key_parameters(0, own, BroadcastAddress, 0x41, 0x02, 0x01); },
         "ff ff ff ff ff ff  02 00 00 00 00 01  88 7b  01 1f 03 41 02 01"},
        {"extended identify", [&] { return send_extended_identify(0); },
         "ff ff ff ff ff ff  02 00 00 00 00 01  88 7b  01 16 05 00 cd ff 01 cc"},
        {"extended station list", [&] { return send_extended_station_list_request(0); },
         "ff ff ff ff ff ff  02 00 00 00 00 01  88 7b  01 16 05 00 cd 04 00 d1"},
        // 0xcd + 0x02 + 0x01 + 0x01 + (1 + 2 + ... + 8) = 0xf5
        {"extended set key (local)",
         [&] { return send_extended_set_key(0, own, BroadcastAddress, KeyA); },
         "ff ff ff ff ff ff  02 00 00 00 00 01  88 7b  01 16 0f 00 cd 02 01 01"
         "  01 02 03 04 05 06 07 08  00 f5"},
        // 0xcd + 0x02 + 0x02 + 0x01 + 0x24 + 0x00 + 0x240 = 0x336
        {"extended remote key",
         [&] { return send_extended_remote_key(0, own, StationAddress, KeyA, KeyB); },
         "00 b0 52 00 00 02  02 00 00 00 00 01  88 7b  01 16 0f 00 cd 02 02 01"
         "  01 02 03 04 05 06 07 08  00  10 20 30 40 50 60 70 80  03 36 00"},
        {"broadcast probe from the settings address", [] { return probe_stations_broadcast(); },
         "ff ff ff ff ff ff  02 00 00 00 00 01  88 7b  01 07 00 00"},
    };
    for (const BuilderCase& c : cases) {
        SCOPED_TRACE(c.name);
        take_sent();
        EXPECT_EQ(c.send(), 1);
        std::vector<SentFrame> sent = take_sent();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(to_hex(sent[0].bytes), to_hex(padded(hex(c.frame), 60)));
    }
}

TEST(SetNetworkKey, OneAndTwoEntryForms) {
    uint8_t frame[SET_NETWORK_KEY_LENGTH];
    std::memset(frame, 0xEE, sizeof frame);
    build_set_network_key(frame, AdapterAddress, BroadcastAddress, 0x01, KeyA, 0, 0x41, 0x02, 0x01);
    EXPECT_EQ(to_hex(Bytes(frame, frame + 32)),
              to_hex(hex("ff ff ff ff ff ff  02 00 00 00 00 01  88 7b  01 04 09 01"
                         "  01 02 03 04 05 06 07 08  00 00 00 00 00 00")));
    build_set_network_key(frame, AdapterAddress, StationAddress, 0x00, KeyB, 1, 0x41, 0x03, 0x01);
    EXPECT_EQ(to_hex(Bytes(frame, frame + 32)),
              to_hex(hex("00 b0 52 00 00 02  02 00 00 00 00 01  88 7b  02 04 09 00"
                         "  10 20 30 40 50 60 70 80  1f 03 41 03 01 00")));
}

TEST(CheckSum, WrapsAtSixteenBits) {
    std::vector<uint8_t> many(300, 0xFF);  // 300 * 255 = 76500 = 0x12AD4
    EXPECT_EQ(check_sum(many.data(), many.size()), 0x2AD4);
    const uint8_t identify[] = {0xCD, 0xFF};
    EXPECT_EQ(check_sum(identify, 2), 0x01CC);
}

TEST_F(Builders, ParameterRequestOnlyWithAKnownBridge) {
    open_adapters();
    CurrentAdapter = 0;
    AdapterRecord[0].bridge_present = 0;
    AdapterRecord[0].device_kind = 2;
    EXPECT_EQ(request_parameter_block(0x10), 1);
    AdapterRecord[0].bridge_present = 1;
    AdapterRecord[0].device_kind = 0;
    EXPECT_EQ(request_parameter_block(0x10), 1);
    EXPECT_TRUE(take_sent().empty());
    AdapterRecord[0].device_kind = 2;
    request_parameter_block(0x10);
    std::vector<SentFrame> sent = take_sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].bytes[17], 0x10);
}

TEST_F(Builders, KnownStationsAreProbedInTableOrderSkippingGaps) {
    open_adapters();
    CurrentAdapter = 0;
    StationEntry* stations = AdapterSettings[0].stations;
    stations[0].in_use = 1;
    std::memcpy(stations[0].address, StationAddress, 6);
    stations[2].in_use = 1;
    std::memcpy(stations[2].address, OtherAddress, 6);
    std::memcpy(stations[1].address, BridgeAddress, 6);  // not in use
    probe_known_stations();
    std::vector<SentFrame> sent = take_sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(Bytes(sent[0].bytes.begin(), sent[0].bytes.begin() + 6),
              Bytes(StationAddress, StationAddress + 6));
    EXPECT_EQ(Bytes(sent[1].bytes.begin(), sent[1].bytes.begin() + 6),
              Bytes(OtherAddress, OtherAddress + 6));
    EXPECT_EQ(Bytes(sent[1].bytes.begin() + 6, sent[1].bytes.begin() + 12),
              Bytes(AdapterAddress, AdapterAddress + 6));
}

}  // namespace
