#pragma once
#include "CORE/Platform/IShellOpener.h"

namespace kestrin {

// Runs "xdg-open <target>" with an argument vector (no shell), without waiting for it.
class PosixShellOpener : public IShellOpener {
public:
    void Open(const std::string& target) override;
};

}  // namespace kestrin
