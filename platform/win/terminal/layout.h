// Where windows and controls go on a terminal of character cells.
//
// Dialog units: four a column across; down, about ten a row, with single-line controls (edits,
// buttons, one-line texts, progress bars) one row high; then, in template order, every control
// that would overlap one above it, or stand above one that precedes it, moves down, and a group
// box grows to hold what it frames below its caption row. Pixels: a cell is 8 x 16 pixels.
//
// A property sheet: its caption and the tab row share the top line, the pages fill the rows
// below, and the bottom line holds OK and Cancel at the right.
#pragma once

#include <string>
#include <vector>

#include "platform/win/window_internal.h"

struct CellRect {
    int col = 0;
    int row = 0;
    int width = 0;
    int height = 0;

    int right() const { return col + width; }
    int bottom() const { return row + height; }
    bool contains(int c, int r) const {
        return c >= col && c < right() && r >= row && r < bottom();
    }
};

// A control to place: its rectangle in its units, and what kind it is.
struct LayoutItem {
    int x, y, cx, cy;
    ControlClass cls;
    DWORD style;
    int text_length = 0;  // buttons grow to show their text where there is room
};

LayoutItem layout_item_of(const Window* control);
LayoutItem layout_item_of(const ControlTemplate& t);

// Cell rectangles of the items, relative to a client area `client_cols` wide, in the same order.
std::vector<CellRect> layout_cells(const std::vector<LayoutItem>& items, Units units,
                                   int client_cols = 1 << 20);
// The label of a button as drawn: "[ text ]", or "[text]" where that does not fit.
std::string button_label(const std::string& text, int width);
// Rows a client area needs for its items (the bottom of the lowest one).
int layout_rows_needed(const std::vector<CellRect>& cells);

// Columns of a width in dialog units; rows and columns of pixel sizes.
int du_columns(int du);
int px_columns(int px);
int px_rows(int px);

struct SheetGeometry {
    int width = 0;  // whole sheet, borders included
    int height = 0;
    CellRect page;               // the page area, relative to the sheet
    std::vector<CellRect> tabs;  // on the top line
    std::string caption;         // as it fits on the top line
    CellRect caption_cell;
    CellRect help;                                  // the "?" button, width 0 when there is none
    std::vector<std::pair<int, CellRect>> buttons;  // id and place on the bottom line
};

SheetGeometry sheet_geometry(Window* sheet);
// Outer size of a dialog (borders included) and its client area's offset.
CellRect dialog_frame(Window* dialog, int screen_cols, int screen_rows);

struct MessageBoxGeometry {
    CellRect frame;
    std::vector<std::string> lines;  // the text, wrapped
    int text_col = 0;                // after the icon
    std::vector<std::pair<int, CellRect>> buttons;
};
MessageBoxGeometry message_box_geometry(Window* box, int screen_cols, int screen_rows);

// A control's text as shown: "&" marks the next character as its keyboard mnemonic and is not
// drawn itself.
std::string strip_ampersand(const std::string& text);

// Word-wraps `text` into lines of at most `width` columns; '\n' breaks a line. Blanks where a
// line breaks are dropped, blanks inside a line are kept as they are.
std::vector<std::string> wrap_text(const std::string& text, int width);

// Where a top-level window goes: sheets, dialogs and message boxes centred; windows of
// registered classes where they were placed, in pixels.
CellRect root_frame(Window* root, int screen_cols, int screen_rows);
