#include "platform/win/terminal/layout.h"

#include <algorithm>
#include <cmath>

namespace {

int round_div(int value, int unit) {
    return static_cast<int>(std::floor(static_cast<double>(value) / unit + 0.5));
}

int floor_div(int value, int unit) {
    return static_cast<int>(std::floor(static_cast<double>(value) / unit));
}

int ceil_div(int value, int unit) {
    return static_cast<int>(std::ceil(static_cast<double>(value) / unit));
}

bool single_line(const LayoutItem& item, Units units) {
    switch (item.cls) {
        case ControlClass::Button:
        case ControlClass::Progress:
            return true;
        case ControlClass::Edit:
            return (item.style & ES_MULTILINE) == 0;
        case ControlClass::Static:
            return item.cy <= (units == Units::DialogUnits ? 12 : 20);
        case ControlClass::GroupBox:
            return item.cy < (units == Units::DialogUnits ? 10 : 16);  // a thin rule
        default:
            return false;
    }
}

bool is_box(const LayoutItem& item) {
    return item.cls == ControlClass::GroupBox;
}

bool inside(const LayoutItem& inner, const LayoutItem& outer) {
    return inner.x >= outer.x && inner.x + inner.cx <= outer.x + outer.cx && inner.y >= outer.y &&
           inner.y + inner.cy <= outer.y + outer.cy;
}

bool columns_overlap(const CellRect& a, const CellRect& b) {
    return a.col < b.right() && b.col < a.right();
}

CellRect first_guess(const LayoutItem& item, Units units, bool single) {
    CellRect c;
    int left, right, top, bottom;
    if (units == Units::DialogUnits) {
        left = floor_div(item.x, 4);
        right = round_div(item.x + item.cx, 4);
        top = round_div(item.y, 10);
        bottom = round_div(item.y + item.cy, 10);
    } else {
        left = floor_div(item.x, 8);
        right = round_div(item.x + item.cx, 8);
        top = floor_div(item.y, 16);
        bottom = ceil_div(item.y + item.cy, 16);
    }
    c.col = left;
    c.row = top;
    c.width = std::max(1, right - left);
    c.height = single ? 1 : std::max(is_box(item) ? 2 : 1, bottom - top);
    return c;
}

// One pass of the rules; true when something moved.
bool settle(const std::vector<LayoutItem>& items, std::vector<CellRect>& cells, Units units) {
    bool moved = false;
    size_t n = items.size();
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = 0; j < n; ++j) {
            const LayoutItem& a = items[i];
            const LayoutItem& b = items[j];
            CellRect& ca = cells[i];
            CellRect& cb = cells[j];
            if (i == j) {
                continue;
            }
            if (a.y < b.y && cb.row < ca.row) {  // never swap the order down the page
                cb.row = ca.row;
                moved = true;
            }
            if (!columns_overlap(ca, cb)) {
                continue;
            }
            if (is_box(a) && !single_line(a, units) && inside(b, a)) {
                if (cb.row < ca.row + 1) {  // below the caption row of the box
                    cb.row = ca.row + 1;
                    moved = true;
                }
                if (ca.bottom() < cb.bottom() + 1) {  // above its bottom edge
                    ca.height = cb.bottom() + 1 - ca.row;
                    moved = true;
                }
            } else if (a.y + a.cy <= b.y && cb.row < ca.bottom()) {
                cb.row = ca.bottom();
                moved = true;
            }
        }
    }
    return moved;
}

// A button narrower than its label "[text]" widens, evenly on both sides, into free cells of its
// rows: not over a neighbour (a blank column stays between them), out of its group box or out
// of the client area.
void grow_buttons(const std::vector<LayoutItem>& items, std::vector<CellRect>& cells,
                  int client_cols) {
    for (size_t i = 0; i < items.size(); ++i) {
        CellRect& b = cells[i];
        int missing = items[i].text_length + 2 - b.width;
        if (items[i].cls != ControlClass::Button || missing <= 0) {
            continue;
        }
        int low = 0;
        int high = client_cols;
        for (size_t j = 0; j < items.size(); ++j) {
            const CellRect& o = cells[j];
            if (i == j) {
                continue;
            }
            if (is_box(items[j]) && inside(items[i], items[j])) {
                low = std::max(low, o.col + 1);
                high = std::min(high, o.right() - 1);
            } else if (o.row < b.bottom() && b.row < o.bottom()) {
                if (o.right() <= b.col) {
                    low = std::max(low, o.right() + 1);
                } else if (o.col >= b.right()) {
                    high = std::min(high, o.col - 1);
                }
            }
        }
        int left = std::min(missing / 2, std::max(0, b.col - low));
        int right = std::min(missing - left, std::max(0, high - b.right()));
        left = std::min(missing - right, std::max(0, b.col - low));
        b.col -= left;
        b.width += left + right;
    }
}

}  // namespace

