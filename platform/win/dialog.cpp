// Dialogs built from templates, the modal loop every modal window runs, DialogBoxParamA and
// EndDialog; and where a message sent to a window goes.
#include <cstdio>

#include "platform/win/frontend.h"
#include "platform/win/window_internal.h"

namespace {

LRESULT dialog_window_proc(Window* w, UINT message, WPARAM wparam, LPARAM lparam) {
    if (w->dlgproc == nullptr) {
        return 0;
    }
    HWND handle = w->handle;
    w->msg_result = 0;
    INT_PTR handled = w->dlgproc(handle, message, wparam, lparam);
    Window* still = window_from(handle);  // the procedure may have destroyed its window
    if (message == WM_INITDIALOG) {
        return handled;
    }
    if (still == nullptr) {
        return 0;
    }
    if (handled == 0 && message == WM_CLOSE && w->kind == WindowKind::Dialog) {
        // A dialog that does not handle WM_CLOSE hears it as Cancel.
        return window_send(still, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    return handled != 0 ? still->msg_result : 0;
}

}  // namespace

LRESULT window_send(Window* w, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (w->kind) {
        case WindowKind::Control:
            return control_message(w, message, wparam, lparam);
        case WindowKind::Sheet:
            return sheet_window_proc(w, message, wparam, lparam);
        case WindowKind::MessageBox:
            return message_box_window_proc(w, message, wparam, lparam);
        case WindowKind::TopLevel:
            return top_window_proc(w, message, wparam, lparam);
        case WindowKind::Dialog:
        case WindowKind::Page:
            return dialog_window_proc(w, message, wparam, lparam);
    }
    return 0;
}

Window* dialog_create(WindowKind kind, const DialogTemplate& t, Window* parent, DLGPROC proc) {
    Window* w = window_create(kind, parent);
    w->units = Units::DialogUnits;
    w->text = t.caption == nullptr ? "" : t.caption;
    w->style = t.style;
    w->cx = t.cx;
    w->cy = t.cy;
    w->dlgproc = proc;
    for (size_t i = 0; i < t.control_count && t.controls != nullptr; ++i) {
        control_create(w, t.controls[i], Units::DialogUnits);
    }
    return w;
}

Window* dialog_first_tabstop(Window* w) {
    for (Window* c : w->children) {
        if (control_takes_focus(c)) {
            return c;
        }
    }
    return nullptr;
}

void modal_loop(Window* w) {
    HWND handle = w->handle;
    for (;;) {
        Window* still = window_from(handle);
        if (still == nullptr || still->modal_ended) {
            return;
        }
        MSG msg;
        if (!GetMessageA(&msg, nullptr, 0, 0)) {
            // The outer loops must see the quit request too.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        DispatchMessageA(&msg);
    }
}

HWND modal_begin(HWND owner) {
    Window* root = window_root(window_from(owner));
    if (root == nullptr || !root->enabled) {
        return nullptr;
    }
    root->enabled = false;
    window_changed(root);
    return root->handle;
}

void modal_end(HWND disabled_owner) {
    Window* root = window_from(disabled_owner);
    if (root != nullptr) {
        root->enabled = true;
        window_changed(root);
    }
}

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR template_name, HWND owner, DLGPROC proc,
                        LPARAM init_param) {
    const DialogTemplate* t = resource_find_dialog(template_name);
    if (t == nullptr) {
        std::fprintf(stderr, "DialogBoxParamA: no dialog template %s\n",
                     IS_INTRESOURCE(template_name)
                         ? std::to_string(reinterpret_cast<uintptr_t>(template_name)).c_str()
                         : template_name);
        return -1;
    }
    Window* d = dialog_create(WindowKind::Dialog, *t, nullptr, proc);
    d->owner = owner;
    HWND handle = d->handle;
    HWND disabled = modal_begin(owner);
    d->focus = dialog_first_tabstop(d);
    window_send(d, WM_INITDIALOG,
                d->focus == nullptr ? 0 : reinterpret_cast<WPARAM>(d->focus->handle), init_param);
    // A dialog ended during its initialisation is never shown.
    d = window_from(handle);
    if (d != nullptr && !d->modal_ended) {
        window_stack_push(d);
        modal_loop(d);
    }
    INT_PTR result = 0;
    d = window_from(handle);
    if (d != nullptr) {
        result = d->modal_result;
        window_destroy(d);
    }
    modal_end(disabled);
    return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    // Only a modal dialog ends this way; a sheet ends with its own buttons.
    Window* w = window_from(dialog);
    if (w == nullptr || w->kind != WindowKind::Dialog) {
        return FALSE;
    }
    w->modal_ended = true;
    w->modal_result = result;
    window_changed(w);
    return TRUE;
}
