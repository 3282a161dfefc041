#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "platform/win/clock.h"
#include "platform/win/headless.h"
#include "platform/win/message_loop.h"
#include "tests/window/test_sheet.h"

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        clock_use_virtual();
        message_loop_reset();
        headless_use();
        SheetLog.clear();
        OnCommand = nullptr;
    }
    void TearDown() override { EXPECT_EQ(headless_errors(), std::vector<std::string>{}); }
};

// Runs `body` on page `index` of the test sheet, shown in front, then closes the sheet.
inline void on_page(int index, std::function<void(HWND page)> body) {
    static std::function<void(HWND)> pending;
    static int page_index;
    pending = std::move(body);
    page_index = index;
    headless_at(clock_now() + 10, [] {
        headless_switch_page(page_index);
        pending(headless_page(page_index));
        headless_ok();
    });
    run_test_sheet(PSH_NOAPPLYNOW);
}

// List view helpers for the tests: the same messages a page sends.
inline void insert_column(HWND page, int id, int at, const char* text, int width) {
    LVCOLUMNA c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH;
    c.pszText = const_cast<char*>(text);
    c.cx = width;
    SendDlgItemMessageA(page, id, LVM_INSERTCOLUMNA, static_cast<WPARAM>(at),
                        reinterpret_cast<LPARAM>(&c));
}

inline int insert_row(HWND page, int id, int at, const char* text) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = at;
    item.pszText = const_cast<char*>(text);
    return static_cast<int>(
        SendDlgItemMessageA(page, id, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

inline void set_subitem(HWND page, int id, int row, int subitem, const char* text) {
    LVITEMA item{};
    item.iSubItem = subitem;
    item.pszText = const_cast<char*>(text);
    SendDlgItemMessageA(page, id, LVM_SETITEMTEXTA, static_cast<WPARAM>(row),
                        reinterpret_cast<LPARAM>(&item));
}

inline void set_row_state(HWND page, int id, int row, UINT state, UINT mask) {
    LVITEMA item{};
    item.state = state;
    item.stateMask = mask;
    SendDlgItemMessageA(page, id, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                        reinterpret_cast<LPARAM>(&item));
}
