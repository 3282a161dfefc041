// The list view in report view: columns, rows with subitems, selected and focused states,
// single or multiple selection, and rows kept in order of their text when the style asks.
#include <strings.h>
#include <algorithm>
#include <cstring>

#include "platform/win/window_internal.h"

namespace {

constexpr int MaxSubItems = 256;

int row_count(const ListViewState& l) {
    return static_cast<int>(l.rows.size());
}

bool valid_row(const ListViewState& l, WPARAM index) {
    return static_cast<int>(index) >= 0 && static_cast<int>(index) < row_count(l);
}

std::string text_of(const char* text) {
    return text == nullptr ? std::string() : std::string(text);
}

// Where a new row with `text` goes: the requested place, or its place in the sort order (after
// the rows that compare equal, so equal texts keep their order of insertion).
int insert_position(const Window* w, const std::string& text, int requested) {
    const ListViewState& l = *w->list;
    bool ascending = (w->style & LVS_SORTASCENDING) != 0;
    bool descending = (w->style & LVS_SORTDESCENDING) != 0;
    if (!ascending && !descending) {
        return std::clamp(requested, 0, row_count(l));
    }
    for (int i = 0; i < row_count(l); ++i) {
        int c = strcasecmp(text.c_str(), l.rows[i].cells[0].c_str());
        if ((ascending && c < 0) || (descending && c > 0)) {
            return i;
        }
    }
    return row_count(l);
}

void ensure_cells(ListRow& row, size_t count) {
    if (row.cells.size() < count) {
        row.cells.resize(count);
    }
}

// Selection and focus rules: a single-selection list has at most one selected row, and any
// list at most one focused row.
void set_state(Window* w, int index, UINT state, UINT mask) {
    ListViewState& l = *w->list;
    UINT wanted = state & mask;
    if ((mask & LVIS_SELECTED) != 0 && (wanted & LVIS_SELECTED) != 0 &&
        (w->style & LVS_SINGLESEL) != 0) {
        for (ListRow& r : l.rows) {
            r.state &= ~LVIS_SELECTED;
        }
    }
    if ((mask & LVIS_FOCUSED) != 0 && (wanted & LVIS_FOCUSED) != 0) {
        for (ListRow& r : l.rows) {
            r.state &= ~LVIS_FOCUSED;
        }
    }
    ListRow& row = l.rows[index];
    row.state = (row.state & ~mask) | wanted;
}

LRESULT insert_item(Window* w, const LVITEMA* item) {
    if (item == nullptr || item->iSubItem != 0) {
        return -1;
    }
    ListViewState& l = *w->list;
    ListRow row;
    row.cells.resize(std::max<size_t>(1, l.columns.size()));
    if ((item->mask & LVIF_TEXT) != 0) {
        row.cells[0] = text_of(item->pszText);
    }
    if ((item->mask & LVIF_PARAM) != 0) {
        row.param = item->lParam;
    }
    int at = insert_position(w, row.cells[0], item->iItem);
    l.rows.insert(l.rows.begin() + at, std::move(row));
    if ((item->mask & LVIF_STATE) != 0) {
        set_state(w, at, item->state, item->stateMask);
    }
    window_changed(w);
    return at;
}

LRESULT insert_column(Window* w, WPARAM index, const LVCOLUMNA* column) {
    if (column == nullptr) {
        return -1;
    }
    ListViewState& l = *w->list;
    int at = std::clamp(static_cast<int>(index), 0, static_cast<int>(l.columns.size()));
    ListColumn c;
    if ((column->mask & LVCF_TEXT) != 0) {
        c.text = text_of(column->pszText);
    }
    if ((column->mask & LVCF_WIDTH) != 0) {
        c.width = column->cx;
    }
    if ((column->mask & LVCF_FMT) != 0) {
        c.fmt = column->fmt;
    }
    l.columns.insert(l.columns.begin() + at, c);
    // Column i shows subitem i, and the cells of the columns to the right move with them; the
    // item text stays in column 0.
    for (ListRow& r : l.rows) {
        ensure_cells(r, l.columns.size() - 1);
        r.cells.insert(r.cells.begin() + std::max(at, 1), std::string());
    }
    window_changed(w);
    return at;
}

LRESULT get_item_text(const Window* w, WPARAM index, LVITEMA* item) {
    const ListViewState& l = *w->list;
    if (item == nullptr || item->pszText == nullptr || item->cchTextMax <= 0) {
        return 0;
    }
    item->pszText[0] = '\0';
    if (!valid_row(l, index) || item->iSubItem < 0) {
        return 0;
    }
    const ListRow& row = l.rows[index];
    const std::string empty;
    const std::string& text =
        static_cast<size_t>(item->iSubItem) < row.cells.size() ? row.cells[item->iSubItem] : empty;
    size_t n = std::min(text.size(), static_cast<size_t>(item->cchTextMax) - 1);
    std::memcpy(item->pszText, text.data(), n);
    item->pszText[n] = '\0';
    return static_cast<LRESULT>(n);
}

LRESULT set_item_text(Window* w, WPARAM index, const LVITEMA* item) {
    ListViewState& l = *w->list;
    if (item == nullptr || !valid_row(l, index) || item->iSubItem < 0 ||
        item->iSubItem >= MaxSubItems) {
        return FALSE;
    }
    ListRow& row = l.rows[index];
    ensure_cells(row, static_cast<size_t>(item->iSubItem) + 1);
    row.cells[item->iSubItem] = text_of(item->pszText);
    window_changed(w);
    return TRUE;
}

LRESULT next_item(const Window* w, WPARAM start, LPARAM flags) {
    const ListViewState& l = *w->list;
    UINT need = static_cast<UINT>(flags) & (LVNI_SELECTED | LVNI_FOCUSED);
    for (int i = static_cast<int>(start) + 1; i < row_count(l); ++i) {
        if (i < 0) {
            continue;
        }
        if ((l.rows[i].state & need) == need) {
            return i;
        }
    }
    return -1;
}

}  // namespace

