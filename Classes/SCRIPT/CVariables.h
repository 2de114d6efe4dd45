#pragma once
// A table of script variables by name (case-sensitive byte strings).
#include <cstdint>
#include <string>
#include <unordered_map>

#include "SCRIPT/CVariant.h"

namespace kestrin {

class CSerializer;

class CVariables {
public:
    // Elements of an unordered_map never move, so a CVariant* stays valid while
    // other variables are created.
    using Table = std::unordered_map<std::string, CVariant>;

    CVariables() : m_variables(11) {}
    virtual ~CVariables() = default;

    // The variable, or null when there is none of that name.
    virtual CVariant* Find(const std::string& name);
    // The value's int form, 0 when absent.
    virtual int32_t GetInt(const std::string& name);
    // The value's string form, "" when absent.
    virtual std::string GetString(const std::string& name);
    // Create the variable when absent and set it; both return false.
    virtual bool SetInt(const std::string& name, int32_t value);
    virtual bool SetString(const std::string& name, const std::string& value);

    const Table& GetTable() const { return m_variables; }

    // One member (a hash map name -> string form) of every variable whose name begins with prefix.
    void SaveWithPrefix(CSerializer* serializer, const std::string& prefix, unsigned key) const;
    // Sets every name of such a member as a string variable; other variables stay.
    void LoadWithPrefix(CSerializer* serializer, unsigned key);

protected:
    Table m_variables;
};

}  // namespace kestrin
