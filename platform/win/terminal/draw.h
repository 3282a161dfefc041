// Drawing the windows with ncurses, and the places on the screen that take a mouse click.
#pragma once

#include <vector>

#include "platform/win/terminal/layout.h"

struct HitArea {
    enum Kind { Control, Tab, Close, Help };
    CellRect rect;  // on the screen
    Kind kind;
    HWND window;         // the control (Control), or the top-level window
    int index;           // Tab: the page
    CellRect list_rows;  // list views: where the rows are drawn
};

struct DrawContext {
    int cols = 80;
    int rows = 24;
    bool color = false;
    bool utf8 = false;
    std::vector<HitArea> hits;  // of the window in front, filled while drawing it
    int cursor_col = -1;        // where the caret of the focused edit is, if any
    int cursor_row = -1;
};

// Sets up the colour pairs; call once after start_color().
void draw_init_colors();
// Draws a top-level window; `front` draws its focus and records its hit areas.
void draw_root(Window* root, DrawContext& ctx, bool front);
// The columns of a list view's columns, fitted into `width` cells.
std::vector<int> list_column_widths(const Window* list, int width);
