// The frontend in use, and the actions that input turns into, shared by every frontend.
#include "platform/win/frontend.h"

#include <algorithm>

namespace {

Frontend*& selected() {
    static Frontend* f = nullptr;
    return f;
}

// Input reaches only the window in front, and only controls that take input there.
bool reachable(Window* w) {
    return w != nullptr && window_root(w) == window_front() && window_accepts_input(w);
}

void set_row_state(Window* list, int row, UINT state, UINT mask) {
    LVITEMA item{};
    item.state = state;
    item.stateMask = mask;
    window_send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void edit_delete(Window* edit, bool backwards) {
    EditState& e = edit->edit;
    if ((edit->style & ES_READONLY) != 0) {
        return;
    }
    if (e.sel_start == e.sel_end) {
        if (backwards && e.sel_start > 0) {
            --e.sel_start;
        } else if (!backwards && e.sel_end < edit->text.size()) {
            ++e.sel_end;
        } else {
            return;
        }
    }
    edit->text.erase(e.sel_start, e.sel_end - e.sel_start);
    e.sel_end = e.sel_start;
    window_notify_command(edit, EN_CHANGE);
}

}  // namespace

Frontend* frontend() {
    if (selected() == nullptr) {
        selected() = terminal_frontend();
    }
    return selected();
}

void frontend_select(Frontend* f) {
    selected() = f;
}

void input_focus(Window* control) {
    if (!reachable(control)) {
        return;
    }
    Window* root = window_root(control);
    root->focus = control;
    window_changed(root);
}

void input_press(Window* button) {
    if (!reachable(button) || button->cls != ControlClass::Button) {
        return;
    }
    if (control_takes_focus(button)) {
        input_focus(button);
    }
    window_send(button, BM_CLICK, 0, 0);
}

void input_type(Window* edit, const std::string& text) {
    if (!reachable(edit) || edit->cls != ControlClass::Edit) {
        return;
    }
    input_focus(edit);
    edit_type(edit, text);
}

void input_edit_key(Window* edit, EditKey key) {
    if (!reachable(edit) || edit->cls != ControlClass::Edit) {
        return;
    }
    EditState& e = edit->edit;
    switch (key) {
        case EditKey::Backspace:
        case EditKey::Delete:
            edit_delete(edit, key == EditKey::Backspace);
            break;
        case EditKey::Left:
            e.sel_start = e.sel_end =
                e.sel_start == e.sel_end && e.sel_start > 0 ? e.sel_start - 1 : e.sel_start;
            break;
        case EditKey::Right:
            e.sel_start = e.sel_end = e.sel_start == e.sel_end && e.sel_end < edit->text.size()
                                          ? e.sel_end + 1
                                          : e.sel_end;
            break;
        case EditKey::Home:
            e.sel_start = e.sel_end = 0;
            break;
        case EditKey::End:
            e.sel_start = e.sel_end = edit->text.size();
            break;
    }
    window_changed(edit);
}

void input_list_select(Window* list, int row, bool selected, bool exclusive, bool focus) {
    if (!reachable(list) || list->cls != ControlClass::ListView || row < 0 ||
        row >= static_cast<int>(list->list->rows.size())) {
        return;
    }
    input_focus(list);
    if (exclusive) {
        set_row_state(list, -1, 0, LVIS_SELECTED);
    }
    set_row_state(list, row, selected ? LVIS_SELECTED : 0, LVIS_SELECTED);
    if (focus) {
        set_row_state(list, row, LVIS_FOCUSED, LVIS_FOCUSED);
    }
}

void input_list_focus(Window* list, int row) {
    if (!reachable(list) || list->cls != ControlClass::ListView || row < 0 ||
        row >= static_cast<int>(list->list->rows.size())) {
        return;
    }
    set_row_state(list, row, LVIS_FOCUSED, LVIS_FOCUSED);
}

void input_close(Window* root) {
    if (root == nullptr || root != window_front() || !root->enabled) {
        return;
    }
    if (root->kind == WindowKind::Dialog) {
        // Escape in a dialog is Cancel, whether or not it has a close box.
        window_send(root, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    } else {
        window_send(root, WM_CLOSE, 0, 0);
    }
}

void input_switch_page(Window* sheet, int index) {
    if (sheet == nullptr || sheet->kind != WindowKind::Sheet || !reachable(sheet)) {
        return;
    }
    sheet_select_page(sheet, index);
}

std::vector<Window*> focus_ring(Window* root) {
    std::vector<Window*> ring;
    if (root == nullptr) {
        return ring;
    }
    auto add_tabstops = [&ring](Window* parent) {
        for (Window* c : parent->children) {
            if (control_takes_focus(c)) {
                ring.push_back(c);
            }
        }
    };
    if (root->kind == WindowKind::Sheet) {
        ring.push_back(root);  // the tab row
        if (Window* page = sheet_page_window(root, root->sheet->current); page != nullptr) {
            add_tabstops(page);
        }
    }
    add_tabstops(root);
    return ring;
}

void input_tab(Window* root, bool backwards) {
    if (root == nullptr || root != window_front()) {
        return;
    }
    std::vector<Window*> ring = focus_ring(root);
    if (ring.empty()) {
        return;
    }
    auto it = std::find(ring.begin(), ring.end(), root->focus);
    int n = static_cast<int>(ring.size());
    int at = it == ring.end() ? (backwards ? 0 : n - 1) : static_cast<int>(it - ring.begin());
    at = (at + (backwards ? n - 1 : 1)) % n;
    root->focus = ring[at];
    window_changed(root);
}
