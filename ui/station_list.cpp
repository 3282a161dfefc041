// The Network page's station list: one row per station in use, its MAC address and its rate.
#include <cstdio>

#include "app/state.h"
#include "platform/win/common_controls.h"
#include "platform/win/window.h"
#include "ui/page_windows.h"

void fill_station_list() {
    if (NetworkPageWindow == nullptr) {
        return;
    }
    SendDlgItemMessageA(NetworkPageWindow, STATION_LIST_ID, LVM_DELETEALLITEMS, 0, 0);
    for (const StationEntry& station : AdapterSettings[CurrentAdapter].stations) {
        if (station.in_use == 0) {
            continue;
        }
        char address[18];
        std::snprintf(address, sizeof address, "%.2x:%.2x:%.2x:%.2x:%.2x:%.2x", station.address[0],
                      station.address[1], station.address[2], station.address[3],
                      station.address[4], station.address[5]);
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.pszText = address;
        // The list sorts its rows; the rate goes into the row it reports for the new item.
        auto row = static_cast<int>(SendDlgItemMessageA(NetworkPageWindow, STATION_LIST_ID,
                                                        LVM_INSERTITEMA, 0,
                                                        reinterpret_cast<LPARAM>(&item)));
        char rate[32] = "*";
        if (station.rate_mbps != 0.0) {
            std::snprintf(rate, sizeof rate, "%.2f", station.rate_mbps);
        }
        LVITEMA subitem{};
        subitem.iSubItem = 1;
        subitem.pszText = rate;
        SendDlgItemMessageA(NetworkPageWindow, STATION_LIST_ID, LVM_SETITEMTEXTA,
                            static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&subitem));
    }
}
