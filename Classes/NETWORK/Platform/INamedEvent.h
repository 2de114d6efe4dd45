#pragma once
// A named auto-reset event shared between processes: Set wakes one wait, a successful wait
// consumes the signal. Destroying the object closes it (and, for the side that created
// it, removes the name). The other process may break the object under it at any moment
// (shrink the file behind it): the call that meets that fails instead of ending the
// process, and the event is gone from then on.
namespace kestrin {

class INamedEvent {
public:
    virtual ~INamedEvent() = default;
    // Signals the event; a second Set before a wait leaves a single signal. True on failure
    // (the event is gone).
    virtual bool Set() = 0;
    // True when the event was set; consumes it. Never waits. False when the event is gone.
    virtual bool TryWait() = 0;
    // As TryWait, waiting at most timeoutMs for the event.
    virtual bool Wait(int timeoutMs) = 0;
    // True once a call found the object broken; every call fails from then on.
    virtual bool IsGone() const = 0;
    // Looks at the object without consuming a signal: true when it is gone (as IsGone after).
    virtual bool Probe() { return IsGone(); }
};

}  // namespace kestrin
