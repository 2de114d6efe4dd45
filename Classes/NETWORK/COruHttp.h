#pragma once
// The request of the "httpget" and "httppost" tags: built from the tag's attributes,
// advanced once per frame while the interpreter waits, and finally stored in the tag's
// variables before its completion jump, call or handler runs. One request at a time.
#include <cstdint>
#include <memory>
#include <string>

#include "NETWORK/CHttpSocket.h"
#include "SCRIPT/CScriptBlock.h"

namespace kestrin {

class CMainScript;

class COruHttp {
public:
    explicit COruHttp(CMainScript* owner) : m_owner(owner) {}
    virtual ~COruHttp() = default;
    COruHttp(const COruHttp&) = delete;
    COruHttp& operator=(const COruHttp&) = delete;

    // Starts the request of the block. True, doing nothing, while a request is held.
    bool Request(const CScriptBlock& block);
    // One frame: true when the wait is over (no request, or the script cancelled).
    bool Update();
    // Stores the outcome in the block's variables, drops the request and runs the block's
    // completion action.
    void SetResult(int code, const char* text);
    bool IsHeld() const { return m_request != nullptr; }

private:
    bool BuildPost(std::map<std::string, std::string>& headers, const std::string& target);
    // A trace line when the text holds CR, LF or NUL (they would split the request).
    bool RefuseControl(const std::string& attribute, const std::string& value);

    CMainScript* m_owner;
    std::shared_ptr<CHttpSocket> m_request;
    CScriptBlock m_block;
};

}  // namespace kestrin
