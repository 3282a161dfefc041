// Fonts: only what the frontends can show of them, the weight.
#include <map>
#include <memory>

#include "platform/win/window_internal.h"

namespace {

struct Font {
    int weight;
};

std::map<HFONT, std::unique_ptr<Font>>& fonts() {
    static std::map<HFONT, std::unique_ptr<Font>> table;
    return table;
}

}  // namespace

HFONT CreateFontA(int, int, int, int, int weight, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                  DWORD, LPCSTR) {
    auto font = std::make_unique<Font>(Font{weight == 0 ? FW_NORMAL : weight});
    HFONT handle = reinterpret_cast<HFONT>(font.get());
    fonts()[handle] = std::move(font);
    return handle;
}

BOOL DeleteObject(HGDIOBJ object) {
    return fonts().erase(static_cast<HFONT>(object)) != 0 ? TRUE : FALSE;
}

int font_weight_of(HFONT font) {
    auto it = fonts().find(font);
    return it == fonts().end() ? FW_NORMAL : it->second->weight;
}
