// Management frames: the request builders and the answer recognition.
#include "protocol/frames.h"

const MacAddress BroadcastAddress = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
