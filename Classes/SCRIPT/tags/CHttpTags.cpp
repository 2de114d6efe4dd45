#include "SCRIPT/tags/CHttpTags.h"

#include <utility>

#include "CORE/WindowMessages.h"
#include "NETWORK/COruHttp.h"
#include "NETWORK/UnisonSync.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/IHttpTagHost.h"
#include "SCRIPT/tags/TagMessages.h"

namespace kestrin {

CHttpTags::CHttpTags(IHttpTagHost& host) : m_host(host) {}

CHttpTags::~CHttpTags() = default;

bool CHttpTags::TagHttpget(CScriptBlock block, bool replay) {
    (void)replay;
    m_host.BeginHttpWait();
    m_host.GetHttpVariables().SetInt("s.http.cancel", 0);
    IHttpScriptHost* self = this;
    if (!m_http) m_http = std::make_unique<COruHttp>(self);
    SHttpTag tag;
    tag.name = block.GetName();
    tag.line = block.GetLine();
    tag.attributes = block.GetAttributes();
    m_http->Request(tag);
    return false;
}

bool CHttpTags::Update() { return !m_http || m_http->Update(); }

void CHttpTags::TraceHttp(const char* format, va_list args) { m_host.TraceHttpRequest(0, format, args); }

std::string CHttpTags::EngineText(const char* utf8) const { return m_host.EngineText(utf8); }

bool CHttpTags::IsHttpCancelled() { return m_host.GetHttpVariables().GetInt("s.http.cancel") != 0; }

void CHttpTags::SetHttpResult(const std::string& variable, int32_t value) {
    m_host.GetHttpVariables().SetInt(variable, value);
}

void CHttpTags::SetHttpResult(const std::string& variable, std::string&& value) {
    m_host.GetHttpVariables().SetString(variable, std::move(value));
}

void CHttpTags::RunHttpCompletion(const SHttpTag& tag) {
    m_host.RunHttpCompletion(
        CScriptBlock(CScriptBlock::kTag, tag.line, std::string(tag.name), CScriptBlock::AttributeMap(tag.attributes)));
}

bool CHttpTags::TagUnison(CScriptBlock block, bool replay) {
    (void)replay;
    SUnisonOptions options;
    options.textEncoding = m_host.GetHttpTextEncoding();
    // The close itself stays queued: the main loop closes the game (and autosaves) as usual.
    options.closeRequested = [] { return IsCloseRequested(); };
    const std::string message =
        UnisonSync(block.GetAttribute("file"), block.GetAttribute("server"), block.GetAttribute("appname"),
                   block.GetAttribute("id"), block.GetAttribute("pass"), options);
    if (!message.empty()) {
        TraceAt(1, block, tagmsg::kTagFailed, block.GetName().c_str(), message.c_str());
        m_host.GetHttpVariables().SetString("s.result", message);
    }
    return false;
}

void CHttpTags::TraceAt(int level, const CScriptBlock& block, const char* format, ...) {
    va_list args;
    va_start(args, format);
    m_host.TraceTagAt(level, block, format, args);
    va_end(args);
}

}  // namespace kestrin
