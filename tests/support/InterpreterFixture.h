#pragma once
// What every interpreter test sets up: a fresh game folder made the current directory,
// "main.iet" booted as UTF-8, and the log's lines collected. The interpreter is destroyed
// before the singletons it uses are released.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "SCRIPT/CMainScript.h"
#include "support/TestSupport.h"

namespace kestrin {
class FakeWindowSystem;
}

namespace kestrin_test {

class InterpreterFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Keyboard and mouse through the headless window system (a focused 640 x 480 window);
    // call before booting. Released at TearDown.
    void UseFakeInput();

    // True when a log line is exactly text.
    bool Logged(const std::string& text) const;
    // True when a log line contains text.
    bool LoggedWithin(const std::string& text) const;
    // Every log line, one a line, for failure messages.
    std::string AllLines() const;

    TempDir m_dir;
    std::filesystem::path m_oldDir;
    std::shared_ptr<kestrin::FakeWindowSystem> m_windows;
    std::unique_ptr<kestrin::CMainScript> m_script;
    std::vector<std::string> m_lines;
    uint32_t m_now = 0;
};

}  // namespace kestrin_test
