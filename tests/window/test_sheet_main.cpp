// The test sheet in the terminal, for the end-to-end test of the terminal frontend: lists with
// rows, a bar stepped by a 100 ms timer, Go opens a message box, Scan a modal dialog that the
// timer ends after two seconds. What the pages hear, and each move of the focus ("focus <id>",
// 0 for the tab row), go to the file named by the first argument as they happen.
#include <cstdio>

#include "platform/win/common_controls.h"
#include "tests/window/test_sheet.h"

namespace {

HWND ScanWindow;
int ScanTicks;
FILE* Log;
size_t Logged;
HWND LastFocus = reinterpret_cast<HWND>(-1);

void write_log() {
    if (Log == nullptr) {
        return;
    }
    HWND focus = GetFocus();
    if (focus != LastFocus) {
        LastFocus = focus;
        SheetLog.push_back("focus " + std::to_string(GetDlgCtrlID(focus)));
    }
    for (; Logged < SheetLog.size(); ++Logged) {
        std::fprintf(Log, "%s\n", SheetLog[Logged].c_str());
    }
    std::fflush(Log);
}

void fill(HWND page, int list, const char* const* first_column, int rows) {
    const char* columns[] = {"Status", "Name"};
    for (const char* title : columns) {
        LVCOLUMNA c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH;
        c.pszText = const_cast<char*>(title);
        c.cx = 100;
        SendDlgItemMessageA(page, list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&c));
    }
    for (int i = 0; i < rows; ++i) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = const_cast<char*>(first_column[i]);
        int at = static_cast<int>(
            SendDlgItemMessageA(page, list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        item.iSubItem = 1;
        item.pszText = const_cast<char*>(i % 2 == 0 ? "OK" : "FAIL");
        SendDlgItemMessageA(page, list, LVM_SETITEMTEXTA, static_cast<WPARAM>(at),
                            reinterpret_cast<LPARAM>(&item));
    }
}

void on_init(HWND page, int index) {
    static const char* const names[] = {"alpha-one",  "alpha-two", "alpha-three", "alpha-four",
                                        "alpha-five", "alpha-six", "alpha-seven"};
    static const char* const macs[] = {"02:00:00:00:00:01", "02:00:00:00:00:03",
                                       "02:00:00:00:00:02"};
    if (index == 0) {
        fill(page, AlphaList, names, 7);
        SetDlgItemTextA(page, AlphaState, "Connected to 02:00:00:00:00:01");
        SendDlgItemMessageA(page, AlphaBar, PBM_SETSTEP, 2, 0);
        SendDlgItemMessageA(page, AlphaBar, PBM_SETBARCOLOR, 0, RGB(230, 230, 0));
    } else if (index == 1) {
        fill(page, BetaList, macs, 3);
    } else {
        fill(page, GammaList, names, 4);
    }
}

INT_PTR scan_proc(HWND window, UINT message, WPARAM, LPARAM) {
    ScanWindow = window;
    if (message == WM_INITDIALOG) {
        SendDlgItemMessageA(window, ScanBar, PBM_SETSTEP, 5, 0);
    }
    return 0;
}

void tick(HWND, UINT, UINT_PTR, DWORD) {
    write_log();
    if (PageWindow[0] != nullptr) {
        SendDlgItemMessageA(PageWindow[0], AlphaBar, PBM_STEPIT, 0, 0);
    }
    if (ScanWindow != nullptr) {
        SendDlgItemMessageA(ScanWindow, ScanBar, PBM_STEPIT, 0, 0);
        if (++ScanTicks == 20) {
            EndDialog(ScanWindow, 0);
        }
    }
}

void on_command(HWND page, int id) {
    if (id == AlphaGo) {
        MessageBoxA(page, "Go was pressed.\nThe timer keeps running meanwhile.", "Test Box",
                    MB_OK | MB_ICONERROR);
        SetDlgItemTextA(page, AlphaStatus, "Go done");
    } else if (id == BetaScan) {
        ScanTicks = 0;
        DialogBoxParamA(nullptr, MAKEINTRESOURCEA(ScanDialogId), page, scan_proc, 0);
        ScanWindow = nullptr;
    }
}

}  // namespace

int main(int argc, char** argv) {
    Log = argc > 1 ? std::fopen(argv[1], "w") : nullptr;
    OnInit = on_init;
    OnCommand = on_command;
    SetTimer(nullptr, 0, 100, tick);
    INT_PTR result =
        run_test_sheet(PSH_NOAPPLYNOW | PSH_USECALLBACK, [](HWND, UINT, LPARAM) { return 1; });
    SheetLog.push_back("result " + std::to_string(result));
    LastFocus = GetFocus();
    write_log();
    if (Log != nullptr) {
        std::fclose(Log);
    }
    return 0;
}
