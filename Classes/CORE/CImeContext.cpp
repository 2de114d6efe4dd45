#include "CORE/CImeContext.h"

namespace kestrin {

CImeContext& CImeContext::GetInstance() {
    static CImeContext context;
    return context;
}

uint32_t CImeContext::AddResult(const std::string& utf8) {
    const uint32_t serial = m_nextSerial++;
    if (m_nextSerial == 0) m_nextSerial = 1;
    m_results.emplace_back(serial, utf8);
    while (m_results.size() > kKeptResults) m_results.pop_front();
    return serial;
}

std::string CImeContext::GetResult(uint32_t serial) const {
    for (const auto& entry : m_results) {
        if (entry.first == serial) return entry.second;
    }
    return std::string();
}

void CImeContext::SetCandidates(const std::vector<std::string>& utf8, int selected) {
    m_candidates = utf8;
    m_selection = selected >= 0 && static_cast<size_t>(selected) < utf8.size() ? selected : -1;
}

void CImeContext::Clear() {
    m_results.clear();
    m_composition.clear();
    m_candidates.clear();
    m_selection = -1;
}

}  // namespace kestrin
