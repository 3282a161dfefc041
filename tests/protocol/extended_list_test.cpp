// The station list of an extended bridge: unpacking its answers, and filling the table from
// the unpacked records with their ages and rate classes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "on_the_wire.h"
#include "protocol/stations.h"

namespace {

// A record of `size` bytes: `first`, then `fill`.
Bytes record(uint8_t first, uint8_t fill, size_t size = 24) {
    Bytes r(size, fill);
    r[0] = first;
    return r;
}

// One answer entry: type, length, 0x00, marker, command, the record, two check-sum bytes.
Bytes list_entry(const Bytes& r) {
    Bytes e = {0x16, static_cast<uint8_t>(r.size() + 5), 0x00, 0xAC, 0x04};
    e.insert(e.end(), r.begin(), r.end());
    e.insert(e.end(), {0x5A, 0xA5});
    return e;
}

// A station-list answer holding `entries` back to back; its byte 20, the first record's first
// byte, is the count of entries to unpack. Padded to 60 bytes, or cut to `length`.
Bytes list_answer(const std::vector<Bytes>& entries, size_t length = 0) {
    Bytes f = management_frame(BridgeAddress, 0x16);
    f.resize(FIRST_ENTRY_TYPE);
    f[FRAME_ENTRY_COUNT] = static_cast<uint8_t>(entries.size());
    for (const Bytes& e : entries) {
        f.insert(f.end(), e.begin(), e.end());
    }
    f.resize(length != 0 ? length : std::max<size_t>(f.size(), 60), 0);
    return f;
}

Bytes records_now(size_t from, size_t to) {
    return Bytes(ExtendedStationRecords + from, ExtendedStationRecords + to);
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

class ExtendedList : public OnTheWire {
  protected:
    void SetUp() override {
        OnTheWire::SetUp();
        std::memset(ExtendedStationRecords, 0xEE, sizeof ExtendedStationRecords);
    }

    // Lands the frames at the given delays, then listens as the monitor does.
    int listen(const std::vector<std::pair<uint64_t, Bytes>>& arrivals) {
        uint64_t start = clock_now();
        for (const auto& [delay, frame] : arrivals) {
            test_wire_land(0, start + delay, frame);
        }
        return receive_extended_station_list();
    }
};

TEST_F(ExtendedList, AnswerIsUnpackedRecordByRecordWithoutHeadersAndCheckSums) {
    Bytes r1 = record(3, 0x11), r2 = record(0x18, 0x22, 30), r3 = record(0x18, 0x33);
    Bytes identify = list_answer({list_entry(record(9, 0x99))});
    identify[19] = 0xFF;  // another command's answer: dropped
    Bytes request = list_answer({list_entry(record(9, 0x99))});
    request[18] = 0xCD;  // a request, not an answer: dropped
    EXPECT_EQ(listen({{50, identify},
                      {60, request},
                      {100, list_answer({list_entry(r1), list_entry(r2), list_entry(r3)})}}),
              1);
    Bytes expected = concat({r1, r2, r3});
    EXPECT_EQ(records_now(0, expected.size()), expected);
    EXPECT_EQ(records_now(expected.size(), 768), Bytes(768 - expected.size(), 0xEE))
        << "never cleared beyond what the answer wrote";
}

TEST_F(ExtendedList, LaterAnswerCountsAgainstTheEntriesAlreadyUnpacked) {
    Bytes a1 = record(2, 0x11), a2 = record(0x18, 0x12);
    Bytes b1 = record(0, 0x21), b2 = record(0x18, 0x22), b3 = record(0x18, 0x23);
    const struct {
        const char* what;
        uint8_t second_count;
        bool unpacked;
    } cases[] = {
        {"not greater: taken, nothing unpacked", 2, false},
        {"smaller: taken, nothing unpacked", 1, false},
        // Two more entries than already unpacked: its first two, from the buffer's start.
        {"greater: its first new-count entries", 4, true},
    };
    for (const auto& c : cases) {
        std::memset(ExtendedStationRecords, 0xEE, sizeof ExtendedStationRecords);
        b1[0] = c.second_count;
        Bytes second = list_answer({list_entry(b1), list_entry(b2), list_entry(b3)});
        EXPECT_EQ(listen({{10, list_answer({list_entry(a1), list_entry(a2)})}, {700, second}}), 1);
        Bytes expected = c.unpacked ? concat({b1, b2}) : concat({a1, a2});
        EXPECT_EQ(records_now(0, 48), expected) << c.what;
        EXPECT_EQ(records_now(48, 768), Bytes(720, 0xEE)) << c.what;
    }
}

TEST_F(ExtendedList, NoAnswerLeavesTheRecordsAndSaysSo) {
    Bytes cut = list_answer({list_entry(record(3, 0x11))});
    cut.resize(20);  // the count byte is missing: not an answer
    uint64_t start = clock_now();
    EXPECT_EQ(listen({{100, cut}}), 0);
    EXPECT_EQ(records_now(0, 768), Bytes(768, 0xEE));
    EXPECT_GE(clock_now() - start, 1500u) << "three whole windows";
    EXPECT_LT(clock_now() - start, 1600u);
}

TEST_F(ExtendedList, ShortEntryAddsNothingAndTheNextStartsSevenBytesOn) {
    Bytes r1 = record(3, 0x11), r3 = record(0x18, 0x33);
    Bytes shorty = {0x16, 0x05, 0x00, 0xAC, 0x04, 0x00, 0x00};  // no record
    Bytes odd = {0x16, 0x02, 0x00, 0xAC, 0x00, 0x00, 0x00};     // a length byte below 5
    EXPECT_EQ(listen({{10, list_answer({list_entry(r1), shorty, list_entry(r3)})}}), 1);
    EXPECT_EQ(records_now(0, 48), concat({r1, r3}));
    std::memset(ExtendedStationRecords, 0xEE, sizeof ExtendedStationRecords);
    EXPECT_EQ(listen({{10, list_answer({list_entry(r1), odd, list_entry(r3)})}}), 1);
    EXPECT_EQ(records_now(0, 48), concat({r1, r3}));
}

TEST_F(ExtendedList, UnpackingStaysInsideTheFrameAndTheBuffer) {
    // Five entries of 250 record bytes each: the buffer takes the first 768 of them.
    std::vector<Bytes> big;
    for (uint8_t i = 0; i < 5; ++i) {
        big.push_back(list_entry(record(i == 0 ? 5 : 0xFA, 0x40 + i, 250)));
    }
    EXPECT_EQ(listen({{10, list_answer(big)}}), 1);
    Bytes all;
    for (const Bytes& e : big) {
        all.insert(all.end(), e.begin() + 5, e.end() - 2);
    }
    EXPECT_EQ(records_now(0, 768), Bytes(all.begin(), all.begin() + 768));

    // An entry cut off by the end of the frame is not taken, nor anything after it; a count
    // far beyond the entries the frame holds ends at the frame's end.
    std::memset(ExtendedStationRecords, 0xEE, sizeof ExtendedStationRecords);
    Bytes r1 = record(200, 0x11);
    Bytes cut = list_answer({list_entry(r1), list_entry(record(0x18, 0x22, 40))}, 70);
    EXPECT_EQ(listen({{10, cut}}), 1);
    EXPECT_EQ(records_now(0, 24), r1);
    EXPECT_EQ(records_now(24, 768), Bytes(744, 0xEE));

    std::memset(ExtendedStationRecords, 0xEE, sizeof ExtendedStationRecords);
    EXPECT_EQ(listen({{10, list_answer({list_entry(r1)})}}), 1);  // then zero padding
    EXPECT_EQ(records_now(0, 24), r1);
    EXPECT_EQ(records_now(24, 768), Bytes(744, 0xEE));
}

// ---- Filling the table --------------------------------------------------------------------

StationEntry* table() {
    return AdapterSettings[0].stations;
}

void put_record(size_t offset, uint8_t length, uint8_t id, uint16_t stamp, uint8_t a = 0,
                uint8_t b = 0) {
    uint8_t* r = ExtendedStationRecords + offset;
    std::memset(r, 0, EXTENDED_RECORD_MIN_SIZE);
    r[0] = length;
    const uint8_t address[6] = {0x00, 0x0B, 0x3B, 0x00, 0x01, id};
    std::memcpy(r + EXTENDED_RECORD_ADDRESS, address, 6);
    r[EXTENDED_RECORD_STAMP] = stamp & 0xFF;
    r[EXTENDED_RECORD_STAMP + 1] = stamp >> 8;
    r[EXTENDED_RECORD_RATE_A] = a;
    r[EXTENDED_RECORD_RATE_B] = b;
}

class ExtendedFill : public ::testing::Test {
  protected:
    void SetUp() override {
        std::memset(ExtendedStationRecords, 0, sizeof ExtendedStationRecords);
        std::memset(AdapterSettings, 0, sizeof AdapterSettings);
    }
};

TEST_F(ExtendedFill, AgeDecidesBetweenFreshAndStaleAcrossTheClockWrap) {
    const struct {
        uint16_t clock, stamp, limit;
        bool fresh;
    } cases[] = {
        {5, 65530, 11, true},  // age 11 across the wrap
        {5, 65530, 10, false}, {100, 100, 0, true}, {100, 40, 60, true},
        {100, 39, 60, false},  {0, 1, 65535, true},  // age 65535
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        DeviceClock = cases[i].clock;
        AgeLimit = cases[i].limit;
        put_record(0, 24, static_cast<uint8_t>(i), cases[i].stamp, 0xE0, 0x00);
        table()[0] = {};
        table()[0].in_use = 1;
        table()[0].heard = 3;
        table()[0].rate_mbps = 2.5;
        fill_stations_from_extended_list(0);
        EXPECT_EQ(table()[0].address[5], i) << "the address is taken either way";
        EXPECT_EQ(table()[0].in_use, cases[i].fresh ? 1 : 0) << i;
        EXPECT_EQ(table()[0].heard, cases[i].fresh ? 4 : 0) << i;
        EXPECT_EQ(table()[0].rate_mbps, cases[i].fresh ? 13.6 : 2.5) << i;
    }
}

TEST_F(ExtendedFill, RateBytesGiveClassAndFlag) {
    const struct {
        uint8_t a, b;
        double mbps;
    } cases[] = {
        {0xA0, 0x80, 0.0},   // class 6
        {0xE0, 0x00, 13.6},  // class 2, flag 1
        {0x60, 0x7F, 9.0},   // class 2, flag 0; the other bits do not count
        {0x00, 0x00, 1.1},  {0x9F, 0x00, 4.5},  {0x30, 0x00, 0.0}, {0x00, 0x80, 21.0},
        {0x80, 0x80, 31.4}, {0x10, 0x80, 47.1}, {0xB0, 0xFF, 0.0},  // class 7
    };
    DeviceClock = 10;
    AgeLimit = 10;
    for (size_t i = 0; i < std::size(cases); ++i) {
        put_record(24 * i, 24, static_cast<uint8_t>(i), 10, cases[i].a, cases[i].b);
    }
    fill_stations_from_extended_list(0);
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(table()[i].rate_mbps, cases[i].mbps) << i;
        EXPECT_EQ(table()[i].in_use, 1);
    }
}

TEST_F(ExtendedFill, WalkStopsAtAZeroLengthAtTheBufferEndAndAfterAHundredRecords) {
    DeviceClock = 0;
    AgeLimit = 0;
    fill_stations_from_extended_list(0);
    EXPECT_EQ(table()[0].in_use, 0) << "an empty list changes nothing";

    put_record(0, 30, 1, 0);
    put_record(30, 24, 2, 0);  // the record after it has length 0
    table()[2].heard = 9;
    fill_stations_from_extended_list(0);
    EXPECT_EQ(table()[1].address[5], 2);
    EXPECT_EQ(table()[2].heard, 9) << "entries after the last record are not touched";

    // Records of 25 bytes: the one at 750 would reach past 768, so 30 records are used.
    for (size_t offset = 0; offset + 25 <= 768; offset += 25) {
        put_record(offset, 25, static_cast<uint8_t>(offset / 25), 0);
    }
    ExtendedStationRecords[750] = 25;
    fill_stations_from_extended_list(0);
    EXPECT_EQ(table()[29].heard, 1);
    EXPECT_EQ(table()[30].heard, 0);

    // Length bytes of 1 overlap: records start at every byte, and the table ends at 100.
    std::memset(AdapterSettings, 0, sizeof AdapterSettings);
    std::memset(ExtendedStationRecords, 1, sizeof ExtendedStationRecords);
    DeviceClock = 0x0101;
    fill_stations_from_extended_list(0);
    EXPECT_EQ(table()[99].in_use, 1);
    EXPECT_EQ(AdapterSettings[0].device_passwords[0].password[0], 0) << "nothing past entry 99";

    fill_stations_from_extended_list(MAX_ADAPTERS);  // no such adapter: nothing happens
    fill_stations_from_extended_list(-1);
}

TEST(RateClass, TableOfClassesAndFlags) {
    const double expected[8][2] = {{1.1, 1.1},   {4.5, 4.5},   {9.0, 13.6}, {0.0, 0.0},
                                   {21.0, 31.4}, {47.1, 47.1}, {0.0, 0.0},  {0.0, 0.0}};
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(rate_class_mbps(c, 0), expected[c][0]) << c;
        EXPECT_EQ(rate_class_mbps(c, 1), expected[c][1]) << c;
    }
    EXPECT_EQ(rate_class_mbps(8, 1), 0.0);
    EXPECT_EQ(rate_class_mbps(-1, 0), 0.0);
}

}  // namespace