LRESULT list_view_message(Window* w, UINT message, WPARAM wparam, LPARAM lparam) {
    ListViewState& l = *w->list;
    switch (message) {
        case LVM_GETITEMCOUNT:
            return row_count(l);
        case LVM_INSERTITEMA:
            return insert_item(w, reinterpret_cast<const LVITEMA*>(lparam));
        case LVM_DELETEITEM:
            if (!valid_row(l, wparam)) {
                return FALSE;
            }
            l.rows.erase(l.rows.begin() + static_cast<int>(wparam));
            l.top_row = std::min(l.top_row, std::max(0, row_count(l) - 1));
            window_changed(w);
            return TRUE;
        case LVM_DELETEALLITEMS:
            l.rows.clear();
            l.top_row = 0;
            window_changed(w);
            return TRUE;
        case LVM_INSERTCOLUMNA:
            return insert_column(w, wparam, reinterpret_cast<const LVCOLUMNA*>(lparam));
        case LVM_DELETECOLUMN: {
            if (wparam >= l.columns.size()) {
                return FALSE;
            }
            l.columns.erase(l.columns.begin() + static_cast<int>(wparam));
            for (ListRow& r : l.rows) {
                if (wparam < r.cells.size() && wparam > 0) {
                    r.cells.erase(r.cells.begin() + static_cast<int>(wparam));
                }
            }
            window_changed(w);
            return TRUE;
        }
        case LVM_GETCOLUMNWIDTH:
            return wparam < l.columns.size() ? l.columns[wparam].width : 0;
        case LVM_SETCOLUMNWIDTH:
            if (wparam >= l.columns.size()) {
                return FALSE;
            }
            l.columns[wparam].width = static_cast<int>(static_cast<short>(LOWORD(lparam)));
            window_changed(w);
            return TRUE;
        case LVM_SETITEMTEXTA:
            return set_item_text(w, wparam, reinterpret_cast<const LVITEMA*>(lparam));
        case LVM_GETITEMTEXTA:
            return get_item_text(w, wparam, reinterpret_cast<LVITEMA*>(lparam));
        case LVM_GETNEXTITEM:
            return next_item(w, wparam, lparam);
        case LVM_SETITEMSTATE: {
            auto* item = reinterpret_cast<const LVITEMA*>(lparam);
            if (item == nullptr) {
                return FALSE;
            }
            if (static_cast<int>(wparam) == -1) {
                for (int i = 0; i < row_count(l); ++i) {
                    set_state(w, i, item->state, item->stateMask);
                }
            } else if (valid_row(l, wparam)) {
                set_state(w, static_cast<int>(wparam), item->state, item->stateMask);
            } else {
                return FALSE;
            }
            window_changed(w);
            return TRUE;
        }
        case LVM_GETITEMSTATE:
            return valid_row(l, wparam) ? (l.rows[wparam].state & static_cast<UINT>(lparam)) : 0;
        case LVM_GETSELECTEDCOUNT:
            return std::count_if(l.rows.begin(), l.rows.end(),
                                 [](const ListRow& r) { return (r.state & LVIS_SELECTED) != 0; });
        case LVM_ENSUREVISIBLE:
            if (valid_row(l, wparam)) {
                l.top_row = std::min(l.top_row, static_cast<int>(wparam));
                window_changed(w);
            }
            return TRUE;
        case LVM_SETEXTENDEDLISTVIEWSTYLE: {
            DWORD old = l.ex_style;
            DWORD mask = wparam == 0 ? 0xFFFFFFFF : static_cast<DWORD>(wparam);
            l.ex_style = (l.ex_style & ~mask) | (static_cast<DWORD>(lparam) & mask);
            return old;
        }
        case LVM_GETEXTENDEDLISTVIEWSTYLE:
            return l.ex_style;
        default:
            return 0;
    }
}
