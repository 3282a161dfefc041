// The headless frontend, for tests: windows are not drawn anywhere; a script of user actions
// runs at given virtual times, and every control can be read.
//
//   clock_use_virtual();
//   headless_use();
//   headless_at(500, [] { headless_press(1067); });
//   headless_at(900, [] { EXPECT_EQ(headless_text(headless_page(0), 1083), "..."); });
//   headless_at(1000, [] { headless_ok(); });
//   PropertySheetA(&header);
//
// A scripted action runs from the message loop, as input would, so it may open modal windows of
// its own. Actions address the window in front (the message box, the dialog, or the sheet and
// its current page) and return false when the control is not there or takes no input (hidden,
// disabled, under a modal window); that is also added to headless_errors().
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/win/common_controls.h"

struct HeadlessOptions {
    int screen_width = 640;  // pixels, for GetSystemMetrics
    int screen_height = 384;
    // Virtual time after which a modal loop still waiting is a test that never ends: the run
    // stops with a message.
    uint64_t give_up_at = 3600ull * 1000;
    bool transcript = false;
};

// Selects the headless frontend for the windows shown from now on, with an empty script, no
// errors, no message boxes recorded and an empty transcript.
void headless_use(const HeadlessOptions& options = {});

// Runs `action` at virtual time `at` (clock time, as clock_now gives it).
void headless_at(uint64_t at, std::function<void()> action);

// ---- Actions ----------------------------------------------------------------------------------

bool headless_press(int id);  // a button of the window in front (OK and Cancel of a sheet too)
bool headless_type(int id, const std::string& text);      // types at the caret of an edit
bool headless_set_text(int id, const std::string& text);  // selects all, then types
// Clicks a row: it alone is selected and focused.
bool headless_click_row(int id, int row);
// Adds a row to the selection, or takes it out (a multiple-selection list keeps the others).
bool headless_select_row(int id, int row, bool selected);
bool headless_focus(int id);
bool headless_switch_page(int index);
bool headless_ok();       // the sheet's OK
bool headless_cancel();   // the sheet's Cancel
bool headless_dismiss();  // presses the first button of the message box in front
bool headless_escape();   // Escape on the window in front
bool headless_tab(bool backwards = false);

// ---- Inspection --------------------------------------------------------------------------------

HWND headless_front();          // the window in front, or null
HWND headless_sheet();          // the property sheet shown, or null
HWND headless_page(int index);  // a page of that sheet, null until it was created
HWND headless_control(HWND parent, int id);
std::string headless_text(HWND parent, int id);
bool headless_enabled(HWND parent, int id);
bool headless_visible(HWND parent, int id);
std::vector<std::string> headless_columns(HWND parent, int id);
std::vector<std::vector<std::string>> headless_rows(HWND parent, int id);  // item, subitems
std::vector<int> headless_selected_rows(HWND parent, int id);
int headless_focused_row(HWND parent, int id);  // -1: none
struct BarView {
    int low;
    int high;
    int pos;
    int step;
    COLORREF color;
};
BarView headless_bar(HWND parent, int id);
// The edit's selection as [start, end).
std::pair<size_t, size_t> headless_selection(HWND parent, int id);
// The focused control of the window in front: its id, 0 for the sheet's tab row, -1 for none.
int headless_focus_id();

// Windows of registered classes and their controls.
std::vector<HWND> headless_children(HWND parent);  // in creation order
std::vector<HWND> headless_focus_ring();           // of the window in front, in tab order
bool headless_bold(HWND control);
// Size in pixels of a window's icon (small or large) and of a picture's image; 0 x 0: none.
std::pair<int, int> headless_icon_size(HWND window, bool small);
std::pair<int, int> headless_image_size(HWND picture);

std::vector<std::string> headless_tabs();
int headless_current_page();
std::vector<int> headless_sheet_buttons();  // ids of the sheet's buttons, left to right
bool headless_help_button();                // the "?" of the sheet's caption bar

struct HeadlessBox {
    std::string text;
    std::string caption;
    UINT type;
    HWND owner;
    uint64_t time;
};
std::vector<HeadlessBox> headless_message_boxes();
const std::vector<std::string>& headless_transcript();
const std::vector<std::string>& headless_errors();

// The form of the sheet's template that the pre-create callback is handed.
enum class SheetTemplateForm { Plain, Extended };
void headless_set_sheet_template_form(SheetTemplateForm form);
SheetTemplateForm headless_sheet_template_form();
