#include "tests/window/test_sheet.h"

#include <iterator>

#include "platform/win/dialog_template.h"

std::vector<std::string> SheetLog;
HWND PageWindow[3];
void (*OnCommand)(HWND page, int id) = nullptr;
void (*OnInit)(HWND page, int index) = nullptr;

namespace {

constexpr DWORD PageStyle = DS_SETFONT | WS_CHILD | WS_CAPTION;

// clang-format off
const ControlTemplate AlphaControls[] = {
    // id           class            text                       x    y   cx   cy  style
    {AlphaList,   WC_LISTVIEWA,    "",                          65,  87, 166,  58, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP, 0},
    {AlphaGo,     WC_BUTTONA,      "Go",                       181, 157,  50,  14, BS_PUSHBUTTON | WS_TABSTOP, 0},
    {IDC_STATIC,  WC_STATICA,      "Pick a row below, then press Go.", 27, 51, 241, 28, SS_LEFT, 0},
    {AlphaBar,    PROGRESS_CLASSA, "",                          40, 188, 215,   6, WS_BORDER, 0},
    {AlphaStatus, WC_STATICA,      "",                          40, 177, 182,   8, SS_LEFT, 0},
    {AlphaState,  WC_EDITA,        "",                          45,  20, 228,  14, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0},
    {IDC_STATIC,  WC_STATICA,      "State:",                    22,  22,  20,   8, SS_LEFT, 0},
};
const ControlTemplate BetaControls[] = {
    {IDC_STATIC,  WC_STATICA,      "Rows sort high to low.",    80,  10, 134,  20, SS_LEFT, 0},
    {BetaList,    WC_LISTVIEWA,    "",                          80,  37, 135, 144, LVS_REPORT | LVS_SORTDESCENDING | WS_BORDER | WS_TABSTOP, 0},
    {BetaScan,    WC_BUTTONA,      "Scan",                      99, 186,  97,  14, BS_PUSHBUTTON | WS_TABSTOP, 0},
};
const ControlTemplate GammaControls[] = {
    {GammaAdd,    WC_BUTTONA,      "Add",                      200, 124,  40,  14, BS_PUSHBUTTON | WS_TABSTOP, 0},
    {GammaName,   WC_EDITA,        "",                         170,  51, 102,  14, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0},
    {GammaNote,   WC_EDITA,        "",                         170, 103, 102,  14, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0},
    {GammaList,   WC_LISTVIEWA,    "",                          15,  43, 126, 139, LVS_REPORT | WS_BORDER | WS_TABSTOP, 0},
    {IDC_STATIC,  WC_BUTTONA,      "Names",                      7,  27, 143, 164, BS_GROUPBOX, 0},
    {IDC_STATIC,  WC_BUTTONA,      "Note",                     161,  88, 126,  58, BS_GROUPBOX, 0},
};
const ControlTemplate ScanControls[] = {
    {ScanBar,     PROGRESS_CLASSA, "",                          16,  47, 157,  11, WS_BORDER, 0},
    {IDC_STATIC,  WC_STATICA,      "Scanning, please wait...",  16,  37, 154,   8, SS_LEFT, 0},
};
// clang-format on

const DialogTemplate Alpha = {
    501, "Alpha", 295, 220, "MS Sans Serif", 8, PageStyle, AlphaControls, std::size(AlphaControls)};
const DialogTemplate Beta = {
    502, "Beta", 295, 220, "MS Sans Serif", 8, PageStyle, BetaControls, std::size(BetaControls)};
const DialogTemplate Gamma = {
    503, "Gamma", 290, 226, "MS Sans Serif", 8, PageStyle, GammaControls, std::size(GammaControls)};
const DialogTemplate Scan = {ScanDialogId,
                             "Scan",
                             186,
                             95,
                             "MS Sans Serif",
                             8,
                             DS_CENTER | DS_SYSMODAL | DS_MODALFRAME | WS_POPUP | WS_CAPTION,
                             ScanControls,
                             std::size(ScanControls)};
DIALOG_RESOURCE(Alpha);
DIALOG_RESOURCE(Beta);
DIALOG_RESOURCE(Gamma);
DIALOG_RESOURCE(Scan);

const char* const Names[] = {"Alpha", "Beta", "Gamma"};

INT_PTR page_proc(int index, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    PageWindow[index] = window;
    std::string name = Names[index];
    if (message == WM_INITDIALOG) {
        SheetLog.push_back(name + " init");
        if (OnInit != nullptr) {
            OnInit(window, index);
        }
    } else if (message == WM_NOTIFY) {
        UINT code = reinterpret_cast<NMHDR*>(lparam)->code;
        const char* what = code == PSN_SETACTIVE    ? "setactive"
                           : code == PSN_KILLACTIVE ? "killactive"
                           : code == PSN_RESET      ? "reset"
                           : code == PSN_APPLY      ? "apply"
                                                    : "notify";
        SheetLog.push_back(name + " " + what);
    } else if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED) {
        SheetLog.push_back(name + " command " + std::to_string(LOWORD(wparam)));
        if (OnCommand != nullptr) {
            OnCommand(window, LOWORD(wparam));
        }
    }
    return 0;
}

INT_PTR alpha_proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return page_proc(0, w, m, wp, lp);
}
INT_PTR beta_proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return page_proc(1, w, m, wp, lp);
}
INT_PTR gamma_proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return page_proc(2, w, m, wp, lp);
}

}  // namespace

INT_PTR run_test_sheet(DWORD flags, PFNPROPSHEETCALLBACK callback) {
    DLGPROC procs[] = {alpha_proc, beta_proc, gamma_proc};
    int ids[] = {501, 502, 503};
    HPROPSHEETPAGE pages[3];
    for (int i = 0; i < 3; ++i) {
        PROPSHEETPAGEA page{};
        page.dwSize = sizeof page;
        page.hInstance = GetModuleHandleA(nullptr);
        page.pszTemplate = MAKEINTRESOURCEA(static_cast<WORD>(ids[i]));
        page.pfnDlgProc = procs[i];
        pages[i] = CreatePropertySheetPageA(&page);
    }
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof header;
    header.dwFlags = flags;
    header.hInstance = GetModuleHandleA(nullptr);
    header.pszCaption = "Test Sheet";
    header.nPages = 3;
    header.nStartPage = 0;
    header.phpage = pages;
    header.pfnCallback = callback;
    return PropertySheetA(&header);
}
