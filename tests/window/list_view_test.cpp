#include "tests/window/window_fixture.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

class ListView : public WindowTest {};

std::vector<int> selected_by_next_item(HWND page, int id) {
    std::vector<int> rows;
    for (int i = -1;;) {
        i = static_cast<int>(
            SendDlgItemMessageA(page, id, LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED));
        if (i < 0) {
            return rows;
        }
        rows.push_back(i);
    }
}

TEST_F(ListView, ColumnsInsertedAtZeroPushTheOthersRight) {
    on_page(0, [](HWND page) {
        insert_column(page, AlphaList, 0, "MAC address", 100);
        insert_column(page, AlphaList, 0, "Device", 145);
        EXPECT_EQ(headless_columns(page, AlphaList),
                  (std::vector<std::string>{"Device", "MAC address"}));
        EXPECT_EQ(SendDlgItemMessageA(page, AlphaList, LVM_GETCOLUMNWIDTH, 1, 0), 100);
        EXPECT_EQ(insert_row(page, AlphaList, 0, "PLC Device"), 0);
        set_subitem(page, AlphaList, 0, 1, "02:00:00:00:00:01");
        EXPECT_EQ(headless_rows(page, AlphaList), (Rows{{"PLC Device", "02:00:00:00:00:01"}}));
    });
}

TEST_F(ListView, RowsGoWhereAskedOrToTheEnd) {
    on_page(2, [](HWND page) {
        insert_column(page, GammaList, 0, "Password", 139);
        const struct {
            int at;
            const char* text;
            int index;
        } steps[] = {{0, "b", 0}, {5, "d", 1}, {0, "a", 0}, {2, "c", 2}, {-1, "z", 0}};
        for (const auto& s : steps) {
            EXPECT_EQ(insert_row(page, GammaList, s.at, s.text), s.index) << s.text;
        }
        EXPECT_EQ(headless_rows(page, GammaList), (Rows{{"z"}, {"a"}, {"b"}, {"c"}, {"d"}}));
        EXPECT_EQ(SendDlgItemMessageA(page, GammaList, LVM_GETITEMCOUNT, 0, 0), 5);
        EXPECT_TRUE(SendDlgItemMessageA(page, GammaList, LVM_DELETEITEM, 1, 0));
        EXPECT_FALSE(SendDlgItemMessageA(page, GammaList, LVM_DELETEITEM, 4, 0));
        EXPECT_EQ(headless_rows(page, GammaList), (Rows{{"z"}, {"b"}, {"c"}, {"d"}}));
        SendDlgItemMessageA(page, GammaList, LVM_DELETEALLITEMS, 0, 0);
        EXPECT_EQ(SendDlgItemMessageA(page, GammaList, LVM_GETITEMCOUNT, 0, 0), 0);
    });
}

TEST_F(ListView, DescendingListPlacesRowsByTextAndReportsWhere) {
    on_page(1, [](HWND page) {
        insert_column(page, BetaList, 0, "Rate", 100);
        insert_column(page, BetaList, 0, "MAC Address", 100);
        const char* added[] = {"02:00:00:00:00:01", "02:00:00:00:00:03", "02:00:00:00:00:02"};
        const int placed[] = {0, 0, 1};
        for (int i = 0; i < 3; ++i) {
            int row = insert_row(page, BetaList, 99, added[i]);
            EXPECT_EQ(row, placed[i]);
            set_subitem(page, BetaList, row, 1, std::to_string(i).c_str());
        }
        EXPECT_EQ(headless_rows(page, BetaList), (Rows{{"02:00:00:00:00:03", "1"},
                                                       {"02:00:00:00:00:02", "2"},
                                                       {"02:00:00:00:00:01", "0"}}));
    });
}

TEST_F(ListView, SingleSelectionKeepsOneRowAndOneFocus) {
    on_page(0, [](HWND page) {
        insert_column(page, AlphaList, 0, "Device", 145);
        for (const char* t : {"a", "b", "c"}) {
            insert_row(page, AlphaList, 99, t);
        }
        set_row_state(page, AlphaList, 0, LVIS_SELECTED | LVIS_FOCUSED,
                      LVIS_SELECTED | LVIS_FOCUSED);
        set_row_state(page, AlphaList, 2, LVIS_SELECTED, LVIS_SELECTED);
        EXPECT_EQ(selected_by_next_item(page, AlphaList), (std::vector<int>{2}));
        EXPECT_EQ(headless_focused_row(page, AlphaList), 0);
        headless_click_row(AlphaList, 1);
        EXPECT_EQ(selected_by_next_item(page, AlphaList), (std::vector<int>{1}));
        EXPECT_EQ(headless_focused_row(page, AlphaList), 1);
        EXPECT_EQ(SendDlgItemMessageA(page, AlphaList, LVM_GETITEMSTATE, 1, LVIS_SELECTED),
                  static_cast<LRESULT>(LVIS_SELECTED));
    });
}

TEST_F(ListView, MultipleSelectionCollectsRowsAndDeletingFromTheTopWorks) {
    on_page(2, [](HWND page) {
        insert_column(page, GammaList, 0, "Password", 139);
        for (const char* t : {"a", "b", "c", "d", "e"}) {
            insert_row(page, GammaList, 99, t);
        }
        headless_select_row(GammaList, 1, true);
        headless_select_row(GammaList, 2, true);
        headless_select_row(GammaList, 4, true);
        headless_select_row(GammaList, 4, false);
        EXPECT_EQ(selected_by_next_item(page, GammaList), (std::vector<int>{1, 2}));
        EXPECT_EQ(SendDlgItemMessageA(page, GammaList, LVM_GETSELECTEDCOUNT, 0, 0), 2);
        // Remove the selected rows the way a page does: find one, delete it, look again.
        for (int i; (i = static_cast<int>(SendDlgItemMessageA(page, GammaList, LVM_GETNEXTITEM,
                                                              static_cast<WPARAM>(-1),
                                                              LVNI_SELECTED))) >= 0;) {
            SendDlgItemMessageA(page, GammaList, LVM_DELETEITEM, static_cast<WPARAM>(i), 0);
        }
        EXPECT_EQ(headless_rows(page, GammaList), (Rows{{"a"}, {"d"}, {"e"}}));
    });
}

TEST_F(ListView, ItemTextIsCutToTheBufferAndMissingCellsAreEmpty) {
    on_page(0, [](HWND page) {
        insert_column(page, AlphaList, 0, "Device", 145);
        insert_row(page, AlphaList, 0, "PLC Device (Turbo)");
        char buffer[8] = "xxxxxxx";
        LVITEMA item{};
        item.pszText = buffer;
        item.cchTextMax = sizeof buffer;
        EXPECT_EQ(SendDlgItemMessageA(page, AlphaList, LVM_GETITEMTEXTA, 0,
                                      reinterpret_cast<LPARAM>(&item)),
                  7);
        EXPECT_STREQ(buffer, "PLC Dev");
        item.iSubItem = 3;
        EXPECT_EQ(SendDlgItemMessageA(page, AlphaList, LVM_GETITEMTEXTA, 0,
                                      reinterpret_cast<LPARAM>(&item)),
                  0);
        EXPECT_STREQ(buffer, "");
        item.iSubItem = 0;
        EXPECT_EQ(SendDlgItemMessageA(page, AlphaList, LVM_GETITEMTEXTA, 5,
                                      reinterpret_cast<LPARAM>(&item)),
                  0);
    });
}

}  // namespace
