// The headless frontend: scripted input at virtual times, and inspection of every control.
#include "platform/win/headless.h"

#include <cstdio>
#include <cstdlib>
#include <map>

#include "platform/win/clock.h"
#include "platform/win/frontend.h"

namespace {

struct State {
    HeadlessOptions options;
    std::vector<std::string> transcript;
    std::vector<std::string> errors;
    SheetTemplateForm form = SheetTemplateForm::Extended;
};

State& state() {
    static State s;
    return s;
}

void note(const std::string& line) {
    if (state().options.transcript) {
        state().transcript.push_back(std::to_string(clock_now()) + " " + line);
    }
}

const char* kind_name(const Window* w) {
    switch (w->kind) {
        case WindowKind::Sheet:
            return "sheet";
        case WindowKind::Dialog:
            return "dialog";
        case WindowKind::MessageBox:
            return "message box";
        default:
            return "window";
    }
}

class Headless : public Frontend {
  public:
    void shown(Window* w) override {
        note(std::string("shown ") + kind_name(w) + " \"" + w->text + "\"");
        if (w->kind == WindowKind::MessageBox && !w->children.empty()) {
            note("  text \"" + w->children.front()->text + "\"");
        }
    }
    void hidden(Window* w) override {
        note(std::string("closed ") + kind_name(w) + " \"" + w->text + "\"");
    }
    void changed(Window* w) override {
        if (w->kind == WindowKind::Control &&
            (w->cls == ControlClass::Static || w->cls == ControlClass::Edit)) {
            if (w->text != last_text_[w->handle]) {
                last_text_[w->handle] = w->text;
                note("text " + std::to_string(w->id) + " := \"" + w->text + "\"");
            }
        }
    }
    void idle() override {
        if (clock_now() > state().options.give_up_at) {
            std::fprintf(stderr,
                         "headless: still waiting at virtual time %llu ms with windows open; the "
                         "script never closed them\n",
                         static_cast<unsigned long long>(clock_now()));
            std::abort();
        }
    }
    void screen_size(int* width, int* height) override {
        *width = state().options.screen_width;
        *height = state().options.screen_height;
    }

  private:
    std::map<HWND, std::string> last_text_;
};

Headless& headless() {
    static Headless h;
    return h;
}

bool fail(const std::string& what) {
    state().errors.push_back(std::to_string(clock_now()) + " " + what);
    note("failed: " + what);
    return false;
}

Window* front() {
    return window_front();
}

Window* front_sheet() {
    Window* f = front();
    return f != nullptr && f->kind == WindowKind::Sheet ? f : nullptr;
}

// The control `id` of the window in front: on the current page of a sheet first.
Window* front_control(int id) {
    Window* f = front();
    if (f == nullptr) {
        return nullptr;
    }
    if (f->kind == WindowKind::Sheet) {
        if (Window* c = window_child(sheet_page_window(f, f->sheet->current), id); c != nullptr) {
            return c;
        }
    }
    return window_child(f, id);
}

bool reachable(Window* c) {
    return c != nullptr && window_accepts_input(c);
}

Window* control_of(HWND parent, int id) {
    return window_child(window_from(parent), id);
}

}  // namespace

void headless_use(const HeadlessOptions& options) {
    State& s = state();
    s.options = options;
    s.transcript.clear();
    s.errors.clear();
    s.form = SheetTemplateForm::Extended;
    message_box_log().clear();
    frontend_select(&headless());
}

void headless_at(uint64_t at, std::function<void()> action) {
    clock_post_at(at, [action = std::move(action)] { input_post(action); });
}

bool headless_press(int id) {
    Window* c = front_control(id);
    note("press " + std::to_string(id));
    if (!reachable(c) || c->cls != ControlClass::Button) {
        return fail("press " + std::to_string(id) + ": no such button takes input");
    }
    input_press(c);
    return true;
}

bool headless_type(int id, const std::string& text) {
    Window* c = front_control(id);
    note("type " + std::to_string(id) + " \"" + text + "\"");
    if (!reachable(c) || c->cls != ControlClass::Edit) {
        return fail("type " + std::to_string(id) + ": no such edit takes input");
    }
    input_type(c, text);
    return true;
}

bool headless_set_text(int id, const std::string& text) {
    Window* c = front_control(id);
    if (reachable(c) && c->cls == ControlClass::Edit) {
        c->edit.sel_start = 0;
        c->edit.sel_end = c->text.size();
    }
    return headless_type(id, text);
}

