#include "CORE/CGameApplication.h"

#include "CORE/CFps.h"
#include "CORE/CFrameDemand.h"
#include "CORE/CLogWindow.h"
#include "CORE/WindowMessages.h"

namespace kestrin {

CGameApplication::CGameApplication(unsigned fps) : m_fps(new CFps(fps)) {}

CGameApplication::~CGameApplication() { delete m_fps; }

int CGameApplication::Run() {
    while (!RunFrame()) {
    }
    return 0;
}

bool CGameApplication::RunFrame() {
    PumpWindowEvents();
    SMessage message;
    while (PeekWindowMessage(message)) {
        if (message.message == kWmQuit) return true;
        DispatchWindowMessage(message);
    }
    m_fps->Wait();
    Update();
    if (!m_fps->IsSkipFrame()) {
        Draw();
        Idle();
    }
    CLogWindow::Refresh();
    Rest();
    return false;
}

void CGameApplication::Rest() {
    const uint32_t rest = CFrameDemand::Take(kMaxRestMs);
    // The pacer's own sleep covers a frame period; a longer quiet waits for events, and the
    // frame after it runs at once, whether an event or the time ended the wait.
    if (rest * static_cast<int64_t>(m_fps->GetFps()) <= 1000) return;
    if (WaitWindowEvents(rest)) m_fps->Restart();
}

}  // namespace kestrin
