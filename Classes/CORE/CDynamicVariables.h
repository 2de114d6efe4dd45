#pragma once
// Process-wide store of named settings computed at start-up (command line, folders,
// "system.ini" values). Values are strings, ints, bools or string maps; a missing name
// reads as the empty value of its kind.
#include <any>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

namespace kestrin {

class CDynamicVariables {
public:
    using StringMap = std::map<std::string, std::string>;

    static CDynamicVariables* GetInstance();
    static void ReleaseInstance();

    virtual ~CDynamicVariables();

    void SetString(const std::string& name, const std::string& value);
    void SetInt(const std::string& name, int32_t value);
    void SetBool(const std::string& name, bool value);
    void SetMap(const std::string& name, const StringMap& value);

    // Missing names give "", 0 and false. A name read as the wrong kind is logged and
    // also gives the empty value.
    std::string GetString(const std::string& name) const;
    int32_t GetInt(const std::string& name) const;
    bool GetBool(const std::string& name) const;

    // Read against their name: like the engine's other lookups these return true on failure,
    // that is when the name is absent (or of another kind); out is then left untouched.
    bool TryGetString(const std::string& name, std::string& out) const;
    bool TryGetMap(const std::string& name, StringMap& out) const;
    bool TryGetBool(const std::string& name, bool& out) const;
    bool TryGetInt(const std::string& name, int32_t& out) const;

private:
    CDynamicVariables();
    template <typename T>
    const T* Find(const std::string& name) const;

    std::unordered_map<std::string, std::any> m_values;
};

}  // namespace kestrin
