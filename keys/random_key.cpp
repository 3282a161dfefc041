// The throw-away key with which the Advanced page looks for a device before it knows the
// network key. Nothing stores it.
//
// Zero bytes: the generator draws eight values; when none of the first six resulting bytes is
// zero it draws eight more and keeps those, otherwise it keeps the first eight. We keep that
// second draw rather than filter zero bytes out: nothing that uses the key needs or excludes
// zero bytes, a bridge handles a probe key as eight opaque bytes, and keeping the draw makes
// the key depend on the seed exactly as the original utility's key did (given the same C
// library generator), with a fixed number of draws and no loop.
#include <cstdlib>

#include "keys/passwords.h"

time_t (*RandomKeyClock)(time_t*) = time;

namespace {

void draw_key(uint8_t* key) {
    for (int i = 0; i < NETWORK_KEY_SIZE; ++i) {
        key[i] = static_cast<uint8_t>(std::rand() & 0xff);
    }
}

int has_zero_in_first_six(const uint8_t* key) {
    for (int i = 0; i < 6; ++i) {
        if (key[i] == 0) {
            return 1;
        }
    }
    return 0;
}

}  // namespace

int make_random_key(uint8_t* key) {
    // Seeded afresh on every call: two keys made within the same second are equal.
    std::srand(static_cast<unsigned>(RandomKeyClock(nullptr)));
    draw_key(key);
    if (!has_zero_in_first_six(key)) {
        draw_key(key);
    }
    return 1;
}
