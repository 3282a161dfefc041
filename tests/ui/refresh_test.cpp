// The two refreshes the monitor calls at the end of an analysis, and the bars it steps, on
// real windows of the headless frontend.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/state.h"
#include "platform/win/clock.h"
#include "platform/win/common_controls.h"
#include "platform/win/dialog_template.h"
#include "platform/win/headless.h"
#include "platform/win/window.h"
#include "protocol/monitor.h"
#include "ui/page_windows.h"

namespace {

// A window holding what the refreshes draw on: the Device page's bar and status line and the
// Network page's sorted list.
const ControlTemplate Controls[] = {
    {ANALYSIS_BAR_ID, PROGRESS_CLASSA, "", 10, 10, 100, 10, WS_BORDER, 0},
    {DEVICE_STATUS_LINE_ID, WC_STATICA, "", 10, 30, 200, 8, SS_LEFT, 0},
    {STATION_LIST_ID, WC_LISTVIEWA, "", 10, 50, 135, 100, LVS_REPORT | LVS_SORTDESCENDING, 0},
};
const DialogTemplate Window = {
    9001,     "Refresh",          295, 220, "MS Sans Serif", 8, WS_POPUP | WS_CAPTION,
    Controls, std::size(Controls)};
DIALOG_RESOURCE(Window);

INT_PTR CALLBACK window_procedure(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        DevicePageWindow = window;
        NetworkPageWindow = window;
        SendDlgItemMessageA(window, ANALYSIS_BAR_ID, PBM_SETSTEP, 2, 0);
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = 100;
        column.pszText = const_cast<char*>("Data Rate (Mbps)");
        SendDlgItemMessageA(window, STATION_LIST_ID, LVM_INSERTCOLUMNA, 0,
                            reinterpret_cast<LPARAM>(&column));
        column.pszText = const_cast<char*>("MAC Address");
        SendDlgItemMessageA(window, STATION_LIST_ID, LVM_INSERTCOLUMNA, 0,
                            reinterpret_cast<LPARAM>(&column));
    }
    return 0;
}

class Refresh : public ::testing::Test {
  protected:
    void SetUp() override {
        clock_use_virtual();
        headless_use();
        std::memset(AdapterSettings, 0, sizeof AdapterSettings);
        CurrentAdapter = 3;
        DevicePageWindow = NetworkPageWindow = ScanDialogWindow = nullptr;
    }
    // Shows the window, runs `check` inside it, then closes it.
    void inside_window(std::function<void(HWND)> check) {
        headless_at(10, [check] {
            check(DevicePageWindow);
            EndDialog(DevicePageWindow, 0);
        });
        DialogBoxParamA(nullptr, MAKEINTRESOURCEA(9001), nullptr, window_procedure, 0);
        EXPECT_TRUE(headless_errors().empty());
    }
    void station(int entry, uint8_t last, double rate) {
        StationEntry& s = AdapterSettings[CurrentAdapter].stations[entry];
        s.in_use = 1;
        const uint8_t address[6] = {0x02, 0, 0, 0, 0, last};
        std::memcpy(s.address, address, 6);
        s.rate_mbps = rate;
    }
};

TEST_F(Refresh, DoNothingBeforeTheirPageExists) {
    station(0, 1, 5.0);
    show_link_quality();
    fill_station_list();  // no window: nothing to crash on
}

TEST_F(Refresh, LinkQualityGradesTheAverageRate) {
    struct Case {
        const char* name;
        std::vector<double> rates;  // entries 0.. in use; NaN marks an entry not in use
        int position;
        COLORREF colour;
        const char* text;
    } cases[] = {
        {"no station", {}, 3, RGB(230, 0, 0), "Link Quality: Poor"},
        {"1.0 and 3.0", {1.0, 3.0}, 30, RGB(230, 230, 0), "Link Quality: Fair"},
        {"exactly 0.905", {0.905}, 7, RGB(230, 230, 0), "Link Quality: Fair"},
        {"exactly 2.5", {2.5}, 38, RGB(230, 230, 0), "Link Quality: Fair"},
        {"stops at the first entry not in use",
         {4.0, NAN, 0.5},
         56,
         RGB(0, 230, 0),
         "Link Quality: Excellent"},
        {"stops at the first entry without a rate",
         {4.0, 0.0, 0.5},
         56,
         RGB(0, 230, 0),
         "Link Quality: Excellent"},
        {"negative average", {-0.12978912978912938}, 3, RGB(230, 0, 0), "Link Quality: Poor"},
        {"14 fills the bar past its top", {14.0}, 113, RGB(0, 230, 0), "Link Quality: Excellent"},
        {"one", {1.0}, 8, RGB(230, 230, 0), "Link Quality: Fair"},
        {"ten", {10.0}, 91, RGB(0, 230, 0), "Link Quality: Excellent"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::memset(AdapterSettings, 0, sizeof AdapterSettings);
        for (size_t i = 0; i < c.rates.size(); ++i) {
            if (!std::isnan(c.rates[i])) {
                station(static_cast<int>(i), static_cast<uint8_t>(i), c.rates[i]);
            }
        }
        inside_window([&](HWND w) {
            show_link_quality();
            BarView bar = headless_bar(w, ANALYSIS_BAR_ID);
            EXPECT_EQ(bar.pos, std::min(c.position, 100));
            EXPECT_EQ(bar.color, c.colour);
            EXPECT_EQ(headless_text(w, DEVICE_STATUS_LINE_ID), c.text);
        });
    }
}

TEST_F(Refresh, StationListShowsEveryStationInUseSortedDescending) {
    station(0, 0x01, 0.0);
    station(5, 0x02, 3.14159);  // entries 1-4 not in use: the fill skips the gap
    station(7, 0x03, -0.12978912978912938);
    inside_window([](HWND w) {
        fill_station_list();
        EXPECT_EQ(headless_columns(w, STATION_LIST_ID),
                  (std::vector<std::string>{"MAC Address", "Data Rate (Mbps)"}));
        EXPECT_EQ(headless_rows(w, STATION_LIST_ID),
                  (std::vector<std::vector<std::string>>{{"02:00:00:00:00:03", "-0.13"},
                                                         {"02:00:00:00:00:02", "3.14"},
                                                         {"02:00:00:00:00:01", "*"}}));
        fill_station_list();  // refilled whole, not appended
        EXPECT_EQ(headless_rows(w, STATION_LIST_ID).size(), 3u);
    });
}

TEST_F(Refresh, MonitorStepsTheBarAndEndsTheScanDialog) {
    CurrentAdapter = 0;
    AdapterRecord[0].bridge_present = 0;
    ProgressActive = 1;
    headless_at(10, [] {
        ScanDialogWindow = DevicePageWindow;  // the same window stands for both
        for (int i = 0; i < 3; ++i) {
            monitor_tick(nullptr, 0, 0, 0);
        }
        EXPECT_EQ(headless_bar(DevicePageWindow, ANALYSIS_BAR_ID).pos, 12);  // stepped twice a tick
        end_analysis();
    });
    INT_PTR result = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(9001), nullptr, window_procedure, 0);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ProgressActive, 0);
}

}  // namespace
