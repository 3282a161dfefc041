// The terminal frontend: ncurses draws the windows, stdin is watched on the platform clock while
// timers run, and keys and mouse clicks become the layer's input actions.
//
// Keys: Tab and Shift-Tab follow the tab order; Enter or Space presses the focused button;
// arrows move in lists and along the tab row; Space toggles a row in a multiple-selection list;
// Ctrl-PageUp and Ctrl-PageDown switch pages; Escape is Cancel (or closes the window). A click
// focuses or presses what it hits, a tab switches pages, and the wheel scrolls lists.
#include <curses.h>
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win/clock.h"
#include "platform/win/frontend.h"
#include "platform/win/terminal/draw.h"

namespace {

constexpr int KeyCtrlPageUp = KEY_MAX + 1;
constexpr int KeyCtrlPageDown = KEY_MAX + 2;
constexpr int ListPage = 10;  // rows PageUp and PageDown move in a list

int SignalPipe[2] = {-1, -1};

void on_signal(int sig) {
    int saved = errno;
    unsigned char byte = static_cast<unsigned char>(sig);
    [[maybe_unused]] ssize_t put = write(SignalPipe[1], &byte, 1);
    errno = saved;
}

const char* program_name() {
    return program_invocation_short_name;
}

class Terminal : public Frontend {
  public:
    void shown(Window* w) override {
        start();
        // The program's first window must fit; later ones are drawn as far as they fit.
        CellRect f = root_frame(w, COLS, LINES);
        if (window_stack().size() == 1 && (f.width > COLS || f.height > LINES)) {
            stop();
            std::fprintf(stderr,
                         "%s: the terminal has %d columns and %d lines; this window needs at "
                         "least %d columns and %d lines\n",
                         program_name(), COLS, LINES, f.width, f.height);
            std::exit(1);
        }
        dirty_ = true;
    }
    void hidden(Window*) override {
        dirty_ = true;
        if (window_stack().empty()) {
            stop();  // the program's own output goes to a normal screen again
        }
    }
    void changed(Window*) override { dirty_ = true; }
    void idle() override {
        if (hung_up_) {
            Window* front = window_front();
            if (front != nullptr && front->handle != last_closed_) {
                last_closed_ = front->handle;
                input_close(front);
            }
            return;
        }
        if (dirty_) {
            draw();
        }
    }
    void screen_size(int* width, int* height) override {
        start();
        *width = COLS * 8;
        *height = LINES * 16;
    }

    void handle_key(int key, const MEVENT& mouse);
    void on_stdin();
    void on_signal_pipe();
    void stop();

  private:
    void start();
    void draw();
    void hang_up();
    void handle_mouse(Window* front, const MEVENT& mouse);
    void handle_list_key(Window* list, int key);
    void handle_edit_key(Window* edit, int key);

