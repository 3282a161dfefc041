// The station table of a standard bridge: probe replies, aging and bridge-report rates.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "on_the_wire.h"
#include "protocol/stations.h"

namespace {

struct Mac {
    uint8_t b[6];
};

Mac station(int n) {
    return {{0x00, 0x11, 0x22, 0x33, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)}};
}

StationEntry* table() {
    return AdapterSettings[0].stations;
}

void put(int index, Mac address, int heard = 0, double rate = 0.0) {
    StationEntry& e = table()[index];
    e.in_use = 1;
    std::memcpy(e.address, address.b, 6);
    e.heard = heard;
    e.rate_mbps = rate;
}

bool holds(int index, Mac address) {
    return table()[index].in_use == 1 && std::memcmp(table()[index].address, address.b, 6) == 0;
}

// A bridge report answer from the local bridge with (address, rate value) records in order.
std::vector<uint8_t> report(const std::vector<std::pair<Mac, uint16_t>>& records,
                            size_t length = 204) {
    std::vector<uint8_t> f = management_frame(BridgeAddress, 0x1A, length);
    f[FIRST_ENTRY_LENGTH] = 0xBB;
    f[FIRST_ENTRY_DATA] = 0x02;  // device kind 2, an answer
    for (size_t k = 0; k < records.size(); ++k) {
        uint8_t* r = f.data() + REPORT_FIRST_RECORD + REPORT_RECORD_SIZE * k;
        std::memcpy(r, records[k].first.b, 6);
        r[6] = records[k].second & 0xFF;
        r[7] = records[k].second >> 8;
    }
    return f;
}

class StationTable : public OnTheWire {
  protected:
    void reply_from(Mac source) { record_station_reply(receive(management_frame(source.b, 0x08))); }
};

TEST_F(StationTable, ProbeRepliesFillTheLowestFreeEntryAndCountSightings) {
    Mac bridge;
    std::memcpy(bridge.b, BridgeAddress, 6);
    reply_from(bridge);
    EXPECT_EQ(table()[0].in_use, 0) << "the local bridge is no station";

    // Entry 1 was emptied earlier: a station moving in keeps its heard count and rate.
    table()[1].heard = 7;
    table()[1].rate_mbps = 3.5;
    reply_from(station(1));
    reply_from(station(2));
    reply_from(station(1));
    reply_from(station(1));
    EXPECT_TRUE(holds(0, station(1)));
    EXPECT_EQ(table()[0].heard, 2);
    EXPECT_TRUE(holds(1, station(2)));
    EXPECT_EQ(table()[1].heard, 7);
    EXPECT_EQ(table()[1].rate_mbps, 3.5);
    EXPECT_EQ(table()[2].in_use, 0);
}

TEST_F(StationTable, FullTableDropsNewStationsUntilAgingFreesAnEntry) {
    for (int i = 0; i < STATION_COUNT; ++i) {
        reply_from(station(i));
        table()[i].heard = i == 37 ? 0 : 1;
    }
    uint8_t passwords[sizeof AdapterSettings[0].device_passwords];
    std::memcpy(passwords, AdapterSettings[0].device_passwords, sizeof passwords);

    reply_from(station(500));
    for (int i = 0; i < STATION_COUNT; ++i) {
        EXPECT_TRUE(holds(i, station(i))) << i;
    }
    EXPECT_EQ(std::memcmp(passwords, AdapterSettings[0].device_passwords, sizeof passwords), 0);

    age_stations();
    EXPECT_EQ(table()[37].in_use, 0);
    EXPECT_EQ(table()[37].rate_mbps, 0.0);
    EXPECT_EQ(table()[99].heard, 0);
    reply_from(station(500));
    EXPECT_TRUE(holds(37, station(500)));
}

