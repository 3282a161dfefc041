// Look-ups in the device password list of the current adapter.
#include "app/state.h"
#include "keys/passwords.h"

namespace {

// The current adapter's list, or null when CurrentAdapter names no adapter slot.
DevicePasswordEntry* current_list() {
    if (CurrentAdapter < 0 || CurrentAdapter >= MAX_ADAPTERS) {
        return nullptr;
    }
    return AdapterSettings[CurrentAdapter].device_passwords;
}

// Compares a stored field with a zero-terminated text, up to and including the terminator.
// The field is read no further than its 25 bytes: a field without a terminator (only a
// damaged "wizard.data" holds one) equals no text.
int stored_text_equals(const char* field, const char* text) {
    for (int i = 0; i < PASSWORD_FIELD_SIZE; ++i) {
        if (field[i] != text[i]) {
            return 0;
        }
        if (field[i] == '\0') {
            return 1;
        }
    }
    return 0;
}

// Index of the first entry holding `text`, or -1.
int index_of(const char* text) {
    DevicePasswordEntry* list = current_list();
    if (list == nullptr || text == nullptr) {
        return -1;
    }
    for (int i = 0; i < DEVICE_PASSWORD_COUNT; ++i) {
        if (stored_text_equals(list[i].password, text)) {
            return i;
        }
    }
    return -1;
}

// Index of the first free entry, or -1.
int first_free_index() {
    DevicePasswordEntry* list = current_list();
    if (list == nullptr) {
        return -1;
    }
    for (int i = 0; i < DEVICE_PASSWORD_COUNT; ++i) {
        if (list[i].password[0] == '\0') {
            return i;
        }
    }
    return -1;
}

}  // namespace

int find_device_password(const char* text) {
    int index = index_of(text);
    return index < 0 ? 0 : index;
}

int device_password_exists(const char* text) {
    return index_of(text) >= 0 ? 1 : 0;
}

int first_free_device_password() {
    int index = first_free_index();
    return index < 0 ? 0 : index;
}

int device_password_list_full() {
    return first_free_index() < 0 ? 1 : 0;
}
