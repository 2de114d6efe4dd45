// Debug tags: "debug" sets the trace mode and level, "debugprint" writes one trace line.
// The debug channel (mode 2) and the debug server (mode 3) come with the network links;
// until then those modes trace into nothing.
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/tags/TagAttributes.h"

namespace kestrin {

bool CMainScript::TagDebug(CScriptBlock block, bool replay) {
    (void)replay;
    m_debugMode = TagInt(block, "mode");
    if (block.HasAttribute("level")) m_traceLevel = TagInt(block, "level");
    return false;
}

bool CMainScript::TagDebugprint(CScriptBlock block, bool replay) {
    (void)replay;
    Trace(TagInt(block, "level"), "%s(%d): %s %s", m_caret.file.c_str(), block.GetLine(), block.GetName().c_str(),
          block.GetAttribute("data").c_str());
    return false;
}

}  // namespace kestrin
