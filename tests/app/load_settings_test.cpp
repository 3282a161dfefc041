// load_settings end to end on the test wire: the file, then the adapters and their bridges.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "app/state.h"
#include "protocol/monitor.h"
#include "tests/support/wire_fixture.h"
#include "transport/adapters.h"

namespace {

namespace fs = std::filesystem;

class LoadSettings : public WireTest {
  protected:
    void SetUp() override {
        WireTest::SetUp();
        old_ = fs::current_path();
        dir_ = fs::temp_directory_path() / ("lw-load-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        fs::current_path(dir_);
    }
    void TearDown() override {
        WireTest::TearDown();
        fs::current_path(old_);
        fs::remove_all(dir_);
    }
    // A bridge of kind 2 behind adapter `with_bridge` that answers discovery to itself.
    void bridge_behind(size_t with_bridge) {
        test_wire_on_send([with_bridge](const SentFrame& f) {
            if (f.adapter == with_bridge && f.bytes.size() == 204) {
                test_wire_land(f.adapter, clock_now() + 1,
                               management(BridgeAddress, BridgeAddress, hex("01 1a bb 02")));
            }
        });
    }
    fs::path old_;
    fs::path dir_;
};

TEST_F(LoadSettings, FindsTheBridgeAndEmptiesEveryStationTable) {
    test_wire_install(
        {TestWireAdapter{"eth0", {2, 0, 0, 0, 0, 1}}, TestWireAdapter{"eth1", {2, 0, 0, 0, 0, 2}}});
    bridge_behind(1);
    StationEntry& station = AdapterSettings[9].stations[42];
    station.in_use = 1;
    station.rate_mbps = 12.5;
    station.heard = 3;
    save_settings();                      // the file holds a station too
    AdapterRecord[0].bridge_present = 1;  // stale: cleared before discovery
    TickCounter = 4;
    StepCounter = 33;
    ASSERT_EQ(load_settings(), 1);
    EXPECT_EQ(AdaptersOpen, 1);
    EXPECT_EQ(AdapterCount, 2);
    EXPECT_EQ(AdapterRecord[0].bridge_present, 0);
    EXPECT_EQ(AdapterRecord[1].bridge_present, 1);
    EXPECT_EQ(station.in_use, 0);
    EXPECT_EQ(station.rate_mbps, 0.0);
    EXPECT_EQ(station.heard, 3);  // kept: a new station in this entry starts from it
    EXPECT_EQ(TickCounter, 0);
    EXPECT_EQ(StepCounter, 0);
}

TEST_F(LoadSettings, NoBridgeClosesTheAdaptersAgain) {
    test_wire_install({TestWireAdapter{"eth0", {2, 0, 0, 0, 0, 1}}});
    AdaptersOpen = 0;
    EXPECT_EQ(load_settings(), 0);
    EXPECT_EQ(AdapterCount, 0);
    EXPECT_FALSE(test_wire_is_open(0));
    EXPECT_EQ(AdaptersOpen, 0);
    EXPECT_STREQ(AdapterSettings[0].network_password, "WindLark");  // defaults were loaded
}

}  // namespace
