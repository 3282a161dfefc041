// The emulated network behind the framegate library: chosen by FRAMEGATE_EMULATE or installed
// directly, its adapters enumerate, open, answer through posted reads after the library's
// filtering, and go quiet when closed.
#include <cstdlib>

#include "emulator/backend.h"
#include "platform/framegate/framegate.h"
#include "platform/win/kernel.h"
#include "tests/emulator/emulated_network.h"

namespace {

const char* const TwoAdapters = R"({
  "adapters": [{"name": "plc0", "address": "02:50:43:00:00:01"},
               {"name": "eth1", "address": "02:50:43:00:00:02"}],
  "bridges": [{"address": "02:a0:00:00:01:01", "adapter": "plc0", "kind": 2},
              {"address": "02:a0:00:00:02:01"}]
})";

const BpfInstruction Management[] = {
    {0x28, 0, 0, 12}, {0x15, 0, 1, 0x887B}, {0x06, 0, 0, 0xFFFFFFFF}, {0x06, 0, 0, 0}};

std::vector<std::string> enumerate() {
    std::vector<std::string> names;
    HANDLE e = W32N_StartAdapterEnum();
    if (e == INVALID_HANDLE_VALUE) {
        return {"<failed>"};
    }
    for (HANDLE entry = W32N_FirstAdapter(e); entry != INVALID_HANDLE_VALUE;
         entry = W32N_NextAdapter(e)) {
        char name[64];
        DWORD size = sizeof name;
        if (W32N_GetAdapterName(entry, name, &size) == 0) {
            names.push_back(name);
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

class Backend : public ::testing::Test {
  protected:
    void SetUp() override { clock_use_virtual(); }
    void TearDown() override { emulator_unload(); }

    HANDLE open_with_reads(const char* name, std::vector<Slot>& slots, DWORD filter = 0x20) {
        HANDLE h = W32N_OpenAdapterA(name);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        W32N_SetBPFProgram(h, Management, sizeof Management);
        static DWORD value;
        static NdisRequest request;
        value = filter;
        request = NdisRequest{};
        request.request_type = NdisRequestSetInformation;
        request.oid = OID_GEN_CURRENT_PACKET_FILTER;
        request.information_ref = ndis_buffer_ref(&request, &value);
        request.information_length = 4;
        EXPECT_EQ(W32N_MakeNdisRequest(h, &request, nullptr, 1), 0u);
        for (Slot& s : slots) {
            s.overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            s.descriptor.capacity = 1500;
            W32N_PacketRead(h, &s.descriptor, &s.byte_count, &s.overlapped, 0);
        }
        return h;
    }

    void send(HANDLE h, const Bytes& frame) {
        static DWORD sent;
        static OVERLAPPED done{};
        done.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ASSERT_TRUE(W32N_PacketSend(h, frame.data(), DWORD(frame.size()), &sent, &done));
        EXPECT_EQ(WaitForSingleObject(done.hEvent, 0), WAIT_OBJECT_0);  // gone at once
        CloseHandle(done.hEvent);
    }

    static std::vector<EmuMac> landed_sources(const std::vector<Slot>& slots) {
        std::vector<EmuMac> sources;
        for (const Slot& s : slots) {
            if (s.descriptor.status == 0) {
                sources.push_back(mac_at(Bytes(s.descriptor.frame, s.descriptor.frame + 12), 6));
            }
        }
        return sources;
    }
};

TEST_F(Backend, FramegateEmulateNamesTheScenario) {
    std::string path = std::string(SCENARIO_DIR) + "/two_adapters.json";
    setenv("FRAMEGATE_EMULATE", path.c_str(), 1);
    framegate_use_backend(nullptr);
    EXPECT_EQ(enumerate(), (std::vector<std::string>{"plc0", "eth1", "plc2"}));
}

TEST_F(Backend, AScenarioThatCannotBeLoadedFailsTheEnumeration) {
    setenv("FRAMEGATE_EMULATE", "/nonexistent/scenario.json", 1);
    framegate_use_backend(nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(enumerate(), std::vector<std::string>{"<failed>"});
    EXPECT_NE(testing::internal::GetCapturedStderr().find("/nonexistent/scenario.json:0:"),
              std::string::npos);
}

TEST_F(Backend, AnswersLandInThePostedReads) {
    std::string error;
    ASSERT_TRUE(emulator_load_text(TwoAdapters, "two.json", &error)) << error;
    emulator_backend_install();
    EXPECT_EQ(enumerate(), (std::vector<std::string>{"plc0", "eth1"}));
    std::vector<Slot> slots(4);
    HANDLE h = open_with_reads("plc0", slots);

    static uint8_t address[6];
    static NdisRequest query;
    query.request_type = NdisRequestQueryInformation;
    query.oid = OID_802_3_CURRENT_ADDRESS;
    query.information_ref = ndis_buffer_ref(&query, address);
    query.information_length = 6;
    ASSERT_EQ(W32N_MakeNdisRequest(h, &query, nullptr, 1), 0u);
    EXPECT_EQ(mac_at(Bytes(address, address + 6), 0), mac("02:50:43:00:00:01"));

    send(h, station_probe(mac("02:50:43:00:00:01"), Broadcast));
    EXPECT_EQ(WaitForSingleObject(slots[1].overlapped.hEvent, 1000), WAIT_OBJECT_0);
    EXPECT_EQ(landed_sources(slots),
              (std::vector<EmuMac>{mac("02:a0:00:00:01:01"), mac("02:a0:00:00:02:01")}));
    EXPECT_EQ(slots[0].descriptor.length, 60u);
    W32N_CloseAdapter(h);
}

TEST_F(Backend, WithoutPromiscuousModeTheLibraryDropsFramesForOtherAddresses) {
    std::string error;
    ASSERT_TRUE(emulator_load_text(TwoAdapters, "two.json", &error)) << error;
    emulator_backend_install();
    std::vector<Slot> slots(2);
    HANDLE h = open_with_reads("plc0", slots, 0);
    // Asked from the bridge's own address, the answer goes to the bridge, not to this adapter.
    send(h, bridge_report_request(mac("02:a0:00:00:01:01")));
    clock_wait_until(clock_now() + 100, [] { return false; });
    EXPECT_TRUE(landed_sources(slots).empty());
    W32N_CloseAdapter(h);
}

TEST_F(Backend, ClosingWithAnswersInFlightLeavesNothingBehind) {
    std::string error;
    ASSERT_TRUE(emulator_load_text(TwoAdapters, "two.json", &error)) << error;
    emulator_backend_install();
    std::vector<Slot> slots(4);
    HANDLE h = open_with_reads("plc0", slots);
    send(h, station_probe(mac("02:50:43:00:00:01"), Broadcast));
    W32N_CloseAdapter(h);
    EXPECT_EQ(clock_next_task_time(), UINT64_MAX);
    clock_wait_until(clock_now() + 100, [] { return false; });

    // The adapter opens again, once at a time, and answers again.
    std::vector<Slot> again(4);
    h = open_with_reads("plc0", again);
    EXPECT_EQ(W32N_OpenAdapterA("plc0"), INVALID_HANDLE_VALUE);
    send(h, station_probe(mac("02:50:43:00:00:01"), Broadcast));
    clock_wait_until(clock_now() + 100, [] { return false; });
    EXPECT_EQ(landed_sources(again).size(), 2u);
    W32N_CloseAdapter(h);
}

}  // namespace