TEST_F(StationTable, AgingAndRatesStopAtTheFirstFreeEntry) {
    put(0, station(0), 0, 1.0);
    put(1, station(1), 2, 1.0);
    put(3, station(3), 5, 9.0);  // entry 2 is free
    estimate_station_rates(receive(report({{station(0), 42}, {station(1), 42}, {station(3), 42}})));
    EXPECT_NE(table()[0].rate_mbps, 1.0);
    EXPECT_NE(table()[1].rate_mbps, 1.0);
    EXPECT_EQ(table()[3].rate_mbps, 9.0);

    age_stations();
    EXPECT_EQ(table()[0].in_use, 0) << "not heard: emptied";
    EXPECT_EQ(table()[0].rate_mbps, 0.0);
    EXPECT_TRUE(holds(1, station(1))) << "the walk goes on past an entry it emptied";
    EXPECT_EQ(table()[1].heard, 0);
    EXPECT_TRUE(holds(3, station(3)));
    EXPECT_EQ(table()[3].heard, 5);
}

TEST_F(StationTable, RateEstimatesMatchTheirWorkedValuesToTheLastBit) {
    const struct {
        uint16_t value;
        double mbps;
    } cases[] = {
        {42, 1.013662013662014},
        {100, 2.592713592713593},
        {1000, 27.095238095238088},
        {0, -0.12978912978912938},
    };
    std::vector<std::pair<Mac, uint16_t>> records;
    for (int i = 0; i < 4; ++i) {
        put(i, station(i));
        records.push_back({station(i), cases[i].value});
    }
    estimate_station_rates(receive(report(records)));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(table()[i].rate_mbps, cases[i].mbps) << cases[i].value;
    }
}

TEST_F(StationTable, ReportRecordsAreMatchedExactlyFirstThenWithBitZeroSet) {
    const Mac plain = {{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}};
    const Mac bit0 = {{0x01, 0x11, 0x22, 0x33, 0x44, 0x55}};
    const Mac even = {{0x02, 0x11, 0x22, 0x33, 0x44, 0x55}};
    const Mac odd = {{0x03, 0x11, 0x22, 0x33, 0x44, 0x55}};
    const Mac other = {{0x01, 0x11, 0x22, 0x33, 0x44, 0x56}};
    const double r42 = 1.013662013662014, r100 = 2.592713592713593, r1000 = 27.095238095238088;
    const double kept = 77.0;  // no record found: the rate stays
    const struct {
        const char* what;
        Mac entry;
        std::vector<std::pair<Mac, uint16_t>> records;
        double expected;
    } cases[] = {
        {"exact", plain, {{other, 1}, {plain, 100}}, r100},
        {"bit 0 set when no exact record", plain, {{other, 1}, {bit0, 1000}}, r1000},
        {"exact wins over an earlier bit-0 record", plain, {{bit0, 1000}, {plain, 100}}, r100},
        {"lowest record first", plain, {{plain, 42}, {plain, 100}}, r42},
        {"even first byte takes the odd one", even, {{odd, 42}}, r42},
        {"bit 0 is only ever added", bit0, {{plain, 42}}, kept},
        {"other bytes must match", plain, {{other, 42}}, kept},
    };
    for (const auto& c : cases) {
        put(0, c.entry, 0, kept);
        estimate_station_rates(receive(report(c.records)));
        EXPECT_EQ(table()[0].rate_mbps, c.expected) << c.what;
    }
}

TEST_F(StationTable, ShortReportUsesOnlyTheRecordsItHolds) {
    // A full report leaves its record 3 in the receive buffer; a 60-byte report that follows
    // holds records 0 to 2 only, so record 3's stale bytes must not count.
    put(0, station(0), 0, 5.0);
    put(1, station(1), 0, 5.0);
    estimate_station_rates(
        receive(report({{station(9), 1}, {station(9), 1}, {station(9), 1}, {station(0), 42}})));
    table()[0].rate_mbps = 5.0;
    estimate_station_rates(
        receive(report({{station(9), 1}, {station(9), 1}, {station(1), 42}}, 60)));
    EXPECT_EQ(table()[0].rate_mbps, 5.0);
    EXPECT_EQ(table()[1].rate_mbps, 1.013662013662014);
}

}  // namespace
