// Dialog templates and image resources, as tables that read like a dialog's layout table:
//
//   const ControlTemplate ScanControls[] = {
//       // id    class            text  x   y   cx   cy  style
//       {1018, PROGRESS_CLASSA, "",   16, 47, 157, 11, WS_BORDER},
//       {IDC_STATIC, WC_STATICA, "Scanning...", 16, 37, 154, 8, SS_LEFT},
//   };
//   const DialogTemplate ScanTemplate = {154, "Powerline Network Scan", 186, 95,
//       "MS Sans Serif", 8, DS_CENTER | DS_SYSMODAL | WS_POPUP | WS_CAPTION,
//       ScanControls, std::size(ScanControls)};
//   DIALOG_RESOURCE(ScanTemplate);
//
// Positions and sizes are dialog units; the order of the controls is the tab order. Every
// control is visible; WS_DISABLED starts it disabled. A picture is a static with SS_BITMAP (or
// SS_ICON) whose text names its image resource as "#<id>".
//
// DIALOG_RESOURCE adds a template to the program's resources (as a resource script does), so
// DialogBoxParamA and CreatePropertySheetPageA find it by id. Put it in a source file that the
// program uses anyway (next to the dialog's procedure): the linker leaves out files nothing
// refers to.
#pragma once

#include <cstddef>

#include "platform/win/win_types.h"

struct ControlTemplate {
    int id;
    const char* class_name;  // WC_STATICA, WC_EDITA, WC_BUTTONA, WC_LISTVIEWA, PROGRESS_CLASSA
    const char* text;
    short x;
    short y;
    short cx;
    short cy;
    DWORD style;  // WS_CHILD | WS_VISIBLE are implied
    DWORD ex_style;
};

struct DialogTemplate {
    int id;
    const char* caption;
    short cx;
    short cy;
    const char* font;
    int font_size;
    DWORD style;
    const ControlTemplate* controls;
    size_t control_count;
};

// An image: the size of the original picture in pixels, and the art that stands for it in the
// terminal: lines of text separated by '\n', drawn from the picture's top-left cell.
struct ImageResource {
    int id;
    int width;
    int height;
    const char* art;
};

void resource_add_dialog(const DialogTemplate* dialog);
void resource_add_image(const ImageResource* image);
const DialogTemplate* resource_find_dialog(const char* name);  // MAKEINTRESOURCEA(id) or "#id"
const ImageResource* resource_find_image(const char* name);

struct DialogResourceEntry {
    explicit DialogResourceEntry(const DialogTemplate& dialog) { resource_add_dialog(&dialog); }
};
struct ImageResourceEntry {
    explicit ImageResourceEntry(const ImageResource& image) { resource_add_image(&image); }
};
#define LW_RESOURCE_CONCAT2(a, b) a##b
#define LW_RESOURCE_CONCAT(a, b) LW_RESOURCE_CONCAT2(a, b)
#define DIALOG_RESOURCE(dialog) \
    static const DialogResourceEntry LW_RESOURCE_CONCAT(dialog_resource_, __COUNTER__)(dialog)
#define IMAGE_RESOURCE(image) \
    static const ImageResourceEntry LW_RESOURCE_CONCAT(image_resource_, __COUNTER__)(image)

// The binary header of a dialog template, in the two forms the property sheet's pre-create
// callback may be handed. Both are packed on 16-bit boundaries, as in a resource file; the
// style doubleword is at byte offset 0 of the plain form and at byte offset 12 of the extended
// form, whose word at offset 2 is 0xFFFF.
#pragma pack(push, 2)
struct DLGTEMPLATE {
    DWORD style;
    DWORD dwExtendedStyle;
    WORD cdit;
    short x;
    short y;
    short cx;
    short cy;
};
struct DLGTEMPLATEEX {
    WORD dlgVer;
    WORD signature;
    DWORD helpID;
    DWORD exStyle;
    DWORD style;
    WORD cDlgItems;
    short x;
    short y;
    short cx;
    short cy;
};
#pragma pack(pop)
static_assert(sizeof(DLGTEMPLATE) == 18 && offsetof(DLGTEMPLATE, style) == 0);
static_assert(sizeof(DLGTEMPLATEEX) == 26 && offsetof(DLGTEMPLATEEX, signature) == 2 &&
              offsetof(DLGTEMPLATEEX, style) == 12);
