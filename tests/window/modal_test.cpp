#include "tests/window/window_fixture.h"

namespace {

class Modal : public WindowTest {};

HWND ScanWindow;
int Ticks;
std::vector<uint64_t> TickTimes;

INT_PTR scan_proc(HWND window, UINT message, WPARAM, LPARAM lparam) {
    ScanWindow = window;
    if (message == WM_INITDIALOG) {
        SendDlgItemMessageA(window, ScanBar, PBM_SETSTEP, 1, 0);
        EXPECT_EQ(lparam, 77);
    }
    return 0;
}

// A monitor-like tick: steps the bar of whatever dialog is open and ends it at the tenth tick.
void monitor_tick(HWND, UINT, UINT_PTR, DWORD) {
    ++Ticks;
    TickTimes.push_back(clock_now());
    if (ScanWindow != nullptr) {
        SendDlgItemMessageA(ScanWindow, ScanBar, PBM_STEPIT, 0, 0);
        if (Ticks == 10) {
            EXPECT_EQ(headless_bar(ScanWindow, ScanBar).pos, 10);
            EndDialog(ScanWindow, 5);
        }
    }
}

TEST_F(Modal, DialogEndedFromATimerCallbackReturnsToThePage) {
    static INT_PTR result;
    static bool sheet_was_disabled;
    OnCommand = [](HWND page, int id) {
        if (id == BetaScan) {
            Ticks = 0;
            SetTimer(nullptr, 0, 100, monitor_tick);
            result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(ScanDialogId),
                                     page, scan_proc, 77);
            ScanWindow = nullptr;
            SheetLog.push_back("dialog ended at " + std::to_string(clock_now()));
        }
    };
    headless_at(100, [] { headless_switch_page(1); });
    headless_at(200, [] { headless_press(BetaScan); });
    headless_at(500, [] {
        EXPECT_EQ(headless_front(), ScanWindow);
        sheet_was_disabled = !IsWindowEnabled(headless_sheet());
        // The sheet takes no input while the dialog is open, and the dialog has no close box:
        // Escape does nothing.
        EXPECT_FALSE(IsWindowVisible(headless_control(ScanWindow, IDCANCEL)));
        headless_escape();
    });
    headless_at(5000, [] {
        EXPECT_TRUE(IsWindowEnabled(headless_sheet()));
        headless_ok();
    });
    run_test_sheet(PSH_NOAPPLYNOW);
    EXPECT_EQ(result, 5);
    EXPECT_TRUE(sheet_was_disabled);
    EXPECT_NE(std::find(SheetLog.begin(), SheetLog.end(), "dialog ended at 1200"), SheetLog.end());
}

TEST_F(Modal, EndDialogEndsOnlyDialogs) {
    headless_at(100, [] {
        EXPECT_FALSE(EndDialog(headless_sheet(), 1));
        EXPECT_FALSE(EndDialog(headless_page(0), 1));
        EXPECT_FALSE(EndDialog(nullptr, 1));
        headless_cancel();
    });
    EXPECT_EQ(run_test_sheet(PSH_NOAPPLYNOW), 0);
}

TEST_F(Modal, TranscriptRecordsWindowsInputAndTexts) {
    HeadlessOptions options;
    options.transcript = true;
    headless_use(options);
    OnCommand = [](HWND page, int id) {
        if (id == AlphaGo) {
            SetDlgItemTextA(page, AlphaStatus, "Working");
            MessageBoxA(page, "Done.", "Result", MB_OK);
        }
    };
    headless_at(100, [] { headless_press(AlphaGo); });
    headless_at(200, [] { headless_dismiss(); });
    headless_at(300, [] { headless_ok(); });
    run_test_sheet(PSH_NOAPPLYNOW);
    const std::vector<std::string> expected = {"0 shown sheet \"Test Sheet\"",
                                               "100 press 101",
                                               "100 text 102 := \"Working\"",
                                               "100 shown message box \"Result\"",
                                               "100   text \"Done.\"",
                                               "200 press 1",
                                               "200 closed message box \"Result\"",
                                               "300 press 1",
                                               "300 closed sheet \"Test Sheet\""};
    EXPECT_EQ(headless_transcript(), expected);
}

TEST_F(Modal, MissingTemplateGivesMinusOne) {
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(4242), nullptr, scan_proc, 0), -1);
}

TEST_F(Modal, MessageBoxDeliversTimersAndIsRecorded) {
    static int result;
    OnCommand = [](HWND page, int id) {
        if (id == AlphaGo) {
            Ticks = 0;
            TickTimes.clear();
            SetTimer(nullptr, 0, 100, monitor_tick);
            result = MessageBoxA(page, "The Password Entered is Invalid.\nPlease Enter Another",
                                 "Invalid Password Entry", MB_OK | MB_ICONERROR);
        }
    };
    headless_at(100, [] { headless_press(AlphaGo); });
    headless_at(150, [] {
        // Input to the sheet under the box is refused.
        EXPECT_FALSE(headless_ok());
    });
    headless_at(1150, [] { headless_dismiss(); });
    headless_at(2000, [] { headless_ok(); });
    run_test_sheet(PSH_NOAPPLYNOW);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(TickTimes.size() >= 10u, true);
    EXPECT_EQ(TickTimes[9], 1100u);
    auto boxes = headless_message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "The Password Entered is Invalid.\nPlease Enter Another");
    EXPECT_EQ(boxes[0].caption, "Invalid Password Entry");
    EXPECT_EQ(boxes[0].type & MB_ICONMASK, MB_ICONERROR);
    EXPECT_EQ(boxes[0].time, 100u);
    // The refused OK was noted; clear it so the fixture's check passes.
    const_cast<std::vector<std::string>&>(headless_errors()).clear();
}

TEST_F(Modal, QuitInsideAModalLoopReachesTheOuterLoop) {
    headless_at(100, [] { PostQuitMessage(3); });
    EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_OK), 0);
    MSG msg;
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(Modal, EscapeOnAMessageBoxWithOkAloneIsOk) {
    headless_at(100, [] { headless_escape(); });
    EXPECT_EQ(MessageBoxA(nullptr, "text", nullptr, MB_OK), IDOK);
    EXPECT_EQ(headless_message_boxes()[0].caption, "Error");
}

}  // namespace
