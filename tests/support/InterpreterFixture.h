#pragma once
// What every interpreter test sets up: a fresh game folder made the current directory,
// "main.iet" booted as UTF-8, and the log's lines collected; on request a screen or the
// headless input. The interpreter is destroyed before the screen and the singletons it uses.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/Platform/HeadlessMessageBox.h"
#include "CORE/Platform/HeadlessShellOpener.h"
#include "SCRIPT/CMainScript.h"
#include "support/TestSupport.h"

namespace kestrin {
class CGameWindow;
class CMainScreen;
class HeadlessWindowSystem;
}  // namespace kestrin

namespace kestrin_test {

class InterpreterFixture : public ::testing::Test {
protected:
    // Out of line: the screen's classes are only declared here.
    InterpreterFixture();
    ~InterpreterFixture() override;
    void SetUp() override;
    void TearDown() override;

    // Keyboard and mouse through the headless window system (a focused 640 x 480 window);
    // call before booting. Released at TearDown.
    void UseFakeInput();
    // A w x h screen through the software renderer in a real (SDL dummy-driver) window, set
    // in the ini before; call in SetUp under ASSERT_NO_FATAL_FAILURE. Closed at TearDown.
    void OpenScreen(int w, int h);

    // True when a log line is exactly text.
    bool Logged(const std::string& text) const;
    // True when a log line contains text.
    bool LoggedWithin(const std::string& text) const;
    // Every log line, one a line, for failure messages.
    std::string AllLines() const;

    TempDir m_dir;
    std::filesystem::path m_oldDir;
    std::shared_ptr<kestrin::HeadlessWindowSystem> m_windows;
    std::unique_ptr<kestrin::CGameWindow> m_window;
    std::unique_ptr<kestrin::CMainScreen> m_screen;
    std::unique_ptr<kestrin::CMainScript> m_script;
    std::vector<std::string> m_lines;
    uint32_t m_now = 0;
    // In place from SetUp: no script run by a test opens a browser or a dialog on the desktop.
    kestrin::HeadlessShellOpener m_shellOpener;
    kestrin::HeadlessMessageBox m_messageBox;
    // The services from SetUp to TearDown (what stays real: see SetUp).
    std::optional<kestrin::PlatformServicesScope> m_services;
    // The headless window system on top of those, from UseFakeInput to TearDown.
    std::optional<kestrin::PlatformServicesScope> m_inputServices;
};

}  // namespace kestrin_test
