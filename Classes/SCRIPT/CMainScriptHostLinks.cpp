// The interpreter's side of the HTTP and debug tags (tags/CHttpTags.cpp and
// tags/CDebugTags.cpp hold them, their request and their links): the families are made here,
// the handlers the tag table names forward to them, and they reach the interpreter through
// IHttpTagHost and IDebugTagHost.
#include <utility>

#include "SCRIPT/CMainScript.h"
#include "SCRIPT/tags/CDebugTags.h"
#include "SCRIPT/tags/CHttpTags.h"

namespace kestrin {

void CMainScript::CreateHostLinks() {
    IHttpTagHost& httpHost = *this;
    IDebugTagHost& debugHost = *this;
    m_http = std::make_unique<CHttpTags>(httpHost);
    m_debug = std::make_unique<CDebugTags>(debugHost);
}

bool CMainScript::TagHttpget(CScriptBlock block, bool replay) { return m_http->TagHttpget(std::move(block), replay); }

COruVariables& CMainScript::GetHttpVariables() { return *m_variables; }
void CMainScript::BeginHttpWait() { SetStatus(STAT_HTTP); }
int CMainScript::GetHttpTextEncoding() const { return m_textEncoding; }
void CMainScript::RunHttpCompletion(const CScriptBlock& block) { RunEventBlock(block); }
void CMainScript::TraceHttpRequest(int level, const char* format, va_list args) { TraceList(level, format, args); }

void CMainScript::SetDebugTraceMode(int mode) { m_state.debugMode = mode; }
void CMainScript::SetDebugTraceLevel(int level) { m_state.traceLevel = level; }
void CMainScript::TraceTagAt(int level, const CScriptBlock& block, const char* format, va_list args) {
    ReportAt(REPORT_TRACE, level, m_state.caret.file, block.GetLine(), format, args);
}

}  // namespace kestrin
