// What renders the windows and turns a person's (or a script's) input into actions. The layer
// tells the frontend what changed; the frontend reads the Window records to show them.
//
// Programs get the terminal frontend; tests select the headless one (headless.h) before they
// show any window.
#pragma once

#include <functional>

#include "platform/win/window_internal.h"

class Frontend {
  public:
    virtual ~Frontend() = default;
    // A top-level window was shown, or is going away.
    virtual void shown(Window*) {}
    virtual void hidden(Window*) {}
    // What `w` shows changed (text, rows, position, state, focus).
    virtual void changed(Window*) {}
    // The message loop is about to wait for the next message or timer.
    virtual void idle() {}
    // The screen in pixels, for GetSystemMetrics.
    virtual void screen_size(int* width, int* height) {
        *width = 640;
        *height = 384;
    }
};

Frontend* frontend();
void frontend_select(Frontend* f);
Frontend* terminal_frontend();

// Posts a user action: it runs from the message loop as its own message, after what is already
// queued, so it may open nested modal loops.
void input_post(std::function<void()> action);

// The actions that input turns into, shared by the frontends. Each does nothing when the target
// does not take input (disabled, hidden, or under a modal window).
void input_press(Window* button);
void input_focus(Window* control);
// Types `text` at the caret of an edit, replacing the selection.
void input_type(Window* edit, const std::string& text);
enum class EditKey { Backspace, Delete, Left, Right, Home, End };
void input_edit_key(Window* edit, EditKey key);
// Selects or deselects `row`; `exclusive` deselects the others first; `focus` moves the focus
// to the row.
void input_list_select(Window* list, int row, bool selected, bool exclusive, bool focus);
void input_list_focus(Window* list, int row);
// Escape or the close box: Cancel of a sheet, IDCANCEL to a dialog, a message box's Cancel or
// OK, WM_CLOSE to a top-level window.
void input_close(Window* root);
void input_switch_page(Window* sheet, int index);
// Moves the focus of `root` to the next (or previous) control that takes it, in tab order.
void input_tab(Window* root, bool backwards);
// The focus ring of a top-level window, in tab order.
std::vector<Window*> focus_ring(Window* root);
