// Management frames: the request builders and the answer recognition.
#include "protocol/frames.h"

#include "platform/win/kernel.h"
#include "transport/adapters.h"

const MacAddress BroadcastAddress = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
uint16_t DeviceClock;
uint16_t AgeLimit;

namespace {

uint8_t ListenBuffer[RECEIVE_FRAME_SIZE];

}  // namespace

int listen_three_windows(FrameMatcher match, void* context) {
    int matched = 0;
    for (int window = 0; window < 3; ++window) {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < LISTEN_WINDOW_MS) {
            if (receive_next_frame(ListenBuffer) == 0) {
                Sleep(LISTEN_IDLE_SLEEP_MS);
            } else if (match(ListenBuffer, context) != 0) {
                matched = 1;
                break;
            }
        }
    }
    return matched;
}
