#include "CORE/CKeyConfig.h"

#include "CORE/CInput.h"

namespace kestrin {

namespace {
bool Flag(const std::map<int, bool>& flags, int role) {
    auto it = flags.find(role);
    return it != flags.end() && it->second;
}
}  // namespace

CKeyConfig::CKeyConfig() : m_input(CInput::GetInstance()) {}

CKeyConfig::~CKeyConfig() = default;

CInput* CKeyConfig::Input() {
    // Made before the input object exists (tests, a failed window): take it when it does.
    if (!m_input) m_input = CInput::GetInstance();
    return m_input;
}

void CKeyConfig::AddKey(int role, int key) {
    if (key == CInput::kWheelUpKey) {
        m_wheelUp[role] = true;
    } else if (key == CInput::kWheelDownKey) {
        m_wheelDown[role] = true;
    } else {
        m_keys[role].insert(key);
    }
}

void CKeyConfig::ClearKeys(int role) {
    m_keys[role].clear();
    m_wheelUp[role] = false;
    m_wheelDown[role] = false;
}

bool CKeyConfig::IsDown(int role) {
    CInput* input = Input();
    if (!input) return false;
    const bool w1 = Flag(m_wheelUp, role) && input->IsDown(CInput::kWheelUpKey);
    const bool w2 = Flag(m_wheelDown, role) && input->IsDown(CInput::kWheelDownKey);
    if (w1 || w2) return true;
    auto it = m_keys.find(role);
    if (it == m_keys.end()) return false;
    for (int key : it->second) {
        if (input->IsDown(key)) return true;
    }
    return false;
}

bool CKeyConfig::IsDecide(int role) {
    CInput* input = Input();
    if (!input) return false;
    const bool w1 = Flag(m_wheelUp, role) && input->IsDecide(CInput::kWheelUpKey);
    const bool w2 = Flag(m_wheelDown, role) && input->IsDecide(CInput::kWheelDownKey);
    if (w1 || w2) return true;
    auto it = m_keys.find(role);
    if (it == m_keys.end()) return false;
    for (int key : it->second) {
        if (input->IsDecide(key)) return true;
    }
    return false;
}

}  // namespace kestrin
