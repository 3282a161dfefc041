// The network monitor cycle.
#include "protocol/monitor.h"

#include "app/state.h"
#include "platform/win/common_controls.h"
#include "platform/win/window.h"
#include "protocol/event_log.h"
#include "protocol/extended.h"
#include "protocol/frames.h"
#include "protocol/stations.h"
#include "transport/adapters.h"
#include "ui/page_windows.h"

int TickCounter;
int StepCounter;
int ProgressActive;
UINT_PTR EndOfScanTimer;

namespace {

uint8_t MonitorFrame[RECEIVE_FRAME_SIZE];

void stop_end_of_scan_timer() {
    if (EndOfScanTimer != 0) {
        KillTimer(nullptr, EndOfScanTimer);
        EndOfScanTimer = 0;
    }
}

// Hands one received frame of a standard bridge to whoever uses it.
void dispatch_answer(const uint8_t* frame) {
    if (is_station_probe_reply(frame)) {
        record_station_reply(frame);
    } else if (is_bridge_report_answer(frame)) {
        estimate_station_rates(frame);
        end_analysis();
    } else if (is_parameter_block_answer(frame)) {
        handle_parameter_reply(frame);
    }
}

void drain_answers() {
    while (take_frame(MonitorFrame) != 0) {
        // An extended bridge's answers come through its own transactions; here they are dropped.
        if (ExtendedProtocol[CurrentAdapter] == 0) {
            dispatch_answer(MonitorFrame);
        }
    }
}

void refresh_stations() {
    const AdapterRecordEntry& record = AdapterRecord[CurrentAdapter];
    request_parameter_block(record.status_answered != 0 ? 0x00 : 0x10);
    if (ExtendedProtocol[CurrentAdapter] == 0) {
        probe_stations_broadcast();
        return;
    }
    send_extended_station_list_request(CurrentAdapter);
    receive_extended_station_list();
    read_device_clock(CurrentAdapter);
    read_age_limit(CurrentAdapter);
    fill_stations_from_extended_list(CurrentAdapter);
}

// Takes the action of `step` if it has one; returns whether it had.
bool take_step_action(int step) {
    const AdapterRecordEntry& record = AdapterRecord[CurrentAdapter];
    switch (step) {
        case 15:
        case 45:
            refresh_stations();
            return true;
        case 18:
        case 48:
            probe_known_stations();
            return true;
        case 21:
        case 51:
            send_bridge_report_request(CurrentAdapter, record.address, BroadcastAddress);
            return true;
        case 24:
        case 54:
            // Without the EEPROM block nothing is sent, but the step still counts as taken.
            if (record.status_answered != 0) {
                request_parameter_block(0x00);
            }
            return true;
        case 27:
        case 57:
            request_parameter_block(0x10);
            return true;
        default:
            return false;
    }
}

}  // namespace

void monitor_tick(HWND, UINT, UINT_PTR, DWORD) {
    if (BusyGate != 0) {
        return;
    }
    if (ProgressActive == 1) {
        SendDlgItemMessageA(DevicePageWindow, ANALYSIS_BAR_ID, PBM_STEPIT, 0, 0);
        if (ScanDialogWindow != nullptr) {
            SendDlgItemMessageA(ScanDialogWindow, ANALYSIS_BAR_ID, PBM_STEPIT, 0, 0);
        }
    }
    drain_answers();
    if (++TickCounter == TICKS_PER_STEP) {
        TickCounter = 0;
        ++StepCounter;
    }
    // An action step is left in the tick that reaches it.
    if (AdapterRecord[CurrentAdapter].bridge_present != 0 && take_step_action(StepCounter)) {
        TickCounter = 0;
        ++StepCounter;
        return;
    }
    if (StepCounter == CYCLE_STEPS) {
        age_stations();
        fill_station_list();
        TickCounter = 0;
        StepCounter = 0;
    }
}

void start_analysis() {
    TickCounter = 0;
    stop_end_of_scan_timer();
    EndOfScanTimer = SetTimer(nullptr, 0, END_OF_SCAN_MS, end_of_scan);
    StepCounter = ANALYSIS_FIRST_STEP;
}

void end_of_scan(HWND, UINT, UINT_PTR, DWORD) {
    end_analysis();
}

void end_analysis() {
    stop_end_of_scan_timer();
    ProgressActive = 0;
    show_link_quality();
    fill_station_list();
    if (ScanDialogWindow != nullptr) {
        EndDialog(ScanDialogWindow, 0);
    }
}
