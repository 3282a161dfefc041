#include "platform/win/terminal/layout.h"

#include "tests/window/window_fixture.h"

namespace {

using Lines = std::vector<std::string>;

TEST(WrapText, BreaksAtBlanksAndKeepsBlanksInsideALine) {
    struct Case {
        std::string text;
        int width;
        Lines lines;
    };
    const Case cases[] = {
        {"on your PC now.   Press the OK button", 20, {"on your PC now.", "Press the OK button"}},
        {"now.   Press", 12, {"now.   Press"}},
        {"first\nsecond line", 40, {"first", "second line"}},
        {"A Device. \nPlease", 40, {"A Device.", "Please"}},
        {"abcdefghij", 4, {"abcd", "efgh", "ij"}},
        {"", 10, {""}},
        {"one\r\ntwo", 10, {"one", "two"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wrap_text(c.text, c.width), c.lines) << c.text;
    }
}

bool below_in_units(const LayoutItem& a, const LayoutItem& b) {
    return a.y + a.cy <= b.y;
}

bool inside(const LayoutItem& in, const LayoutItem& out) {
    return in.x >= out.x && in.x + in.cx <= out.x + out.cx && in.y >= out.y &&
           in.y + in.cy <= out.y + out.cy;
}

// Every page of the sheet on the classic terminal: nothing overlaps that did not overlap in
// the template, nothing changes its order down the page, single-line controls take one row,
// group boxes frame what they hold, and the sheet fits in 80 x 24.
class Layout : public WindowTest {};

TEST_F(Layout, TestSheetFitsTheClassicTerminalWithoutOverlapOrReordering) {
    headless_at(10, [] {
        for (int page = 0; page < 3; ++page) {
            headless_switch_page(page);
        }
        Window* sheet = window_from(headless_sheet());
        SheetGeometry g = sheet_geometry(sheet);
        EXPECT_LE(g.width, 80);
        EXPECT_LE(g.height, 24);
        EXPECT_EQ(g.tabs.size(), 3u);
        for (size_t i = 1; i < g.tabs.size(); ++i) {
            EXPECT_GT(g.tabs[i].col, g.tabs[i - 1].right() - 1);
        }
        ASSERT_EQ(g.buttons.size(), 2u);
        EXPECT_EQ(g.buttons[1].second.right(), g.width - 2);  // Cancel at the bottom right
        EXPECT_EQ(g.buttons[0].second.row, g.height - 1);

        for (int page = 0; page < 3; ++page) {
            Window* p = window_from(headless_page(page));
            std::vector<LayoutItem> items;
            for (Window* c : p->children) {
                items.push_back(layout_item_of(c));
            }
            std::vector<CellRect> cells = layout_cells(items, Units::DialogUnits);
            for (size_t i = 0; i < cells.size(); ++i) {
                SCOPED_TRACE("page " + std::to_string(page) + " control " + std::to_string(i));
                EXPECT_LE(cells[i].right(), g.page.width);
                EXPECT_LE(cells[i].bottom(), g.page.height);
                ControlClass cls = items[i].cls;
                if (cls == ControlClass::Button || cls == ControlClass::Edit ||
                    cls == ControlClass::Progress) {
                    EXPECT_EQ(cells[i].height, 1);
                }
                for (size_t j = 0; j < cells.size(); ++j) {
                    const CellRect &a = cells[i], &b = cells[j];
                    if (i == j) {
                        continue;
                    }
                    if (items[i].y < items[j].y) {
                        EXPECT_LE(a.row, b.row) << "order of " << i << " and " << j;
                    }
                    bool overlap = a.col < b.right() && b.col < a.right() && a.row < b.bottom() &&
                                   b.row < a.bottom();
                    if (items[i].cls == ControlClass::GroupBox && inside(items[j], items[i])) {
                        EXPECT_GT(b.row, a.row);
                        EXPECT_LT(b.bottom(), a.bottom());
                    } else if (!inside(items[i], items[j]) && !inside(items[j], items[i]) &&
                               (below_in_units(items[i], items[j]) ||
                                items[i].x + items[i].cx <= items[j].x)) {
                        EXPECT_FALSE(overlap) << i << " and " << j;
                    }
                }
            }
        }
        headless_ok();
    });
    run_test_sheet(PSH_NOAPPLYNOW);
}

TEST_F(Layout, PixelsMapToCellsOfEightBySixteen) {
    std::vector<LayoutItem> items = {
        {0, 0, 503, 64, ControlClass::Picture, SS_BITMAP},         // a banner
        {48, 80, 393, 37, ControlClass::Static, SS_LEFT},          // three lines of text
        {16, 136, 481, 9, ControlClass::GroupBox, SS_ETCHEDHORZ},  // a thin rule
        {408, 160, 87, 21, ControlClass::Button, BS_PUSHBUTTON},
    };
    std::vector<CellRect> cells = layout_cells(items, Units::Pixels);
    EXPECT_EQ(cells[0].height, 4);
    EXPECT_EQ((std::vector<int>{cells[1].col, cells[1].row, cells[1].width, cells[1].height}),
              (std::vector<int>{6, 5, 49, 3}));
    EXPECT_EQ((std::vector<int>{cells[2].row, cells[2].height}), (std::vector<int>{8, 1}));
    EXPECT_EQ((std::vector<int>{cells[3].col, cells[3].row, cells[3].height}),
              (std::vector<int>{51, 10, 1}));
}

}  // namespace

namespace {

// Five pages as full as the program's own: lists, edits, buttons, group boxes, a picture and
// bars where its pages have them. Every one must fit with the sheet in 80 x 24.
constexpr DWORD Tab = WS_TABSTOP;
// clang-format off
const ControlTemplate DevicePage[] = {
    {1, WC_LISTVIEWA, "", 65, 87, 166, 58, LVS_REPORT | WS_BORDER | Tab, 0},
    {2, WC_BUTTONA, "Connect", 181, 157, 50, 14, Tab, 0},
    {3, WC_STATICA, "", 27, 208, 86, 8, 0, 0},
    {-1, WC_STATICA, "The devices connected to your PC are shown below.  Select one and connect.", 27, 51, 241, 28, 0, 0},
    {4, PROGRESS_CLASSA, "", 40, 188, 215, 6, WS_BORDER, 0},
    {5, WC_STATICA, "", 40, 177, 182, 8, 0, 0},
    {6, WC_EDITA, "", 45, 20, 228, 14, ES_READONLY | WS_BORDER | Tab, 0},
    {-1, WC_STATICA, "State:", 22, 22, 20, 8, 0, 0},
    {7, WC_BUTTONA, "Refresh", 125, 157, 50, 14, Tab, 0},
};
const ControlTemplate NetworkPage[] = {
    {-1, WC_STATICA, "The following devices are on your network.", 80, 10, 134, 20, 0, 0},
    {1, WC_LISTVIEWA, "", 80, 37, 135, 144, LVS_REPORT | WS_BORDER | Tab, 0},
    {2, WC_BUTTONA, "Scan Network", 99, 186, 97, 14, Tab, 0},
};
const ControlTemplate SecurityPage[] = {
    {-1, WC_STATICA, "Every device on your network needs the same password.", 63, 47, 169, 18, 0, 0},
    {1, WC_EDITA, "", 95, 111, 106, 14, ES_AUTOHSCROLL | WS_BORDER | Tab, 0},
    {-1, WC_BUTTONA, "Network Password", 77, 90, 140, 82, BS_GROUPBOX, 0},
    {-1, WC_STATICA, "Enter your own private password in the box below, then press Set Local.", 63, 17, 169, 27, 0, 0},
    {2, WC_BUTTONA, "Restore Default", 145, 145, 55, 14, Tab, 0},
    {3, WC_BUTTONA, "Set Local", 95, 145, 39, 14, Tab, 0},
};
const ControlTemplate AdvancedPage[] = {
    {1, WC_BUTTONA, "Add", 200, 124, 40, 14, Tab, 0},
    {2, WC_EDITA, "", 170, 51, 102, 14, ES_AUTOHSCROLL | WS_BORDER | Tab, 0},
    {3, WC_EDITA, "", 170, 103, 102, 14, ES_AUTOHSCROLL | WS_BORDER | Tab, 0},
    {4, WC_LISTVIEWA, "", 15, 43, 126, 139, LVS_REPORT | WS_BORDER | Tab, 0},
    {-1, WC_BUTTONA, "Remote Passwords", 7, 27, 143, 164, BS_GROUPBOX, 0},
    {5, WC_BUTTONA, "Set All", 19, 198, 50, 14, Tab, 0},
    {6, WC_BUTTONA, "Remove", 85, 198, 50, 14, Tab, 0},
    {-1, WC_BUTTONA, "Device Password", 161, 88, 126, 58, BS_GROUPBOX, 0},
    {-1, WC_BUTTONA, "Network Password", 161, 38, 126, 42, BS_GROUPBOX, 0},
};
const ControlTemplate AboutPage[] = {
    {-1, WC_BUTTONA, "Version", 49, 128, 192, 41, BS_GROUPBOX, 0},
    {1, WC_STATICA, "Utility Version: 1.0", 57, 143, 142, 11, 0, 0},
    {-1, WC_STATICA, "A notice of one line", 49, 90, 234, 8, 0, 0},
    {-1, WC_STATICA, "Bridge Utilities", 49, 103, 118, 8, 0, 0},
    {-1, WC_STATICA, "#158", 49, 33, 100, 48, SS_BITMAP, 0},
    {2, WC_STATICA, "", 57, 154, 164, 8, 0, 0},
};
// clang-format on

struct PageShape {
    const ControlTemplate* controls;
    size_t count;
    short cx, cy;
};

TEST(FivePageLayout, EveryPageFitsUnderTheTopLineAndAboveTheButtons) {
    const PageShape pages[] = {{DevicePage, std::size(DevicePage), 295, 220},
                               {NetworkPage, std::size(NetworkPage), 295, 220},
                               {SecurityPage, std::size(SecurityPage), 295, 220},
                               {AdvancedPage, std::size(AdvancedPage), 290, 226},
                               {AboutPage, std::size(AboutPage), 295, 220}};
    for (const PageShape& p : pages) {
        std::vector<LayoutItem> items;
        for (size_t i = 0; i < p.count; ++i) {
            items.push_back(layout_item_of(p.controls[i]));
        }
        std::vector<CellRect> cells = layout_cells(items, Units::DialogUnits, du_columns(p.cx));
        EXPECT_LE(layout_rows_needed(cells), 22);  // 24 lines less the top and bottom lines
        for (size_t i = 0; i < cells.size(); ++i) {
            if (items[i].cls == ControlClass::Button) {  // every label shows whole
                EXPECT_GE(cells[i].width, items[i].text_length + 2) << p.controls[i].text;
            }
        }
        EXPECT_LE(du_columns(p.cx) + 2, 80);
        for (size_t i = 0; i < cells.size(); ++i) {
            for (size_t j = i + 1; j < cells.size(); ++j) {
                const CellRect &a = cells[i], &b = cells[j];
                bool overlap = a.col < b.right() && b.col < a.right() && a.row < b.bottom() &&
                               b.row < a.bottom();
                bool framed = inside(items[i], items[j]) || inside(items[j], items[i]);
                EXPECT_TRUE(!overlap || framed)
                    << p.controls[i].text << " / " << p.controls[j].text;
            }
        }
    }
}

}  // namespace
