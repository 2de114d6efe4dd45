// HTTP tags: "httpget" and "httppost" start a request and wait for it (caret status 8,
// advanced each frame by the request object); "unison" synchronises one save file with a
// save-data server while the frame waits, giving way at once to a request to close the game.
#include "CORE/StringHelpers.h"
#include "CORE/WindowMessages.h"
#include "NETWORK/COruHttp.h"
#include "NETWORK/UnisonSync.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/tags/TagMessages.h"

namespace kestrin {

bool CMainScript::TagHttpget(CScriptBlock block, bool replay) {
    (void)replay;
    SetStatus(STAT_HTTP);
    m_variables->SetInt("s.http.cancel", 0);
    if (!m_http) m_http = std::make_unique<COruHttp>(this);
    SHttpTag tag;
    tag.name = block.GetName();
    tag.line = block.GetLine();
    tag.attributes = block.GetAttributes();
    m_http->Request(tag);
    return false;
}

void CMainScript::TraceHttp(const char* format, va_list args) { TraceList(0, format, args); }

bool CMainScript::IsHttpCancelled() { return m_variables->GetInt("s.http.cancel") != 0; }

void CMainScript::SetHttpResult(const std::string& variable, int32_t value) { m_variables->SetInt(variable, value); }

void CMainScript::SetHttpResult(const std::string& variable, std::string&& value) {
    m_variables->SetString(variable, std::move(value));
}

void CMainScript::RunHttpCompletion(const SHttpTag& tag) {
    RunEventBlock(
        CScriptBlock(CScriptBlock::kTag, tag.line, std::string(tag.name), CScriptBlock::AttributeMap(tag.attributes)));
}

bool CMainScript::TagUnison(CScriptBlock block, bool replay) {
    (void)replay;
    SUnisonOptions options;
    options.textEncoding = m_textEncoding;
    // The close itself stays queued: the main loop closes the game (and autosaves) as usual.
    options.closeRequested = [] { return IsCloseRequested(); };
    const std::string message =
        UnisonSync(block.GetAttribute("file"), block.GetAttribute("server"), block.GetAttribute("appname"),
                   block.GetAttribute("id"), block.GetAttribute("pass"), options);
    if (!message.empty()) {
        TraceAt(1, block, tagmsg::kTagFailed, block.GetName().c_str(), message.c_str());
        m_variables->SetString("s.result", message);
    }
    return false;
}

}  // namespace kestrin
