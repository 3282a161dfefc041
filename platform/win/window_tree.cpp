// The table of windows by handle, the tree of parents and children, message sending, and the
// generic window functions.
#include <algorithm>
#include <cstring>
#include <map>

#include "platform/win/frontend.h"
#include "platform/win/window_internal.h"

namespace {

struct Table {
    std::map<uintptr_t, std::unique_ptr<Window>> windows;
    std::vector<Window*> stack;
    uintptr_t next = 0x10;  // handles are never reused, so a stale one finds nothing
};

Table& table() {
    static Table t;
    return t;
}

// Messages that come from input (input_post) are posted to this handle.
HWND const InputHandle = reinterpret_cast<HWND>(static_cast<uintptr_t>(1));
constexpr UINT InputMessage = 0x03F0;

std::vector<std::function<void()>>& pending_input() {
    static std::vector<std::function<void()>> actions;
    return actions;
}

LRESULT dispatch_window_message(const MSG* msg) {
    if (msg->hwnd == InputHandle && msg->message == InputMessage) {
        auto& actions = pending_input();
        if (actions.empty()) {
            return 0;
        }
        std::function<void()> action = std::move(actions.front());
        actions.erase(actions.begin());
        action();
        return 0;
    }
    Window* w = window_from(msg->hwnd);
    if (w == nullptr) {
        return 0;
    }
    return window_send(w, msg->message, msg->wParam, msg->lParam);
}

void idle_hook() {
    frontend()->idle();
}

void install_hooks() {
    static bool installed = false;
    if (!installed) {
        installed = true;
        message_loop_set_window_dispatcher(dispatch_window_message);
        message_loop_set_idle_hook(idle_hook);
    }
}

}  // namespace

void input_post(std::function<void()> action) {
    install_hooks();
    pending_input().push_back(std::move(action));
    PostMessageA(InputHandle, InputMessage, 0, 0);
}

Window* window_from(HWND handle) {
    auto& windows = table().windows;
    auto it = windows.find(reinterpret_cast<uintptr_t>(handle));
    return it == windows.end() ? nullptr : it->second.get();
}

Window* window_create(WindowKind kind, Window* parent) {
    install_hooks();
    Table& t = table();
    auto w = std::make_unique<Window>();
    w->handle = reinterpret_cast<HWND>(t.next);
    t.next += 4;
    w->kind = kind;
    w->parent = parent;
    Window* raw = w.get();
    t.windows[reinterpret_cast<uintptr_t>(raw->handle)] = std::move(w);
    if (parent != nullptr) {
        parent->children.push_back(raw);
    }
    return raw;
}

void window_destroy(Window* w) {
    if (w == nullptr || w->destroying) {
        return;
    }
    w->destroying = true;
    window_send(w, WM_DESTROY, 0, 0);
    // Children go after their parent has heard WM_DESTROY, as on Windows.
    std::vector<Window*> children = w->children;
    for (Window* c : children) {
        window_destroy(c);
    }
    if (w->parent == nullptr) {
        window_stack_remove(w);
    } else {
        auto& siblings = w->parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), w), siblings.end());
        Window* root = window_root(w->parent);
        if (root->focus == w) {
            root->focus = nullptr;
        }
    }
    HWND handle = w->handle;
    table().windows.erase(reinterpret_cast<uintptr_t>(handle));
}

Window* window_root(Window* w) {
    while (w != nullptr && w->parent != nullptr) {
        w = w->parent;
    }
    return w;
}

const std::vector<Window*>& window_stack() {
    return table().stack;
}

void window_stack_push(Window* w) {
    table().stack.push_back(w);
    frontend()->shown(w);
}

void window_stack_remove(Window* w) {
    auto& stack = table().stack;
    auto it = std::find(stack.begin(), stack.end(), w);
    if (it != stack.end()) {
        stack.erase(it);
        frontend()->hidden(w);
    }
}

Window* window_front() {
    auto& stack = table().stack;
    return stack.empty() ? nullptr : stack.back();
}

Window* window_child(Window* w, int id) {
    if (w == nullptr) {
        return nullptr;
    }
    for (Window* c : w->children) {
        if (c->id == id) {
            return c;
        }
    }
    return nullptr;
}

bool window_accepts_input(Window* w) {
    for (Window* p = w; p != nullptr; p = p->parent) {
        if (!p->enabled || !p->visible) {
            return false;
        }
    }
    return true;
}

