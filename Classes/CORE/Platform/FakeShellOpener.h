#pragma once
// Test double: records what would have been opened.
#include "CORE/Platform/IShellOpener.h"

#include <string>
#include <vector>

namespace kestrin {

class FakeShellOpener : public IShellOpener {
public:
    void Open(const std::string& target) override { opened.push_back(target); }
    std::vector<std::string> opened;
};

}  // namespace kestrin
