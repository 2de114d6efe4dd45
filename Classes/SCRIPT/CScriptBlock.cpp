#include "SCRIPT/CScriptBlock.h"

#include "CORE/CSerializer.h"
#include "CORE/StringHelpers.h"

namespace kestrin {

namespace {
// Commas are escaped by the Shift_JIS rule whatever the game's encoding.
std::string EscapeCommas(const std::string& text) { return StringReplaceAll(text, ",", "\\,"); }
}  // namespace

const std::string& CScriptBlock::GetAttribute(const std::string& name) const {
    static const std::string empty;
    auto it = m_attributes.find(name);
    return it == m_attributes.end() ? empty : it->second;
}

bool CScriptBlock::LacksAttribute(const std::string& name, std::string& value) const {
    auto it = m_attributes.find(name);
    if (it == m_attributes.end()) return true;
    value = it->second;
    return false;
}

void CScriptBlock::Save(CSerializer* serializer) {
    serializer->SaveInt(m_kind, 1);
    serializer->SaveInt(m_line, 2);
    serializer->SaveString(m_name, 3);
    serializer->SaveStringMap(m_attributes, 4);
}

void CScriptBlock::Load(CSerializer* serializer) {
    serializer->LoadInt(m_kind, 1);
    serializer->LoadInt(m_line, 2);
    serializer->LoadString(m_name, 3);
    serializer->LoadStringMap(m_attributes, 4);
}

std::string CScriptBlock::ToCommaText() const {
    std::string out;
    switch (m_kind) {
        case kText: out = "\\\\,"; break;
        case kLabel: out = "*,"; break;
        case kMessage: out = "`,"; break;
        default: break;
    }
    out += EscapeCommas(m_name);
    for (const auto& attribute : m_attributes) {
        out += ',';
        out += attribute.first;
        out += ',';
        out += EscapeCommas(attribute.second);
    }
    return out;
}

std::string CScriptBlock::ToTagText() const {
    std::string out = "[";
    out += m_name;
    for (const auto& attribute : m_attributes) {
        out += ' ';
        out += attribute.first;
        out += "=\"";
        out += attribute.second;
        out += '"';
    }
    out += ']';
    return out;
}

std::string CScriptBlock::Describe(const std::string& fileName, const std::string& message) const {
    return fileName + '(' + std::to_string(m_line) + "): " + ToTagText() + ' ' + message;
}

}  // namespace kestrin
