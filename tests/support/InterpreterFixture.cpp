#include "support/InterpreterFixture.h"

#include "CORE/CDynamicVariables.h"
#include "CORE/CInput.h"
#include "CORE/CLogWindow.h"
#include "CORE/Platform/FakeWindowSystem.h"
#include "CORE/WindowMessages.h"

namespace kestrin_test {

void InterpreterFixture::SetUp() {
    m_oldDir = std::filesystem::current_path();
    std::filesystem::current_path(m_dir.Path());
    kestrin::CDynamicVariables::GetInstance()->SetString("ini.Boot", "main.iet");
    kestrin::CDynamicVariables::GetInstance()->SetString("ini.Charset", "utf-8");
    kestrin::CLogWindow::SetLineSink([this](const std::string& line) { m_lines.push_back(line); });
}

void InterpreterFixture::TearDown() {
    m_script.reset();
    if (m_windows) {
        kestrin::CInput::ReleaseInstance();
        kestrin::SetWindowSystem(nullptr);
        m_windows.reset();
    }
    kestrin::CLogWindow::SetLineSink(nullptr);
    kestrin::CLogWindow::ReleaseInstance();
    kestrin::CDynamicVariables::ReleaseInstance();
    std::filesystem::current_path(m_oldDir);
}

void InterpreterFixture::UseFakeInput() {
    m_windows = std::make_shared<kestrin::FakeWindowSystem>();
    kestrin::SetWindowSystem(m_windows);
    kestrin::SWindowDesc desc;
    desc.width = 640;
    desc.height = 480;
    auto window = m_windows->CreateWindow(desc);
    m_windows->SetGeometry(window, 0, 0, 640, 480);
    m_windows->SetFocus(window);
    kestrin::CInput::CreateInstance(window);
}

bool InterpreterFixture::Logged(const std::string& text) const {
    for (const auto& line : m_lines)
        if (line == text) return true;
    return false;
}

bool InterpreterFixture::LoggedWithin(const std::string& text) const {
    for (const auto& line : m_lines)
        if (line.find(text) != std::string::npos) return true;
    return false;
}

std::string InterpreterFixture::AllLines() const {
    std::string all;
    for (const auto& line : m_lines) all += line + "\n";
    return all;
}

}  // namespace kestrin_test
