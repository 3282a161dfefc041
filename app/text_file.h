// Files as the program's text-mode files hold them ("wizard.data", "plc.log"): on disk every
// line feed is stored as carriage return and line feed, and reading turns only that pair back
// into a line feed. Files are read whole up to a limit and replaced whole: the new contents go
// to a temporary file beside the old one, which is then renamed over it, so a failed or
// interrupted write leaves the previous file as it was.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

// Reads up to `capacity` bytes of `name`; -1 when it cannot be opened as a regular file (a
// directory or a pipe of that name counts as no file). A read error ends the file early.
ssize_t read_regular_file(const char* name, uint8_t* buffer, size_t capacity);
// Writes `length` bytes as the new contents of `name` with permissions `mode`. 1 when the file
// was replaced, 0 when nothing changed.
int replace_file(const char* name, const void* bytes, size_t length, mode_t mode);

// Text as stored: each 0x0A of `text` becomes 0x0D 0x0A in `file`, which has room for
// 2 × length bytes. Returns the bytes written.
size_t text_mode_encode(const uint8_t* text, size_t length, uint8_t* file);
// Text as read: a 0x0D followed by 0x0A yields 0x0A, every other byte itself; at most
// `capacity` bytes are rebuilt. Returns how many.
size_t text_mode_decode(const uint8_t* file, size_t length, uint8_t* text, size_t capacity);
