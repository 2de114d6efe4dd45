// HTTP tags: "httpget" and "httppost" start a request and wait for it (caret status 8,
// advanced each frame by the request object); "unison" synchronises one save file with a
// save-data server while the frame waits.
#include "CORE/StringHelpers.h"
#include "NETWORK/COruHttp.h"
#include "NETWORK/UnisonSync.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"

namespace kestrin {

bool CMainScript::TagHttpget(CScriptBlock block, bool replay) {
    (void)replay;
    SetStatus(STAT_HTTP);
    m_variables->SetInt("s.http.cancel", 0);
    if (!m_http) m_http = std::make_unique<COruHttp>(this);
    m_http->Request(block);
    return false;
}

bool CMainScript::TagUnison(CScriptBlock block, bool replay) {
    (void)replay;
    SUnisonOptions options;
    options.textEncoding = m_textEncoding;
    const std::string message =
        UnisonSync(block.GetAttribute("file"), block.GetAttribute("server"), block.GetAttribute("appname"),
                   block.GetAttribute("id"), block.GetAttribute("pass"), options);
    if (!message.empty()) {
        Trace(1, "%s(%d): [%s] %s", m_state.caret.file.c_str(), block.GetLine(), block.GetName().c_str(), message.c_str());
        m_variables->SetString("s.result", message);
    }
    return false;
}

}  // namespace kestrin
