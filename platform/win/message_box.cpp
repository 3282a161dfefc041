// Message boxes: a modal top-level window with the text, the icon of its type and its buttons,
// owned by a window whose top-level window takes no input meanwhile.
#include "platform/win/clock.h"
#include "platform/win/frontend.h"
#include "platform/win/window_internal.h"

namespace {

constexpr int TextId = 0xFFFF;

void add_button(Window* box, int id, const char* text) {
    ControlTemplate t{id, WC_BUTTONA, text, 0, 0, 40, 14, WS_TABSTOP, 0};
    control_create(box, t, Units::DialogUnits);
}

bool has_button(Window* box, int id) {
    Window* c = window_child(box, id);
    return c != nullptr && c->cls == ControlClass::Button;
}

}  // namespace

std::vector<MessageBoxShown>& message_box_log() {
    static std::vector<MessageBoxShown> log;
    return log;
}

LRESULT message_box_window_proc(Window* box, UINT message, WPARAM wparam, LPARAM) {
    int id = 0;
    if (message == WM_COMMAND) {
        id = LOWORD(wparam);
    } else if (message == WM_CLOSE) {
        // Escape and the close box: Cancel where there is one, OK on a box with OK alone.
        id = has_button(box, IDCANCEL)                ? IDCANCEL
             : (box->box_type & MB_TYPEMASK) == MB_OK ? IDOK
                                                      : 0;
    }
    if (id != 0 && has_button(box, id)) {
        box->modal_ended = true;
        box->modal_result = id;
        window_changed(box);
    }
    return 0;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    Window* box = window_create(WindowKind::MessageBox, nullptr);
    HWND handle = box->handle;
    box->units = Units::DialogUnits;
    box->text = caption == nullptr ? "Error" : caption;
    box->box_type = type;
    box->owner = owner;
    ControlTemplate body{TextId, WC_STATICA, text == nullptr ? "" : text, 0, 0, 0, 0, SS_LEFT, 0};
    control_create(box, body, Units::DialogUnits);
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            add_button(box, IDOK, "OK");
            add_button(box, IDCANCEL, "Cancel");
            break;
        case MB_YESNO:
            add_button(box, IDYES, "&Yes");
            add_button(box, IDNO, "&No");
            break;
        default:
            add_button(box, IDOK, "OK");
            break;
    }
    box->focus = dialog_first_tabstop(box);
    message_box_log().push_back(MessageBoxShown{body.text, box->text, type, owner, clock_now()});

    HWND disabled = modal_begin(owner);
    window_stack_push(box);
    modal_loop(box);
    int result = 0;
    if (Window* b = window_from(handle); b != nullptr) {
        result = static_cast<int>(b->modal_result);
        window_destroy(b);
    }
    modal_end(disabled);
    return result;
}
