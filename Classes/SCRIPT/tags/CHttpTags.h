#pragma once
// The HTTP tags and the request they wait for. "httpget" and "httppost" start a request and
// make the caret wait (status 8) while the frame step advances it; its outcome goes to the
// tag's variables and its completion runs. "unison" synchronises one save file with a
// save-data server while the frame waits, giving way at once to a request to close the game.
//
// Everything else of the interpreter is reached through IHttpTagHost.
#include <cstdarg>
#include <cstdint>
#include <memory>
#include <string>

#include "NETWORK/IHttpScriptHost.h"
#include "SCRIPT/CScriptBlock.h"

namespace kestrin {

class COruHttp;
class IHttpTagHost;

class CHttpTags : private IHttpScriptHost {
public:
    // The host outlives the family.
    explicit CHttpTags(IHttpTagHost& host);
    // A request still held is dropped (its socket closes, nothing is stored or run).
    ~CHttpTags() override;
    CHttpTags(const CHttpTags&) = delete;
    CHttpTags& operator=(const CHttpTags&) = delete;

    // The handlers, in the interpreter's handler form (false: the script goes on).
    bool TagHttpget(CScriptBlock block, bool replay);  // "httpget" and "httppost"
    bool TagUnison(CScriptBlock block, bool replay);

    // Once a frame while the caret waits: true when the wait is over (no request, the request
    // ended, or the script cancelled).
    bool Update();

private:
    void TraceHttp(const char* format, va_list args) override;
    std::string EngineText(const char* utf8) const override;
    bool IsHttpCancelled() override;
    void SetHttpResult(const std::string& variable, int32_t value) override;
    void SetHttpResult(const std::string& variable, std::string&& value) override;
    void RunHttpCompletion(const SHttpTag& tag) override;
    void TraceAt(int level, const CScriptBlock& block, const char* format, ...) __attribute__((format(printf, 4, 5)));

    IHttpTagHost& m_host;
    // Made by the first request.
    std::unique_ptr<COruHttp> m_http;
};

}  // namespace kestrin
