#include "Application/CKestrinScreen.h"

#include "GRAPHICS/CMainScreen.h"

namespace kestrin {

CKestrinScreen::CKestrinScreen(CKestrin& application)
    : m_application(application),
      m_screen(std::make_unique<CMainScreen>(&application)),
      m_clientWidth(application.GetClientWidth()),
      m_clientHeight(application.GetClientHeight()) {}

CKestrinScreen::~CKestrinScreen() = default;

void CKestrinScreen::Update() {
    // The window notes each new client size as it is reported; the screen follows it here,
    // before the frame's passes.
    const int width = m_application.GetClientWidth(), height = m_application.GetClientHeight();
    if (width != m_clientWidth || height != m_clientHeight) {
        m_clientWidth = width;
        m_clientHeight = height;
        m_screen->OnResize();
    }
    m_screen->Update();
}

void CKestrinScreen::Draw() { m_screen->Draw(); }

bool CKestrinScreen::IsSoftwareRender() const { return m_screen->IsSoftware(); }

CKestrin::ScreenFactory CKestrinScreen::Factory() {
    return [](CKestrin& application) -> std::unique_ptr<CKestrin::IScreen> {
        return std::make_unique<CKestrinScreen>(application);
    };
}

}  // namespace kestrin
