// The monitor cycle through the real message loop in virtual time: when its requests go out,
// how an analysis ends, and what stops or freezes it.
#include "protocol/monitor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "platform/win/message_loop.h"
#include "tests/protocol/on_the_wire.h"

namespace {

void quit_now(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    PostQuitMessage(0);
}

class Monitor : public OnTheWire {
  protected:
    void SetUp() override {
        OnTheWire::SetUp();
        message_loop_reset();
        BusyGate = 0;
        ProgressActive = 0;
        EndOfScanTimer = 0;
        TickCounter = 0;
        StepCounter = 0;
        ExtendedProtocol[0] = 0;
        AdapterRecord[0].bridge_present = 1;
        AdapterRecord[0].device_kind = 2;
        std::memcpy(AdapterSettings[0].adapter_address, AdapterAddress, 6);
        SetTimer(nullptr, 0, MONITOR_PERIOD_MS, monitor_tick);
        take_sent();
    }

    // Runs the message loop until clock time `t`.
    void run_until(uint64_t t) {
        SetTimer(nullptr, 0, static_cast<UINT>(t - clock_now()), quit_now);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0)) {
            DispatchMessageA(&msg);
        }
    }

    // Records the value of `*flag` at clock time `t`.
    void sample(uint64_t t, const int* flag) {
        clock_post_at(t, [this, t, flag] { samples_[t] = *flag; });
    }

    // The sent frames as (time, first entry type, first data byte).
    std::vector<std::vector<uint64_t>> sent_summary() {
        std::vector<std::vector<uint64_t>> out;
        for (const SentFrame& f : take_sent()) {
            out.push_back({f.time, f.bytes[FIRST_ENTRY_TYPE], f.bytes[FIRST_ENTRY_DATA]});
        }
        return out;
    }

    void add_station(int entry, const uint8_t* address) {
        StationEntry& s = AdapterSettings[0].stations[entry];
        s.in_use = 1;
        std::memcpy(s.address, address, 6);
    }

    std::map<uint64_t, int> samples_;
};

constexpr uint64_t Probe = 0x07, Parameter = 0x19, Report = 0x1A;

TEST_F(Monitor, AnalysisRequestsGoOutAtTheirSteps) {
    AdapterRecord[0].status_answered = 1;
    add_station(0, StationAddress);
    start_analysis();
    run_until(9000);
    EXPECT_EQ(sent_summary(), (std::vector<std::vector<uint64_t>>{
                                  {100, Parameter, 0x00},   // step 15: EEPROM block known
                                  {100, Probe, 0x00},       // and the broadcast probe
                                  {2100, Probe, 0x00},      // step 18: the known station
                                  {4100, Report, 0x80},     // step 21
                                  {6100, Parameter, 0x00},  // step 24
                                  {8100, Parameter, 0x10},  // step 27
                              }));
}

TEST_F(Monitor, WithoutTheEepromBlockTheRamBlockIsAskedFor) {
    AdapterRecord[0].status_answered = 0;
    start_analysis();
    run_until(9000);
    EXPECT_EQ(sent_summary(), (std::vector<std::vector<uint64_t>>{
                                  {100, Parameter, 0x10},
                                  {100, Probe, 0x00},
                                  {4100, Report, 0x80},
                                  {8100, Parameter, 0x10},  // step 24 sent nothing
                              }));
    EXPECT_EQ(StepCounter, 28);
}

TEST_F(Monitor, AnalysisEndsOnTheTickAfterTheReportAnswer) {
    add_station(0, StationAddress);
    Bytes answer = management(AdapterAddress, BridgeAddress, hex("01 1a bb 02"));
    answer.resize(204, 0);
    std::memcpy(answer.data() + 24, StationAddress, 6);
    answer[30] = 42;  // rate value 42
    test_wire_on_send([&](const SentFrame& f) {
        if (f.bytes[FIRST_ENTRY_TYPE] == Report) {
            test_wire_land(0, f.time + 30, answer);
        }
    });
    ProgressActive = 1;
    start_analysis();
    sample(4150, &ProgressActive);
    sample(4210, &ProgressActive);
    run_until(12000);
    EXPECT_EQ(samples_[4150], 1);
    EXPECT_EQ(samples_[4210], 0);
    EXPECT_EQ(EndOfScanTimer, 0u);
    EXPECT_DOUBLE_EQ(AdapterSettings[0].stations[0].rate_mbps, 1.013662013662014);
}

