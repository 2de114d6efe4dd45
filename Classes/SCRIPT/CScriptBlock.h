#pragma once
// One element of a parsed scenario: a text run, a label, a tag with its attributes,
// or a parser message. A plain value type, copied freely.
#include <cstdint>
#include <map>
#include <string>

#include "CORE/ISerializable.h"

namespace kestrin {

class CScriptBlock : public ISerializable {
public:
    using AttributeMap = std::map<std::string, std::string>;

    enum Kind : int32_t { kText = 0, kLabel = 1, kTag = 2, kMessage = 3 };

    CScriptBlock() = default;
    CScriptBlock(int32_t kind, int32_t line, const std::string& name) : m_kind(kind), m_line(line), m_name(name) {}
    CScriptBlock(int32_t kind, int32_t line, std::string&& name, AttributeMap&& attributes)
        : m_kind(kind), m_line(line), m_name(std::move(name)), m_attributes(std::move(attributes)) {}
    CScriptBlock(const CScriptBlock&) = default;
    CScriptBlock(CScriptBlock&&) = default;
    CScriptBlock& operator=(const CScriptBlock&) = default;
    CScriptBlock& operator=(CScriptBlock&&) = default;
    ~CScriptBlock() override = default;
    // A deep copy of source: kind, line, name and the whole attribute map.
    void Assign(const CScriptBlock& source) { *this = source; }

    // Members 1 kind, 2 line, 3 name, 4 attributes; an absent member leaves its field.
    void Save(CSerializer* serializer) override;
    void Load(CSerializer* serializer) override;

    int32_t GetKind() const { return m_kind; }
    void SetKind(int32_t kind) { m_kind = kind; }
    int32_t GetLine() const { return m_line; }
    const std::string& GetName() const { return m_name; }
    void SetName(const std::string& name) { m_name = name; }
    const AttributeMap& GetAttributes() const { return m_attributes; }
    AttributeMap& GetAttributes() { return m_attributes; }

    bool HasAttribute(const std::string& name) const { return m_attributes.count(name) != 0; }
    // The value, or "" when absent.
    const std::string& GetAttribute(const std::string& name) const;
    // True when the block lacks the attribute (value left untouched); otherwise false with
    // the value copied, as every "true on failure" call of this code.
    bool LacksAttribute(const std::string& name, std::string& value) const;
    void SetAttribute(const std::string& name, const std::string& value) { m_attributes[name] = value; }

    // The block as one comma-separated line: a kind prefix, the name, then each attribute
    // name and value; commas in the name and values are written "\,".
    std::string ToCommaText() const;
    // "[name a="v" ...]": the tag as written, for messages about it.
    std::string ToTagText() const;
    // "file(line): [name a="v" ...] message".
    std::string Describe(const std::string& fileName, const std::string& message) const;

    bool operator==(const CScriptBlock& other) const {
        return m_kind == other.m_kind && m_line == other.m_line && m_name == other.m_name &&
               m_attributes == other.m_attributes;
    }
    bool operator!=(const CScriptBlock& other) const { return !(*this == other); }

private:
    int32_t m_kind = kTag;
    int32_t m_line = 0;
    std::string m_name;
    AttributeMap m_attributes;
};

}  // namespace kestrin