bool headless_click_row(int id, int row) {
    Window* c = front_control(id);
    note("click row " + std::to_string(row) + " of " + std::to_string(id));
    if (!reachable(c) || c->cls != ControlClass::ListView || row < 0 ||
        row >= static_cast<int>(c->list->rows.size())) {
        return fail("click row " + std::to_string(row) + " of " + std::to_string(id));
    }
    input_list_select(c, row, true, true, true);
    return true;
}

bool headless_select_row(int id, int row, bool selected) {
    Window* c = front_control(id);
    note(std::string(selected ? "select" : "deselect") + " row " + std::to_string(row) + " of " +
         std::to_string(id));
    if (!reachable(c) || c->cls != ControlClass::ListView || row < 0 ||
        row >= static_cast<int>(c->list->rows.size())) {
        return fail("select row " + std::to_string(row) + " of " + std::to_string(id));
    }
    input_list_select(c, row, selected, false, true);
    return true;
}

bool headless_focus(int id) {
    Window* c = front_control(id);
    if (!reachable(c)) {
        return fail("focus " + std::to_string(id));
    }
    input_focus(c);
    return true;
}

bool headless_switch_page(int index) {
    Window* sheet = front_sheet();
    note("switch to page " + std::to_string(index));
    if (sheet == nullptr || !reachable(sheet) || index < 0 || index >= sheet_page_count(sheet)) {
        return fail("switch to page " + std::to_string(index));
    }
    input_switch_page(sheet, index);
    return true;
}

bool headless_ok() {
    return front_sheet() != nullptr ? headless_press(IDOK) : fail("OK: no sheet in front");
}

bool headless_cancel() {
    return front_sheet() != nullptr ? headless_press(IDCANCEL) : fail("Cancel: no sheet in front");
}

bool headless_dismiss() {
    Window* f = front();
    if (f == nullptr || f->kind != WindowKind::MessageBox) {
        return fail("dismiss: no message box in front");
    }
    for (Window* c : f->children) {
        if (c->cls == ControlClass::Button) {
            return headless_press(c->id);
        }
    }
    return fail("dismiss: the message box has no button");
}

bool headless_escape() {
    Window* f = front();
    note("escape");
    if (f == nullptr) {
        return fail("escape: no window");
    }
    input_close(f);
    return true;
}

bool headless_tab(bool backwards) {
    Window* f = front();
    if (f == nullptr) {
        return fail("tab: no window");
    }
    input_tab(f, backwards);
    return true;
}

HWND headless_front() {
    Window* f = front();
    return f == nullptr ? nullptr : f->handle;
}

HWND headless_sheet() {
    for (Window* w : window_stack()) {
        if (w->kind == WindowKind::Sheet) {
            return w->handle;
        }
    }
    return nullptr;
}

HWND headless_page(int index) {
    Window* sheet = window_from(headless_sheet());
    Window* page = sheet == nullptr ? nullptr : sheet_page_window(sheet, index);
    return page == nullptr ? nullptr : page->handle;
}

HWND headless_control(HWND parent, int id) {
    Window* c = control_of(parent, id);
    return c == nullptr ? nullptr : c->handle;
}

std::string headless_text(HWND parent, int id) {
    Window* c = control_of(parent, id);
    return c == nullptr ? std::string() : c->text;
}

bool headless_enabled(HWND parent, int id) {
    Window* c = control_of(parent, id);
    return c != nullptr && c->enabled;
}

bool headless_visible(HWND parent, int id) {
    Window* c = control_of(parent, id);
    return c != nullptr && IsWindowVisible(c->handle);
}

std::vector<std::string> headless_columns(HWND parent, int id) {
    std::vector<std::string> out;
    Window* c = control_of(parent, id);
    if (c != nullptr && c->list != nullptr) {
        for (const ListColumn& col : c->list->columns) {
            out.push_back(col.text);
        }
    }
    return out;
}

std::vector<std::vector<std::string>> headless_rows(HWND parent, int id) {
    std::vector<std::vector<std::string>> out;
    Window* c = control_of(parent, id);
    if (c != nullptr && c->list != nullptr) {
        for (const ListRow& r : c->list->rows) {
            out.push_back(r.cells);
        }
    }
    return out;
}

