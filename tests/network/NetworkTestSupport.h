#pragma once
// Log capture for the network tests.
#include <algorithm>
#include <string>
#include <vector>

#include "CORE/CLogWindow.h"

namespace kestrin_test {

// Collects the log's lines while it lives.
class LogCapture {
public:
    LogCapture() {
        kestrin::CLogWindow::SetLineSink([this](const std::string& line) { lines.push_back(line); });
    }
    ~LogCapture() {
        kestrin::CLogWindow::SetLineSink(nullptr);
        kestrin::CLogWindow::ReleaseInstance();
    }
    int CountWithin(const std::string& text) const {
        return static_cast<int>(std::count_if(
            lines.begin(), lines.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; }));
    }
    std::string All() const {
        std::string all;
        for (const auto& line : lines) all += line + "\n";
        return all;
    }
    std::vector<std::string> lines;
};

}  // namespace kestrin_test
