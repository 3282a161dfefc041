#include <cstring>

#include "platform/win/dialog_template.h"

#include "tests/window/window_fixture.h"

namespace {

using Strings = std::vector<std::string>;

class Sheet : public WindowTest {};

TEST_F(Sheet, OpensOnTheFirstPageWithTabsInOrderAndOnlyOkAndCancel) {
    headless_at(100, [] {
        EXPECT_EQ(headless_tabs(), (Strings{"Alpha", "Beta", "Gamma"}));
        EXPECT_EQ(headless_current_page(), 0);
        EXPECT_EQ(headless_sheet_buttons(), (std::vector<int>{IDOK, IDCANCEL}));
        headless_ok();
    });
    EXPECT_EQ(run_test_sheet(PSH_NOAPPLYNOW), 1);
}

TEST_F(Sheet, WithoutNoApplyNowItAlsoHasApply) {
    headless_at(100, [] {
        EXPECT_EQ(headless_sheet_buttons(), (std::vector<int>{IDOK, IDCANCEL, ID_APPLY_NOW}));
        EXPECT_FALSE(headless_enabled(headless_sheet(), ID_APPLY_NOW));
        headless_cancel();
    });
    EXPECT_EQ(run_test_sheet(0), 0);
}

TEST_F(Sheet, PagesAreCreatedWhenFirstShownAndActivatedEachTime) {
    headless_at(100, [] {
        EXPECT_NE(headless_page(0), nullptr);
        EXPECT_EQ(headless_page(1), nullptr);
        EXPECT_EQ(headless_page(2), nullptr);
        headless_switch_page(2);
    });
    headless_at(200, [] { headless_switch_page(0); });
    headless_at(300, [] { headless_switch_page(2); });
    headless_at(400, [] {
        EXPECT_EQ(headless_page(1), nullptr);
        EXPECT_TRUE(headless_visible(headless_page(2), GammaAdd));
        EXPECT_FALSE(headless_visible(headless_page(0), AlphaGo));
        headless_ok();
    });
    run_test_sheet(PSH_NOAPPLYNOW);
    EXPECT_EQ(SheetLog, (Strings{"Alpha init", "Alpha setactive",                      //
                                 "Alpha killactive", "Gamma init", "Gamma setactive",  //
                                 "Gamma killactive", "Alpha setactive",                //
                                 "Alpha killactive", "Gamma setactive",                //
                                 "Gamma killactive", "Alpha apply", "Gamma apply"}));
}

TEST_F(Sheet, CancelResetsOnlyTheCreatedPagesInOrder) {
    headless_at(100, [] { headless_switch_page(2); });
    headless_at(200, [] { headless_cancel(); });
    EXPECT_EQ(run_test_sheet(PSH_NOAPPLYNOW), 0);
    Strings resets;
    for (const std::string& line : SheetLog) {
        if (line.ends_with("reset")) {
            resets.push_back(line);
        }
    }
    EXPECT_EQ(resets, (Strings{"Alpha reset", "Gamma reset"}));
}

TEST_F(Sheet, OkResetsNoPage) {
    headless_at(100, [] { headless_ok(); });
    run_test_sheet(PSH_NOAPPLYNOW);
    for (const std::string& line : SheetLog) {
        EXPECT_FALSE(line.ends_with("reset")) << line;
    }
}

TEST_F(Sheet, EscapeIsCancel) {
    headless_at(100, [] { headless_escape(); });
    EXPECT_EQ(run_test_sheet(PSH_NOAPPLYNOW), 0);
    EXPECT_EQ(SheetLog.back(), "Alpha reset");
}

TEST_F(Sheet, TabVisitsTheTabRowThePageControlsThenOkAndCancel) {
    headless_at(100, [] {
        std::vector<int> order;
        for (int i = 0; i < 6; ++i) {
            order.push_back(headless_focus_id());
            headless_tab();
        }
        // The first tab stop of the page has the focus when the sheet opens; static texts, the
        // bar and group boxes are passed over.
        EXPECT_EQ(order, (std::vector<int>{AlphaList, AlphaGo, AlphaState, IDOK, IDCANCEL, 0}));
        headless_tab(true);  // back from the list to the tab row, and round to Cancel
        EXPECT_EQ(headless_focus_id(), 0);
        headless_tab(true);
        EXPECT_EQ(headless_focus_id(), IDCANCEL);
        headless_switch_page(2);
        headless_focus(GammaNote);
        headless_tab();
        EXPECT_EQ(headless_focus_id(), GammaList);
        headless_ok();
    });
    run_test_sheet(PSH_NOAPPLYNOW);
}

// The pre-create callback as the program writes it: clears DS_CONTEXTHELP in whichever form.
int clear_context_help(HWND, UINT message, LPARAM lparam) {
    if (message == PSCB_PRECREATE) {
        auto* bytes = reinterpret_cast<unsigned char*>(lparam);
        WORD signature;
        std::memcpy(&signature, bytes + 2, 2);
        size_t offset = signature == 0xFFFF ? 12 : 0;
        DWORD style;
        std::memcpy(&style, bytes + offset, 4);
        style &= ~DS_CONTEXTHELP;
        std::memcpy(bytes + offset, &style, 4);
    }
    return 1;
}

int leave_template(HWND, UINT, LPARAM) {
    return 1;
}

TEST_F(Sheet, HelpButtonFollowsTheStyleTheCallbackLeaves) {
    struct Case {
        SheetTemplateForm form;
        DWORD flags;
        PFNPROPSHEETCALLBACK callback;
        bool help;
    };
    const Case cases[] = {
        {SheetTemplateForm::Plain, PSH_USECALLBACK, clear_context_help, false},
        {SheetTemplateForm::Extended, PSH_USECALLBACK, clear_context_help, false},
        {SheetTemplateForm::Plain, PSH_USECALLBACK, leave_template, true},
        {SheetTemplateForm::Extended, PSH_USECALLBACK, leave_template, true},
        {SheetTemplateForm::Extended, 0, clear_context_help, true},  // callback not asked for
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.form));
        headless_set_sheet_template_form(c.form);
        static bool seen;
        headless_at(clock_now() + 100, [] {
            seen = headless_help_button();
            headless_ok();
        });
        run_test_sheet(PSH_NOAPPLYNOW | c.flags, c.callback);
        EXPECT_EQ(seen, c.help);
    }
}

