#include "CORE/Platform/InputMethodSession.h"

namespace kestrin {

bool InputMethodSession::Start(bool focused) {
    if (!m_tried) {
        m_tried = true;
        if (m_factory) m_client = m_factory();
    }
    if (!m_client || !m_client->IsUsable()) return false;
    if (!m_owns) {
        m_owns = true;
        // Whatever an earlier text left behind is not this one's.
        m_client->Reset();
        if (focused) m_client->FocusIn();
    }
    return true;
}

void InputMethodSession::Stop() {
    if (!m_owns) return;
    m_owns = false;
    m_client->Reset();
    m_client->FocusOut();
    // Signals still on their way belong to the text that ended.
    std::vector<SWindowEvent> dropped;
    m_client->Poll(dropped);
}

void InputMethodSession::FocusChanged(bool gained) {
    if (!m_owns) return;
    if (gained) {
        m_client->FocusIn();
    } else {
        m_client->FocusOut();
    }
}

void InputMethodSession::SetCursorRect(int x, int y, int width, int height) {
    if (m_owns) m_client->SetCursorRect(x, y, width, height);
}

bool InputMethodSession::Key(const SInputMethodKey& key) { return m_owns && m_client->ProcessKey(key); }

bool InputMethodSession::Poll(std::vector<SWindowEvent>& out) {
    if (!m_owns) return true;
    m_client->Poll(out);
    if (m_client->IsUsable()) return true;
    m_owns = false;
    return false;
}

}  // namespace kestrin
