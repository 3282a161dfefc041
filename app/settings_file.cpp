// "wizard.data": reading it into the settings image, or the defaults, and saving the image.
#include "app/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/replace_file.h"
#include "app/state.h"
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

// Reads as much of the file as can contribute; -1 when it cannot be opened as a regular file
// (a directory of that name counts as no file).
ssize_t read_whole_file(const char* name, uint8_t* buffer, size_t capacity) {
    int fd = open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return -1;
    }
    size_t total = 0;
    while (total < capacity) {
        ssize_t n = read(fd, buffer + total, capacity - total);
        if (n <= 0) {
            break;  // end of file, or a read error: keep what came before it
        }
        total += static_cast<size_t>(n);
    }
    close(fd);
    return static_cast<ssize_t>(total);
}

}  // namespace

size_t encode_settings_image(const uint8_t* image, size_t size, uint8_t* file) {
    size_t out = 0;
    for (size_t i = 0; i < size; ++i) {
        if (image[i] == 0x0A) {
            file[out++] = 0x0D;
        }
        file[out++] = image[i];
    }
    return out;
}

size_t decode_settings_image(const uint8_t* file, size_t length, uint8_t* image, size_t size) {
    size_t in = 0;
    size_t out = 0;
    while (in < length && out < size) {
        if (file[in] == 0x0D && in + 1 < length && file[in + 1] == 0x0A) {
            ++in;
        }
        image[out++] = file[in++];
    }
    return out;
}

int read_settings_file() {
    ssize_t length = read_whole_file(SETTINGS_FILE_NAME, FileBuffer, sizeof FileBuffer);
    if (length < 0) {
        fill_defaults();
        return 0;
    }
    decode_settings_image(FileBuffer, static_cast<size_t>(length), image_bytes(),
                          SETTINGS_IMAGE_SIZE);
    return 1;
}

// The file holds passwords: only its owner may read it. A failed save is not reported; the
// previous file then stays whole.
void save_settings() {
    size_t length = encode_settings_image(image_bytes(), SETTINGS_IMAGE_SIZE, FileBuffer);
    replace_file(SETTINGS_FILE_NAME, FileBuffer, length, 0600);
}
