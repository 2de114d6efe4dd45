#pragma once
#include "CORE/Platform/IShellOpener.h"

namespace kestrin {

// Runs the opener with posix_spawnp (no shell), without waiting for it.
class PosixShellOpener : public IShellOpener {
public:
    void Run(const std::vector<std::string>& arguments) override;
};

}  // namespace kestrin
