// The framegate library on the test wire: enumeration, posted reads in posting order, the
// software filter and promiscuous rule, requests and sends.
#include "platform/framegate/framegate.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/framegate/test_wire.h"
#include "platform/win/clock.h"
#include "platform/win/kernel.h"

namespace {

const BpfInstruction Management[] = {
    {0x28, 0, 0, 12}, {0x15, 0, 1, 0x887B}, {0x06, 0, 0, 0xFFFFFFFF}, {0x06, 0, 0, 0}};

std::vector<uint8_t> frame_to(const uint8_t* destination, uint8_t type_low, uint8_t tag) {
    std::vector<uint8_t> f(60, 0);
    std::memcpy(f.data(), destination, 6);
    f[12] = 0x88;
    f[13] = type_low;
    f[20] = tag;
    return f;
}

const uint8_t Broadcast[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
const uint8_t Own[6] = {0x02, 0, 0, 0, 0, 0x01};
const uint8_t Other[6] = {0x02, 0, 0, 0, 0, 0x99};

std::vector<std::string> enumerate() {
    std::vector<std::string> names;
    HANDLE e = W32N_StartAdapterEnum();
    if (e == INVALID_HANDLE_VALUE) {
        return {"<failed>"};
    }
    for (HANDLE entry = W32N_FirstAdapter(e); entry != INVALID_HANDLE_VALUE;
         entry = W32N_NextAdapter(e)) {
        DWORD size = 0;
        DWORD result = W32N_GetAdapterName(entry, nullptr, &size);
        if (result == ERROR_INSUFFICIENT_BUFFER) {
            std::string name(size, '\0');
            EXPECT_EQ(W32N_GetAdapterName(entry, name.data(), &size), 0u);
            name.resize(size - 1);
            names.push_back(name);
        } else {
            names.push_back("<no name>");
        }
        W32N_ReleaseAdapterEntry(entry);
    }
    W32N_EndAdapterEnum(e);
    return names;
}

struct Slot {
    DWORD byte_count = 0;
    OVERLAPPED overlapped{};
    PacketDescriptor descriptor{};
};

class Framegate : public ::testing::Test {
  protected:
    void SetUp() override {
        clock_use_virtual();
        TestWireAdapter a{"eth0", {0x02, 0, 0, 0, 0, 0x01}};
        TestWireAdapter b{"eth1", {0x02, 0, 0, 0, 0, 0x02}};
        TestWireAdapter nameless{"eth2", {}, true};
        test_wire_install({a, b, nameless});
    }

    HANDLE open_with_reads(const char* name, std::vector<Slot>& slots) {
        HANDLE h = W32N_OpenAdapterA(name);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        for (Slot& s : slots) {
            s.overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            s.descriptor.capacity = 1500;
            EXPECT_TRUE(W32N_PacketRead(h, &s.descriptor, &s.byte_count, &s.overlapped, 0));
        }
        return h;
    }
};

TEST_F(Framegate, EnumerationNamesAdaptersInOrder) {
    EXPECT_EQ(enumerate(), (std::vector<std::string>{"eth0", "eth1", "<no name>"}));
    test_wire_fail_enumeration(true);
    EXPECT_EQ(enumerate(), (std::vector<std::string>{"<failed>"}));
}

TEST_F(Framegate, NameBufferTooSmallIsRefused) {
    HANDLE e = W32N_StartAdapterEnum();
    HANDLE entry = W32N_FirstAdapter(e);
    char small[3];
    DWORD size = sizeof small;
    EXPECT_EQ(W32N_GetAdapterName(entry, small, &size), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(size, 5u);
    W32N_ReleaseAdapterEntry(entry);
    W32N_EndAdapterEnum(e);
}

TEST_F(Framegate, ReadsCompleteInPostingOrder) {
    std::vector<Slot> slots(3);
    HANDLE h = open_with_reads("eth0", slots);
    test_wire_land(0, 10, frame_to(Own, 0x7B, 1));
    test_wire_land(0, 20, frame_to(Own, 0x7B, 2));
    EXPECT_EQ(slots[0].descriptor.status, STATUS_PENDING);
    Sleep(15);
    EXPECT_EQ(slots[0].descriptor.status, 0u);
    EXPECT_EQ(slots[0].descriptor.frame[20], 1);
    EXPECT_EQ(slots[0].descriptor.length, 60u);
    EXPECT_EQ(slots[1].descriptor.status, STATUS_PENDING);
    EXPECT_EQ(WaitForSingleObject(slots[0].overlapped.hEvent, 0), WAIT_OBJECT_0);
    DWORD bytes = 0;
    EXPECT_TRUE(GetOverlappedResult(h, &slots[0].overlapped, &bytes, FALSE));
    EXPECT_EQ(bytes, 60u);
    EXPECT_FALSE(GetOverlappedResult(h, &slots[1].overlapped, &bytes, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);
    Sleep(10);
    EXPECT_EQ(slots[1].descriptor.frame[20], 2);
    // Re-posting the completed read puts it behind the one still posted.
    W32N_PacketRead(h, &slots[0].descriptor, &slots[0].byte_count, &slots[0].overlapped, 0);
    test_wire_land(0, 40, frame_to(Own, 0x7B, 3));
    Sleep(20);
    EXPECT_EQ(slots[2].descriptor.frame[20], 3);
    EXPECT_EQ(slots[0].descriptor.status, STATUS_PENDING);
    W32N_CloseAdapter(h);
}

TEST_F(Framegate, SoftwareFilterAndPromiscuousRule) {
    std::vector<Slot> slots(4);
    HANDLE h = open_with_reads("eth0", slots);
    ASSERT_TRUE(W32N_SetBPFProgram(h, Management, sizeof Management));
    test_wire_arrive(0, 1, frame_to(Own, 0x00, 1));        // another type: filtered
    test_wire_arrive(0, 2, frame_to(Other, 0x7B, 2));      // not for us, not promiscuous
    test_wire_arrive(0, 3, frame_to(Broadcast, 0x7B, 3));  // broadcast passes
    Sleep(5);
    EXPECT_EQ(slots[0].descriptor.frame[20], 3);
    EXPECT_EQ(slots[1].descriptor.status, STATUS_PENDING);

    static NdisRequest request;
    static DWORD filter = NDIS_PACKET_TYPE_PROMISCUOUS;
    request.request_type = NdisRequestSetInformation;
    request.oid = OID_GEN_CURRENT_PACKET_FILTER;
    request.information_ref = ndis_buffer_ref(&request, &filter);
    request.information_length = 4;
    EXPECT_EQ(W32N_MakeNdisRequest(h, &request, nullptr, 1), 0u);
    EXPECT_TRUE(test_wire_promiscuous(0));
    test_wire_arrive(0, 10, frame_to(Other, 0x7B, 4));
    Sleep(10);
    EXPECT_EQ(slots[1].descriptor.frame[20], 4);
    W32N_CloseAdapter(h);
}

TEST_F(Framegate, AddressQueryWritesTheBufferTheReferenceNames) {
    HANDLE h = W32N_OpenAdapterA("eth1");
    static NdisRequest request;
    static uint8_t address[6];
    request.request_type = NdisRequestQueryInformation;
    request.oid = OID_802_3_CURRENT_ADDRESS;
    request.information_ref = ndis_buffer_ref(&request, address);
    request.information_length = 6;
    EXPECT_EQ(W32N_MakeNdisRequest(h, &request, nullptr, 1), 0u);
    EXPECT_EQ(address[5], 0x02);
    request.information_length = 5;
    EXPECT_NE(W32N_MakeNdisRequest(h, &request, nullptr, 1), 0u);
    request.information_ref = 0;
    request.information_length = 6;
    EXPECT_NE(W32N_MakeNdisRequest(h, &request, nullptr, 1), 0u);
    W32N_CloseAdapter(h);
}

TEST_F(Framegate, RuntFrameAndOversizedFrameLandSafely) {
    std::vector<Slot> slots(2);
    HANDLE h = open_with_reads("eth0", slots);
    std::memset(slots[0].descriptor.frame, 0xAA, sizeof slots[0].descriptor.frame);
    test_wire_land(0, 1, {0x01, 0x02, 0x03});
    test_wire_land(0, 2, std::vector<uint8_t>(1600, 0x55));
    Sleep(5);
    EXPECT_EQ(slots[0].descriptor.length, 3u);
    EXPECT_EQ(slots[0].descriptor.frame[3], 0);  // zero beyond the frame, not stale bytes
    EXPECT_EQ(slots[1].descriptor.length, 1500u);
    W32N_CloseAdapter(h);
}

TEST_F(Framegate, CancelAndCloseCompleteReadsAsCancelled) {
    std::vector<Slot> slots(2);
    HANDLE h = open_with_reads("eth0", slots);
    EXPECT_TRUE(W32N_CancelPacketRead(h, &slots[0].descriptor));
    EXPECT_EQ(slots[0].overlapped.Internal, STATUS_CANCELLED);
    EXPECT_EQ(test_wire_posted_reads(0), 1u);
    EXPECT_TRUE(W32N_CloseAdapter(h));
    EXPECT_EQ(slots[1].overlapped.Internal, STATUS_CANCELLED);
    EXPECT_FALSE(test_wire_is_open(0));
    EXPECT_FALSE(W32N_CloseAdapter(h));
    test_wire_land(0, 5, frame_to(Own, 0x7B, 1));  // lands nowhere once closed
    Sleep(10);
    EXPECT_EQ(slots[1].descriptor.status, STATUS_PENDING);
}

TEST_F(Framegate, SendsRecordedAndCompletedAsScripted) {
    HANDLE h = W32N_OpenAdapterA("eth1");
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD sent = 0;
    const BYTE frame[3] = {1, 2, 3};
    ASSERT_TRUE(W32N_PacketSend(h, frame, 3, &sent, &ov));
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), WAIT_OBJECT_0);
    ASSERT_EQ(test_wire_sent().size(), 1u);
    EXPECT_EQ(test_wire_sent()[0].adapter, 1u);
    EXPECT_EQ(test_wire_sent()[0].bytes, (std::vector<uint8_t>{1, 2, 3}));

    test_wire_set_sends(TestWireSends::complete, 30);
    ASSERT_TRUE(W32N_PacketSend(h, frame, 3, &sent, &ov));  // resets the event as it starts
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 100), WAIT_OBJECT_0);
    EXPECT_EQ(clock_now(), 30u);

    test_wire_set_sends(TestWireSends::never_complete);
    ASSERT_TRUE(W32N_PacketSend(h, frame, 3, &sent, &ov));
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 5000), WAIT_TIMEOUT);

    test_wire_set_sends(TestWireSends::refuse);
    EXPECT_FALSE(W32N_PacketSend(h, frame, 3, &sent, &ov));
    test_wire_set_sends(TestWireSends::complete);
    std::vector<BYTE> big(1515, 0);
    EXPECT_FALSE(W32N_PacketSend(h, big.data(), 1515, &sent, &ov));
    EXPECT_TRUE(W32N_PacketSend(h, big.data(), 1514, &sent, &ov));
    W32N_CloseAdapter(h);
}

}  // namespace
