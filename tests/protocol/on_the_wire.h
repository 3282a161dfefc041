// A fixture with one adapter on the test wire, open, as the current adapter, in virtual time;
// frames reach the code under test the way the monitor takes them, through receive_next_frame.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "app/state.h"
#include "platform/framegate/test_wire.h"
#include "platform/win/clock.h"
#include "protocol/frames.h"
#include "transport/adapters.h"

inline const MacAddress OwnAddress = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
inline const MacAddress LocalBridge = {0x00, 0x0B, 0x3B, 0x00, 0x00, 0x01};

// A management frame of `length` bytes from `source` with one entry of `type`.
inline std::vector<uint8_t> management_frame(const uint8_t* source, uint8_t type,
                                             size_t length = 60) {
    std::vector<uint8_t> f(length, 0);
    std::memcpy(f.data(), OwnAddress, 6);
    std::memcpy(f.data() + FRAME_SOURCE, source, 6);
    f[FRAME_TYPE] = MANAGEMENT_TYPE_HIGH;
    f[FRAME_TYPE + 1] = MANAGEMENT_TYPE_LOW;
    f[FRAME_ENTRY_COUNT] = 1;
    f[FIRST_ENTRY_TYPE] = type;
    return f;
}

class OnTheWire : public ::testing::Test {
  protected:
    void SetUp() override {
        clock_use_virtual();
        std::memset(AdapterSettings, 0, sizeof AdapterSettings);
        std::memset(AdapterRecord, 0, sizeof AdapterRecord);
        TestWireAdapter adapter{"eth0", {}};
        std::memcpy(adapter.address, OwnAddress, 6);
        test_wire_install({adapter});
        ASSERT_EQ(open_all_adapters(), 1);
        CurrentAdapter = 0;
        std::memcpy(AdapterRecord[0].bridge_address, LocalBridge, 6);
    }

    void TearDown() override { close_all_adapters(); }

    // Lands `frame` now and takes it as the monitor would; returns the receive buffer.
    const uint8_t* receive(const std::vector<uint8_t>& frame) {
        test_wire_land(0, clock_now(), frame);
        clock_run_due();
        EXPECT_EQ(receive_next_frame(buffer_), 1);
        return buffer_;
    }

    uint8_t buffer_[RECEIVE_FRAME_SIZE] = {};
};
