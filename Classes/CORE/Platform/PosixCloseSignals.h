#pragma once
// Close requests from SIGINT and SIGTERM: the handler only sets a flag, which the main
// loop takes. SDL is told to leave these signals alone.
#include "CORE/Platform/ICloseSignals.h"

namespace kestrin {

class PosixCloseSignals : public ICloseSignals {
public:
    bool Install() override;
    bool TakeRequest() override;
    bool HasRequest() const override;
};

}  // namespace kestrin
