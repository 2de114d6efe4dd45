#pragma once
// The request of the "httpget" and "httppost" tags: built from the tag's attributes,
// advanced once per frame while the interpreter waits, and finally stored in the tag's
// variables before its completion jump, call or handler runs. One request at a time.
// A request (held after a cancel, or running) that moves less than kStallBytes in
// kStallWindowMs of the wall clock (real time, also in the harness) is given up, so that
// no server holds it for ever.
#include <cstdint>
#include <memory>
#include <string>

#include "NETWORK/CHttpSocket.h"
#include "NETWORK/IHttpScriptHost.h"

namespace kestrin {

class COruHttp {
public:
    static constexpr uint32_t kStallWindowMs = 60000;
    static constexpr int64_t kStallBytes = 1024;

    // The host outlives the request.
    explicit COruHttp(IHttpScriptHost* host) : m_host(host) {}
    virtual ~COruHttp() = default;
    COruHttp(const COruHttp&) = delete;
    COruHttp& operator=(const COruHttp&) = delete;

    // Starts the request of the tag. True, doing nothing, while a request is held.
    bool Request(const SHttpTag& tag);
    // One frame: true when the wait is over (no request, or the script cancelled).
    bool Update();
    // Stores the outcome in the tag's variables, drops the request and runs the tag's
    // completion action. A failure's text is engine text; a reply's body is moved into its
    // variable.
    void SetResult(int code, const char* text);
    void SetResult(int code, std::string text);
    bool IsHeld() const { return m_request != nullptr; }

private:
    bool BuildPost(std::map<std::string, std::string>& headers, const std::string& target);
    // A trace line of the host: the format is engine text (UTF-8), the arguments are in the
    // game's encoding.
    void Trace(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // A trace line when the text holds CR, LF or NUL (they would split the request).
    bool RefuseControl(const std::string& attribute, const std::string& value);
    // After a step that left the request going: true when it was given up for lack of progress.
    bool Stalled();

    IHttpScriptHost* m_host;
    std::shared_ptr<CHttpSocket> m_request;
    SHttpTag m_tag;
    // The watch window: when it started and the request's byte count then.
    uint32_t m_windowStart = 0;
    int64_t m_windowBytes = 0;
};

}  // namespace kestrin
