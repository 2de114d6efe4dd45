#pragma once
// Test double: records the argument vectors that would have been run.
#include "CORE/Platform/IShellOpener.h"

#include <string>
#include <vector>

namespace kestrin {

class HeadlessShellOpener : public IShellOpener {
public:
    void Run(const std::vector<std::string>& arguments) override { runs.push_back(arguments); }
    std::vector<std::vector<std::string>> runs;
};

}  // namespace kestrin