std::vector<int> headless_selected_rows(HWND parent, int id) {
    std::vector<int> out;
    Window* c = control_of(parent, id);
    if (c != nullptr && c->list != nullptr) {
        for (size_t i = 0; i < c->list->rows.size(); ++i) {
            if ((c->list->rows[i].state & LVIS_SELECTED) != 0) {
                out.push_back(static_cast<int>(i));
            }
        }
    }
    return out;
}

int headless_focused_row(HWND parent, int id) {
    Window* c = control_of(parent, id);
    if (c != nullptr && c->list != nullptr) {
        for (size_t i = 0; i < c->list->rows.size(); ++i) {
            if ((c->list->rows[i].state & LVIS_FOCUSED) != 0) {
                return static_cast<int>(i);
            }
        }
    }
    return -1;
}

BarView headless_bar(HWND parent, int id) {
    Window* c = control_of(parent, id);
    if (c == nullptr) {
        return BarView{0, 0, 0, 0, CLR_NONE};
    }
    const ProgressState& p = c->progress;
    return BarView{p.low, p.high, p.pos, p.step, p.bar_color};
}

std::pair<size_t, size_t> headless_selection(HWND parent, int id) {
    Window* c = control_of(parent, id);
    return c == nullptr ? std::pair<size_t, size_t>{0, 0}
                        : std::pair<size_t, size_t>{c->edit.sel_start, c->edit.sel_end};
}

int headless_focus_id() {
    Window* f = front();
    if (f == nullptr || f->focus == nullptr) {
        return -1;
    }
    return f->focus == f ? 0 : f->focus->id;
}

std::vector<HWND> headless_children(HWND parent) {
    std::vector<HWND> out;
    if (Window* w = window_from(parent); w != nullptr) {
        for (Window* c : w->children) {
            out.push_back(c->handle);
        }
    }
    return out;
}

std::vector<HWND> headless_focus_ring() {
    std::vector<HWND> out;
    for (Window* w : focus_ring(front())) {
        out.push_back(w->handle);
    }
    return out;
}

bool headless_bold(HWND control) {
    Window* w = window_from(control);
    return w != nullptr && w->font_weight >= FW_BOLD;
}

namespace {

std::pair<int, int> size_of(const ImageResource* image) {
    return image == nullptr ? std::pair<int, int>{0, 0}
                            : std::pair<int, int>{image->width, image->height};
}

}  // namespace

std::pair<int, int> headless_icon_size(HWND window, bool small) {
    Window* w = window_from(window);
    return w == nullptr ? std::pair<int, int>{0, 0} : size_of(small ? w->small_icon : w->icon);
}

std::pair<int, int> headless_image_size(HWND picture) {
    Window* w = window_from(picture);
    return w == nullptr ? std::pair<int, int>{0, 0} : size_of(w->image);
}

std::vector<std::string> headless_tabs() {
    std::vector<std::string> tabs;
    Window* sheet = window_from(headless_sheet());
    for (int i = 0; sheet != nullptr && i < sheet_page_count(sheet); ++i) {
        tabs.push_back(sheet_page_title(sheet, i));
    }
    return tabs;
}

int headless_current_page() {
    Window* sheet = window_from(headless_sheet());
    return sheet == nullptr ? -1 : sheet->sheet->current;
}

std::vector<int> headless_sheet_buttons() {
    std::vector<int> ids;
    Window* sheet = window_from(headless_sheet());
    for (Window* c : sheet == nullptr ? std::vector<Window*>{} : sheet->children) {
        if (c->kind == WindowKind::Control && c->cls == ControlClass::Button) {
            ids.push_back(c->id);
        }
    }
    return ids;
}

bool headless_help_button() {
    Window* sheet = window_from(headless_sheet());
    return sheet != nullptr && sheet->sheet->help_button;
}

std::vector<HeadlessBox> headless_message_boxes() {
    std::vector<HeadlessBox> out;
    for (const MessageBoxShown& b : message_box_log()) {
        out.push_back(HeadlessBox{b.text, b.caption, b.type, b.owner, b.time});
    }
    return out;
}

const std::vector<std::string>& headless_transcript() {
    return state().transcript;
}

const std::vector<std::string>& headless_errors() {
    return state().errors;
}

void headless_set_sheet_template_form(SheetTemplateForm form) {
    state().form = form;
}

SheetTemplateForm headless_sheet_template_form() {
    return state().form;
}
