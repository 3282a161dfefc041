// The parameter mirror and "plc.log".
//
// The log is a text file whose lines end in CR LF on disk. It is read the way a text-mode
// reader of 200-character buffers sees it: CR LF (or a lone LF) ends a line, a longer line is
// taken in pieces of 199 characters, each counting as a line, and at most 48 of them are read.
// The lines kept are written back exactly as read, so a last line without a line end is
// continued by the next event's time line.
#include "protocol/event_log.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/state.h"
#include "app/text_file.h"
#include "transport/adapters.h"

uint8_t ParameterMirror[PARAMETER_BLOCK_SIZE];
CalendarTime EventLogTime = time;

namespace {

constexpr int LINES_READ = 48;
constexpr size_t LINE_PIECE = 199;
constexpr int LINES_KEPT = 20;    // the last ten events
constexpr int LINES_DROPPED = 2;  // the oldest event, once the log is full
constexpr int BLANK_LEAD = 6;     // a block whose first six bytes are all equal looks blank

constexpr size_t TEXT_READ = LINES_READ * LINE_PIECE;
// Every character may come from two bytes (CR LF); one byte more tells whether the last CR
// read is followed by its LF.
constexpr size_t FILE_READ = 2 * TEXT_READ + 1;
constexpr size_t TIME_LINE_CAPACITY = 64;  // 24 characters for any year of four digits
constexpr size_t EVENT_LINE_CAPACITY = 256;
// The lines kept, the two new ones, every line end doubled on the way out.
constexpr size_t OUTPUT_CAPACITY =
    2 * (LINES_KEPT * LINE_PIECE + TIME_LINE_CAPACITY + 1 + EVENT_LINE_CAPACITY + 1);

const char* const Markers[] = {"**EEPROM**", "** RAM  **", "**SETNEK**"};
const char* const Weekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

uint8_t FileBytes[FILE_READ];
char Text[TEXT_READ];
char Output[OUTPUT_CAPACITY];

struct Line {
    size_t start;   // in Text
    size_t length;  // its line end included, when it has one
};
Line Lines[LINES_READ];

// The received frame holds the whole block, bytes 17 (kind) to 67.
bool block_received() {
    return ReceivedFrameLength >= static_cast<int>(PARAMETER_BLOCK_DATA + PARAMETER_BLOCK_SIZE);
}

// Splits the text into lines of at most 199 characters; returns how many (at most 48).
int split_lines(size_t text_length) {
    int count = 0;
    size_t at = 0;
    while (count < LINES_READ && at < text_length) {
        size_t limit = std::min(text_length, at + LINE_PIECE);
        size_t end = at;
        while (end < limit && Text[end] != '\n') {
            ++end;
        }
        if (end < limit) {
            ++end;  // the line end belongs to its line
        }
        Lines[count++] = {at, end - at};
        at = end;
    }
    return count;
}

int read_log_lines() {
    ssize_t bytes = read_regular_file(EVENT_LOG_FILE_NAME, FileBytes, sizeof FileBytes);
    if (bytes < 0) {
        return 0;  // no log, or none that can be read: the new one starts empty
    }
    size_t text = text_mode_decode(FileBytes, static_cast<size_t>(bytes),
                                   reinterpret_cast<uint8_t*>(Text), sizeof Text);
    return split_lines(text);
}

// "Wed Jan 02 02:03:55 1980": the event's local time.
void format_time_line(char* line, size_t size) {
    time_t now = EventLogTime(nullptr);
    struct tm local {};
    tzset();
    if (localtime_r(&now, &local) == nullptr) {
        local = tm{};  // a time the calendar cannot show; the event is logged all the same
    }
    std::snprintf(line, size, "%s %s %02d %02d:%02d:%02d %d", Weekdays[local.tm_wday],
                  Months[local.tm_mon], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  local.tm_year + 1900);
}

void format_event_line(int kind, int try_number, const uint8_t* frame, char* line, size_t size) {
    int used = std::snprintf(line, size, "%s", Markers[kind]);
    if (kind == EVENT_KEY_MISMATCH) {
        used += std::snprintf(line + used, size - used, "Retry=%d", try_number);
    }
    for (int i = 0; i < PARAMETER_BLOCK_SIZE; ++i) {
        used += std::snprintf(line + used, size - used, " %.2x", frame[PARAMETER_BLOCK_DATA + i]);
    }
}

// Text-mode writing: every LF goes out as CR LF.
size_t append_text(size_t at, const char* text, size_t length) {
    return at + text_mode_encode(reinterpret_cast<const uint8_t*>(text), length,
                                 reinterpret_cast<uint8_t*>(Output) + at);
}

// Written beside the old log and renamed over it: a log that cannot be written loses the new
// event but never the old ones.
void replace_log(const char* bytes, size_t length) {
    struct stat old {};
    mode_t mode = stat(EVENT_LOG_FILE_NAME, &old) == 0 ? (old.st_mode & 0777) : 0644;
    replace_file(EVENT_LOG_FILE_NAME, bytes, length, mode);
}

}  // namespace

void handle_parameter_reply(const uint8_t* frame) {
    if (!block_received()) {
        return;  // a cut-off answer: its block is not all there
    }
    const uint8_t* block = frame + PARAMETER_BLOCK_DATA;
    uint8_t kind = frame[PARAMETER_BLOCK_KIND];
    if (std::all_of(block, block + BLANK_LEAD, [&](uint8_t b) { return b == block[0]; })) {
        if (kind == 1) {
            log_event(EVENT_BLANK_EEPROM, 0, frame);
        } else if (kind == 2) {
            log_event(EVENT_BLANK_RAM, 0, frame);
        }
        return;
    }
    if (CurrentAdapter < 0 || CurrentAdapter >= MAX_ADAPTERS) {
        return;
    }
    // Once the bridge has answered with its EEPROM block, that is the one to mirror; before,
    // the RAM block is all there is.
    uint8_t mirrored_kind = AdapterRecord[CurrentAdapter].status_answered != 0 ? 1 : 2;
    if (kind == mirrored_kind) {
        std::memcpy(ParameterMirror, block, PARAMETER_BLOCK_SIZE);
    }
}

int parameter_block_matches(const uint8_t* frame) {
    if (!block_received()) {
        return 0;
    }
    for (int i = 0; i < PARAMETER_BLOCK_SIZE; ++i) {
        if (frame[PARAMETER_BLOCK_DATA + i] != ParameterMirror[i]) {
            return 0;
        }
    }
    return 1;
}

void log_event(int kind, int try_number, const uint8_t* frame) {
    if (kind < EVENT_BLANK_EEPROM || kind > EVENT_KEY_MISMATCH) {
        return;
    }
    int count = read_log_lines();
    char time_line[TIME_LINE_CAPACITY];
    char event_line[EVENT_LINE_CAPACITY];
    format_time_line(time_line, sizeof time_line);
    format_event_line(kind, try_number, frame, event_line, sizeof event_line);

    int first = count < LINES_KEPT ? 0 : LINES_DROPPED;
    int last = std::min(count, LINES_KEPT);
    size_t at = 0;
    for (int i = first; i < last; ++i) {
        at = append_text(at, Text + Lines[i].start, Lines[i].length);
    }
    at = append_text(at, time_line, std::strlen(time_line));
    at = append_text(at, "\n", 1);
    at = append_text(at, event_line, std::strlen(event_line));
    at = append_text(at, "\n", 1);
    replace_log(Output, at);
}
