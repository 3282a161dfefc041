// Arbitrary "wizard.data" contents: the decoder never writes past the image, and an image
// written out and read back is the same image.
//
// Input: file bytes. They are decoded into an image buffer of exactly the image's size; then
// the first bytes of the input, taken as an image, go through the encoder and back.
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/state.h"
#include "app/text_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> image(SETTINGS_IMAGE_SIZE);
    size_t rebuilt = text_mode_decode(data, size, image.data(), image.size());
    if (rebuilt > image.size() || rebuilt > size) {
        __builtin_trap();
    }

    size_t n = size < SETTINGS_IMAGE_SIZE ? size : SETTINGS_IMAGE_SIZE;
    if (n == 0) {
        return 0;
    }
    std::vector<uint8_t> file(2 * n);
    size_t length = text_mode_encode(data, n, file.data());
    std::vector<uint8_t> back(n);
    if (text_mode_decode(file.data(), length, back.data(), n) != n ||
        std::memcmp(back.data(), data, n) != 0) {
        __builtin_trap();
    }
    return 0;
}
