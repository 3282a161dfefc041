#include "app/replace_file.h"

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
