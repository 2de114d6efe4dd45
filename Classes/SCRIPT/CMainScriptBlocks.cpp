// Executing one block: trace, "$" substitution, text and the tag dispatch.
#include <unordered_map>

#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/tags/CMessageTags.h"
#include "SCRIPT/tags/TagMessages.h"

namespace kestrin {

namespace {

// Tag names are unique, so a hash table gives the same handler as comparing the names
// in their documented order. Tags without a handler (the parser runs them) and names not in
// the table fall through to the macro lookup.
const std::unordered_map<std::string, CMainScript::TagHandler>& TagTable() {
    static const std::unordered_map<std::string, CMainScript::TagHandler> table = [] {
        std::unordered_map<std::string, CMainScript::TagHandler> t;
        for (const auto& row : CMainScript::Tags())
            if (row.handler) t.emplace(row.name, row.handler);
        return t;
    }();
    return table;
}

}  // namespace

CMainScript::TagHandler CMainScript::FindTag(const std::string& name) {
    const auto& table = TagTable();
    auto it = table.find(name);
    return it == table.end() ? nullptr : it->second;
}

std::string CMainScript::Substitute(const std::string& value) {
    size_t dollars = 0;
    while (dollars < value.size() && value[dollars] == '$') ++dollars;
    if (dollars == 0) return value;
    std::string result = value.substr(dollars);
    for (size_t i = 0; i < dollars; ++i) result = m_variables->Evaluate(result);
    return result;
}

bool CMainScript::ExecuteBlock(CScriptBlock block, bool replay) {
    m_currentLine = block.GetLine();
    auto& attributes = block.GetAttributes();

    int traceLevel = block.GetKind() == CScriptBlock::kMessage ? 1 : 3;
    if (m_state.debugMode != 0 && !replay && traceLevel <= m_state.traceLevel) {
        std::string text;
        for (auto& attribute : attributes) {
            text += ' ';
            text += attribute.first;
            text += "=\"";
            text += attribute.second;
            text += '"';
            if (!attribute.second.empty() && attribute.second[0] == '$') {
                attribute.second = Substitute(attribute.second);
                text += '(';
                text += attribute.second;
                text += ')';
            }
        }
        TraceAt(traceLevel, block, "%s%s", block.GetName().c_str(), text.c_str());
    } else {
        for (auto& attribute : attributes) {
            if (!attribute.second.empty() && attribute.second[0] == '$')
                attribute.second = Substitute(attribute.second);
        }
    }

    switch (block.GetKind()) {
        case CScriptBlock::kText: return ExecuteText(block, replay);
        case CScriptBlock::kTag: break;
        default: return false;
    }

    const std::string& name = block.GetName();
    if (name.empty()) return true;

    TagHandler handler = FindTag(name);
    if (handler) return (this->*handler)(std::move(block), replay);
    CallMacro(std::move(block), replay);
    return false;
}

bool CMainScript::ExecuteText(CScriptBlock& block, bool replay) {
    if (m_messages->AddToRuby(block.GetName())) {
        if (!replay) RecordPageBlock(block);
        return false;
    }
    std::string rest;
    const bool emptyPage = IsMessagePageEmpty();
    int result = AddMessageText(block.GetName(), rest);
    // Text whose first character does not fit an empty page never will (a font taller than
    // the layer): retrying it on a new page would page forever.
    if (result == CTextRenderer::kPageFull && emptyPage && rest.size() == block.GetName().size())
        result = CTextRenderer::kTooWide;
    if (result == CTextRenderer::kTooWide) {
        TraceAt(2, block, tagmsg::kBlockTooWide, rest.c_str());
        return false;
    }
    if (result == CTextRenderer::kPageFull) {
        TraceAt(2, block, tagmsg::kMessageLayerOverflow, rest.c_str());
        const std::string& text = block.GetName();
        std::string placed = text.substr(0, text.size() - std::min(text.size(), rest.size()));
        BreakPageBefore(CScriptBlock(CScriptBlock::kText, 0, rest));
        if (!replay) RecordPageBlock(CScriptBlock(CScriptBlock::kText, 0, placed));
        return false;
    }
    if (!replay) RecordPageBlock(block);
    return false;
}

bool CMainScript::CallMacro(CScriptBlock block, bool replay) {
    (void)replay;
    // The script added last is searched first: its macros override earlier ones.
    const std::vector<std::string> files(m_state.macroFiles.rbegin(), m_state.macroFiles.rend());
    for (const std::string& file : files) {
        if (m_failedMacroFiles.count(file)) continue;
        std::string name = file;
        if (!m_scripts.count(name) && !m_scripts.count(name + ".iet") && LoadScript(name)) {
            // A missing macro file is not opened again on every unknown tag.
            m_failedMacroFiles.insert(file);
            continue;
        }
        // Too deep is not "not defined here": no other file is tried.
        if (IsCallTooDeep(name, block.GetName())) return false;
        if (Call(name, block.GetName())) continue;
        COruVariables* scope = m_variables->GetLocalScope();
        if (scope) {
            for (const auto& attribute : block.GetAttributes()) scope->SetString(attribute.first, attribute.second);
        }
        return false;
    }
    TraceAt(1, block, tagmsg::kUnknownTag, block.GetName().c_str());
    return false;
}

}  // namespace kestrin
