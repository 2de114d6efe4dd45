#pragma once
// Test double: a close request is raised by the test; counts what the engine did with it.
#include "CORE/Platform/ICloseSignals.h"

namespace kestrin {

class HeadlessCloseSignals : public ICloseSignals {
public:
    bool Install() override {
        ++installs;
        return false;
    }
    bool TakeRequest() override {
        if (!pending) return false;
        pending = false;
        ++taken;
        return true;
    }
    bool HasRequest() const override { return pending; }
    void Raise() { pending = true; }
    bool pending = false;
    int installs = 0;
    int taken = 0;
};

}  // namespace kestrin
