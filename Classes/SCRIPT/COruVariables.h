#pragma once
// The interpreter's variable store: a global table, a stack of macro-local scopes,
// and change flags for the persistent "g." and "s." name spaces.
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "CORE/ISerializable.h"
#include "SCRIPT/CCompute.h"

namespace kestrin {

class COruVariables : public CCompute, public ISerializable {
public:
    COruVariables() = default;
    ~COruVariables() override;

    // The innermost local scope answers when it has the name; else the global table.
    CVariant* Find(const std::string& name) override;
    int32_t GetInt(const std::string& name) override;
    std::string GetString(const std::string& name) override;
    // Write the global table; an unchanged value (read in the same form) does nothing.
    bool SetInt(const std::string& name, int32_t value) override;
    bool SetString(const std::string& name, const std::string& value) override;
    // The same, taking the text over (a large one is not copied).
    bool SetString(const std::string& name, std::string&& value);

    // Return the flag and clear it.
    virtual bool TakeGameChanged();
    virtual bool TakeSystemChanged();

    // A new empty scope with the same encoding becomes the innermost one.
    COruVariables* PushLocalScope();
    // Deletes the innermost scope; nothing when there is none.
    void PopLocalScope();
    // The innermost scope, or null.
    COruVariables* GetLocalScope();
    size_t GetLocalScopeCount() const { return m_scopes.size(); }

    // Member 1 the quote characters, 2 the game variables (not "g.", "s." or "t.") as strings,
    // 3 the local scopes from outermost to innermost.
    void Save(CSerializer* serializer) override;
    // Empties the whole global table first; the scopes are replaced.
    void Load(CSerializer* serializer) override;

    // Empties the global table (every name space) and the local scopes.
    void Clear();
    // After Clear: takes the quote characters, game variables and scopes that Load read into
    // loaded (a store decoded apart, so that a damaged save never touches this one).
    void TakeLoaded(COruVariables& loaded);

private:
    void MarkChanged(const std::string& name);

    std::deque<std::unique_ptr<COruVariables>> m_scopes;
    // The names Load set, in its order (keys of m_variables, which never move).
    std::vector<const std::string*> m_loadOrder;
    bool m_gameChanged = false;
    bool m_systemChanged = false;
};

}  // namespace kestrin
