// The line-end translation of "wizard.data". The file is the settings image written in text
// mode: every image byte 0x0A is stored as 0x0D 0x0A, every other byte (0x0D and 0x1A among
// them) as itself; reading turns only the pair 0x0D 0x0A back into 0x0A.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr const char* SETTINGS_FILE_NAME = "wizard.data";

// Encodes `size` image bytes into `file`, which has room for 2 × size bytes; returns the file
// length.
size_t encode_settings_image(const uint8_t* image, size_t size, uint8_t* file);
// Rebuilds image bytes from `length` file bytes, at most `size` of them; returns how many were
// rebuilt. Bytes of the image beyond that are not touched.
size_t decode_settings_image(const uint8_t* file, size_t length, uint8_t* image, size_t size);
