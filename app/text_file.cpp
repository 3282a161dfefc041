#include "app/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

bool write_all(int fd, const char* bytes, size_t length) {
    while (length > 0) {
        ssize_t n = write(fd, bytes, length);
        if (n <= 0) {
            return false;
        }
        bytes += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

ssize_t read_regular_file(const char* name, uint8_t* buffer, size_t capacity) {
    // Non-blocking, so that a pipe of that name cannot hold the program.
    int fd = open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
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

int replace_file(const char* name, const void* bytes, size_t length, mode_t mode) {
    std::string temporary = std::string(name) + ".XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) {
        return 0;
    }
    bool written = fchmod(fd, mode) == 0 &&
                   write_all(fd, static_cast<const char*>(bytes), length) && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written || std::rename(temporary.c_str(), name) != 0) {
        unlink(temporary.c_str());
        return 0;
    }
    return 1;
}

size_t text_mode_encode(const uint8_t* text, size_t length, uint8_t* file) {
    size_t out = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == 0x0A) {
            file[out++] = 0x0D;
        }
        file[out++] = text[i];
    }
    return out;
}

size_t text_mode_decode(const uint8_t* file, size_t length, uint8_t* text, size_t capacity) {
    size_t in = 0;
    size_t out = 0;
    while (in < length && out < capacity) {
        if (file[in] == 0x0D && in + 1 < length && file[in + 1] == 0x0A) {
            ++in;
        }
        text[out++] = file[in++];
    }
    return out;
}
