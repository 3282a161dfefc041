// Top-level windows of registered classes with their child controls, laid out in pixels, and
// the screen they are placed on.
#include <strings.h>
#include <algorithm>
#include <cstring>
#include <map>

#include "platform/win/frontend.h"
#include "platform/win/window_internal.h"

namespace {

// A window frame is one cell of the terminal all round: 8 pixels at the sides, 16 at the top
// (where the caption runs in the border) and at the bottom.
constexpr int FrameSide = 8;
constexpr int FrameTopBottom = 16;

struct RegisteredClass {
    std::string name;
    WNDCLASSA desc;
};

std::map<std::string, RegisteredClass>& classes() {
    static std::map<std::string, RegisteredClass> registered;
    return registered;
}

std::string lower(const char* s) {
    std::string out = s == nullptr ? "" : s;
    for (char& ch : out) {
        ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    }
    return out;
}

bool has_frame(DWORD style) {
    return (style & (WS_CAPTION | WS_BORDER | WS_DLGFRAME | WS_THICKFRAME)) != 0;
}

HWND create_child(DWORD ex_style, LPCSTR class_name, LPCSTR text, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU menu) {
    Window* p = window_from(parent);
    if (p == nullptr || control_class_of(class_name, style) == ControlClass::None) {
        return nullptr;
    }
    ControlTemplate t{static_cast<int>(reinterpret_cast<intptr_t>(menu)),
                      class_name,
                      text,
                      static_cast<short>(x),
                      static_cast<short>(y),
                      static_cast<short>(width),
                      static_cast<short>(height),
                      style,
                      ex_style};
    Window* c = control_create(p, t, Units::Pixels);
    c->style = style;
    c->visible = (style & WS_VISIBLE) != 0;
    window_changed(c);
    return c->handle;
}

}  // namespace

ATOM RegisterClassA(const WNDCLASSA* window_class) {
    if (window_class == nullptr || window_class->lpszClassName == nullptr) {
        return 0;
    }
    std::string key = lower(window_class->lpszClassName);
    if (classes().count(key) != 0) {
        return 0;
    }
    RegisteredClass& c = classes()[key];
    c.name = window_class->lpszClassName;
    c.desc = *window_class;
    c.desc.lpszClassName = c.name.c_str();
    return static_cast<ATOM>(0xC000 + classes().size());
}

