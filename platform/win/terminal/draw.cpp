#include "platform/win/terminal/draw.h"

#include <curses.h>

#include <algorithm>
#include <string_view>

namespace {

enum Pair : short {
    BarRed = 1,
    BarYellow,
    BarGreen,
    BarBlue,
    BarCyan,
    BarMagenta,
    BarWhite,
    BarBlack,
    IconRed,
    IconYellow,
    IconBlue,
    PairCount
};

// Text that reaches the terminal is plain printable ASCII: anything else (control characters
// that would be terminal commands, bytes of other encodings) shows as '?'.
std::string printable(std::string_view s) {
    std::string out(s);
    for (char& ch : out) {
        unsigned char u = static_cast<unsigned char>(ch);
        if (u < 0x20 || u >= 0x7F) {
            ch = '?';
        }
    }
    return out;
}

enum Glyph {
    Horizontal,
    Vertical,
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight,
    TeeRight,
    TeeLeft,
    Shade
};
const char* const GlyphText[] = {"\u2500", "\u2502", "\u250c", "\u2510", "\u2514",
                                 "\u2518", "\u251c", "\u2524", "\u2591"};

chtype acs_of(Glyph g) {
    switch (g) {
        case Horizontal:
            return ACS_HLINE;
        case Vertical:
            return ACS_VLINE;
        case TopLeft:
            return ACS_ULCORNER;
        case TopRight:
            return ACS_URCORNER;
        case BottomLeft:
            return ACS_LLCORNER;
        case BottomRight:
            return ACS_LRCORNER;
        case TeeRight:
            return ACS_LTEE;
        case TeeLeft:
            return ACS_RTEE;
        case Shade:
            return ACS_CKBOARD;
    }
    return '?';
}

struct Painter {
    DrawContext& ctx;
    CellRect clip;

