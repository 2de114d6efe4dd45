#pragma once
// Requests to close the program that come from outside the window system: SIGINT and
// SIGTERM here. The main loop turns each into a close of the main window, so that the
// game leaves (and saves) as when its close box is clicked.
namespace kestrin {

class ICloseSignals {
public:
    virtual ~ICloseSignals() = default;
    // Starts catching the requests; true on failure. The program does this before
    // anything else, so that a request during start-up is kept until the loop runs.
    virtual bool Install() = 0;
    // True when a request arrived since the last call (several count as one).
    virtual bool TakeRequest() = 0;
    // True while a request waits to be taken; leaves it there. Long work (a Lua call) asks
    // this to stop early, so that the loop sees the request soon.
    virtual bool HasRequest() const = 0;
};

// The service in use: the one set last, else the POSIX signal one.
ICloseSignals* GetCloseSignals();
// Installs a service (not owned); null goes back to the POSIX signal one.
void SetCloseSignals(ICloseSignals* signals);

}  // namespace kestrin
