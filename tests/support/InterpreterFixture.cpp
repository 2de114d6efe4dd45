#include "support/InterpreterFixture.h"

#include "CORE/CDynamicVariables.h"
#include "CORE/CGameWindow.h"
#include "CORE/CInput.h"
#include "CORE/CLogWindow.h"
#include "CORE/CTimer.h"
#include "CORE/CWindow.h"
#include "CORE/Platform/HeadlessWindowSystem.h"
#include "CORE/WindowMessages.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/TweenRegistry.h"

namespace kestrin_test {

InterpreterFixture::InterpreterFixture() = default;
InterpreterFixture::~InterpreterFixture() = default;

void InterpreterFixture::SetUp() {
    m_oldDir = std::filesystem::current_path();
    std::filesystem::current_path(m_dir.Path());
    kestrin::CDynamicVariables::GetInstance()->SetString("ini.Boot", "main.iet");
    kestrin::CDynamicVariables::GetInstance()->SetString("ini.Charset", "utf-8");
    kestrin::CLogWindow::SetLineSink([this](const std::string& line) { m_lines.push_back(line); });
    // Headless unless kept real here on purpose: scripts read and write a game folder on disk,
    // talk to peers in other processes, wait on real time (a test sets its own clock), and draw
    // with the system's fonts and movies into an SDL dummy-driver window (OpenScreen).
    kestrin::SPlatformServices services = kestrin::HeadlessPlatformServices();
    const kestrin::SPlatformServices real = kestrin::RealPlatformServices();
    services.clock = real.clock;
    services.wallClock = real.wallClock;
    services.windowSystem = real.windowSystem;
    services.fileSystem = real.fileSystem;
    services.socketService = real.socketService;
    services.sharedMemoryService = real.sharedMemoryService;
    services.renderDevice = real.renderDevice;
    services.framePresenter = real.framePresenter;
    services.videoDecoder = real.videoDecoder;
    services.textRasterizer = real.textRasterizer;
    services.shellOpener = kestrin::Unowned(m_shellOpener);
    services.messageBox = kestrin::Unowned(m_messageBox);
    m_services.emplace(services);
    ASSERT_FALSE(m_services->Failed());
}

void InterpreterFixture::TearDown() {
    m_script.reset();
    if (m_window) {
        m_screen.reset();
        kestrin::ClearTweenRegistry();
        m_window->Destroy();
        m_window.reset();
    }
    if (m_windows) kestrin::CInput::ReleaseInstance();
    m_inputServices.reset();
    m_services.reset();
    m_windows.reset();
    kestrin::CLogWindow::SetLineSink(nullptr);
    kestrin::CLogWindow::ReleaseInstance();
    kestrin::CDynamicVariables::ReleaseInstance();
    std::filesystem::current_path(m_oldDir);
}

void InterpreterFixture::UseFakeInput() {
    m_windows = std::make_shared<kestrin::HeadlessWindowSystem>();
    kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
    services.windowSystem = m_windows;
    m_inputServices.emplace(services);
    ASSERT_FALSE(m_inputServices->Failed());
    kestrin::SWindowDesc desc;
    desc.width = 640;
    desc.height = 480;
    auto window = m_windows->CreateWindow(desc);
    m_windows->SetGeometry(window, 0, 0, 640, 480);
    m_windows->SetFocus(window);
    kestrin::CInput::CreateInstance(window);
}

void InterpreterFixture::OpenScreen(int w, int h) {
    kestrin::CDynamicVariables* v = kestrin::CDynamicVariables::GetInstance();
    v->SetInt("ini.Width", w);
    v->SetInt("ini.Height", h);
    m_window = std::make_unique<kestrin::CGameWindow>();
    ASSERT_FALSE(
        m_window->Create(0, 0, w, h, "KestrinInterpreterTest", "", kestrin::kWsPopup, kestrin::kSwShowNormal, 0));
    m_screen = std::make_unique<kestrin::CMainScreen>(m_window.get());
    ASSERT_TRUE(m_screen->IsReady());
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
