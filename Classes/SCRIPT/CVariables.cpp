#include "SCRIPT/CVariables.h"

namespace kestrin {

CVariant* CVariables::Find(const std::string& name) {
    auto it = m_variables.find(name);
    return it == m_variables.end() ? nullptr : &it->second;
}

int32_t CVariables::GetInt(const std::string& name) {
    CVariant* v = CVariables::Find(name);
    return v ? v->GetInt() : 0;
}

std::string CVariables::GetString(const std::string& name) {
    CVariant* v = CVariables::Find(name);
    return v ? v->GetString() : std::string();
}

bool CVariables::SetInt(const std::string& name, int32_t value) {
    m_variables[name].SetInt(value);
    return false;
}

bool CVariables::SetString(const std::string& name, const std::string& value) {
    m_variables[name].SetString(value);
    return false;
}

}  // namespace kestrin