    bool started_ = false;
    bool curses_on_ = false;
    bool hung_up_ = false;
    bool dirty_ = true;
    bool color_ = false;
    bool utf8_ = false;
    int stdin_watch_ = 0;
    HWND last_closed_ = nullptr;
    std::vector<HitArea> hits_;
};

Terminal& terminal() {
    static Terminal t;
    return t;
}

void restore_at_exit() {
    terminal().stop();
}

void Terminal::start() {
    if (started_) {
        if (!curses_on_ && !hung_up_) {
            refresh();  // back from endwin
            curses_on_ = true;
            dirty_ = true;
        }
        return;
    }
    if (isatty(STDIN_FILENO) == 0 || isatty(STDOUT_FILENO) == 0) {
        std::fprintf(stderr, "%s: standard input and standard output must be a terminal\n",
                     program_name());
        std::exit(1);
    }
    started_ = true;
    std::setlocale(LC_CTYPE, "");
    utf8_ = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    initscr();
    curses_on_ = true;
    cbreak();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    set_escdelay(25);
    curs_set(0);
    if (has_colors()) {
        start_color();
        use_default_colors();
        color_ = COLOR_PAIRS >= 32;
        if (color_) {
            draw_init_colors();
        }
    }
    mousemask(BUTTON1_PRESSED | BUTTON1_CLICKED | BUTTON4_PRESSED | BUTTON5_PRESSED | BUTTON_CTRL,
              nullptr);
    mouseinterval(0);
    define_key("\033[5;5~", KeyCtrlPageUp);
    define_key("\033[6;5~", KeyCtrlPageDown);
    std::atexit(restore_at_exit);

    if (pipe2(SignalPipe, O_NONBLOCK | O_CLOEXEC) == 0) {
        struct sigaction sa {};
        sa.sa_handler = on_signal;
        sigemptyset(&sa.sa_mask);
        for (int sig : {SIGWINCH, SIGHUP, SIGTERM, SIGINT}) {
            sigaction(sig, &sa, nullptr);
        }
        clock_watch_fd(SignalPipe[0], [] { terminal().on_signal_pipe(); });
    }
    stdin_watch_ = clock_watch_fd(STDIN_FILENO, [] { terminal().on_stdin(); });
}

void Terminal::stop() {
    if (curses_on_) {
        curses_on_ = false;
        if (!hung_up_) {
            endwin();
        }
    }
}

void Terminal::draw() {
    if (!curses_on_ || hung_up_) {
        return;
    }
    dirty_ = false;
    erase();
    DrawContext ctx;
    ctx.cols = COLS;
    ctx.rows = LINES;
    ctx.color = color_;
    ctx.utf8 = utf8_;
    Window* front = window_front();
    if (front != nullptr) {
        CellRect f = root_frame(front, COLS, LINES);
        if (f.width > COLS || f.height > LINES) {
            std::string note = "The terminal is too small: this window needs " +
                               std::to_string(f.width) + " x " + std::to_string(f.height) + ".";
            mvaddnstr(0, 0, note.c_str(), COLS);
            curs_set(0);
            refresh();
            hits_.clear();
            return;
        }
    }
    for (Window* root : window_stack()) {
        if (root->visible) {
            draw_root(root, ctx, root == front);
        }
    }
    if (ctx.cursor_col >= 0) {
        curs_set(1);
        move(ctx.cursor_row, ctx.cursor_col);
    } else {
        curs_set(0);
    }
    refresh();
    hits_ = std::move(ctx.hits);
}

void Terminal::on_stdin() {
    pollfd pfd{STDIN_FILENO, POLLIN, 0};
    poll(&pfd, 1, 0);
    bool any = false;
    for (;;) {
        wint_t ch = 0;
        int kind = get_wch(&ch);
        if (kind == ERR) {
            break;
        }
        any = true;
        int key = static_cast<int>(ch);
        MEVENT mouse{};
        if (kind == KEY_CODE_YES && key == KEY_MOUSE && getmouse(&mouse) != OK) {
            continue;
        }
        if (kind == OK && key > 0x7F) {
            continue;  // the dialogs take ASCII text only
        }
        input_post([key, mouse] { terminal().handle_key(key, mouse); });
    }
    if (!any && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        hang_up();
    }
}

void Terminal::on_signal_pipe() {
    unsigned char sig = 0;
    while (read(SignalPipe[0], &sig, 1) == 1) {
        if (sig == SIGWINCH) {
            winsize ws{};
            if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_row > 0 && ws.ws_col > 0) {
                resize_term(ws.ws_row, ws.ws_col);
            }
            dirty_ = true;
            draw();
        } else if (sig == SIGINT) {
            input_post([] { input_close(window_front()); });
        } else {
            hang_up();
        }
    }
}

void Terminal::hang_up() {
    if (hung_up_) {
        return;
    }
    hung_up_ = true;
    curses_on_ = false;
    clock_unwatch_fd(stdin_watch_);
    // Wakes the message loop, whose idle turn then closes the windows in front one by one.
    input_post([] {});
}

void Terminal::handle_key(int key, const MEVENT& mouse) {
    Window* front = window_front();
    if (front == nullptr || hung_up_) {
        return;
    }
    dirty_ = true;
    if (key == KEY_MOUSE) {
        handle_mouse(front, mouse);
        return;
    }
    if (key == KEY_RESIZE) {
        return;
    }
    if (key == 27) {
        input_close(front);
        return;
    }
    if (key == '\t' || key == KEY_BTAB) {
        input_tab(front, key == KEY_BTAB);
        return;
    }
    if ((key == KeyCtrlPageUp || key == KeyCtrlPageDown) && front->kind == WindowKind::Sheet) {
        int n = sheet_page_count(front);
        int step = key == KeyCtrlPageDown ? 1 : n - 1;
        input_switch_page(front, n == 0 ? 0 : (front->sheet->current + step) % n);
        return;
    }
    Window* focus = front->focus;
    if (focus == nullptr) {
        return;
    }
    if (focus == front && front->kind == WindowKind::Sheet) {
        int n = sheet_page_count(front);
        if (key == KEY_LEFT && front->sheet->current > 0) {
            input_switch_page(front, front->sheet->current - 1);
        } else if (key == KEY_RIGHT && front->sheet->current + 1 < n) {
            input_switch_page(front, front->sheet->current + 1);
        }
        return;
    }
    switch (focus->cls) {
        case ControlClass::Button:
            if (key == '\r' || key == '\n' || key == KEY_ENTER || key == ' ') {
                input_press(focus);
            } else if (key == KEY_LEFT || key == KEY_UP) {
                input_tab(front, true);
            } else if (key == KEY_RIGHT || key == KEY_DOWN) {
                input_tab(front, false);
            }
            break;
        case ControlClass::Edit:
            handle_edit_key(focus, key);
            break;
        case ControlClass::ListView:
            handle_list_key(focus, key);
            break;
        default:
            break;
    }
}

