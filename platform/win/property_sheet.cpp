// The modal property sheet: one tab per page, pages created when first shown, OK and Cancel
// (Apply unless PSH_NOAPPLYNOW, Help with PSH_HASHELP), and the pre-create callback that may
// take the context-help style off the sheet's own template.
#include <algorithm>
#include <cstring>
#include <set>

#include "platform/win/frontend.h"
#include "platform/win/headless.h"
#include "platform/win/window_internal.h"

namespace {

// Pages handed out by CreatePropertySheetPageA and not yet taken by a sheet or destroyed.
std::set<PropertyPage*>& loose_pages() {
    static std::set<PropertyPage*> pages;
    return pages;
}

constexpr DWORD SheetStyle = DS_MODALFRAME | DS_3DLOOK | DS_CONTEXTHELP | DS_SETFONT | DS_CENTER |
                             WS_POPUP | WS_CAPTION | WS_SYSMENU;

// Hands the sheet's template to the pre-create callback in the form the layer is set to, and
// returns the style the callback left in it.
DWORD run_precreate(const PROPSHEETHEADERA* header, short cx, short cy) {
    if ((header->dwFlags & PSH_USECALLBACK) == 0 || header->pfnCallback == nullptr) {
        return SheetStyle;
    }
    if (headless_sheet_template_form() == SheetTemplateForm::Plain) {
        DLGTEMPLATE plain{SheetStyle, 0, 0, 0, 0, cx, cy};
        header->pfnCallback(nullptr, PSCB_PRECREATE, reinterpret_cast<LPARAM>(&plain));
        return plain.style;
    }
    DLGTEMPLATEEX extended{1, 0xFFFF, 0, 0, SheetStyle, 0, 0, 0, cx, cy};
    header->pfnCallback(nullptr, PSCB_PRECREATE, reinterpret_cast<LPARAM>(&extended));
    return extended.style;
}

LRESULT notify(Window* sheet, Window* page, UINT code) {
    HWND handle = page->handle;
    PSHNOTIFY n{{sheet->handle, 0, code}, 0};
    LRESULT result = window_send(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
    return window_from(handle) == nullptr ? 0 : result;
}

Window* add_button(Window* sheet, int id, const char* text, short x, DWORD style) {
    ControlTemplate t{id, WC_BUTTONA,         text, x, static_cast<short>(sheet->cy + 7), 50,
                      14, style | WS_TABSTOP, 0};
    return control_create(sheet, t, Units::DialogUnits);
}

void add_buttons(Window* sheet, DWORD flags) {
    std::vector<std::pair<int, const char*>> buttons = {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    if ((flags & PSH_NOAPPLYNOW) == 0) {
        buttons.push_back({ID_APPLY_NOW, "&Apply"});
    }
    if ((flags & PSH_HASHELP) != 0) {
        buttons.push_back({IDHELP, "Help"});
    }
    short x = static_cast<short>(sheet->cx - 54 * static_cast<int>(buttons.size()));
    for (auto [id, text] : buttons) {
        Window* b = add_button(sheet, id, text, x, id == IDOK ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        b->enabled = id != ID_APPLY_NOW;  // Apply waits for PSM_CHANGED
        x = static_cast<short>(x + 54);
    }
}

void end_sheet(Window* sheet, INT_PTR result) {
    sheet->modal_ended = true;
    sheet->modal_result = result;
    window_changed(sheet);
}

std::vector<Window*> created_pages(Window* sheet) {
    std::vector<Window*> pages;
    for (SheetPage& p : sheet->sheet->pages) {
        if (p.window != nullptr) {
            pages.push_back(p.window);
        }
    }
    return pages;
}

bool apply_all(Window* sheet) {
    for (Window* page : created_pages(sheet)) {
        if (notify(sheet, page, PSN_APPLY) != 0) {
            return false;  // PSNRET_INVALID: the page keeps the sheet open
        }
    }
    return true;
}

}  // namespace

HPROPSHEETPAGE CreatePropertySheetPageA(const PROPSHEETPAGEA* desc) {
    if (desc == nullptr) {
        return nullptr;
    }
    const DialogTemplate* dialog = (desc->dwFlags & PSP_DLGINDIRECT) != 0
                                       ? desc->pResource
                                       : resource_find_dialog(desc->pszTemplate);
    if (dialog == nullptr) {
        return nullptr;
    }
    auto* page = new PropertyPage{*desc, dialog};
    loose_pages().insert(page);
    return page;
}

BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page) {
    if (loose_pages().erase(page) == 0) {
        return FALSE;
    }
    delete page;
    return TRUE;
}

Window* sheet_page_window(Window* sheet, int index) {
    auto& pages = sheet->sheet->pages;
    return index >= 0 && index < static_cast<int>(pages.size()) ? pages[index].window : nullptr;
}

const std::string& sheet_page_title(Window* sheet, int index) {
    return sheet->sheet->pages.at(index).title;
}

int sheet_page_count(Window* sheet) {
    return static_cast<int>(sheet->sheet->pages.size());
}

bool sheet_select_page(Window* sheet, int index) {
    SheetState& s = *sheet->sheet;
    if (index < 0 || index >= static_cast<int>(s.pages.size())) {
        return false;
    }
    if (index == s.current) {
        return true;
    }
    Window* old = sheet_page_window(sheet, s.current);
    if (old != nullptr) {
        if (notify(sheet, old, PSN_KILLACTIVE) != 0) {
            return false;  // the page refuses to be left
        }
        old->visible = false;
    }
    bool focus_in_old_page =
        sheet->focus == nullptr || (old != nullptr && sheet->focus->parent == old);
    SheetPage& p = s.pages[index];
    s.current = index;
    if (p.window == nullptr) {
        p.window = dialog_create(WindowKind::Page, *p.page->dialog, sheet, p.page->desc.pfnDlgProc);
        Window* first = dialog_first_tabstop(p.window);
        window_send(p.window, WM_INITDIALOG,
                    first == nullptr ? 0 : reinterpret_cast<WPARAM>(first->handle),
                    reinterpret_cast<LPARAM>(&p.page->desc));
    }
    Window* page = p.window;
    page->visible = true;
    if (focus_in_old_page) {
        Window* first = dialog_first_tabstop(page);
        sheet->focus = first != nullptr ? first : sheet;
    }
    notify(sheet, page, PSN_SETACTIVE);
    window_changed(sheet);
    return true;
}

void sheet_press(Window* sheet, int id) {
    if (id == IDOK) {
        Window* current = sheet_page_window(sheet, sheet->sheet->current);
        if (current != nullptr && notify(sheet, current, PSN_KILLACTIVE) != 0) {
            return;
        }
        if (apply_all(sheet)) {
            end_sheet(sheet, 1);
        }
    } else if (id == IDCANCEL) {
        for (Window* page : created_pages(sheet)) {
            notify(sheet, page, PSN_RESET);
        }
        end_sheet(sheet, 0);
    } else if (id == ID_APPLY_NOW) {
        if (apply_all(sheet)) {
            EnableWindow(GetDlgItem(sheet->handle, ID_APPLY_NOW), FALSE);
        }
    }
}

LRESULT sheet_window_proc(Window* sheet, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND:
            sheet_press(sheet, LOWORD(wparam));
            return 0;
        case WM_CLOSE:
            sheet_press(sheet, IDCANCEL);
            return 0;
        case WM_SETTEXT:
            sheet->text = lparam == 0 ? "" : reinterpret_cast<const char*>(lparam);
            window_changed(sheet);
            return TRUE;
        case WM_GETTEXT: {
            char* out = reinterpret_cast<char*>(lparam);
            if (out == nullptr || wparam == 0) {
                return 0;
            }
            size_t n = std::min(sheet->text.size(), static_cast<size_t>(wparam) - 1);
            std::memcpy(out, sheet->text.data(), n);
            out[n] = '\0';
            return static_cast<LRESULT>(n);
        }
        case PSM_SETCURSEL: {
            int index = static_cast<int>(wparam);
            auto& pages = sheet->sheet->pages;
            for (size_t i = 0; lparam != 0 && i < pages.size(); ++i) {
                if (reinterpret_cast<LPARAM>(pages[i].page.get()) == lparam) {
                    index = static_cast<int>(i);
                }
            }
            return sheet_select_page(sheet, index) ? TRUE : FALSE;
        }
        case PSM_GETCURRENTPAGEHWND: {
            Window* page = sheet_page_window(sheet, sheet->sheet->current);
            return page == nullptr ? 0 : reinterpret_cast<LRESULT>(page->handle);
        }
        case PSM_PRESSBUTTON:
            sheet_press(sheet, wparam == PSBTN_OK       ? IDOK
                               : wparam == PSBTN_CANCEL ? IDCANCEL
                                                        : ID_APPLY_NOW);
            return 0;
        case PSM_CHANGED:
            EnableWindow(GetDlgItem(sheet->handle, ID_APPLY_NOW), TRUE);
            return 0;
        default:
            return 0;
    }
}

INT_PTR PropertySheetA(const PROPSHEETHEADERA* header) {
    if (header == nullptr || (header->dwFlags & PSH_MODELESS) != 0) {
        return -1;
    }
    std::vector<SheetPage> pages;
    for (UINT i = 0; i < header->nPages; ++i) {
        std::unique_ptr<PropertyPage> page;
        if ((header->dwFlags & PSH_PROPSHEETPAGE) != 0) {
            page.reset(CreatePropertySheetPageA(&header->ppsp[i]));
            loose_pages().erase(page.get());
        } else if (loose_pages().erase(header->phpage[i]) != 0) {
            page.reset(header->phpage[i]);
        }
        if (page == nullptr) {
            continue;  // a page without a template is left out
        }
        const PROPSHEETPAGEA& d = page->desc;
        std::string title = (d.dwFlags & PSP_USETITLE) != 0 && d.pszTitle != nullptr
                                ? d.pszTitle
                                : (page->dialog->caption == nullptr ? "" : page->dialog->caption);
        pages.push_back(SheetPage{std::move(page), title, nullptr});
    }
    short cx = 0;
    short cy = 0;
    for (const SheetPage& p : pages) {
        cx = std::max(cx, p.page->dialog->cx);
        cy = std::max(cy, p.page->dialog->cy);
    }
    DWORD style = run_precreate(header, cx, cy);

    Window* sheet = window_create(WindowKind::Sheet, nullptr);
    HWND handle = sheet->handle;
    sheet->units = Units::DialogUnits;
    sheet->style = style;
    sheet->cx = cx;
    sheet->cy = cy;
    sheet->owner = header->hwndParent;
    std::string caption = header->pszCaption == nullptr ? "" : header->pszCaption;
    sheet->text = (header->dwFlags & PSH_PROPTITLE) != 0 ? "Properties for " + caption : caption;
    sheet->sheet = std::make_unique<SheetState>();
    sheet->sheet->pages = std::move(pages);
    sheet->sheet->flags = header->dwFlags;
    sheet->sheet->help_button = (style & DS_CONTEXTHELP) != 0;
    add_buttons(sheet, header->dwFlags);

    HWND disabled = modal_begin(header->hwndParent);
    if ((header->dwFlags & PSH_USECALLBACK) != 0 && header->pfnCallback != nullptr) {
        header->pfnCallback(handle, PSCB_INITIALIZED, 0);
    }
    window_stack_push(sheet);
    int start = static_cast<int>(header->nStartPage);
    if (!sheet_select_page(sheet, start < sheet_page_count(sheet) ? start : 0) &&
        sheet_page_count(sheet) == 0) {
        sheet->focus = window_child(sheet, IDOK);
    }
    modal_loop(sheet);

    INT_PTR result = 0;
    if (Window* s = window_from(handle); s != nullptr) {
        result = s->modal_result;
        window_destroy(s);
    }
    modal_end(disabled);
    return result;
}
