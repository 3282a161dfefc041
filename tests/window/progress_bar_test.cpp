#include "tests/window/window_fixture.h"

namespace {

class ProgressBar : public WindowTest {};

LRESULT bar(HWND page, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    return SendDlgItemMessageA(page, AlphaBar, message, wparam, lparam);
}

TEST_F(ProgressBar, StepItWrapsPastTheTopAndSetPosStaysInRange) {
    on_page(0, [](HWND page) {
        EXPECT_EQ(bar(page, PBM_GETRANGE, TRUE), 0);
        EXPECT_EQ(bar(page, PBM_GETRANGE, FALSE), 100);
        struct Case {
            int start, step, steps, pos;
        };
        const Case cases[] = {
            {0, 2, 50, 100},  // full after 50 steps of 2
            {0, 2, 51, 2},    // then over the top and from the start again
            {98, 3, 1, 1},    // 101 wraps to 1
            {5, 1, 10, 15},  {0, 10, 11, 10},
        };
        for (const Case& c : cases) {
            bar(page, PBM_SETPOS, static_cast<WPARAM>(c.start));
            EXPECT_EQ(bar(page, PBM_SETSTEP, static_cast<WPARAM>(c.step)) >= 0, true);
            for (int i = 0; i < c.steps; ++i) {
                bar(page, PBM_STEPIT);
            }
            EXPECT_EQ(bar(page, PBM_GETPOS), c.pos)
                << c.start << " + " << c.steps << " x " << c.step;
        }
        EXPECT_EQ(bar(page, PBM_SETPOS, 113), 10);  // returns the previous position
        EXPECT_EQ(headless_bar(page, AlphaBar).pos, 100);
        bar(page, PBM_SETPOS, static_cast<WPARAM>(-4));
        EXPECT_EQ(headless_bar(page, AlphaBar).pos, 0);
    });
}

TEST_F(ProgressBar, BarColourIsKeptAndTheDefaultComesBack) {
    on_page(0, [](HWND page) {
        EXPECT_EQ(headless_bar(page, AlphaBar).color, CLR_DEFAULT);
        EXPECT_EQ(static_cast<COLORREF>(bar(page, PBM_SETBARCOLOR, 0, RGB(230, 0, 0))),
                  CLR_DEFAULT);
        EXPECT_EQ(headless_bar(page, AlphaBar).color, RGB(230, 0, 0));
        EXPECT_EQ(static_cast<COLORREF>(bar(page, PBM_SETBARCOLOR, 0, CLR_DEFAULT)),
                  RGB(230, 0, 0));
        EXPECT_EQ(headless_bar(page, AlphaBar).color, CLR_DEFAULT);
    });
}

}  // namespace