std::string strip_ampersand(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            ++i;
        }
        out += text[i];
    }
    return out;
}

LayoutItem layout_item_of(const Window* control) {
    return LayoutItem{control->x,
                      control->y,
                      control->cx,
                      control->cy,
                      control->cls,
                      control->style,
                      static_cast<int>(strip_ampersand(control->text).size())};
}

LayoutItem layout_item_of(const ControlTemplate& t) {
    std::string text = t.text == nullptr ? "" : t.text;
    return LayoutItem{t.x,
                      t.y,
                      t.cx,
                      t.cy,
                      control_class_of(t.class_name, t.style),
                      t.style,
                      static_cast<int>(strip_ampersand(text).size())};
}

std::string button_label(const std::string& text, int width) {
    std::string plain = strip_ampersand(text);
    return static_cast<int>(plain.size()) + 4 <= width ? "[ " + plain + " ]" : "[" + plain + "]";
}

int du_columns(int du) {
    return round_div(du, 4);
}

int px_columns(int px) {
    return round_div(px, 8);
}

int px_rows(int px) {
    return round_div(px, 16);
}

std::vector<CellRect> layout_cells(const std::vector<LayoutItem>& items, Units units,
                                   int client_cols) {
    std::vector<CellRect> cells;
    for (const LayoutItem& item : items) {
        cells.push_back(first_guess(item, units, single_line(item, units)));
    }
    // Every pass only moves things down or grows boxes, so this ends; the bound is a guard.
    for (size_t pass = 0; pass < 4 * items.size() + 4 && settle(items, cells, units); ++pass) {
    }
    grow_buttons(items, cells, client_cols);
    // Left edges round down and right edges to the nearest column, which gives text the room it
    // needs; where that makes two neighbours on a row touch, the left one gives way.
    for (size_t i = 0; i < items.size(); ++i) {
        for (size_t j = 0; j < items.size(); ++j) {
            CellRect& a = cells[i];
            const CellRect& b = cells[j];
            bool same_rows = a.row < b.bottom() && b.row < a.bottom();
            if (i != j && same_rows && items[i].x + items[i].cx <= items[j].x &&
                a.right() > b.col && !inside(items[i], items[j]) && !inside(items[j], items[i])) {
                a.width = std::max(1, b.col - a.col);
            }
        }
    }
    return cells;
}

int layout_rows_needed(const std::vector<CellRect>& cells) {
    int rows = 0;
    for (const CellRect& c : cells) {
        rows = std::max(rows, c.bottom());
    }
    return rows;
}

