#include "SCRIPT/CVariables.h"

#include "CORE/CSerializer.h"

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

void CVariables::SaveWithPrefix(CSerializer* serializer, const std::string& prefix, unsigned key) const {
    std::unordered_map<std::string, std::string> saved;
    for (const auto& v : m_variables)
        if (v.first.compare(0, prefix.size(), prefix) == 0) saved.emplace(v.first, v.second.GetString());
    serializer->SaveStringHashMap(saved, key);
}

void CVariables::LoadWithPrefix(CSerializer* serializer, unsigned key) {
    std::unordered_map<std::string, std::string> saved;
    serializer->LoadStringHashMap(saved, key);
    for (const auto& v : saved) m_variables[v.first].SetString(v.second);
}

bool CVariables::SetString(const std::string& name, const std::string& value) {
    m_variables[name].SetString(value);
    return false;
}

}  // namespace kestrin
