// Macro tags: "macroadd" and "macrodel" keep the list of scripts searched for macros.
#include <algorithm>

#include "SCRIPT/CMainScript.h"

namespace kestrin {

bool CMainScript::TagMacroadd(CScriptBlock block, bool replay) {
    (void)replay;
    const std::string& file = block.GetAttribute("file");
    if (std::find(m_state.macroFiles.begin(), m_state.macroFiles.end(), file) != m_state.macroFiles.end()) return false;
    m_state.macroFiles.push_back(file);
    m_failedMacroFiles.clear();
    return false;
}

bool CMainScript::TagMacrodel(CScriptBlock block, bool replay) {
    (void)replay;
    auto it = std::find(m_state.macroFiles.begin(), m_state.macroFiles.end(), block.GetAttribute("file"));
    if (it == m_state.macroFiles.end()) return false;
    m_state.macroFiles.erase(it);
    m_failedMacroFiles.clear();
    return false;
}

}  // namespace kestrin
