#include "platform/win/shared_section.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

std::string executable_name() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return "program";
    }
    path[n] = '\0';
    std::string full(path);
    size_t slash = full.rfind('/');
    return slash == std::string::npos ? full : full.substr(slash + 1);
}

std::string section_directory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') {
        return runtime;
    }
    return "/tmp";
}

}  // namespace

volatile LONG* shared_section_long(const char* section, LONG initial) {
    std::string base = section_directory() + "/" + executable_name() + "." + section + "." +
                       std::to_string(getuid());
    // The guard serialises start-ups; the data file carries the value and the liveness lock.
    int guard = open((base + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (guard < 0) {
        return nullptr;
    }
    int data = open((base + ".shm").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (data < 0 || flock(guard, LOCK_EX) != 0 || ftruncate(data, sizeof(LONG)) != 0) {
        if (data >= 0) {
            close(data);
        }
        close(guard);
        return nullptr;
    }
    void* map = mmap(nullptr, sizeof(LONG), PROT_READ | PROT_WRITE, MAP_SHARED, data, 0);
    if (map == MAP_FAILED) {
        close(data);
        close(guard);
        return nullptr;
    }
    auto* value = static_cast<volatile LONG*>(map);
    // Nobody else holds the liveness lock: no instance runs, so the section is new.
    if (flock(data, LOCK_EX | LOCK_NB) == 0) {
        __atomic_store_n(value, initial, __ATOMIC_SEQ_CST);
    }
    // Every running instance holds the shared lock until it ends (the descriptor stays open).
    flock(data, LOCK_SH);
    flock(guard, LOCK_UN);
    close(guard);
    return value;
}
