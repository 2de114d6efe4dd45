#include "CORE/CDynamicVariables.h"

#include "CORE/CLogWindow.h"

namespace kestrin {

namespace {
CDynamicVariables* g_dynamicVariables = nullptr;
}

CDynamicVariables* CDynamicVariables::GetInstance() {
    if (!g_dynamicVariables) g_dynamicVariables = new CDynamicVariables();
    return g_dynamicVariables;
}

void CDynamicVariables::ReleaseInstance() {
    delete g_dynamicVariables;
    g_dynamicVariables = nullptr;
}

CDynamicVariables::CDynamicVariables() : m_values(11) {}

CDynamicVariables::~CDynamicVariables() = default;

void CDynamicVariables::SetString(const std::string& name, const std::string& value) { m_values[name] = value; }
void CDynamicVariables::SetInt(const std::string& name, int32_t value) { m_values[name] = value; }
void CDynamicVariables::SetBool(const std::string& name, bool value) { m_values[name] = value; }
void CDynamicVariables::SetMap(const std::string& name, const StringMap& value) { m_values[name] = value; }

template <typename T>
const T* CDynamicVariables::Find(const std::string& name) const {
    auto it = m_values.find(name);
    if (it == m_values.end()) return nullptr;
    const T* value = std::any_cast<T>(&it->second);
    // Each name has one kind; a read of another kind is a coding mistake, not bad input.
    if (!value)
        Log(ELogLevel::Error, "CDynamicVariables", "\"%s\" is read as another kind than it was written", name.c_str());
    return value;
}

std::string CDynamicVariables::GetString(const std::string& name) const {
    const std::string* v = Find<std::string>(name);
    return v ? *v : std::string();
}

int32_t CDynamicVariables::GetInt(const std::string& name) const {
    const int32_t* v = Find<int32_t>(name);
    return v ? *v : 0;
}

bool CDynamicVariables::GetBool(const std::string& name) const {
    const bool* v = Find<bool>(name);
    return v ? *v : false;
}

bool CDynamicVariables::TryGetString(const std::string& name, std::string& out) const {
    const std::string* v = Find<std::string>(name);
    if (!v) return true;
    out = *v;
    return false;
}

bool CDynamicVariables::TryGetMap(const std::string& name, StringMap& out) const {
    const StringMap* v = Find<StringMap>(name);
    if (!v) return true;
    out = *v;
    return false;
}

bool CDynamicVariables::TryGetBool(const std::string& name, bool& out) const {
    const bool* v = Find<bool>(name);
    if (!v) return true;
    out = *v;
    return false;
}

bool CDynamicVariables::TryGetInt(const std::string& name, int32_t& out) const {
    const int32_t* v = Find<int32_t>(name);
    if (!v) return true;
    out = *v;
    return false;
}

}  // namespace kestrin
