// "wizard.data": the settings image written as a text-mode file (app/text_file.h), with no
// header, version or check sum. Every image byte 0x0A is stored as 0x0D 0x0A, every other byte
// (0x0D and 0x1A among them) as itself.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr const char* SETTINGS_FILE_NAME = "wizard.data";
