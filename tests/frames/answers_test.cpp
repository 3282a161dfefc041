// Recognising answers by their first entry, with the near misses that must not count.
#include <gtest/gtest.h>

#include "protocol/frames.h"
#include "tests/support/wire_fixture.h"

namespace {

Bytes from_bridge(const Bytes& payload) {
    return management(AdapterAddress, BridgeAddress, payload);
}

Bytes with_type(Bytes frame, uint8_t high, uint8_t low) {
    frame[12] = high;
    frame[13] = low;
    return frame;
}

TEST(Answers, RecognisedByTheirFirstEntry) {
    struct Case {
        const char* name;
        Bytes frame;
        bool probe_reply, parameter_block, bridge_report, identify, station_list, set_key;
    } cases[] = {
        {"probe reply", from_bridge(hex("01 08 00")), true, false, false, false, false, false},
        {"probe reply of another type", with_type(from_bridge(hex("01 08 00")), 0x08, 0x00), false,
         false, false, false, false, false},
        {"EEPROM block", from_bridge(hex("01 19 33 01")), false, true, false, false, false, false},
        {"block entry of length 50", from_bridge(hex("01 19 32 01")), false, false, false, false,
         false, false},
        {"block entry of length 52", from_bridge(hex("01 19 34 01")), false, false, false, false,
         false, false},
        {"report answer 0x02", from_bridge(hex("01 1a bb 02")), false, false, true, false, false,
         false},
        {"report answer 0x81", from_bridge(hex("01 1a bb 81")), false, false, true, false, false,
         false},
        {"report request 0x80", from_bridge(hex("01 1a bb 80")), false, false, false, false, false,
         false},
        {"identify answer", from_bridge(hex("01 16 05 00 ac ff")), false, false, false, true, false,
         false},
        {"identify request", from_bridge(hex("01 16 05 00 cd ff")), false, false, false, false,
         false, false},
        {"station list answer", from_bridge(hex("01 16 05 00 ac 04")), false, false, false, false,
         true, false},
        {"remote key answer", from_bridge(hex("01 16 05 00 ac 02 02")), false, false, false, false,
         false, true},
        {"local key answer", from_bridge(hex("01 16 05 00 ac 02 01")), false, false, false, false,
         false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const uint8_t* f = c.frame.data();
        EXPECT_EQ(is_station_probe_reply(f), c.probe_reply);
        EXPECT_EQ(is_parameter_block_answer(f), c.parameter_block);
        EXPECT_EQ(is_bridge_report_answer(f), c.bridge_report);
        EXPECT_EQ(is_extended_answer(f, ExtendedCommand::ExtendedIdentify), c.identify);
        EXPECT_EQ(is_extended_answer(f, ExtendedCommand::ExtendedStationList), c.station_list);
        EXPECT_EQ(is_extended_set_key_answer(f), c.set_key);
    }
}

}  // namespace
