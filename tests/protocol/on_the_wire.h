// The shared wire fixture with its one adapter open as the current adapter and the bridge
// behind it known; frames reach the code under test the way the monitor takes them, through
// receive_next_frame.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "app/state.h"
#include "protocol/frames.h"
#include "tests/support/wire_fixture.h"
#include "transport/adapters.h"

// A management frame of `length` bytes from `source` with one entry of `type`.
inline Bytes management_frame(const uint8_t* source, uint8_t type, size_t length = 60) {
    Bytes f(length, 0);
    std::memcpy(f.data(), AdapterAddress, 6);
    std::memcpy(f.data() + FRAME_SOURCE, source, 6);
    f[FRAME_TYPE] = MANAGEMENT_TYPE_HIGH;
    f[FRAME_TYPE + 1] = MANAGEMENT_TYPE_LOW;
    f[FRAME_ENTRY_COUNT] = 1;
    f[FIRST_ENTRY_TYPE] = type;
    return f;
}

class OnTheWire : public WireTest {
  protected:
    void SetUp() override {
        WireTest::SetUp();
        std::memset(AdapterSettings, 0, sizeof AdapterSettings);
        std::memset(AdapterRecord, 0, sizeof AdapterRecord);
        open_adapters(1);
        CurrentAdapter = 0;
        std::memcpy(AdapterRecord[0].bridge_address, BridgeAddress, 6);
    }

    // Lands `frame` now and takes it as the monitor would; returns the receive buffer.
    const uint8_t* receive(const Bytes& frame) {
        test_wire_land(0, clock_now(), frame);
        clock_run_due();
        EXPECT_EQ(receive_next_frame(buffer_), 1);
        return buffer_;
    }

    uint8_t buffer_[RECEIVE_FRAME_SIZE] = {};
};
