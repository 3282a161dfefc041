// Shared fixture of the protocol tests: virtual time, the test wire with one or more adapters
// opened through the real transport, and helpers to write frames as hex.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/framegate/test_wire.h"
#include "platform/win/clock.h"
#include "platform/win/kernel.h"

using Bytes = std::vector<uint8_t>;

// "FF 01 ab" -> {0xFF, 0x01, 0xAB}; spaces and line breaks are ignored.
Bytes hex(const std::string& text);
std::string to_hex(const Bytes& bytes);
// `bytes` followed by zeros up to `length`.
Bytes padded(Bytes bytes, size_t length);

// The addresses the tests use.
extern const uint8_t AdapterAddress[6];  // 02 00 00 00 00 01, adapter 0
extern const uint8_t BridgeAddress[6];   // 00 b0 52 00 00 01
extern const uint8_t StationAddress[6];  // 00 b0 52 00 00 02
extern const uint8_t OtherAddress[6];    // 00 b0 52 00 00 03

// A management frame from `source` to `destination` whose bytes from offset 14 are `payload`,
// padded to 60 bytes.
Bytes management(const uint8_t* destination, const uint8_t* source, const Bytes& payload);

class WireTest : public ::testing::Test {
  protected:
    // Installs the test wire with `count` adapters (addresses 02 00 00 00 00 01, ...02, ...)
    // and opens them through the transport, in virtual time.
    void open_adapters(int count = 1);
    void SetUp() override;
    void TearDown() override;
    // Frames sent since the last call, in order.
    std::vector<SentFrame> take_sent();
};
