// An arbitrary existing "plc.log" against log_event: whatever the old log holds, the new one
// ends with the event's two lines, and it never grows beyond the 20 lines it keeps.
//
// The log lives in a fresh directory of its own (in memory when /dev/shm exists, so that the
// rewrite's flush to disk costs nothing); the target steps into it only around each run, so the
// fuzzer's own relative paths (corpus, artifacts) keep working.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "protocol/event_log.h"

namespace {

int HomeDirectory = -1;
int LogDirectory = -1;
char LogDirectoryName[64];

void remove_log_directory() {
    unlinkat(LogDirectory, EVENT_LOG_FILE_NAME, 0);
    rmdir(LogDirectoryName);
}

time_t fixed_time(time_t* t) {
    time_t now = 315619435;
    if (t != nullptr) {
        *t = now;
    }
    return now;
}

std::string read_all(const char* name) {
    std::string bytes;
    FILE* f = std::fopen(name, "rb");
    if (f == nullptr) {
        return bytes;
    }
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        bytes.append(chunk, n);
    }
    std::fclose(f);
    return bytes;
}

void write_all(const char* name, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(name, "wb");
    if (f == nullptr || std::fwrite(data, 1, size, f) != size) {
        std::abort();
    }
    std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::snprintf(LogDirectoryName, sizeof LogDirectoryName, "/dev/shm/lw-fuzz-log-XXXXXX");
    const char* directory = mkdtemp(LogDirectoryName);
    if (directory == nullptr) {
        std::snprintf(LogDirectoryName, sizeof LogDirectoryName, "/tmp/lw-fuzz-log-XXXXXX");
        directory = mkdtemp(LogDirectoryName);
    }
    HomeDirectory = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    LogDirectory = directory == nullptr ? -1 : open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (HomeDirectory < 0 || LogDirectory < 0) {
        std::abort();
    }
    std::atexit(remove_log_directory);
    setenv("TZ", "UTC0", 1);
    EventLogTime = fixed_time;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (fchdir(LogDirectory) != 0) {
        std::abort();
    }
    write_all(EVENT_LOG_FILE_NAME, data, size);
    uint8_t frame[68] = {};
    for (size_t i = 0; i < sizeof frame; ++i) {
        frame[i] = static_cast<uint8_t>(i * 37);
    }
    int kind = static_cast<int>(size % 3);
    log_event(kind, 2, frame);

    std::string log = read_all(EVENT_LOG_FILE_NAME);
    // 20 lines of at most 199 characters with CR LF, or a last line continued: well below.
    const size_t event_line = kind == EVENT_KEY_MISMATCH ? 167 : 160;
    const std::string ending = "Wed Jan 02 00:03:55 1980\r\n";
    if (log.size() > 20 * 201 + 26 + event_line + 2 || log.size() < 26 + event_line + 2 ||
        log.compare(log.size() - event_line - 2 - ending.size(), ending.size(), ending) != 0 ||
        log.compare(log.size() - 2, 2, "\r\n") != 0) {
        std::abort();
    }
    if (fchdir(HomeDirectory) != 0) {
        std::abort();
    }
    return 0;
}
