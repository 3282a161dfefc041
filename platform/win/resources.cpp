// The program's resources: dialog templates and images, found by id.
#include <cstdlib>
#include <map>

#include "platform/win/dialog_template.h"
#include "platform/win/window.h"

namespace {

std::map<int, const DialogTemplate*>& dialogs() {
    static std::map<int, const DialogTemplate*> table;
    return table;
}

std::map<int, const ImageResource*>& images() {
    static std::map<int, const ImageResource*> table;
    return table;
}

// MAKEINTRESOURCEA(id) or "#id"; anything else names nothing.
int resource_id(const char* name) {
    if (name == nullptr) {
        return -1;
    }
    if (IS_INTRESOURCE(name)) {
        return static_cast<int>(reinterpret_cast<uintptr_t>(name));
    }
    if (name[0] != '#' || name[1] == '\0') {
        return -1;
    }
    char* end = nullptr;
    long id = std::strtol(name + 1, &end, 10);
    return *end == '\0' && id >= 0 && id <= 0xFFFF ? static_cast<int>(id) : -1;
}

template <typename T>
const T* find(const std::map<int, const T*>& table, const char* name) {
    auto it = table.find(resource_id(name));
    return it == table.end() ? nullptr : it->second;
}

}  // namespace

void resource_add_dialog(const DialogTemplate* dialog) {
    dialogs()[dialog->id] = dialog;
}

void resource_add_image(const ImageResource* image) {
    images()[image->id] = image;
}

const DialogTemplate* resource_find_dialog(const char* name) {
    return find(dialogs(), name);
}

const ImageResource* resource_find_image(const char* name) {
    return find(images(), name);
}