HWND CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR window_name, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE,
                     void* param) {
    if ((style & WS_CHILD) != 0) {
        return create_child(ex_style, class_name, window_name, style, x, y, width, height, parent,
                            menu);
    }
    auto it = classes().find(lower(class_name));
    if (it == classes().end()) {
        return nullptr;
    }
    Window* w = window_create(WindowKind::TopLevel, nullptr);
    HWND handle = w->handle;
    w->units = Units::Pixels;
    w->wndproc = it->second.desc.lpfnWndProc;
    w->icon = reinterpret_cast<const ImageResource*>(it->second.desc.hIcon);
    w->text = window_name == nullptr ? "" : window_name;
    w->style = style;
    w->ex_style = ex_style;
    w->x = x == CW_USEDEFAULT ? 0 : x;
    w->y = y == CW_USEDEFAULT ? 0 : y;
    w->cx = width == CW_USEDEFAULT ? 320 : width;
    w->cy = height == CW_USEDEFAULT ? 200 : height;
    w->owner = parent;
    w->visible = false;
    CREATESTRUCTA cs{param,       nullptr,    menu,
                     parent,      w->cy,      w->cx,
                     w->y,        w->x,       static_cast<LONG>(style),
                     window_name, class_name, ex_style};
    if (window_send(w, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    if (window_from(handle) != nullptr && (style & WS_VISIBLE) != 0) {
        ShowWindow(handle, SW_SHOW);
    }
    return window_from(handle) == nullptr ? nullptr : handle;
}

LRESULT top_window_proc(Window* w, UINT message, WPARAM wparam, LPARAM lparam) {
    if (w->wndproc != nullptr) {
        return w->wndproc(w->handle, message, wparam, lparam);
    }
    return DefWindowProcA(w->handle, message, wparam, lparam);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    Window* w = window_from(window);
    if (w == nullptr) {
        return 0;
    }
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_SETTEXT:
            w->text = lparam == 0 ? "" : reinterpret_cast<const char*>(lparam);
            window_changed(w);
            return TRUE;
        case WM_GETTEXT: {
            char* out = reinterpret_cast<char*>(lparam);
            if (out == nullptr || wparam == 0) {
                return 0;
            }
            size_t n = std::min(w->text.size(), static_cast<size_t>(wparam) - 1);
            std::memcpy(out, w->text.data(), n);
            out[n] = '\0';
            return static_cast<LRESULT>(n);
        }
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(w->text.size());
        case WM_SETICON: {
            const ImageResource*& slot = wparam == ICON_SMALL ? w->small_icon : w->icon;
            auto old = reinterpret_cast<LRESULT>(slot);
            slot = reinterpret_cast<const ImageResource*>(lparam);
            window_changed(w);
            return old;
        }
        default:
            return 0;
    }
}

BOOL DestroyWindow(HWND window) {
    Window* w = window_from(window);
    if (w == nullptr) {
        return FALSE;
    }
    window_destroy(w);
    return TRUE;
}

BOOL ShowWindow(HWND window, int command) {
    Window* w = window_from(window);
    if (w == nullptr) {
        return FALSE;
    }
    bool was_visible = w->visible;
    w->visible = command != SW_HIDE;
    if (w->parent == nullptr) {
        const auto& stack = window_stack();
        bool listed = std::find(stack.begin(), stack.end(), w) != stack.end();
        if (w->visible && !listed) {
            if (w->focus == nullptr) {
                w->focus = dialog_first_tabstop(w);
            }
            window_stack_push(w);
        } else if (!w->visible && listed) {
            window_stack_remove(w);
        }
    }
    if (was_visible != w->visible) {
        window_send(w, WM_SHOWWINDOW, w->visible ? TRUE : FALSE, 0);
    }
    window_changed(w);
    return was_visible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND window) {
    Window* w = window_from(window);
    window_changed(w);
    return w == nullptr ? FALSE : TRUE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL, DWORD) {
    if (rect == nullptr) {
        return FALSE;
    }
    if (has_frame(style)) {
        rect->left -= FrameSide;
        rect->right += FrameSide;
        rect->top -= FrameTopBottom;
        rect->bottom += FrameTopBottom;
    }
    return TRUE;
}

int GetSystemMetrics(int index) {
    int width = 0;
    int height = 0;
    switch (index) {
        case SM_CXSCREEN:
        case SM_CYSCREEN:
            frontend()->screen_size(&width, &height);
            return index == SM_CXSCREEN ? width : height;
        case SM_CXICON:
        case SM_CYICON:
            return 32;
        case SM_CXSMICON:
        case SM_CYSMICON:
            return 16;
        default:
            return 0;
    }
}

BOOL GetClientRect(HWND window, RECT* rect) {
    Window* w = window_from(window);
    if (w == nullptr || rect == nullptr) {
        return FALSE;
    }
    *rect = RECT{0, 0, w->cx, w->cy};
    if (w->kind == WindowKind::TopLevel && has_frame(w->style)) {
        rect->right = std::max(0, w->cx - 2 * FrameSide);
        rect->bottom = std::max(0, w->cy - 2 * FrameTopBottom);
    }
    return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    Window* w = window_from(window);
    if (w == nullptr || rect == nullptr) {
        return FALSE;
    }
    *rect = RECT{w->x, w->y, w->x + w->cx, w->y + w->cy};
    return TRUE;
}

HICON LoadIconA(HINSTANCE, LPCSTR name) {
    return reinterpret_cast<HICON>(const_cast<ImageResource*>(resource_find_image(name)));
}

HBITMAP LoadBitmapA(HINSTANCE, LPCSTR name) {
    return reinterpret_cast<HBITMAP>(const_cast<ImageResource*>(resource_find_image(name)));
}