    bool visible(int col, int row) const {
        return col >= 0 && row >= 0 && col < ctx.cols && row < ctx.rows && clip.contains(col, row);
    }
    void text(int col, int row, std::string_view s, attr_t attr = A_NORMAL) {
        std::string safe = printable(s);
        for (size_t i = 0; i < safe.size(); ++i) {
            int c = col + static_cast<int>(i);
            if (visible(c, row)) {
                mvaddch(row, c, static_cast<unsigned char>(safe[i]) | attr);
            }
        }
    }
    void put(int col, int row, chtype ch) {
        if (visible(col, row)) {
            mvaddch(row, col, ch);
        }
    }
    // A line-drawing glyph: the Unicode character in a UTF-8 terminal, the alternate character
    // set elsewhere.
    void glyph(int col, int row, Glyph g, attr_t attr = A_NORMAL) {
        if (!visible(col, row)) {
            return;
        }
        if (ctx.utf8) {
            attr_set(attr, PAIR_NUMBER(attr), nullptr);
            mvaddstr(row, col, GlyphText[g]);
            attr_set(A_NORMAL, 0, nullptr);
        } else {
            mvaddch(row, col, acs_of(g) | attr);
        }
    }
    void fill(const CellRect& r, chtype ch = ' ') {
        for (int y = r.row; y < r.bottom(); ++y) {
            for (int x = r.col; x < r.right(); ++x) {
                put(x, y, ch);
            }
        }
    }
    void rule(int col, int row, int width, attr_t attr = A_NORMAL) {
        for (int x = col; x < col + width; ++x) {
            glyph(x, row, Horizontal, attr);
        }
    }
    void frame(const CellRect& r, attr_t attr = A_NORMAL) {
        if (r.width < 2 || r.height < 2) {
            return;
        }
        rule(r.col + 1, r.row, r.width - 2, attr);
        rule(r.col + 1, r.bottom() - 1, r.width - 2, attr);
        for (int y = r.row + 1; y < r.bottom() - 1; ++y) {
            glyph(r.col, y, Vertical, attr);
            glyph(r.right() - 1, y, Vertical, attr);
        }
        glyph(r.col, r.row, TopLeft, attr);
        glyph(r.right() - 1, r.row, TopRight, attr);
        glyph(r.col, r.bottom() - 1, BottomLeft, attr);
        glyph(r.right() - 1, r.bottom() - 1, BottomRight, attr);
    }
    // A full cell of colour: a block in a UTF-8 terminal, a reversed blank elsewhere.
    void block(int col, int row, attr_t attr) {
        if (!visible(col, row)) {
            return;
        }
        if (ctx.utf8) {
            attr_set(attr, PAIR_NUMBER(attr), nullptr);
            mvaddstr(row, col, "\u2588");
            attr_set(A_NORMAL, 0, nullptr);
        } else {
            mvaddch(row, col, ' ' | A_REVERSE | attr);
        }
    }
};

std::string fit(const std::string& s, int width) {
    if (width <= 0) {
        return "";
    }
    return s.size() <= static_cast<size_t>(width) ? s : s.substr(0, width);
}

// The colour pair closest to an RGB value, among the terminal's eight colours.
short pair_of_color(COLORREF c) {
    if (c == CLR_DEFAULT || c == CLR_NONE) {
        return BarCyan;
    }
    bool r = GetRValue(c) >= 128, g = GetGValue(c) >= 128, b = GetBValue(c) >= 128;
    if (r && g && b) {
        return BarWhite;
    }
    if (r && g) {
        return BarYellow;
    }
    if (r && b) {
        return BarMagenta;
    }
    if (g && b) {
        return BarCyan;
    }
    if (r) {
        return BarRed;
    }
    if (g) {
        return BarGreen;
    }
    if (b) {
        return BarBlue;
    }
    return BarBlack;
}

short color_of_code(char code) {
    switch (code) {
        case 'r':
            return COLOR_RED;
        case 'g':
            return COLOR_GREEN;
        case 'y':
            return COLOR_YELLOW;
        case 'b':
            return COLOR_BLUE;
        case 'm':
            return COLOR_MAGENTA;
        case 'c':
            return COLOR_CYAN;
        case 'w':
            return COLOR_WHITE;
        case 'k':
            return COLOR_BLACK;
        default:
            return -1;
    }
}

std::vector<std::string> split_lines(const char* art) {
    std::vector<std::string> lines;
    std::string s = art == nullptr ? "" : art;
    size_t start = 0;
    while (start <= s.size()) {
        size_t end = s.find('\n', start);
        if (end == std::string::npos) {
            if (start < s.size()) {
                lines.push_back(s.substr(start));
            }
            break;
        }
        lines.push_back(s.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Image art: lines of text, optionally followed by a line "~" and as many lines of colour
// codes, one a cell (r g y b m c w k; upper case paints the cell's background, blank: none).
void draw_image(Painter& p, const ImageResource* image, const CellRect& r, attr_t attr) {
    if (image == nullptr) {
        return;
    }
    std::vector<std::string> lines = split_lines(image->art);
    auto marker = std::find(lines.begin(), lines.end(), "~");
    std::vector<std::string> colours(marker == lines.end() ? lines.end() : marker + 1, lines.end());
    lines.erase(marker, lines.end());
    for (int y = 0; y < r.height && y < static_cast<int>(lines.size()); ++y) {
        const std::string& line = lines[y];
        for (int x = 0; x < r.width && x < static_cast<int>(line.size()); ++x) {
            char code =
                y < static_cast<int>(colours.size()) && x < static_cast<int>(colours[y].size())
                    ? colours[y][x]
                    : ' ';
            attr_t a = attr;
            short colour = color_of_code(static_cast<char>(tolower(code)));
            if (p.ctx.color && colour >= 0) {
                short pair = static_cast<short>(PairCount + colour * 2 + (isupper(code) ? 1 : 0));
                a |= COLOR_PAIR(pair);
            }
            p.text(r.col + x, r.row + y, std::string(1, line[x]), a);
        }
    }
}

// The colour that most cells of one half of an image's colour codes have.
char dominant_code(const std::vector<std::string>& codes, bool right_half) {
    int counts[128] = {};
    for (const std::string& line : codes) {
        size_t half = line.size() / 2;
        for (size_t x = right_half ? half : 0; x < (right_half ? line.size() : half); ++x) {
            unsigned char code = static_cast<unsigned char>(line[x]);
            if (code < 128 && code != ' ') {
                ++counts[code];
            }
        }
    }
    int best = ' ';
    for (int c = 0; c < 128; ++c) {
        if (counts[c] > counts[best]) {
            best = c;
        }
    }
    return static_cast<char>(best);
}

// A window icon in a caption: two cells, each in the colour that fills most of its half of the
// picture; '*' on a terminal without colours.
void draw_icon_cells(Painter& p, const ImageResource* icon, int col, int row) {
    std::vector<std::string> lines = split_lines(icon->art);
    auto marker = std::find(lines.begin(), lines.end(), "~");
    std::vector<std::string> codes(marker == lines.end() ? lines.begin() : marker + 1, lines.end());
    for (int half = 0; half < 2; ++half) {
        char code = dominant_code(codes, half == 1);
        short colour = color_of_code(static_cast<char>(tolower(code)));
        if (p.ctx.color && colour >= 0) {
            p.text(col + half, row, " ",
                   COLOR_PAIR(static_cast<short>(PairCount + colour * 2 + 1)));
        } else {
            p.text(col + half, row, "*", A_BOLD);
        }
    }
}

bool bordered(const Window* w) {
    return (w->style & WS_BORDER) != 0 ||
           (w->ex_style & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE)) != 0 ||
           (w->cls == ControlClass::Picture && (w->style & SS_SUNKEN) != 0);
}

// The inside of a control that draws a border when it has room for one.
CellRect inner(Painter& p, const Window* w, const CellRect& r) {
    if (bordered(w) && r.height >= 3 && r.width >= 3) {
        p.frame(r);
        return CellRect{r.col + 1, r.row + 1, r.width - 2, r.height - 2};
    }
    return r;
}

void draw_static(Painter& p, const Window* w, const CellRect& r, attr_t attr) {
    std::vector<std::string> lines = wrap_text(w->text, r.width);
    for (int y = 0; y < r.height && y < static_cast<int>(lines.size()); ++y) {
        const std::string& line = lines[y];
        int pad = 0;
        DWORD align = w->style & SS_TYPEMASK;
        if (align == SS_CENTER) {
            pad = std::max(0, (r.width - static_cast<int>(line.size())) / 2);
        } else if (align == SS_RIGHT) {
            pad = std::max(0, r.width - static_cast<int>(line.size()));
        }
        p.text(r.col + pad, r.row + y, fit(line, r.width), attr);
    }
}

void draw_edit(Painter& p, Window* w, const CellRect& box, bool focused) {
    CellRect r = inner(p, w, box);
    EditState& e = w->edit;
    size_t caret = std::min(e.sel_end, w->text.size());
    size_t width = static_cast<size_t>(std::max(1, r.width));
    if (caret < e.scroll) {
        e.scroll = caret;
    } else if (caret >= e.scroll + width) {
        e.scroll = caret - width + 1;
    }
    e.scroll = std::min(e.scroll, w->text.size());
    bool read_only = (w->style & ES_READONLY) != 0;
    attr_t base = A_NORMAL;
    if (!window_accepts_input(w)) {
        base |= A_DIM;
    }
    // The free part of a field that takes typing shows as '_', so it can be seen on any terminal.
    for (int x = 0; x < r.width; ++x) {
        size_t at = e.scroll + static_cast<size_t>(x);
        char ch = at < w->text.size() ? w->text[at] : (read_only ? ' ' : '_');
        if ((w->style & ES_PASSWORD) != 0 && at < w->text.size()) {
            ch = '*';
        }
        bool selected = focused && at >= e.sel_start && at < e.sel_end;
        p.text(r.col + x, r.row, std::string(1, ch), base | (selected ? A_REVERSE : A_NORMAL));
    }
    if (focused) {
        p.ctx.cursor_col = r.col + static_cast<int>(caret - e.scroll);
        p.ctx.cursor_row = r.row;
    }
}

void draw_button_label(Painter& p, const CellRect& r, const std::string& label, bool focused,
                       bool enabled, bool is_default) {
    int pad = std::max(0, (r.width - static_cast<int>(label.size())) / 2);
    attr_t a = focused ? A_REVERSE | A_BOLD : is_default ? A_BOLD : A_NORMAL;
    if (!enabled) {
        a = A_DIM;
    }
    p.text(r.col + pad, r.row, fit(label, r.width), a);
}

void draw_group(Painter& p, const Window* w, const CellRect& r) {
    std::string label = w->text.empty() ? "" : " " + strip_ampersand(w->text) + " ";
    if (r.height >= 2) {
        p.frame(r);
    } else {
        p.rule(r.col, r.row, r.width);
    }
    p.text(r.col + 1, r.row, fit(label, r.width - 2));
}

void draw_progress(Painter& p, const Window* w, const CellRect& box) {
    CellRect r = inner(p, w, box);
    const ProgressState& s = w->progress;
    long long span = std::max(1, s.high - s.low);
    int filled = static_cast<int>((static_cast<long long>(s.pos - s.low) * r.width) / span);
    filled = std::clamp(filled, 0, r.width);
    for (int x = 0; x < r.width; ++x) {
        if (p.ctx.color) {
            if (x < filled) {
                p.block(r.col + x, r.row, COLOR_PAIR(pair_of_color(s.bar_color)));
            } else {
                p.glyph(r.col + x, r.row, Shade, A_DIM);
            }
        } else {
            p.text(r.col + x, r.row, x < filled ? "#" : ".", A_NORMAL);
        }
    }
}

void draw_list(Painter& p, Window* w, const CellRect& box, bool focused, HitArea* hit) {
    CellRect r = inner(p, w, box);
    ListViewState& l = *w->list;
    bool header = !l.columns.empty() && (w->style & LVS_NOCOLUMNHEADER) == 0;
    std::vector<int> widths = list_column_widths(w, r.width);
    int row = r.row;
    if (header && r.height > 0) {
        int col = r.col;
        for (size_t i = 0; i < l.columns.size(); ++i) {
            p.text(col, row, fit(l.columns[i].text, widths[i] - 1), A_BOLD | A_UNDERLINE);
            col += widths[i];
        }
        ++row;
    }
    int shown = std::max(0, r.bottom() - row);
    int count = static_cast<int>(l.rows.size());
    int focus_row = -1;
    for (int i = 0; i < count; ++i) {
        if ((l.rows[i].state & LVIS_FOCUSED) != 0) {
            focus_row = i;
        }
    }
    if (focused && focus_row >= 0 && shown > 0) {
        if (focus_row < l.top_row) {
            l.top_row = focus_row;
        } else if (focus_row >= l.top_row + shown) {
            l.top_row = focus_row - shown + 1;
        }
    }
    l.top_row = std::clamp(l.top_row, 0, std::max(0, count - shown));
    if (hit != nullptr) {
        hit->list_rows = CellRect{r.col, row, r.width, shown};
    }
    for (int i = 0; i < shown && l.top_row + i < count; ++i) {
        const ListRow& data = l.rows[l.top_row + i];
        attr_t a = (data.state & LVIS_SELECTED) != 0 ? A_REVERSE : A_NORMAL;
        if (focused && l.top_row + i == focus_row) {
            a |= A_BOLD | A_UNDERLINE;
        }
        std::string line;
        for (size_t c = 0; c < widths.size(); ++c) {
            std::string cell = c < data.cells.size() ? data.cells[c] : "";
            cell = fit(cell, widths[c] - (c + 1 < widths.size() ? 1 : 0));
            cell.resize(widths[c], ' ');
            line += cell;
        }
        if (widths.empty()) {
            line = data.cells.empty() ? "" : data.cells[0];
        }
        line.resize(r.width, ' ');
        p.text(r.col, row + i, fit(line, r.width), a);
    }
    if (bordered(w) && box.height >= 3) {
        if (l.top_row > 0) {
            p.put(box.right() - 1, row, '^' | A_BOLD);
        }
        if (l.top_row + shown < count) {
            p.put(box.right() - 1, box.bottom() - 2, 'v' | A_BOLD);
        }
    }
    if (focused) {
        int cursor_row = focus_row >= l.top_row && focus_row < l.top_row + shown
                             ? row + focus_row - l.top_row
                             : row;
        p.ctx.cursor_col = r.col;
        p.ctx.cursor_row = std::min(cursor_row, std::max(r.row, r.bottom() - 1));
    }
}

void draw_control(Painter& p, Window* c, const CellRect& r, bool front, Window* root) {
    if (!c->visible) {
        return;
    }
    bool focused = front && root->focus == c;
    bool enabled = window_accepts_input(c);
    attr_t text_attr = c->font_weight >= FW_BOLD ? A_BOLD : A_NORMAL;
    if (!c->enabled) {
        text_attr |= A_DIM;
    }
    HitArea* hit = nullptr;
    if (front) {
        p.ctx.hits.push_back(HitArea{r, HitArea::Control, c->handle, 0, {}});
        hit = &p.ctx.hits.back();
    }
    switch (c->cls) {
        case ControlClass::Static:
        case ControlClass::None:
            draw_static(p, c, r, text_attr);
            break;
        case ControlClass::Picture:
            draw_image(p, c->image, inner(p, c, r), text_attr);
            break;
        case ControlClass::Edit:
            draw_edit(p, c, r, focused);
            break;
        case ControlClass::Button:
            draw_button_label(p, r, button_label(c->text, r.width), focused, enabled,
                              (c->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
            break;
        case ControlClass::GroupBox:
            draw_group(p, c, r);
            break;
        case ControlClass::ListView:
            draw_list(p, c, r, focused, hit);
            break;
        case ControlClass::Progress:
            draw_progress(p, c, r);
            break;
    }
}

void draw_children(Painter& p, Window* parent, int col, int row, int client_cols, bool front,
                   Window* root) {
    std::vector<LayoutItem> items;
    for (Window* c : parent->children) {
        items.push_back(layout_item_of(c));
    }
    std::vector<CellRect> cells = layout_cells(items, parent->units, client_cols);
    // Group boxes first, so what they frame is drawn over their inside.
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < parent->children.size(); ++i) {
            Window* c = parent->children[i];
            if (c->kind != WindowKind::Control ||
                (c->cls == ControlClass::GroupBox) != (pass == 0)) {
                continue;
            }
            CellRect r = cells[i];
            r.col += col;
            r.row += row;
            draw_control(p, c, r, front, root);
        }
    }
}

void draw_frame(Painter& p, Window* root, const CellRect& f, bool front) {
    p.fill(f);
    p.frame(f, front ? A_BOLD : A_NORMAL);
    std::string caption = root->text;
    int col = f.col + 2;
    if (const ImageResource* icon = root->small_icon != nullptr ? root->small_icon : root->icon;
        icon != nullptr) {
        draw_icon_cells(p, icon, col, f.row);
        col += 3;
    }
    int room = f.width - (col - f.col) - 6;
    p.text(col, f.row, " " + fit(caption, std::max(0, room)) + " ", front ? A_BOLD : A_NORMAL);
    if ((root->style & WS_SYSMENU) != 0 && root->kind != WindowKind::Sheet) {
        CellRect close{f.right() - 5, f.row, 3, 1};
        p.text(close.col, close.row, "[x]");
        if (front) {
            p.ctx.hits.push_back(HitArea{close, HitArea::Close, root->handle, 0, {}});
        }
    }
}

void draw_sheet(Painter& p, Window* sheet, const CellRect& f, bool front) {
    SheetGeometry g = sheet_geometry(sheet);
    p.fill(f);
    p.frame(f, front ? A_BOLD : A_NORMAL);
    p.text(f.col + g.caption_cell.col - 1, f.row, " " + g.caption + " ", front ? A_BOLD : A_NORMAL);
    bool strip_focused = front && sheet->focus == sheet;
    for (size_t i = 0; i < g.tabs.size(); ++i) {
        CellRect t = g.tabs[i];
        t.col += f.col;
        t.row += f.row;
        p.glyph(t.col - 1, t.row, i == 0 ? TeeLeft : Vertical, front ? A_BOLD : A_NORMAL);
        bool active = static_cast<int>(i) == sheet->sheet->current;
        attr_t a = active ? A_REVERSE | A_BOLD : A_NORMAL;
        if (active && strip_focused) {
            a |= A_UNDERLINE;
            p.ctx.cursor_col = t.col;
            p.ctx.cursor_row = t.row;
        }
        p.text(t.col, t.row, sheet_page_title(sheet, static_cast<int>(i)), a);
        if (i + 1 == g.tabs.size()) {
            p.glyph(t.right(), t.row, TeeRight, front ? A_BOLD : A_NORMAL);
        }
        if (front) {
            p.ctx.hits.push_back(HitArea{t, HitArea::Tab, sheet->handle, static_cast<int>(i), {}});
        }
    }
    if (g.help.width > 0) {
        CellRect h = g.help;
        h.col += f.col;
        h.row += f.row;
        p.text(h.col, h.row, "[?]");
        if (front) {
            p.ctx.hits.push_back(HitArea{h, HitArea::Help, sheet->handle, 0, {}});
        }
    }
    if (Window* page = sheet_page_window(sheet, sheet->sheet->current); page != nullptr) {
        draw_children(p, page, f.col + g.page.col, f.row + g.page.row, g.page.width, front, sheet);
    }
    for (auto& [id, place] : g.buttons) {
        Window* b = window_child(sheet, id);
        if (b == nullptr) {
            continue;
        }
        CellRect r{f.col + place.col, f.row + place.row, place.width, 1};
        draw_button_label(p, r, "[ " + strip_ampersand(b->text) + " ]", front && sheet->focus == b,
                          window_accepts_input(b), id == IDOK);
        if (front) {
            p.ctx.hits.push_back(HitArea{r, HitArea::Control, b->handle, 0, {}});
        }
    }
}

void draw_message_box(Painter& p, Window* box, bool front) {
    MessageBoxGeometry g = message_box_geometry(box, p.ctx.cols, p.ctx.rows);
    const CellRect& f = g.frame;
    draw_frame(p, box, f, front);
    UINT icon = box->box_type & MB_ICONMASK;
    if (icon != 0) {
        const char* glyph = icon == MB_ICONERROR         ? "(X)"
                            : icon == MB_ICONEXCLAMATION ? "(!)"
                            : icon == MB_ICONQUESTION    ? "(?)"
                                                         : "(i)";
        short pair = icon == MB_ICONERROR         ? IconRed
                     : icon == MB_ICONEXCLAMATION ? IconYellow
                                                  : IconBlue;
        p.text(f.col + 2, f.row + 2, glyph, A_BOLD | (p.ctx.color ? COLOR_PAIR(pair) : A_NORMAL));
    }
    for (size_t i = 0; i < g.lines.size(); ++i) {
        p.text(f.col + g.text_col, f.row + 2 + static_cast<int>(i), g.lines[i]);
    }
    for (auto& [id, place] : g.buttons) {
        Window* b = window_child(box, id);
        if (b == nullptr) {
            continue;
        }
        CellRect r{f.col + place.col, f.row + place.row, place.width, 1};
        draw_button_label(p, r, "[ " + strip_ampersand(b->text) + " ]", front && box->focus == b,
                          true, false);
        if (front) {
            p.ctx.hits.push_back(HitArea{r, HitArea::Control, b->handle, 0, {}});
        }
    }
}

}  // namespace

void draw_init_colors() {
    short bars[] = {COLOR_RED,  COLOR_YELLOW,  COLOR_GREEN, COLOR_BLUE,
                    COLOR_CYAN, COLOR_MAGENTA, COLOR_WHITE, COLOR_BLACK};
    for (short i = 0; i < 8; ++i) {
        init_pair(static_cast<short>(BarRed + i), bars[i], -1);
    }
    init_pair(IconRed, COLOR_RED, -1);
    init_pair(IconYellow, COLOR_YELLOW, -1);
    init_pair(IconBlue, COLOR_BLUE, -1);
    for (short colour = 0; colour < 8; ++colour) {
        init_pair(static_cast<short>(PairCount + colour * 2), colour, -1);
        init_pair(static_cast<short>(PairCount + colour * 2 + 1), COLOR_BLACK, colour);
    }
}

std::vector<int> list_column_widths(const Window* list, int width) {
    const ListViewState& l = *list->list;
    std::vector<int> widths;
    if (l.columns.empty() || width <= 0) {
        return widths;
    }
    // Each column wants room for its widest text; what is left over goes by pixel width.
    std::vector<int> natural;
    int total_natural = 0;
    int total_px = 0;
    for (size_t c = 0; c < l.columns.size(); ++c) {
        int widest = static_cast<int>(l.columns[c].text.size());
        for (const ListRow& r : l.rows) {
            if (c < r.cells.size()) {
                widest = std::max(widest, static_cast<int>(r.cells[c].size()));
            }
        }
        natural.push_back(widest + 1);
        total_natural += widest + 1;
        total_px += std::max(1, l.columns[c].width);
    }
    for (size_t c = 0; c < l.columns.size(); ++c) {
        int px = std::max(1, l.columns[c].width);
        if (total_natural <= width) {
            widths.push_back(natural[c] + (width - total_natural) * px / total_px);
        } else {
            widths.push_back(std::max(1, width * px / total_px));
        }
    }
    int used = 0;
    for (int w : widths) {
        used += w;
    }
    widths.back() += std::max(0, width - used);
    return widths;
}

void draw_root(Window* root, DrawContext& ctx, bool front) {
    CellRect f = root_frame(root, ctx.cols, ctx.rows);
    Painter p{ctx, f};
    switch (root->kind) {
        case WindowKind::Sheet:
            draw_sheet(p, root, f, front);
            break;
        case WindowKind::MessageBox:
            draw_message_box(p, root, front);
            break;
        default:
            draw_frame(p, root, f, front);
            draw_children(p, root, f.col + 1, f.row + 1, f.width - 2, front, root);
            break;
    }
}
