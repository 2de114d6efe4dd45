#include "CORE/Platform/PosixCloseSignals.h"

#include <signal.h>

namespace kestrin {

namespace {
ICloseSignals* g_closeSignals = nullptr;
volatile sig_atomic_t g_requested = 0;

void OnCloseSignal(int) { g_requested = 1; }
}  // namespace

ICloseSignals* GetCloseSignals() {
    static PosixCloseSignals posix;
    return g_closeSignals ? g_closeSignals : &posix;
}

void SetCloseSignals(ICloseSignals* signals) { g_closeSignals = signals; }

bool PosixCloseSignals::Install() {
    struct sigaction action = {};
    action.sa_handler = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted reads and waits carry on; the request is seen at the next frame.
    action.sa_flags = SA_RESTART;
    bool failed = sigaction(SIGINT, &action, nullptr) != 0;
    failed |= sigaction(SIGTERM, &action, nullptr) != 0;
    return failed;
}

bool PosixCloseSignals::TakeRequest() {
    if (!g_requested) return false;
    g_requested = 0;
    return true;
}

bool PosixCloseSignals::HasRequest() const { return g_requested != 0; }

}  // namespace kestrin
