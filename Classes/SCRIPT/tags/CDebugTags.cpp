#include "SCRIPT/tags/CDebugTags.h"

#include <cstdarg>

#include "NETWORK/CActorFactory.h"
#include "NETWORK/CProcessCommunication.h"
#include "NETWORK/CServerSocket.h"
#include "SCRIPT/IDebugTagHost.h"
#include "SCRIPT/tags/TagAttributes.h"

namespace kestrin {

namespace {
// How long the release waits for each reply of the debugger while messages remain.
constexpr int kChannelFlushMs = 2000;

void TraceAt(IDebugTagHost& host, int level, const CScriptBlock& block, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
void TraceAt(IDebugTagHost& host, int level, const CScriptBlock& block, const char* format, ...) {
    va_list args;
    va_start(args, format);
    host.TraceTagAt(level, block, format, args);
    va_end(args);
}
}  // namespace

CDebugTags::CDebugTags(IDebugTagHost& host) : m_host(host) {}

CDebugTags::~CDebugTags() {
    m_channel.reset();
    m_server.reset();
    m_factory.reset();
}

bool CDebugTags::TagDebug(CScriptBlock block, bool replay) {
    (void)replay;
    const int mode = TagInt(block, "mode");
    m_host.SetDebugTraceMode(mode);
    if (block.HasAttribute("level")) m_host.SetDebugTraceLevel(TagInt(block, "level"));
    if (mode == 2 && !m_channel) {
        m_channel = std::make_unique<CProcessCommunication>(CProcessCommunication::GetDebugChannelName(), 0);
    }
    if (mode == 3) {
        if (!m_factory) m_factory = std::make_unique<CActorFactory>();
        if (!m_server) m_server = std::make_unique<CServerSocket>(m_factory.get(), CServerSocket::GetDebugPort());
    }
    return false;
}

bool CDebugTags::TagDebugprint(CScriptBlock block, bool replay) {
    (void)replay;
    TraceAt(m_host, TagInt(block, "level"), block, "%s %s", block.GetName().c_str(),
            block.GetAttribute("data").c_str());
    return false;
}

void CDebugTags::Update(int mode) {
    if (mode == 2 && m_channel) {
        SendGathered();
        m_channel->Poll();
    }
    if (mode == 3 && m_server) m_server->Update();
}

void CDebugTags::QueueTraceLine(const std::string& line) {
    m_channelText += line;
    m_channelText += '\n';
}

// The trace text of the last frame goes first, so that the debugger sees all of it.
void CDebugTags::Send(const char* data, size_t size) {
    if (!m_channel || !m_channel->IsOpen()) return;
    SendGathered();
    m_channel->Send(data, size);
}

void CDebugTags::SendGathered() {
    if (m_channelText.empty()) return;
    m_channel->SendText(m_channelText);
    m_channelText.clear();
}

size_t CDebugTags::ReleaseChannel() {
    size_t unsent = 0;
    if (m_channel && m_channel->Flush(kChannelFlushMs)) unsent = m_channel->GetQueuedCount();
    m_channel.reset();
    return unsent;
}

}  // namespace kestrin
