#include "GRAPHICS/CTweenQueue.h"

namespace kestrin {

CTweenQueue::~CTweenQueue() {
    for (ITween* t : m_tweens) delete t;
}

void CTweenQueue::Push(ITween* tween) {
    if (tween) m_tweens.push_back(tween);
}

bool CTweenQueue::Update(uint32_t now) {
    if (m_current)  // re-entered from inside the running tween: nothing to do now
        return false;
    while (!m_tweens.empty()) {
        m_current.reset(m_tweens.front());
        m_tweens.pop_front();
        m_dropped = false;
        const bool finished = m_current->Update(now);
        if (m_dropped) {
            m_current.reset();
            return true;
        }
        if (!finished) {
            m_tweens.push_front(m_current.release());
            return false;
        }
        m_current.reset();
    }
    return true;
}

void CTweenQueue::Stop() {
    if (m_current) {
        m_current->Stop();
        m_dropped = true;
    }
    while (!m_tweens.empty()) {
        std::unique_ptr<ITween> t(m_tweens.front());
        m_tweens.pop_front();
        t->Stop();
    }
}

void CTweenQueue::Finish() {
    if (m_current) {
        m_current->Finish();
        m_dropped = true;
    }
    while (!m_tweens.empty()) {
        std::unique_ptr<ITween> t(m_tweens.front());
        m_tweens.pop_front();
        t->Finish();
    }
}

}  // namespace kestrin