void Terminal::handle_edit_key(Window* edit, int key) {
    switch (key) {
        case KEY_BACKSPACE:
        case 127:
        case 8:
            input_edit_key(edit, EditKey::Backspace);
            break;
        case KEY_DC:
            input_edit_key(edit, EditKey::Delete);
            break;
        case KEY_LEFT:
            input_edit_key(edit, EditKey::Left);
            break;
        case KEY_RIGHT:
            input_edit_key(edit, EditKey::Right);
            break;
        case KEY_HOME:
            input_edit_key(edit, EditKey::Home);
            break;
        case KEY_END:
            input_edit_key(edit, EditKey::End);
            break;
        default:
            if (key >= 0x20 && key < 0x7F) {
                input_type(edit, std::string(1, static_cast<char>(key)));
            }
            break;
    }
}

void Terminal::handle_list_key(Window* list, int key) {
    const ListViewState& l = *list->list;
    int count = static_cast<int>(l.rows.size());
    if (count == 0) {
        return;
    }
    int focus = -1;
    for (int i = 0; i < count; ++i) {
        if ((l.rows[i].state & LVIS_FOCUSED) != 0) {
            focus = i;
        }
    }
    bool multiple = (list->style & LVS_SINGLESEL) == 0;
    if (key == ' ') {
        int row = focus < 0 ? 0 : focus;
        bool selected = (l.rows[row].state & LVIS_SELECTED) != 0;
        input_list_select(list, row, multiple ? !selected : true, !multiple, true);
        return;
    }
    int target = focus;
    switch (key) {
        case KEY_UP:
            target = focus - 1;
            break;
        case KEY_DOWN:
            target = focus + 1;
            break;
        case KEY_PPAGE:
            target = focus - ListPage;
            break;
        case KEY_NPAGE:
            target = focus + ListPage;
            break;
        case KEY_HOME:
            target = 0;
            break;
        case KEY_END:
            target = count - 1;
            break;
        default:
            return;
    }
    target = std::clamp(target, 0, count - 1);
    if (multiple) {
        input_list_focus(list, target);  // Space then toggles it
    } else {
        input_list_select(list, target, true, true, true);
    }
}

void Terminal::handle_mouse(Window* front, const MEVENT& mouse) {
    bool wheel_up = (mouse.bstate & BUTTON4_PRESSED) != 0;
    bool wheel_down = (mouse.bstate & BUTTON5_PRESSED) != 0;
    bool click = (mouse.bstate & (BUTTON1_PRESSED | BUTTON1_CLICKED)) != 0;
    for (auto it = hits_.rbegin(); it != hits_.rend(); ++it) {
        if (!it->rect.contains(mouse.x, mouse.y)) {
            continue;
        }
        Window* target = window_from(it->window);
        if (target == nullptr) {
            return;
        }
        if (it->kind == HitArea::Tab && click) {
            input_switch_page(front, it->index);
        } else if (it->kind == HitArea::Close && click) {
            input_close(front);
        } else if (it->kind == HitArea::Control) {
            if (target->cls == ControlClass::Button && click) {
                input_press(target);
            } else if (target->cls == ControlClass::Edit && click) {
                input_focus(target);
                size_t at =
                    target->edit.scroll + static_cast<size_t>(std::max(0, mouse.x - it->rect.col));
                target->edit.sel_start = target->edit.sel_end = std::min(at, target->text.size());
            } else if (target->cls == ControlClass::ListView) {
                ListViewState& l = *target->list;
                if (wheel_up || wheel_down) {
                    l.top_row = std::max(0, l.top_row + (wheel_down ? 3 : -3));
                } else if (click) {
                    int row = l.top_row + (mouse.y - it->list_rows.row);
                    bool on_row = it->list_rows.contains(mouse.x, mouse.y) &&
                                  row < static_cast<int>(l.rows.size());
                    if (!on_row) {
                        input_focus(target);
                    } else if ((mouse.bstate & BUTTON_CTRL) != 0 &&
                               (target->style & LVS_SINGLESEL) == 0) {
                        bool selected = (l.rows[row].state & LVIS_SELECTED) != 0;
                        input_list_select(target, row, !selected, false, true);
                    } else {
                        input_list_select(target, row, true, true, true);
                    }
                }
            }
        }
        return;
    }
}

}  // namespace

Frontend* terminal_frontend() {
    return &terminal();
}
