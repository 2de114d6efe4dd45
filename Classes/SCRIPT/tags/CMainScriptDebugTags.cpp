// Debug tags: "debug" sets the trace mode and level and makes the debug channel (mode 2)
// or the debug server (mode 3) on first use; "debugprint" writes one trace line.
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/tags/TagAttributes.h"

namespace kestrin {

bool CMainScript::TagDebug(CScriptBlock block, bool replay) {
    (void)replay;
    m_state.debugMode = TagInt(block, "mode");
    if (block.HasAttribute("level")) m_state.traceLevel = TagInt(block, "level");
    // Once made, channel and server stay until the interpreter ends.
    if (m_state.debugMode == 2 && !m_debugChannel) {
        m_debugChannel = std::make_unique<CProcessCommunication>(CProcessCommunication::GetDebugChannelName(), 0);
    }
    if (m_state.debugMode == 3) {
        if (!m_debugFactory) m_debugFactory = std::make_unique<CActorFactory>();
        if (!m_debugServer)
            m_debugServer = std::make_unique<CServerSocket>(m_debugFactory.get(), CServerSocket::GetDebugPort());
    }
    return false;
}

bool CMainScript::TagDebugprint(CScriptBlock block, bool replay) {
    (void)replay;
    TraceAt(TagInt(block, "level"), block, "%s %s", block.GetName().c_str(), block.GetAttribute("data").c_str());
    return false;
}

}  // namespace kestrin
