#pragma once
// A property animation driven once per frame by the frame clock.
#include <cstdint>

namespace kestrin {

class ITween {
public:
    virtual ~ITween() = default;
    // now: the frame clock in milliseconds; true when finished (the owner may delete it).
    virtual bool Update(uint32_t now) = 0;
    // Ends where it is: nothing more is written.
    virtual void Stop() = 0;
    // Jumps to the end state.
    virtual void Finish() = 0;
};

}  // namespace kestrin
