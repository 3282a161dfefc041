#include <gtest/gtest.h>

#include "hookprompt/prompt_window.h"
#include "platform/win/clock.h"
#include "platform/win/headless.h"
#include "platform/win/win_main.h"

namespace {

using Size = std::pair<int, int>;

class HookPrompt : public ::testing::Test {
  protected:
    void SetUp() override {
        clock_use_virtual();
        message_loop_reset();
        headless_use();  // a 640 x 384 pixel screen: the classic terminal
    }
    void TearDown() override { EXPECT_EQ(headless_errors(), std::vector<std::string>{}); }
    static int run() {
        static char no_arguments[] = "";
        return WinMain(GetModuleHandleA(nullptr), nullptr, no_arguments, SW_SHOWDEFAULT);
    }
};

std::string text_of(HWND window) {
    char buffer[256];
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

std::vector<int> rect_of(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

TEST_F(HookPrompt, OkEndsTheProgramAtOnceWithExitCodeZero) {
    static HWND window;
    headless_at(100, [] {
        window = headless_front();
        headless_press(IDOK);
    });
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(clock_now(), 100u);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(HookPrompt, ClosingTheWindowEndsItWithExitCodeZero) {
    headless_at(100, [] { headless_escape(); });
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(clock_now(), 100u);
}

TEST_F(HookPrompt, TheWindowShowsTheTextsAndLayoutAsGiven) {
    headless_at(10, [] {
        HWND window = headless_front();
        EXPECT_EQ(text_of(window), "PLC Configuration Utility - Connect Hardware");
        RECT client;
        GetClientRect(window, &client);
        EXPECT_EQ((Size{client.right, client.bottom}), (Size{501, 196}));  // 7515 x 2940 twips
        // Centred on the 640 x 384 screen, frame included.
        std::vector<int> outer = rect_of(window);
        EXPECT_EQ(outer[0], (640 - outer[2]) / 2);
        EXPECT_EQ(outer[1], (384 - outer[3]) / 2);
        EXPECT_EQ(headless_icon_size(window, false), (Size{32, 32}));
        EXPECT_EQ(headless_icon_size(window, true), (Size{16, 16}));

        std::vector<HWND> controls = headless_children(window);
        ASSERT_EQ(controls.size(), 4u);
        // Banner, separator, prompt, OK: left, top, width, height in pixels (twips / 15).
        const std::vector<int> expected[] = {
            {0, 0, 503, 64}, {16, 136, 481, 9}, {48, 80, 393, 37}, {408, 160, 87, 21}};
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(rect_of(controls[i]), expected[i]) << i;
        }
        EXPECT_EQ(headless_image_size(controls[0]), (Size{499, 60}));
        EXPECT_EQ(text_of(controls[2]),
                  "To complete the installation of your PLC Bridge, plug it into an Ethernet port "
                  "on your PC now.   Press the OK button below when finished.");
        EXPECT_TRUE(headless_bold(controls[2]));
        EXPECT_FALSE(headless_bold(controls[3]));
        EXPECT_EQ(text_of(controls[3]), "OK");
        // OK is the only control that takes the focus, and it has it.
        EXPECT_EQ(headless_focus_ring(), std::vector<HWND>{controls[3]});
        EXPECT_EQ(GetFocus(), controls[3]);
        headless_tab();
        EXPECT_EQ(GetFocus(), controls[3]);
        headless_press(IDOK);
    });
    EXPECT_EQ(run(), 0);
}

}  // namespace
