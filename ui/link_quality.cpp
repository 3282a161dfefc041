// The Device page's link-quality display: the average data rate of the stations, shown as the
// position and colour of the analysis bar and a grade on the status line.
#include <cmath>

#include "app/state.h"
#include "platform/win/common_controls.h"
#include "platform/win/window.h"
#include "protocol/monitor.h"
#include "ui/page_windows.h"

namespace {

// The average of the rates from entry 0 up to the first entry not in use or without a rate.
double average_rate() {
    double sum = 0.0;
    int count = 0;
    for (const StationEntry& station : AdapterSettings[CurrentAdapter].stations) {
        if (station.in_use == 0 || station.rate_mbps == 0.0) {
            break;
        }
        sum += station.rate_mbps;
        ++count;
    }
    return sum != 0.0 ? sum / count : 0.0;
}

// A logarithmic scale on which 12.358 Mbps fills the bar; above 100 the bar shows full.
int bar_position(double average) {
    double x = average * 0.0809192425958893;
    if (x <= 0) {
        return 3;
    }
    double y = (std::log10(x) + 1.13502) * 0.8810417437578193;
    return static_cast<int>(100 * (x > y ? x : y));
}

}  // namespace

void show_link_quality() {
    if (DevicePageWindow == nullptr) {
        return;
    }
    double average = average_rate();
    SendDlgItemMessageA(DevicePageWindow, ANALYSIS_BAR_ID, PBM_SETPOS,
                        static_cast<WPARAM>(bar_position(average)), 0);
    COLORREF colour = RGB(0, 230, 0);
    const char* grade = "Link Quality: Excellent";
    if (average < 0.905) {
        colour = RGB(230, 0, 0);
        grade = "Link Quality: Poor";
    } else if (average <= 2.5) {
        colour = RGB(230, 230, 0);
        grade = "Link Quality: Fair";
    }
    SendDlgItemMessageA(DevicePageWindow, ANALYSIS_BAR_ID, PBM_SETBARCOLOR, 0,
                        static_cast<LPARAM>(colour));
    SetDlgItemTextA(DevicePageWindow, DEVICE_STATUS_LINE_ID, grade);
}
