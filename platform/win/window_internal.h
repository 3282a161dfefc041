// The window layer's own records: one Window per handle, kept in a table by handle, and the
// state of each control class. Frontends and the layer's files share these; programs see only
// handles.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/common_controls.h"
#include "platform/win/dialog_template.h"
#include "platform/win/window.h"

struct Window;

enum class WindowKind { Dialog, Page, Sheet, MessageBox, TopLevel, Control };
enum class ControlClass { None, Static, Picture, Edit, Button, GroupBox, ListView, Progress };
// Dialogs and their controls are laid out in dialog units, top-level windows in pixels.
enum class Units { DialogUnits, Pixels };

struct ListColumn {
    std::string text;
    int width = 0;  // pixels
    int fmt = LVCFMT_LEFT;
};

struct ListRow {
    std::vector<std::string> cells;  // cells[0] is the item text, cells[k] subitem k
    UINT state = 0;
    LPARAM param = 0;
};

struct ListViewState {
    std::vector<ListColumn> columns;
    std::vector<ListRow> rows;
    DWORD ex_style = 0;
    int top_row = 0;  // first row shown (frontends scroll it)
};

struct ProgressState {
    int low = 0;
    int high = 100;
    int pos = 0;
    int step = 10;
    COLORREF bar_color = CLR_DEFAULT;
};

struct EditState {
    size_t sel_start = 0;  // selection [sel_start, sel_end); the caret is at sel_end
    size_t sel_end = 0;
    size_t scroll = 0;  // first character shown (frontends keep the caret in view)
    size_t limit = 32767;
};

// What CreatePropertySheetPageA hands out: the page description and its template.
struct PropertyPage {
    PROPSHEETPAGEA desc;
    const DialogTemplate* dialog;
};

struct SheetPage {
    std::unique_ptr<PropertyPage> page;
    std::string title;
    Window* window = nullptr;  // created when first shown
};

struct SheetState {
    std::vector<SheetPage> pages;
    int current = -1;
    bool help_button = false;  // the "?" of the caption bar
    DWORD flags = 0;
};

struct MessageBoxShown {
    std::string text;
    std::string caption;
    UINT type;
    HWND owner;
    uint64_t time;  // clock time it was shown
};

struct Window {
    HWND handle = nullptr;
    WindowKind kind = WindowKind::Control;
    ControlClass cls = ControlClass::None;
    Units units = Units::DialogUnits;
    Window* parent = nullptr;
    HWND owner = nullptr;           // top-level windows: the window they are modal over
    std::vector<Window*> children;  // creation order, which is the tab order
    int id = 0;
    std::string text;
    DWORD style = 0;
    DWORD ex_style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;  // relative to the parent's client area
    bool enabled = true;
    bool visible = true;
    bool destroying = false;

    DLGPROC dlgproc = nullptr;
    WNDPROC wndproc = nullptr;
    LONG_PTR user_data = 0;
    LONG_PTR msg_result = 0;

    // Top-level windows: the focused control (or the window itself), and the modal state.
    Window* focus = nullptr;
    bool modal_ended = false;
    INT_PTR modal_result = 0;
    UINT box_type = 0;                          // message boxes: MB_* of the box
    const ImageResource* icon = nullptr;        // ICON_BIG
    const ImageResource* small_icon = nullptr;  // ICON_SMALL, shown in the caption
    const ImageResource* image = nullptr;       // pictures
    int font_weight = FW_NORMAL;                // from WM_SETFONT

    EditState edit;
    ProgressState progress;
    std::unique_ptr<ListViewState> list;
    std::unique_ptr<SheetState> sheet;
};

// ---- Handles and the tree (window_tree.cpp) --------------------------------------------------

Window* window_from(HWND handle);
Window* window_create(WindowKind kind, Window* parent);
// Destroys `w` and its children (WM_DESTROY to each with a procedure) and frees them.
void window_destroy(Window* w);
// The top-level window a window belongs to.
Window* window_root(Window* w);
// Top-level windows in the order they were shown; the last one is in front.
const std::vector<Window*>& window_stack();
void window_stack_push(Window* w);
void window_stack_remove(Window* w);
Window* window_front();
// The control with `id` among the children of `w` (not deeper).
Window* window_child(Window* w, int id);

// Sends a message to `w`: built-in class handling for controls, the dialog or window procedure
// for the others.
LRESULT window_send(Window* w, UINT message, WPARAM wparam, LPARAM lparam);
// WM_COMMAND from control `c` to its parent.
void window_notify_command(Window* c, WORD code);
// Whether `w` takes input: itself and every ancestor enabled and visible.
bool window_accepts_input(Window* w);
// Tells the frontend that what `w` shows has changed.
void window_changed(Window* w);

// ---- Controls (controls.cpp, list_view.cpp, progress_bar.cpp) --------------------------------

ControlClass control_class_of(const char* class_name, DWORD style);
Window* control_create(Window* parent, const ControlTemplate& t, Units units);
LRESULT control_message(Window* w, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT list_view_message(Window* w, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT progress_message(Window* w, UINT message, WPARAM wparam, LPARAM lparam);
void edit_set_text(Window* w, const std::string& text);
// The weight of a font from CreateFontA; FW_NORMAL for anything else.
int font_weight_of(HFONT font);
// Typing: printable characters replace the selection, within the limit; not in read-only edits.
void edit_type(Window* w, const std::string& text);
bool control_takes_focus(Window* w);

// ---- Dialogs and modal loops (dialog.cpp) ----------------------------------------------------

// Creates a dialog-like window (dialog or page) from a template; no WM_INITDIALOG yet.
Window* dialog_create(WindowKind kind, const DialogTemplate& t, Window* parent, DLGPROC proc);
// Runs the nested message loop until `w` is ended; re-posts WM_QUIT if it arrives.
void modal_loop(Window* w);
// Disables the owner's top-level window for a modal window (returning it), and enables it
// again afterwards.
HWND modal_begin(HWND owner);
void modal_end(HWND disabled_owner);
// The first control of `w` that takes the focus, in tab order.
Window* dialog_first_tabstop(Window* w);

// ---- Property sheet (property_sheet.cpp) and message boxes (message_box.cpp) -----------------

LRESULT sheet_window_proc(Window* sheet, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT message_box_window_proc(Window* box, UINT message, WPARAM wparam, LPARAM lparam);
// Every message box shown so far, in order.
std::vector<MessageBoxShown>& message_box_log();
LRESULT top_window_proc(Window* w, UINT message, WPARAM wparam, LPARAM lparam);

// Switches the sheet to page `index` (PSN_KILLACTIVE, creation, PSN_SETACTIVE).
bool sheet_select_page(Window* sheet, int index);
// Presses OK (IDOK) or Cancel (IDCANCEL) of the sheet.
void sheet_press(Window* sheet, int id);
Window* sheet_page_window(Window* sheet, int index);
const std::string& sheet_page_title(Window* sheet, int index);
int sheet_page_count(Window* sheet);