std::vector<UINT> CallbackMessages;
bool CallbackSawExtendedSignature;

int record_callback(HWND window, UINT message, LPARAM lparam) {
    CallbackMessages.push_back(message);
    if (message == PSCB_PRECREATE) {
        EXPECT_EQ(window, nullptr);
        auto* t = reinterpret_cast<DLGTEMPLATEEX*>(lparam);
        CallbackSawExtendedSignature = t->signature == 0xFFFF;
        EXPECT_NE(t->style & DS_CONTEXTHELP, 0u);
    } else {
        EXPECT_NE(window, nullptr);
    }
    return 1;
}

TEST_F(Sheet, CallbackHearsPrecreateThenInitialized) {
    headless_at(100, [] { headless_ok(); });
    run_test_sheet(PSH_NOAPPLYNOW | PSH_USECALLBACK, record_callback);
    EXPECT_EQ(CallbackMessages, (std::vector<UINT>{PSCB_PRECREATE, PSCB_INITIALIZED}));
    EXPECT_TRUE(CallbackSawExtendedSignature);
}

TEST_F(Sheet, PagesKeepTheirWindowHandleAndGetCommandsById) {
    OnCommand = [](HWND page, int id) {
        if (id == AlphaGo) {
            SetDlgItemTextA(page, AlphaStatus, "Pressed");
        }
    };
    headless_at(100, [] { headless_press(AlphaGo); });
    headless_at(200, [] {
        EXPECT_EQ(headless_page(0), PageWindow[0]);
        EXPECT_EQ(headless_text(PageWindow[0], AlphaStatus), "Pressed");
        headless_ok();
    });
    run_test_sheet(PSH_NOAPPLYNOW);
    EXPECT_NE(std::find(SheetLog.begin(), SheetLog.end(), "Alpha command 101"), SheetLog.end());
}

TEST_F(Sheet, TimerCallbacksRunInsideTheSheetAndReachAnyPage) {
    static int ticks;
    ticks = 0;
    SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) {
        ++ticks;
        SendDlgItemMessageA(PageWindow[0], AlphaBar, PBM_STEPIT, 0, 0);
    });
    OnCommand = nullptr;
    headless_at(1050, [] {
        EXPECT_EQ(ticks, 10);
        // The default step of a bar is 10.
        EXPECT_EQ(headless_bar(PageWindow[0], AlphaBar).pos, 100);
        headless_ok();
    });
    run_test_sheet(PSH_NOAPPLYNOW);
}

}  // namespace
