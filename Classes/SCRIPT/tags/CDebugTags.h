#pragma once
// The debug tags and the links to a debugger they open. "debug" sets the trace mode and level
// and makes the debug channel (mode 2) or the debug server (mode 3) on first use; once made,
// they stay until the family ends. "debugprint" writes one trace line. In mode 2 the trace
// text of a frame is gathered here and sent at the next frame step.
//
// Everything else of the interpreter is reached through IDebugTagHost.
#include <cstddef>
#include <memory>
#include <string>

#include "SCRIPT/CScriptBlock.h"

namespace kestrin {

class CActorFactory;
class CProcessCommunication;
class CServerSocket;
class IDebugTagHost;

class CDebugTags {
public:
    // The host outlives the family.
    explicit CDebugTags(IDebugTagHost& host);
    // The channel (see ReleaseChannel), then the server, then its factory.
    ~CDebugTags();
    CDebugTags(const CDebugTags&) = delete;
    CDebugTags& operator=(const CDebugTags&) = delete;

    // The handlers, in the interpreter's handler form (false: the script goes on).
    bool TagDebug(CScriptBlock block, bool replay);
    bool TagDebugprint(CScriptBlock block, bool replay);

    // Once a frame, with the current trace mode: mode 2 sends the gathered text and takes the
    // debugger's requests, mode 3 serves the server's connections.
    void Update(int mode);
    // Whether that mode's link exists (then every frame is needed).
    bool HasLink(int mode) const { return (mode == 2 && m_channel) || (mode == 3 && m_server); }
    // Whether the channel exists: mode 2 traces only then.
    bool HasChannel() const { return m_channel != nullptr; }
    // Gathers one trace line for the channel (game's encoding, no line end).
    void QueueTraceLine(const std::string& line);
    // Sends the gathered text, then these bytes, when the channel is open.
    void Send(const char* data, size_t size);
    // Hands the channel's queued messages over while the debugger answers, then closes it.
    // Returns how many were not sent.
    size_t ReleaseChannel();

private:
    void SendGathered();

    IDebugTagHost& m_host;
    std::string m_channelText;
    // The factory outlives the server that uses it.
    std::unique_ptr<CActorFactory> m_factory;
    std::unique_ptr<CServerSocket> m_server;
    std::unique_ptr<CProcessCommunication> m_channel;
};

}  // namespace kestrin
