// The progress bar: a range (0-100 unless set), a position kept inside it, a step that
// PBM_STEPIT adds, wrapping to the start once it passes the top, and a bar colour.
#include <algorithm>

#include "platform/win/window_internal.h"

namespace {

int clamp_to_range(const ProgressState& p, long long pos) {
    return static_cast<int>(std::clamp<long long>(pos, p.low, p.high));
}

// Past the top the bar starts over from the bottom (and past the bottom from the top) by the
// amount it overshot, as a stepping bar does.
int wrap_into_range(const ProgressState& p, long long pos) {
    long long span = static_cast<long long>(p.high) - p.low;
    if (span <= 0) {
        return p.low;
    }
    if (pos > p.high) {
        return static_cast<int>(p.low + (pos - p.low) % span);
    }
    if (pos < p.low) {
        return static_cast<int>(p.high - (p.high - pos) % span);
    }
    return static_cast<int>(pos);
}

LRESULT set_range(Window* w, int low, int high) {
    ProgressState& p = w->progress;
    LRESULT old = MAKELPARAM(static_cast<WORD>(p.low), static_cast<WORD>(p.high));
    if (low >= high) {
        return 0;
    }
    p.low = low;
    p.high = high;
    p.pos = clamp_to_range(p, p.pos);
    window_changed(w);
    return old;
}

}  // namespace

LRESULT progress_message(Window* w, UINT message, WPARAM wparam, LPARAM lparam) {
    ProgressState& p = w->progress;
    int old = p.pos;
    switch (message) {
        case PBM_SETRANGE:
            return set_range(w, static_cast<short>(LOWORD(lparam)),
                             static_cast<short>(HIWORD(lparam)));
        case PBM_SETRANGE32:
            return set_range(w, static_cast<int>(wparam), static_cast<int>(lparam));
        case PBM_GETRANGE:
            return wparam != 0 ? p.low : p.high;
        case PBM_SETPOS:
            p.pos = clamp_to_range(p, static_cast<int>(wparam));
            break;
        case PBM_DELTAPOS:
            p.pos = clamp_to_range(p, static_cast<long long>(p.pos) + static_cast<int>(wparam));
            break;
        case PBM_SETSTEP: {
            int old_step = p.step;
            p.step = static_cast<int>(wparam);
            return old_step;
        }
        case PBM_STEPIT:
            p.pos = wrap_into_range(p, static_cast<long long>(p.pos) + p.step);
            break;
        case PBM_GETPOS:
            return p.pos;
        case PBM_SETBARCOLOR: {
            COLORREF previous = p.bar_color;
            p.bar_color = static_cast<COLORREF>(lparam);
            window_changed(w);
            return previous;
        }
        case PBM_GETBARCOLOR:
            return p.bar_color;
        default:
            return 0;
    }
    window_changed(w);
    return old;
}