void window_changed(Window* w) {
    if (w != nullptr) {
        frontend()->changed(w);
    }
}

void window_notify_command(Window* c, WORD code) {
    if (c->parent != nullptr) {
        window_send(c->parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(c->id), code),
                    reinterpret_cast<LPARAM>(c->handle));
    }
}

// ---- Generic window functions ----------------------------------------------------------------

LRESULT SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    Window* w = window_from(window);
    return w == nullptr ? 0 : window_send(w, message, wparam, lparam);
}

BOOL IsWindow(HWND window) {
    return window_from(window) != nullptr ? TRUE : FALSE;
}

HWND GetParent(HWND window) {
    Window* w = window_from(window);
    if (w == nullptr) {
        return nullptr;
    }
    if (w->parent != nullptr) {
        return w->parent->handle;
    }
    return w->owner;
}

HWND GetDlgItem(HWND dialog, int id) {
    Window* c = window_child(window_from(dialog), id);
    return c == nullptr ? nullptr : c->handle;
}

int GetDlgCtrlID(HWND control) {
    Window* w = window_from(control);
    return w == nullptr ? 0 : w->id;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    Window* w = window_from(window);
    if (w == nullptr) {
        return FALSE;
    }
    return window_send(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE : FALSE;
}

int GetWindowTextA(HWND window, LPSTR buffer, int max_count) {
    Window* w = window_from(window);
    if (w == nullptr) {
        if (buffer != nullptr && max_count > 0) {
            buffer[0] = '\0';
        }
        return 0;
    }
    return static_cast<int>(window_send(w, WM_GETTEXT, static_cast<WPARAM>(std::max(max_count, 0)),
                                        reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthA(HWND window) {
    Window* w = window_from(window);
    return w == nullptr ? 0 : static_cast<int>(w->text.size());
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND control = GetDlgItem(dialog, id);
    return control == nullptr ? FALSE : SetWindowTextA(control, text);
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int max_count) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) {
        if (buffer != nullptr && max_count > 0) {
            buffer[0] = '\0';
        }
        return 0;
    }
    return static_cast<UINT>(GetWindowTextA(control, buffer, max_count));
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam) {
    HWND control = GetDlgItem(dialog, id);
    return control == nullptr ? 0 : SendMessageA(control, message, wparam, lparam);
}

BOOL EnableWindow(HWND window, BOOL enable) {
    Window* w = window_from(window);
    if (w == nullptr) {
        return FALSE;
    }
    bool was_disabled = !w->enabled;
    w->enabled = enable != FALSE;
    if (was_disabled == w->enabled) {
        window_send(w, WM_ENABLE, static_cast<WPARAM>(enable), 0);
        window_changed(w);
    }
    return was_disabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND window) {
    Window* w = window_from(window);
    return w != nullptr && w->enabled ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND window) {
    Window* w = window_from(window);
    if (w == nullptr) {
        return FALSE;
    }
    for (Window* p = w; p != nullptr; p = p->parent) {
        if (!p->visible) {
            return FALSE;
        }
    }
    return TRUE;
}

HWND SetFocus(HWND window) {
    Window* w = window_from(window);
    HWND previous = GetFocus();
    if (w != nullptr) {
        Window* root = window_root(w);
        root->focus = w;
        window_changed(root);
    }
    return previous;
}

HWND GetFocus() {
    Window* front = window_front();
    if (front == nullptr || front->focus == nullptr) {
        return nullptr;
    }
    return front->focus->handle;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    Window* w = window_from(window);
    if (w == nullptr) {
        return 0;
    }
    LONG_PTR* slot = index == GWLP_USERDATA    ? &w->user_data
                     : index == DWLP_MSGRESULT ? &w->msg_result
                                               : nullptr;
    if (slot == nullptr) {
        return 0;
    }
    LONG_PTR old = *slot;
    *slot = value;
    return old;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
    Window* w = window_from(window);
    if (w == nullptr) {
        return 0;
    }
    return index == GWLP_USERDATA ? w->user_data : index == DWLP_MSGRESULT ? w->msg_result : 0;
}

HINSTANCE GetModuleHandleA(LPCSTR) {
    static char module;
    return reinterpret_cast<HINSTANCE>(&module);
}
