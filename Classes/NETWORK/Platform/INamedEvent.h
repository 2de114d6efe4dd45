#pragma once
// A named auto-reset event shared between processes: Set wakes one wait, a successful wait
// consumes the signal. Destroying the object closes it (and, for the side that created
// it, removes the name).
namespace kestrin {

class INamedEvent {
public:
    virtual ~INamedEvent() = default;
    virtual void Set() = 0;
    // True when the event was set; consumes it. Never waits.
    virtual bool TryWait() = 0;
    // As TryWait, waiting at most timeoutMs for the event.
    virtual bool Wait(int timeoutMs) = 0;
};

}  // namespace kestrin
