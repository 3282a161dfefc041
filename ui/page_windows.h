// What the pages share with the monitor: their window handles, empty until a page is first
// shown (the sheet creates pages lazily) and the scan dialog while it is open, and the two
// refreshes the monitor calls at the end of an analysis. Both do nothing while their page
// does not exist.
#pragma once

#include "platform/win/win_types.h"

extern HWND DevicePageWindow;
extern HWND NetworkPageWindow;
extern HWND AdvancedPageWindow;
extern HWND ScanDialogWindow;

constexpr int DEVICE_STATUS_LINE_ID = 1083;
constexpr int STATION_LIST_ID = 1061;

// Grades the average rate of the current adapter's stations on the Device page: bar position
// and colour, and the status line.
void show_link_quality();
// Refills the Network page's station list from the current adapter's table.
void fill_station_list();
