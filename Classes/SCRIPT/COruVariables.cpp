#include "SCRIPT/COruVariables.h"

#include <utility>

#include "CORE/CSerializer.h"

namespace kestrin {

namespace {
// Nesting of COruVariables::Load calls (single-threaded, like the whole interpreter).
int g_loadDepth = 0;
}  // namespace

COruVariables::~COruVariables() = default;

CVariant* COruVariables::Find(const std::string& name) {
    if (!m_scopes.empty()) {
        if (CVariant* v = m_scopes.back()->CVariables::Find(name)) return v;
    }
    return CVariables::Find(name);
}

int32_t COruVariables::GetInt(const std::string& name) {
    CVariant* v = Find(name);
    return v ? v->GetInt() : 0;
}

std::string COruVariables::GetString(const std::string& name) {
    CVariant* v = Find(name);
    return v ? v->GetString() : std::string();
}

void COruVariables::MarkChanged(const std::string& name) {
    if (name.size() >= 2 && name[1] == '.') {
        if (name[0] == 'g') m_gameChanged = true;
        if (name[0] == 's') m_systemChanged = true;
    }
}

bool COruVariables::SetInt(const std::string& name, int32_t value) {
    auto it = m_variables.find(name);
    if (it != m_variables.end()) {
        if (it->second.GetInt() == value) return false;
        MarkChanged(name);
        it->second.SetInt(value);
        return false;
    }
    MarkChanged(name);
    m_variables[name].SetInt(value);
    return false;
}

bool COruVariables::SetString(const std::string& name, const std::string& value) {
    auto it = m_variables.find(name);
    if (it != m_variables.end()) {
        if (it->second.GetString() == value) return false;
        MarkChanged(name);
        it->second.SetString(value);
        return false;
    }
    MarkChanged(name);
    m_variables[name].SetString(value);
    return false;
}

bool COruVariables::SetString(const std::string& name, std::string&& value) {
    auto it = m_variables.find(name);
    if (it != m_variables.end()) {
        if (it->second.GetString() == value) return false;
        MarkChanged(name);
        it->second.SetString(std::move(value));
        return false;
    }
    MarkChanged(name);
    m_variables[name].SetString(std::move(value));
    return false;
}

bool COruVariables::TakeGameChanged() {
    bool changed = m_gameChanged;
    m_gameChanged = false;
    return changed;
}

bool COruVariables::TakeSystemChanged() {
    bool changed = m_systemChanged;
    m_systemChanged = false;
    return changed;
}

COruVariables* COruVariables::PushLocalScope() {
    auto scope = std::make_unique<COruVariables>();
    scope->SetEncoding(GetEncoding());
    m_scopes.push_back(std::move(scope));
    return m_scopes.back().get();
}

void COruVariables::PopLocalScope() {
    if (!m_scopes.empty()) m_scopes.pop_back();
}

COruVariables* COruVariables::GetLocalScope() { return m_scopes.empty() ? nullptr : m_scopes.back().get(); }

void COruVariables::Save(CSerializer* serializer) {
    serializer->SaveByteSet(GetQuoteCharacters(), 1);
    std::unordered_map<std::string, std::string> game;
    for (const auto& v : m_variables) {
        const std::string& name = v.first;
        bool savedElsewhere =
            name.size() >= 2 && name[1] == '.' && (name[0] == 'g' || name[0] == 's' || name[0] == 't');
        if (!savedElsewhere) game.emplace(name, v.second.GetString());
    }
    serializer->SaveStringHashMap(game, 2);
    serializer->SaveVariablesPtrList(m_scopes, 3);
}

void COruVariables::Load(CSerializer* serializer) {
    std::set<unsigned char> quotes = GetQuoteCharacters();
    serializer->LoadByteSet(quotes, 1);
    SetQuoteCharacters(quotes);
    if (!serializer->FindMember(2, false)) {
        std::unordered_map<std::string, std::string> game;
        serializer->LoadStringHashMap(game, 2);
        m_variables.clear();
        m_loadOrder.clear();
        for (const auto& v : game) {
            auto slot = m_variables.try_emplace(v.first).first;
            slot->second.SetString(v.second);
            m_loadOrder.push_back(&slot->first);
        }
    }
    // Only the store itself has scopes; the scope lists of scopes are never made, and a damaged
    // or crafted save that nests them is not followed (no unbounded recursion on load).
    if (g_loadDepth > 0) return;
    ++g_loadDepth;
    serializer->LoadVariablesPtrList(m_scopes, 3);
    --g_loadDepth;
    for (auto& scope : m_scopes)
        if (scope) scope->SetEncoding(GetEncoding());
}

void COruVariables::TakeLoaded(COruVariables& loaded) {
    SetQuoteCharacters(loaded.GetQuoteCharacters());
    // Set in the order the load set them, so that the table iterates (and a later save
    // writes) as it would after a load straight into this store.
    for (const std::string* name : loaded.m_loadOrder)
        m_variables[*name].SetString(loaded.m_variables[*name].GetString());
    loaded.m_loadOrder.clear();
    m_scopes = std::move(loaded.m_scopes);
    for (auto& scope : m_scopes)
        if (scope) scope->SetEncoding(GetEncoding());
}

void COruVariables::Clear() {
    m_variables.clear();
    m_scopes.clear();
}

}  // namespace kestrin
