// Flow tags: jump, call, return, exit.
#include "SCRIPT/CMainScript.h"

namespace kestrin {

namespace {

std::string Attribute(const CScriptBlock& block, const char* name) {
    auto it = block.GetAttributes().find(name);
    return it == block.GetAttributes().end() ? std::string() : it->second;
}

}  // namespace

bool CMainScript::TagJump(CScriptBlock block, bool replay) {
    (void)replay;
    std::string file = Attribute(block, "file");
    std::string label = Attribute(block, "label");
    if (Jump(file, label)) {
        Trace(1, "%s(%d): [%s file=\"%s\" label=\"%s\"] 指定された場所は見つかりません。", m_caret.file.c_str(),
              block.GetLine(), block.GetName().c_str(), file.c_str(), label.c_str());
    }
    return false;
}

bool CMainScript::TagCall(CScriptBlock block, bool replay) {
    (void)replay;
    std::string file = Attribute(block, "file");
    std::string label = Attribute(block, "label");
    if (Call(file, label)) {
        Trace(1, "%s(%d): [%s file=\"%s\" label=\"%s\"] 指定された場所は見つかりません。", m_caret.file.c_str(),
              block.GetLine(), block.GetName().c_str(), file.c_str(), label.c_str());
    }
    return false;
}

bool CMainScript::TagReturn(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    if (PopCallStack()) {
        SetStatus(STAT_QUIT);
        return true;
    }
    return m_caret.status != STAT_RUN;
}

bool CMainScript::TagExit(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    SetStatus(STAT_QUIT);
    return false;
}

}  // namespace kestrin
