#include "CORE/CGameApplication.h"

#include "CORE/CFps.h"
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
    if (!m_fps->IsSkipFrame()) Draw();
    CLogWindow::Refresh();
    return false;
}

}  // namespace kestrin
