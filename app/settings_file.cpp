// "wizard.data": reading it into the settings image, or the defaults, and saving the image.
#include "app/settings_file.h"

#include <cstring>

#include "app/state.h"
#include "app/text_file.h"
#include "keys/passwords.h"

namespace {

uint8_t* image_bytes() {
    return reinterpret_cast<uint8_t*>(AdapterSettings);
}

// The largest file that can still contribute: every image byte a line feed.
constexpr size_t MAX_FILE_BYTES = 2 * SETTINGS_IMAGE_SIZE;
uint8_t FileBuffer[MAX_FILE_BYTES];

void fill_defaults() {
    for (AdapterSettingsBlock& block : AdapterSettings) {
        std::memcpy(block.network_password, default_network_password,
                    std::strlen(default_network_password) + 1);
        block.reserved_head = 0;
        std::memset(block.device_passwords, 0, sizeof block.device_passwords);
    }
}

}  // namespace

int read_settings_file() {
    ssize_t length = read_regular_file(SETTINGS_FILE_NAME, FileBuffer, sizeof FileBuffer);
    if (length < 0) {
        fill_defaults();
        return 0;
    }
    text_mode_decode(FileBuffer, static_cast<size_t>(length), image_bytes(), SETTINGS_IMAGE_SIZE);
    return 1;
}

// The file holds passwords: only its owner may read it. A failed save is not reported; the
// previous file then stays whole.
void save_settings() {
    size_t length = text_mode_encode(image_bytes(), SETTINGS_IMAGE_SIZE, FileBuffer);
    replace_file(SETTINGS_FILE_NAME, FileBuffer, length, 0600);
}
