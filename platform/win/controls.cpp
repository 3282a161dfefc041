// The simple controls: static text, picture, edit, push button and group box; and what every
// control does with its text.
#include <strings.h>
#include <algorithm>
#include <cstring>

#include "platform/win/window_internal.h"

namespace {

bool same_class(const char* a, const char* b) {
    return a != nullptr && strcasecmp(a, b) == 0;
}

LRESULT copy_text_out(const std::string& text, WPARAM max_count, LPARAM buffer) {
    char* out = reinterpret_cast<char*>(buffer);
    if (out == nullptr || max_count == 0) {
        return 0;
    }
    size_t n = std::min(text.size(), static_cast<size_t>(max_count) - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return static_cast<LRESULT>(n);
}

const ImageResource* image_named(const std::string& text) {
    return text.empty() ? nullptr : resource_find_image(text.c_str());
}

// A negative position means the end of the text, as EM_SETSEL takes it.
size_t clamp_position(const std::string& text, LPARAM pos) {
    if (pos < 0 || static_cast<size_t>(pos) > text.size()) {
        return text.size();
    }
    return static_cast<size_t>(pos);
}

void edit_replace_selection(Window* w, const std::string& with) {
    EditState& e = w->edit;
    size_t start = std::min(e.sel_start, w->text.size());
    size_t end = std::min(std::max(e.sel_end, start), w->text.size());
    size_t room =
        e.limit > w->text.size() - (end - start) ? e.limit - (w->text.size() - (end - start)) : 0;
    std::string insert = with.substr(0, room);
    w->text.replace(start, end - start, insert);
    e.sel_start = e.sel_end = start + insert.size();
}

LRESULT edit_message(Window* w, UINT message, WPARAM wparam, LPARAM lparam) {
    EditState& e = w->edit;
    switch (message) {
        case EM_SETSEL:
            if (static_cast<int>(wparam) == -1) {
                e.sel_start = e.sel_end;  // no selection; the caret stays
            } else {
                size_t a = clamp_position(w->text, static_cast<LPARAM>(wparam));
                size_t b = clamp_position(w->text, lparam);
                e.sel_start = std::min(a, b);
                e.sel_end = std::max(a, b);
            }
            window_changed(w);
            return 0;
        case EM_GETSEL: {
            if (wparam != 0) {
                *reinterpret_cast<DWORD*>(wparam) = static_cast<DWORD>(e.sel_start);
            }
            if (lparam != 0) {
                *reinterpret_cast<DWORD*>(lparam) = static_cast<DWORD>(e.sel_end);
            }
            return static_cast<LRESULT>(
                MAKELPARAM(static_cast<WORD>(e.sel_start), static_cast<WORD>(e.sel_end)));
        }
        case EM_REPLACESEL: {
            const char* with = reinterpret_cast<const char*>(lparam);
            edit_replace_selection(w, with == nullptr ? "" : with);
            window_notify_command(w, EN_CHANGE);
            window_changed(w);
            return 0;
        }
        case WM_CLEAR:
        case WM_CUT:
            if (e.sel_start != e.sel_end && (w->style & ES_READONLY) == 0) {
                edit_replace_selection(w, "");
                window_notify_command(w, EN_CHANGE);
                window_changed(w);
            }
            return 0;
        case EM_LIMITTEXT:
            e.limit = wparam == 0 ? 0x7FFFFFFE : static_cast<size_t>(wparam);
            return 0;
        case EM_SETREADONLY:
            w->style = wparam != 0 ? (w->style | ES_READONLY) : (w->style & ~ES_READONLY);
            window_changed(w);
            return TRUE;
        default:
            return 0;
    }
}

}  // namespace

ControlClass control_class_of(const char* class_name, DWORD style) {
    if (same_class(class_name, WC_STATICA)) {
        DWORD type = style & SS_TYPEMASK;
        if (type == SS_BITMAP || type == SS_ICON) {
            return ControlClass::Picture;
        }
        if (type == SS_ETCHEDHORZ || type == SS_ETCHEDFRAME || type == SS_BLACKFRAME) {
            return ControlClass::GroupBox;
        }
        return ControlClass::Static;
    }
    if (same_class(class_name, WC_BUTTONA)) {
        return (style & BS_TYPEMASK) == BS_GROUPBOX ? ControlClass::GroupBox : ControlClass::Button;
    }
    if (same_class(class_name, WC_EDITA)) {
        return ControlClass::Edit;
    }
    if (same_class(class_name, WC_LISTVIEWA)) {
        return ControlClass::ListView;
    }
    if (same_class(class_name, PROGRESS_CLASSA)) {
        return ControlClass::Progress;
    }
    return ControlClass::None;
}

Window* control_create(Window* parent, const ControlTemplate& t, Units units) {
    Window* w = window_create(WindowKind::Control, parent);
    w->cls = control_class_of(t.class_name, t.style);
    w->units = units;
    w->id = t.id;
    w->text = t.text == nullptr ? "" : t.text;
    w->style = t.style | WS_CHILD | WS_VISIBLE;
    w->ex_style = t.ex_style;
    w->x = t.x;
    w->y = t.y;
    w->cx = t.cx;
    w->cy = t.cy;
    w->enabled = (t.style & WS_DISABLED) == 0;
    if (w->cls == ControlClass::Picture) {
        w->image = image_named(w->text);
    }
    if (w->cls == ControlClass::ListView) {
        w->list = std::make_unique<ListViewState>();
    }
    return w;
}

bool control_takes_focus(Window* w) {
    if (w == nullptr || w->kind != WindowKind::Control || (w->style & WS_TABSTOP) == 0) {
        return false;
    }
    if (w->cls != ControlClass::Edit && w->cls != ControlClass::Button &&
        w->cls != ControlClass::ListView) {
        return false;
    }
    return window_accepts_input(w);
}

void edit_set_text(Window* w, const std::string& text) {
    w->text = text;  // the limit binds typing only, as on Windows
    w->edit = EditState{0, 0, 0, w->edit.limit};
}

void edit_type(Window* w, const std::string& text) {
    if ((w->style & ES_READONLY) != 0) {
        return;
    }
    std::string printable;
    for (char ch : text) {
        if (static_cast<unsigned char>(ch) >= 0x20 && ch != 0x7F) {
            printable += ch;
        }
    }
    edit_replace_selection(w, printable);
    window_notify_command(w, EN_CHANGE);
    window_changed(w);
}

LRESULT control_message(Window* w, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_SETTEXT: {
            const char* text = reinterpret_cast<const char*>(lparam);
            if (w->cls == ControlClass::Edit) {
                edit_set_text(w, text == nullptr ? "" : text);
                window_notify_command(w, EN_CHANGE);
            } else {
                w->text = text == nullptr ? "" : text;
                if (w->cls == ControlClass::Picture) {
                    w->image = image_named(w->text);
                }
            }
            window_changed(w);
            return TRUE;
        }
        case WM_GETTEXT:
            return copy_text_out(w->text, wparam, lparam);
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(w->text.size());
        case WM_SETFONT:
            w->font_weight = font_weight_of(reinterpret_cast<HFONT>(wparam));
            window_changed(w);
            return 0;
        default:
            break;
    }
    switch (w->cls) {
        case ControlClass::Edit:
            return edit_message(w, message, wparam, lparam);
        case ControlClass::ListView:
            return list_view_message(w, message, wparam, lparam);
        case ControlClass::Progress:
            return progress_message(w, message, wparam, lparam);
        case ControlClass::Button:
            if (message == BM_CLICK && window_accepts_input(w)) {
                window_notify_command(w, BN_CLICKED);
            }
            return 0;
        case ControlClass::Picture:
            if (message == STM_SETIMAGE) {
                auto old = reinterpret_cast<LRESULT>(w->image);
                w->image = reinterpret_cast<const ImageResource*>(lparam);
                window_changed(w);
                return old;
            }
            if (message == STM_GETIMAGE) {
                return reinterpret_cast<LRESULT>(w->image);
            }
            return 0;
        default:
            return 0;
    }
}
