#include "tests/window/window_fixture.h"

namespace {

class Edit : public WindowTest {};

TEST_F(Edit, TextIsReadBackWithinTheBufferSize) {
    on_page(2, [](HWND page) {
        SetDlgItemTextA(page, GammaName, "WindLark-and-more");
        char buffer[9];
        EXPECT_EQ(GetDlgItemTextA(page, GammaName, buffer, sizeof buffer), 8u);
        EXPECT_STREQ(buffer, "WindLark");
        char one[1] = {'x'};
        EXPECT_EQ(GetDlgItemTextA(page, GammaName, one, 1), 0u);
        EXPECT_EQ(one[0], '\0');
        EXPECT_EQ(GetDlgItemTextA(page, 4242, buffer, sizeof buffer), 0u);
        EXPECT_STREQ(buffer, "");
    });
}

TEST_F(Edit, SelectAllThenTypingOrClearingReplacesTheText) {
    on_page(2, [](HWND page) {
        SetDlgItemTextA(page, GammaNote, "secret1");
        SendDlgItemMessageA(page, GammaNote, EM_SETSEL, 0, -1);
        EXPECT_EQ(headless_selection(page, GammaNote), (std::pair<size_t, size_t>{0, 7}));
        headless_type(GammaNote, "abc");
        EXPECT_EQ(headless_text(page, GammaNote), "abc");
        SendDlgItemMessageA(page, GammaNote, EM_SETSEL, 0, -1);
        SendDlgItemMessageA(page, GammaNote, WM_CLEAR, 0, 0);
        EXPECT_EQ(headless_text(page, GammaNote), "");
        headless_set_text(GammaNote, "  spaced  ");
        EXPECT_EQ(headless_text(page, GammaNote), "  spaced  ");
    });
}

TEST_F(Edit, ReadOnlyEditTakesTextFromTheProgramOnly) {
    on_page(0, [](HWND page) {
        SetDlgItemTextA(page, AlphaState, "Connected to 02:00:00:00:00:01");
        headless_type(AlphaState, "x");
        EXPECT_EQ(headless_text(page, AlphaState), "Connected to 02:00:00:00:00:01");
    });
}

TEST_F(Edit, DisabledButtonIgnoresPresses) {
    on_page(0, [](HWND page) {
        EnableWindow(GetDlgItem(page, AlphaGo), FALSE);
        EXPECT_FALSE(headless_press(AlphaGo));
        const_cast<std::vector<std::string>&>(headless_errors()).clear();
    });
    for (const std::string& line : SheetLog) {
        EXPECT_EQ(line.find("command"), std::string::npos) << line;
    }
}

}  // namespace