TEST_F(Monitor, WithoutAReportAnswerTheTimerEndsTheAnalysisAfterTenSeconds) {
    ProgressActive = 1;
    start_analysis();
    sample(9999, &ProgressActive);
    sample(10001, &ProgressActive);
    run_until(10500);
    EXPECT_EQ(samples_[9999], 1);
    EXPECT_EQ(samples_[10001], 0);
    EXPECT_EQ(EndOfScanTimer, 0u);
}

TEST_F(Monitor, AnalysisStartedAgainRunsTenSecondsFromTheSecondStart) {
    ProgressActive = 1;
    start_analysis();
    clock_post_at(3000, [] { start_analysis(); });
    sample(10001, &ProgressActive);
    sample(12999, &ProgressActive);
    sample(13001, &ProgressActive);
    run_until(20000);
    EXPECT_EQ(samples_[10001], 1);  // the first timer was stopped
    EXPECT_EQ(samples_[12999], 1);
    EXPECT_EQ(samples_[13001], 0);
    EXPECT_EQ(EndOfScanTimer, 0u);
}

TEST_F(Monitor, TheGateFreezesTheCycle) {
    AdapterRecord[0].bridge_present = 0;
    run_until(1050);
    EXPECT_EQ(StepCounter, 1);
    BusyGate = 1;
    test_wire_land(0, 1500, management(AdapterAddress, StationAddress, hex("01 08 00")));
    run_until(4050);
    EXPECT_EQ(StepCounter, 1);                            // three seconds of ticks without effect
    EXPECT_EQ(AdapterSettings[0].stations[0].in_use, 0);  // and nothing drained
    BusyGate = 0;
    run_until(4150);
    EXPECT_EQ(AdapterSettings[0].stations[0].in_use, 1);  // drained by the first tick after
    run_until(5050);
    EXPECT_EQ(StepCounter, 2);
}

TEST_F(Monitor, WithoutABridgeNothingIsSentButTheCycleStillAges) {
    AdapterRecord[0].bridge_present = 0;
    start_analysis();
    run_until(1050);
    EXPECT_EQ(StepCounter, 16);  // step 15 lasted its ten ticks
    EXPECT_TRUE(take_sent().empty());
    StepCounter = 59;
    TickCounter = 0;
    add_station(0, StationAddress);  // not heard since the last pass
    run_until(2050);
    EXPECT_EQ(StepCounter, 0);
    EXPECT_EQ(AdapterSettings[0].stations[0].in_use, 0);
    EXPECT_TRUE(take_sent().empty());
}

TEST_F(Monitor, ExtendedBridgeAnswersAreDroppedUnread) {
    ExtendedProtocol[0] = 1;
    test_wire_land(0, 50, management(AdapterAddress, StationAddress, hex("01 08 00")));
    Bytes report = management(AdapterAddress, BridgeAddress, hex("01 1a bb 02"));
    test_wire_land(0, 60, report);
    ProgressActive = 1;
    run_until(150);
    EXPECT_EQ(AdapterSettings[0].stations[0].in_use, 0);
    EXPECT_EQ(ProgressActive, 1);  // the report answer did not end anything
}

TEST_F(Monitor, ExtendedBridgeRefreshesItsListAtStepFifteen) {
    ExtendedProtocol[0] = 1;
    start_analysis();
    run_until(150);  // the tick at 100 runs the whole exchange: three listens of 1.5 s
    std::vector<std::vector<uint64_t>> sent = sent_summary();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0], (std::vector<uint64_t>{100, Parameter, 0x10}));
    EXPECT_EQ(sent[1][1], 0x16u);  // the station-list request
    EXPECT_EQ(sent[2][1], 0x14u);  // the clock read, after the list's 1.5 s
    EXPECT_GE(sent[2][0], 1600u);
    EXPECT_EQ(sent[3][1], 0x14u);  // the age-limit read
    EXPECT_GE(sent[3][0], 3100u);
}

TEST_F(Monitor, ReportRequestOfAnotherProgramIsIgnored) {
    ProgressActive = 1;
    test_wire_land(0, 50, management(AdapterAddress, OtherAddress, hex("01 1a bb 80")));
    run_until(150);
    EXPECT_EQ(ProgressActive, 1);
}

}  // namespace
