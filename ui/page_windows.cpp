#include "ui/page_windows.h"

HWND DevicePageWindow;
HWND NetworkPageWindow;
HWND AdvancedPageWindow;
HWND ScanDialogWindow;
