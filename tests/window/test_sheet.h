// A small property sheet of three pages and a modal dialog, built from test templates, whose
// procedures write what they receive into SheetLog.
#pragma once

#include <string>
#include <vector>

#include "platform/win/common_controls.h"

extern std::vector<std::string> SheetLog;
extern HWND PageWindow[3];

constexpr int AlphaList = 100, AlphaGo = 101, AlphaStatus = 102, AlphaBar = 103, AlphaState = 104;
constexpr int BetaList = 200, BetaScan = 201;
constexpr int GammaName = 300, GammaNote = 301, GammaList = 302, GammaAdd = 303;
constexpr int ScanDialogId = 900, ScanBar = 1;

// The three pages in order Alpha, Beta, Gamma; `flags` for the header, `callback` optional.
INT_PTR run_test_sheet(DWORD flags, PFNPROPSHEETCALLBACK callback = nullptr);
// What happens on a button of a page, set by a test (the default logs the command), and when a
// page is created.
extern void (*OnCommand)(HWND page, int id);
extern void (*OnInit)(HWND page, int index);
