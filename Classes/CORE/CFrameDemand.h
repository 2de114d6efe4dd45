#pragma once
// When the game loop next needs a frame. Every part whose state moves with time (tweens,
// animations, movies, a stream's refill, a timed wait, a held key, a picture that just changed)
// says so in each frame it updates. While none needs a frame soon, the loop waits for window
// events instead of running frames that change nothing: input wakes it at once. A part that
// changes only on input or on a script's step needs nothing here.
// Main thread only, like the updates that call it.
#include <cstdint>

namespace kestrin {

class CFrameDemand {
public:
    // The next frame is needed on time.
    static void Now() { s_within = 0; }
    // A frame is needed within ms milliseconds.
    static void Within(uint32_t ms) {
        if (ms < s_within) s_within = ms;
    }
    // How long the loop may go without a frame (at most cap); clears what was asked, for the
    // next frame's parts to ask again.
    static uint32_t Take(uint32_t cap) {
        const uint32_t rest = s_within < cap ? s_within : cap;
        s_within = UINT32_MAX;
        return rest;
    }

private:
    static uint32_t s_within;
};

}  // namespace kestrin
