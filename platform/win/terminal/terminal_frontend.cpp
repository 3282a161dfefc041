#include "platform/win/frontend.h"

Frontend* terminal_frontend() {
    static Frontend f;
    return &f;
}