std::vector<std::string> wrap_text(const std::string& text, int width) {
    std::vector<std::string> lines;
    width = std::max(width, 1);
    size_t start = 0;
    for (;;) {
        size_t end = text.find('\n', start);
        std::string paragraph = text.substr(start, end == std::string::npos ? end : end - start);
        if (!paragraph.empty() && paragraph.back() == '\r') {
            paragraph.pop_back();  // a CR LF line end
        }
        std::string line;
        size_t i = 0;
        while (i < paragraph.size()) {
            size_t blank_end = paragraph.find_first_not_of(' ', i);
            if (blank_end == std::string::npos) {
                break;  // trailing blanks of the paragraph
            }
            size_t word_end = paragraph.find(' ', blank_end);
            if (word_end == std::string::npos) {
                word_end = paragraph.size();
            }
            std::string blanks = paragraph.substr(i, blank_end - i);
            std::string word = paragraph.substr(blank_end, word_end - blank_end);
            if (!line.empty() &&
                line.size() + blanks.size() + word.size() > static_cast<size_t>(width)) {
                lines.push_back(line);
                line.clear();
                blanks.clear();
            }
            line += blanks;
            line += word;
            while (line.size() > static_cast<size_t>(width)) {  // a word longer than a line
                lines.push_back(line.substr(0, width));
                line.erase(0, width);
            }
            i = word_end;
        }
        lines.push_back(line);
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return lines;
}

SheetGeometry sheet_geometry(Window* sheet) {
    SheetGeometry g;
    int page_cols = 1;
    int page_rows = 1;
    for (const SheetPage& p : sheet->sheet->pages) {
        const DialogTemplate& t = *p.page->dialog;
        std::vector<LayoutItem> items;
        for (size_t i = 0; i < t.control_count; ++i) {
            items.push_back(layout_item_of(t.controls[i]));
        }
        page_cols = std::max(page_cols, du_columns(t.cx));
        page_rows =
            std::max(page_rows,
                     layout_rows_needed(layout_cells(items, Units::DialogUnits, du_columns(t.cx))));
    }
    int tabs_width = 0;
    for (const SheetPage& p : sheet->sheet->pages) {
        tabs_width += static_cast<int>(p.title.size()) + 1;
    }
    int help_width = sheet->sheet->help_button ? 4 : 0;
    // "┌─" caption "─┤" tab "│" tab "├─" [?] "─┐"
    int fixed = 2 + 2 + tabs_width + 1 + help_width + 1;
    std::vector<std::pair<int, std::string>> labels;
    int buttons_width = 0;
    for (Window* c : sheet->children) {
        if (c->kind == WindowKind::Control && c->cls == ControlClass::Button) {
            labels.push_back({c->id, "[ " + strip_ampersand(c->text) + " ]"});
            buttons_width += static_cast<int>(labels.back().second.size()) + 1;
        }
    }
    constexpr int ClassicWidth = 80;
    int caption_room = std::max(0, ClassicWidth - fixed);
    g.caption = sheet->text.substr(0, std::min<size_t>(sheet->text.size(), caption_room));
    g.width =
        std::max({page_cols + 2, fixed + static_cast<int>(g.caption.size()), buttons_width + 3});
    g.height = page_rows + 2;
    g.page = CellRect{1, 1, g.width - 2, page_rows};
    g.caption_cell = CellRect{2, 0, static_cast<int>(g.caption.size()), 1};
    int col = 2 + static_cast<int>(g.caption.size()) + 2;
    for (const SheetPage& p : sheet->sheet->pages) {
        g.tabs.push_back(CellRect{col, 0, static_cast<int>(p.title.size()), 1});
        col += static_cast<int>(p.title.size()) + 1;
    }
    if (help_width > 0) {
        g.help = CellRect{g.width - 5, 0, 3, 1};
    }
    int right = g.width - 2;
    for (auto it = labels.rbegin(); it != labels.rend(); ++it) {
        int w = static_cast<int>(it->second.size());
        g.buttons.insert(g.buttons.begin(), {it->first, CellRect{right - w, g.height - 1, w, 1}});
        right -= w + 1;
    }
    return g;
}

CellRect dialog_frame(Window* dialog, int screen_cols, int screen_rows) {
    std::vector<LayoutItem> items;
    for (Window* c : dialog->children) {
        items.push_back(layout_item_of(c));
    }
    int rows = std::max(layout_rows_needed(layout_cells(items, Units::DialogUnits)) + 1,
                        round_div(dialog->cy, 10));
    CellRect f{0, 0, du_columns(dialog->cx) + 2, rows + 2};
    f.col = std::max(0, (screen_cols - f.width) / 2);
    f.row = std::max(0, (screen_rows - f.height) / 2);
    return f;
}

MessageBoxGeometry message_box_geometry(Window* box, int screen_cols, int screen_rows) {
    MessageBoxGeometry g;
    bool icon = (box->box_type & MB_ICONMASK) != 0;
    g.text_col = icon ? 6 : 3;
    int text_width = std::clamp(screen_cols - 6 - g.text_col, 20, 60);
    std::string text = box->children.empty() ? "" : box->children.front()->text;
    g.lines = wrap_text(text, text_width);
    // A text taller than the screen keeps its first lines; the buttons stay in view.
    size_t max_lines = static_cast<size_t>(std::max(1, screen_rows - 5));
    if (g.lines.size() > max_lines) {
        g.lines.resize(max_lines);
    }
    int widest = 0;
    for (const std::string& line : g.lines) {
        widest = std::max(widest, static_cast<int>(line.size()));
    }
    std::vector<std::pair<int, std::string>> labels;
    int buttons_width = 0;
    for (Window* c : box->children) {
        if (c->cls == ControlClass::Button) {
            labels.push_back({c->id, "[ " + strip_ampersand(c->text) + " ]"});
            buttons_width += static_cast<int>(labels.back().second.size()) + 2;
        }
    }
    int width = std::max(
        {g.text_col + widest + 3, static_cast<int>(box->text.size()) + 6, buttons_width + 4});
    int height = static_cast<int>(g.lines.size()) + 5;
    g.frame = CellRect{std::max(0, (screen_cols - width) / 2),
                       std::max(0, (screen_rows - height) / 2), width, height};
    int col = (width - (buttons_width - 2)) / 2;
    for (auto& [id, label] : labels) {
        int w = static_cast<int>(label.size());
        g.buttons.push_back({id, CellRect{col, height - 2, w, 1}});
        col += w + 2;
    }
    return g;
}

CellRect root_frame(Window* root, int screen_cols, int screen_rows) {
    switch (root->kind) {
        case WindowKind::Sheet: {
            SheetGeometry g = sheet_geometry(root);
            return CellRect{std::max(0, (screen_cols - g.width) / 2),
                            std::max(0, (screen_rows - g.height) / 2), g.width, g.height};
        }
        case WindowKind::MessageBox:
            return message_box_geometry(root, screen_cols, screen_rows).frame;
        case WindowKind::Dialog:
            return dialog_frame(root, screen_cols, screen_rows);
        default:
            return CellRect{round_div(root->x, 8), round_div(root->y, 16), px_columns(root->cx),
                            px_rows(root->cy)};
    }
}
