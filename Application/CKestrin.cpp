#include "Application/CKestrin.h"

#include "Application/ApplicationMessages.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CFps.h"
#include "CORE/CInput.h"
#include "CORE/Platform/IMessageBox.h"
#include "CORE/WindowMessages.h"
#include "GRAPHICS/CPictureChanges.h"
#include "GRAPHICS/TweenRegistry.h"

namespace kestrin {

namespace {
CKestrin::ScreenFactory& Screens() {
    static CKestrin::ScreenFactory factory;
    return factory;
}
CKestrin::ScriptFactory& Scripts() {
    static CKestrin::ScriptFactory factory;
    return factory;
}
}  // namespace

CKestrin::CKestrin()
    : CGameApplication(60),
      m_input(nullptr),
      m_screen(nullptr),
      m_script(nullptr),
      m_screenSaver(false),
      m_firstMousePoint(0, 0),
      m_left(false),
      m_startFailure(EStartFailure::None) {}

CKestrin::~CKestrin() {
    delete m_screen;
    m_screen = nullptr;
    delete m_script;
    m_script = nullptr;
    Destroy();
}

void CKestrin::SetFactories(ScreenFactory screenFactory, ScriptFactory scriptFactory) {
    Screens() = std::move(screenFactory);
    Scripts() = std::move(scriptFactory);
}

bool CKestrin::Create(int x, int y, int width, int height, const char* className, const char* title, uint32_t style,
                      int showCommand, WindowHandle parent) {
    CDynamicVariables* dv = CDynamicVariables::GetInstance();
    m_screenSaver = dv->GetBool("ini.ScreenSaver");
    m_startFailure = EStartFailure::Window;
    if (CreateFitted(x, y, width, height, className, title, style, showCommand, parent)) {
        const bool tooLarge = GetDesktopWidth() > 0 && GetDesktopHeight() > 0 &&
                              (width > GetDesktopWidth() || height > GetDesktopHeight());
        if (tooLarge) m_startFailure = EStartFailure::WindowTooLarge;
        return true;
    }
    SetFixedAspectRatio(dv->GetBool("ini.FixedAspectRatio"));
    m_input = CInput::CreateInstance(GetHandle());
    if (Screens()) m_screen = Screens()(*this).release();
    if (Scripts()) m_script = Scripts()(*this, m_screen).release();
    if (m_screen && m_screen->IsSoftwareRender()) {
        if (GetWidth() != width || GetHeight() != height) {
            m_startFailure = EStartFailure::WindowTooLarge;
            ShowMessageBox(appmsg::kDesktopTooSmall, "", kMessageBoxOk);
            return true;
        }
        Reposition(x, y, width, height, GetStyle() & ~(kWsThickFrame | kWsMaximizeBox));
    }
    m_startFailure = EStartFailure::BootScript;
    if (m_script && m_script->Start(0)) return true;
    m_startFailure = EStartFailure::None;
    return false;
}

void CKestrin::Update() {
    const uint32_t now = m_fps->GetTime();
    UpdateTweens(now);
    if (m_input) m_input->Update(now);
    m_fps->SetNoWait(m_script ? m_script->IsSkipping() : false);
    if (m_screen) m_screen->Update();
    if (m_script) {
        m_script->Update(now);
        if (m_script->GetState() == kStateQuit) PostDestroy();
    }
}

void CKestrin::Draw() {
    if (m_screen) m_screen->Draw();
}

void CKestrin::Idle() {
    if (m_script) m_script->Idle();
}

void CKestrin::PostDestroy() { PostWindowMessage(GetHandle(), kWmDestroy, 0, 0); }

void CKestrin::ToggleFullScreenRequest() {
    if (m_script) {
        m_script->ToggleFullScreen();
    } else if (!m_screen || !m_screen->IsSoftwareRender()) {
        ToggleFullScreen();
    }
}

bool CKestrin::OnMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t* result) {
    CGameWindow::OnMessage(window, message, wParam, lParam, result);
    // The window lost its picture: the next frame draws and presents even when nothing changed.
    if (message == kWmPaint) CPictureChanges::Mark();
    switch (message) {
        case kWmDestroy:
            // A quit state, the close box and a signal may all queue a destroy: leave once.
            if (!m_left) {
                m_left = true;
                if (m_script && m_script->GetState() != kStateQuit) m_script->Leave();
                PostQuitMessage(0);
            }
            break;
        case kWmSize:
            if (wParam == kSizeRestored) {
                if (m_script) m_script->UpdateTextFieldRect();
            } else if (wParam == kSizeMaximized) {
                // Maximising means full screen; a window already full screen stays so.
                if (!IsFullScreen()) ToggleFullScreenRequest();
            }
            break;
        case kWmClose: PostDestroy(); break;
        case kWmKeyDown:
            if (m_screenSaver) PostDestroy();
            // The text field's hook moves its cursor with these keys.
            return true;
        case kWmLButtonDown:
        case kWmRButtonDown:
        case kWmMButtonDown:
            if (m_screenSaver) PostDestroy();
            break;
        case kWmSysKeyDown: {
            if (m_screenSaver) PostDestroy();
            const bool repeat = (lParam & (intptr_t(1) << 30)) != 0;
            // A held Alt+Enter would flip back and forth with the key repeat.
            if (wParam == static_cast<uintptr_t>(kVkReturn) && !repeat) ToggleFullScreenRequest();
            if (wParam == static_cast<uintptr_t>(kVkF4)) PostDestroy();
            break;
        }
        case kWmMouseMove:
            if (m_screenSaver) {
                const CPoint point(LowWord(lParam), HighWord(lParam));
                if (m_firstMousePoint.GetX() == 0 && m_firstMousePoint.GetY() == 0) {
                    m_firstMousePoint = point;
                } else if (point.GetX() != m_firstMousePoint.GetX() || point.GetY() != m_firstMousePoint.GetY()) {
                    PostDestroy();
                }
            }
            break;
        case kWmMouseWheel: {
            if (m_screenSaver) PostDestroy();
            const int delta = HighWord(static_cast<intptr_t>(wParam));
            if (m_input) {
                if (delta == kWheelDelta) m_input->PushWheel(true);
                if (delta == kWheelDeltaBack) m_input->PushWheel(false);
            }
            break;
        }
        default: return true;
    }
    if (result) *result = 0;
    return false;
}

}  // namespace kestrin
