// Adapter access and frame I/O on the test wire, in virtual time.
#include "transport/adapters.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/framegate/test_wire.h"
#include "platform/win/clock.h"
#include "platform/win/kernel.h"

namespace {

std::vector<uint8_t> management_frame(uint8_t tag, size_t length = 60) {
    std::vector<uint8_t> f(length, 0);
    std::memset(f.data(), 0xFF, 6);
    f[6] = 0x02;
    f[12] = 0x88;
    f[13] = 0x7B;
    f[15] = 0x08;
    f[20] = tag;
    return f;
}

TestWireAdapter adapter(const char* name, uint8_t last) {
    return TestWireAdapter{name, {0x02, 0x00, 0x00, 0x00, 0x00, last}};
}

class Adapters : public ::testing::Test {
  protected:
    void SetUp() override {
        clock_use_virtual();
        test_wire_install({adapter("eth0", 1), adapter("eth1", 2)});
    }
    void TearDown() override { close_all_adapters(); }
};

TEST_F(Adapters, OpenReadsAddressesPostsEveryReadAndListensPromiscuously) {
    ASSERT_EQ(open_all_adapters(), 1);
    ASSERT_EQ(AdapterCount, 2);
    EXPECT_EQ(AdapterRecord[1].address[5], 2);
    for (size_t a = 0; a < 2; ++a) {
        EXPECT_EQ(test_wire_posted_reads(a), static_cast<size_t>(RECEIVE_SLOTS));
        EXPECT_TRUE(test_wire_promiscuous(a));
    }
    EXPECT_EQ(SendIndex, 0);
    // The filter program is in place: only management frames reach a read.
    std::vector<uint8_t> ip = management_frame(1);
    ip[12] = 0x08;
    ip[13] = 0x00;
    test_wire_arrive(0, 1, ip);
    test_wire_arrive(0, 2, management_frame(2));
    Sleep(5);
    uint8_t buffer[RECEIVE_FRAME_SIZE] = {};
    EXPECT_EQ(receive_next_frame(buffer), 1);
    EXPECT_EQ(buffer[20], 2);
    EXPECT_EQ(receive_next_frame(buffer), 0);
}

TEST_F(Adapters, ShortFramesArePaddedLongOnesRefused) {
    ASSERT_EQ(open_all_adapters(), 1);
    std::vector<uint8_t> frame(1515, 0xAB);
    EXPECT_EQ(send_frame(1, frame.data(), 18), 1);
    EXPECT_EQ(send_frame(1, frame.data(), 1514), 1);
    EXPECT_EQ(SendIndex, 0);
    EXPECT_EQ(send_frame(1, frame.data(), 1515), 0);
    EXPECT_EQ(SendIndex, 0);  // a refused frame does not use up a send slot
    const auto& sent = test_wire_sent();
    ASSERT_EQ(sent.size(), 2u);
    std::vector<uint8_t> padded(60, 0);
    std::memset(padded.data(), 0xAB, 18);
    EXPECT_EQ(sent[0].bytes, padded);
    EXPECT_EQ(sent[0].adapter, 1u);
    EXPECT_EQ(sent[1].bytes.size(), 1514u);
}

TEST_F(Adapters, SendOutcomes) {
    ASSERT_EQ(open_all_adapters(), 1);
    uint8_t frame[60] = {};
    test_wire_set_sends(TestWireSends::never_complete);
    uint64_t before = clock_now();
    EXPECT_EQ(send_frame(0, frame, 60), 1);  // counted as sent when the wait runs out
    EXPECT_EQ(clock_now() - before, SEND_WAIT_MS);
    EXPECT_EQ(SendIndex, 1);
    test_wire_set_sends(TestWireSends::refuse);
    EXPECT_EQ(send_frame(0, frame, 60), 0);
    EXPECT_EQ(SendIndex, 0);
    test_wire_set_sends(TestWireSends::complete, 20);
    before = clock_now();
    EXPECT_EQ(send_frame(0, frame, 60), 1);
    EXPECT_EQ(clock_now() - before, 20u);
}

TEST_F(Adapters, FramesAreTakenLowestSlotThenLowestAdapterFirst) {
    ASSERT_EQ(open_all_adapters(), 1);
    test_wire_land(0, 1, management_frame(7), 7);  // completes slot 7 of adapter 0
    test_wire_land(0, 2, management_frame(3), 3);  // then slot 3
    test_wire_land(1, 3, management_frame(21));
    Sleep(5);
    uint8_t buffer[RECEIVE_FRAME_SIZE] = {};
    std::vector<int> order;
    while (receive_next_frame(buffer) == 1) {
        order.push_back(buffer[20]);
    }
    EXPECT_EQ(order, (std::vector<int>{3, 7, 21}));
    EXPECT_EQ(test_wire_posted_reads(0), static_cast<size_t>(RECEIVE_SLOTS));
    EXPECT_EQ(test_wire_posted_reads(1), static_cast<size_t>(RECEIVE_SLOTS));
}

TEST_F(Adapters, OtherFrameTypeIsTakenButLeavesTheBufferAlone) {
    ASSERT_EQ(open_all_adapters(), 1);
    std::vector<uint8_t> ip = management_frame(9);
    ip[12] = 0x08;
    ip[13] = 0x00;
    test_wire_land(0, 1, ip);  // past the filter, as a driver without one would hand it over
    Sleep(2);
    uint8_t buffer[RECEIVE_FRAME_SIZE];
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(receive_next_frame(buffer), 1);
    EXPECT_EQ(buffer[0], 0xEE);
    EXPECT_EQ(buffer[20], 0xEE);
    EXPECT_EQ(test_wire_posted_reads(0), static_cast<size_t>(RECEIVE_SLOTS));
}

TEST_F(Adapters, ReceivedLengthBoundsTheCopy) {
    ASSERT_EQ(open_all_adapters(), 1);
    test_wire_land(0, 1, management_frame(4, 1400));
    Sleep(2);
    uint8_t buffer[RECEIVE_FRAME_SIZE] = {};
    EXPECT_EQ(receive_next_frame(buffer), 1);
    EXPECT_EQ(ReceivedFrameLength, 1400);
}

TEST_F(Adapters, NothingOpen) {
    uint8_t buffer[RECEIVE_FRAME_SIZE] = {};
    EXPECT_EQ(receive_next_frame(buffer), 0);
    EXPECT_EQ(close_all_adapters(), 1);
    EXPECT_EQ(AdapterCount, 0);
}

TEST_F(Adapters, EnumerationAndOpeningFailures) {
    test_wire_fail_enumeration(true);
    EXPECT_EQ(open_all_adapters(), 0);
    EXPECT_EQ(AdapterCount, 0);

    TestWireAdapter broken = adapter("eth0", 1);
    broken.open_fails = true;
    TestWireAdapter nameless = adapter("eth9", 9);
    nameless.name_fails = true;
    test_wire_install({broken, nameless, adapter("eth1", 2)});
    ASSERT_EQ(open_all_adapters(), 1);
    EXPECT_EQ(AdapterCount, 1);
    EXPECT_EQ(AdapterRecord[0].address[5], 2);  // the third adapter became index 0
    EXPECT_EQ(test_wire_posted_reads(2), static_cast<size_t>(RECEIVE_SLOTS));
    close_all_adapters();

    test_wire_install({});
    EXPECT_EQ(open_all_adapters(), 1);  // no adapter is no failure here
    EXPECT_EQ(AdapterCount, 0);
}

TEST_F(Adapters, SeventeenthAdapterIsLeftAlone) {
    std::vector<TestWireAdapter> many;
    for (int i = 0; i < 17; ++i) {
        many.push_back(adapter(("eth" + std::to_string(i)).c_str(), static_cast<uint8_t>(i)));
    }
    test_wire_install(many);
    ASSERT_EQ(open_all_adapters(), 1);
    EXPECT_EQ(AdapterCount, MAX_ADAPTERS);
    EXPECT_FALSE(test_wire_is_open(16));
    EXPECT_EQ(AdapterRecord[15].address[5], 15);
}

TEST_F(Adapters, CloseAndReopenStartsAfresh) {
    ASSERT_EQ(open_all_adapters(), 1);
    uint8_t frame[60] = {};
    send_frame(0, frame, 60);
    EXPECT_EQ(SendIndex, 1);
    EXPECT_EQ(close_all_adapters(), 1);
    EXPECT_EQ(AdapterCount, 0);
    EXPECT_FALSE(test_wire_is_open(0));
    EXPECT_FALSE(test_wire_promiscuous(0));
    EXPECT_EQ(AdapterRecord[0].address[5], 1);  // records keep their contents
    ASSERT_EQ(open_all_adapters(), 1);
    EXPECT_EQ(SendIndex, 0);
    EXPECT_EQ(test_wire_posted_reads(0), static_cast<size_t>(RECEIVE_SLOTS));
    EXPECT_EQ(test_wire_posted_reads(1), static_cast<size_t>(RECEIVE_SLOTS));
}

}  // namespace
