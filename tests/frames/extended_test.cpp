// The extended transactions on the test wire in virtual time: three listening windows, which
// answers count, and what they leave behind.
#include "protocol/extended.h"

#include <gtest/gtest.h>

#include <cstring>

#include "app/state.h"
#include "protocol/frames.h"
#include "tests/support/wire_fixture.h"

namespace {

class Extended : public WireTest {
  protected:
    void SetUp() override {
        WireTest::SetUp();
        open_adapters();
        CurrentAdapter = 0;
    }
    // Lands `frame` on adapter 0 `after` ms from now.
    void answer(uint64_t after, const Bytes& frame) {
        test_wire_land(0, clock_now() + after, frame);
    }
};

Bytes identify_answer() {
    return management(AdapterAddress, BridgeAddress, hex("01 16 05 00 ac ff"));
}

Bytes clock_answer(const uint8_t* source, uint8_t width, uint8_t low, uint8_t high) {
    Bytes payload = hex("01 15 08 00 cc 00 ce 1c");
    payload.push_back(width);
    payload.push_back(low);
    payload.push_back(high);
    return management(AdapterAddress, source, payload);
}

Bytes block_answer(uint8_t tag, uint8_t length, uint8_t fill, size_t frame_length = 0) {
    Bytes payload = {0x01, 0x13, static_cast<uint8_t>(length + 4), tag, 0x01, 0x01, length};
    payload.insert(payload.end(), length, fill);
    Bytes f = management(AdapterAddress, BridgeAddress, payload);
    if (frame_length != 0) {
        f.resize(frame_length);
    }
    return f;
}

TEST_F(Extended, NoAnswerListensOneAndAHalfSeconds) {
    uint64_t start = clock_now();
    EXPECT_EQ(wait_extended_identify(), 0);
    uint64_t took = clock_now() - start;
    EXPECT_GE(took, 1500u);
    EXPECT_LE(took, 1530u);
}

TEST_F(Extended, AnImmediateAnswerStillListensTwoMoreWindows) {
    uint64_t start = clock_now();
    answer(5, identify_answer());
    EXPECT_EQ(wait_extended_identify(), 1);
    uint64_t took = clock_now() - start;
    EXPECT_GE(took, 1005u);
    EXPECT_LE(took, 1035u);
}

TEST_F(Extended, MemoryReadRequestAndTheLaterOfTwoAnswers) {
    take_sent();
    answer(100, clock_answer(BridgeAddress, 2, 0x34, 0x12));
    answer(700, clock_answer(OtherAddress, 2, 0x78, 0x56));    // another bridge: accepted too
    answer(1200, clock_answer(BridgeAddress, 1, 0x99, 0x99));  // width echo differs: dropped
    EXPECT_EQ(read_device_clock(0), 1);
    EXPECT_EQ(DeviceClock, 0x5678);
    std::vector<SentFrame> sent = take_sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(to_hex(sent[0].bytes), to_hex(padded(hex("ff ff ff ff ff ff  02 00 00 00 00 01  88 7b"
                                                       "  01 14 06 00 cc 00 ce 1c 02 01 b8 00"),
                                                   60)));
}

TEST_F(Extended, AgeLimitIsOneByteAndNoAnswerStoresZero) {
    Bytes limit =
        management(AdapterAddress, BridgeAddress, hex("01 15 08 00 cc 00 ce 1e 01 2a ff"));
    answer(10, limit);
    EXPECT_EQ(read_age_limit(0), 1);
    EXPECT_EQ(AgeLimit, 0x2a);
    DeviceClock = 77;
    EXPECT_EQ(read_device_clock(0), 0);
    EXPECT_EQ(DeviceClock, 0);
}

TEST_F(Extended, DeviceInfoReadsBothBlocks) {
    take_sent();
    Bytes info = block_answer(0, 40, 0);
    for (int i = 0; i < 4; ++i) {
        info[21 + i] = static_cast<uint8_t>(0xA0 + i);
    }
    answer(10, info);
    Bytes firmware = block_answer(0, 40, 'V');
    answer(1600, firmware);  // inside the second read's windows
    EXPECT_EQ(read_device_info(0), 1);
    EXPECT_EQ(DeviceInfo[0][0], 0xA3);
    EXPECT_EQ(DeviceInfo[0][3], 0xA0);
    EXPECT_EQ(DeviceInfo[0][4], 'V');
    EXPECT_EQ(DeviceInfo[0][34], 'V');
    std::vector<SentFrame> sent = take_sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(to_hex(sent[0].bytes), to_hex(padded(hex("ff ff ff ff ff ff  02 00 00 00 00 01  88 7b"
                                                       "  01 12 08 00 01 00 80 88 28 01 31"),
                                                   60)));
    EXPECT_EQ(Bytes(sent[1].bytes.begin() + 19, sent[1].bytes.begin() + 25),
              hex("00 ff e0 28 02 08"));  // 0x01 + 0xff + 0xe0 + 0x28 = 0x208
}

TEST_F(Extended, DeviceInfoKeepsTheOldFirmwareTextWhenTheSecondReadFails) {
    std::memset(DeviceInfo[0] + 4, 'O', FIRMWARE_TEXT_LENGTH);
    answer(10, block_answer(0, 40, 0x11));
    EXPECT_EQ(read_device_info(0), 0);
    EXPECT_EQ(DeviceInfo[0][0], 0x11);  // the first read still applied
    EXPECT_EQ(DeviceInfo[0][4], 'O');
}

TEST_F(Extended, BlockReadAnswersMustEchoTheRequestAndHoldTheBytes) {
    uint8_t destination[40];
    struct {
        const char* name;
        Bytes frame;
        int expected;
    } cases[] = {
        {"matching", block_answer(0, 40, 0x5A), 1},
        {"another tag", block_answer(1, 40, 0x5A), 0},
        {"another length", block_answer(0, 39, 0x5A), 0},
        {"too short for the bytes asked", block_answer(0, 40, 0x5A, 50), 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::memset(destination, 0, sizeof destination);
        answer(10, c.frame);
        EXPECT_EQ(extended_block_read(0, DEVICE_INFO_LOCATION, 40, destination), c.expected);
        EXPECT_EQ(destination[39], c.expected == 1 ? 0x5A : 0);
    }
}

}  // namespace
