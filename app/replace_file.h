// Replacing a file whole: the new contents go to a temporary file beside it, which is then
// renamed over it. A failed or interrupted write leaves the previous file as it was.
#pragma once

#include <sys/types.h>

#include <cstddef>

// Writes `length` bytes as the new contents of `name` with permissions `mode`. 1 when the file
// was replaced, 0 when nothing changed.
int replace_file(const char* name, const void* bytes, size_t length, mode_t mode);
