#include "NETWORK/CServerSocket.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "CORE/CLogWindow.h"
#include "CORE/RuntimeConfiguration.h"
#include "NETWORK/CActorFactory.h"
#include "NETWORK/Platform/ISocketService.h"
#include "NETWORK/WinsockErrors.h"

namespace kestrin {

namespace {

// Connections accepted in one poll at most, so that a flood cannot hold up the frame.
constexpr int kAcceptsPerPoll = 16;

const char* DescribeError(int code) {
    switch (code) {
        case wsa::kAccessDenied: return "permission denied (ports below 1024 need privileges)";
        case wsa::kAddressInUse: return "the port is in use";
        case wsa::kAddressNotAvailable: return "the address is not available";
        case wsa::kTooManySockets: return "too many open files";
        case wsa::kNoBuffers: return "out of memory or buffers";
        default: return "system error";
    }
}

}  // namespace

CServerSocket::CServerSocket(CActorFactory* factory, uint16_t port) : m_factory(factory), m_port(port) {}

CServerSocket::~CServerSocket() { CloseAll(); }

uint16_t CServerSocket::GetDebugPort() {
    const std::string& setting = GetRuntimeConfiguration().debugPort;
    if (setting.empty()) return kDefaultDebugPort;
    const char* text = setting.c_str();
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (*end != 0 || value < 0 || value > 65535 || *text < '0' || *text > '9') {
        Log(ELogLevel::Warning, "debug server", "KESTRIN_DEBUG_PORT \"%s\" is not a port number; using %u", text,
            static_cast<unsigned>(kDefaultDebugPort));
        return kDefaultDebugPort;
    }
    return static_cast<uint16_t>(value);
}

bool CServerSocket::GetListenAddress(std::string& address, uint16_t& port) const {
    return m_listener >= 0 && GetSocketService()->GetLocalAddress(m_listener, address, port);
}

void CServerSocket::FailListener(int step, int code, const char* what) {
    m_errorStep = step;
    m_errorCode = code;
    if (!m_failureLogged) {
        m_failureLogged = true;
        Log(ELogLevel::Error, "debug server", "cannot %s on 127.0.0.1:%u: %s (error %d); the game goes on without it%s",
            what, static_cast<unsigned>(m_port), DescribeError(code), code,
            step == kStepBind ? "; KESTRIN_DEBUG_PORT selects another port" : "");
    }
    CloseListener();
    m_backoff = m_backoff == 0 ? kFirstBackoff : std::min(m_backoff * 2, kLongestBackoff);
    m_retryWait = m_backoff;
}

bool CServerSocket::OpenListener() {
    ISocketService* sockets = GetSocketService();
    int error = 0;
    m_listener = sockets->CreateStream(error);
    if (m_listener < 0) {
        FailListener(kStepSocket, error, "make a socket to listen");
        return false;
    }
    // Loopback only: nothing outside this machine can reach the debug server.
    if (!sockets->Bind(m_listener, kLoopbackAddress, m_port, error)) {
        FailListener(kStepBind, error, "listen");
        return false;
    }
    if (!sockets->Listen(m_listener, kBacklog, error)) {
        FailListener(kStepListen, error, "listen");
        return false;
    }
    std::string address;
    uint16_t port = m_port;
    GetListenAddress(address, port);
    Log(ELogLevel::Note, "debug server", "listening on %s:%u", address.c_str(), static_cast<unsigned>(port));
    m_failureLogged = false;
    m_backoff = 0;
    return true;
}

void CServerSocket::CloseListener() {
    if (m_listener < 0) return;
    GetSocketService()->Shutdown(m_listener);
    GetSocketService()->Close(m_listener);
    m_listener = -1;
}

void CServerSocket::CloseAll() {
    CloseListener();
    m_actors.clear();
}

void CServerSocket::Drop(std::map<int, std::unique_ptr<CActor>>::iterator it) {
    CActor& actor = *it->second;
    if (actor.IsQueueOverLimit()) {
        actor.SetError(CActor::kStepSend, wsa::kNoBuffers);
        Log(ELogLevel::Warning, "debug server", "closed the connection from %s: it stopped reading (%zu bytes waiting)",
            actor.GetPeerAddress().c_str(), actor.GetQueuedBytes());
    }
    m_actors.erase(it);
}

bool CServerSocket::AcceptWaiting() {
    ISocketService* sockets = GetSocketService();
    for (int i = 0; i < kAcceptsPerPoll; ++i) {
        std::string peer;
        int error = 0;
        int socket = sockets->Accept(m_listener, peer, error);
        if (socket < 0) {
            if (error == wsa::kWouldBlock || error == wsa::kConnectionAborted || error == wsa::kInterrupted)
                return false;
            if (error == wsa::kTooManySockets || error == wsa::kNoBuffers) {
                // Out of descriptors or memory for now: the connection waits in the backlog.
                if (!m_acceptFailureLogged) {
                    m_acceptFailureLogged = true;
                    Log(ELogLevel::Error, "debug server", "cannot accept a connection: %s (error %d)",
                        DescribeError(error), error);
                }
                m_errorStep = kStepAccept;
                m_errorCode = error;
                return true;
            }
            FailListener(kStepAccept, error, "accept connections");
            return true;
        }
        m_acceptFailureLogged = false;
        if (m_actors.size() >= kMaxActors || !m_factory) {
            if (!m_limitLogged) {
                m_limitLogged = true;
                Log(ELogLevel::Warning, "debug server", "%zu connections are open; further ones are closed at once",
                    kMaxActors);
            }
            sockets->Shutdown(socket);
            sockets->Close(socket);
            continue;
        }
        std::unique_ptr<CActor> actor = m_factory->Create(socket, peer);
        if (!actor) {
            sockets->Shutdown(socket);
            sockets->Close(socket);
            continue;
        }
        m_actors[socket] = std::move(actor);
    }
    return false;
}

bool CServerSocket::Update() {
    bool failed = false;
    if (m_listener < 0) {
        if (m_retryWait > 0) {
            --m_retryWait;
        } else if (!OpenListener()) {
            failed = true;
        }
    }

    // Finished actors, and those whose peer stopped reading, go before the poll.
    for (auto it = m_actors.begin(); it != m_actors.end();) {
        auto next = std::next(it);
        if (it->second->IsFinished() || it->second->IsQueueOverLimit() || it->second->GetSocket() < 0) Drop(it);
        it = next;
    }
    if (m_actors.size() < kMaxActors) m_limitLogged = false;

    std::vector<SocketPollEntry> entries;
    entries.reserve(m_actors.size() + 1);
    if (m_listener >= 0) {
        SocketPollEntry entry;
        entry.handle = m_listener;
        entry.wantRead = true;
        entries.push_back(entry);
    }
    for (const auto& actor : m_actors) {
        SocketPollEntry entry;
        entry.handle = actor.first;
        entry.wantRead = true;
        entry.wantWrite = actor.second->HasPendingSend();
        entries.push_back(entry);
    }
    if (entries.empty()) return failed;

    int error = 0;
    int ready = GetSocketService()->Poll(entries, 0, error);
    if (ready < 0) {
        if (error == wsa::kInterrupted) return failed;
        FailListener(kStepPoll, error, "poll");
        m_actors.clear();
        return true;
    }
    if (ready == 0) return failed;

    size_t first = 0;
    if (m_listener >= 0) {
        first = 1;
        if ((entries[0].readable || entries[0].failed) && AcceptWaiting()) failed = true;
    }
    // Accepted actors take part from the next poll on: only the polled handles are served.
    for (size_t i = first; i < entries.size(); ++i) {
        const SocketPollEntry& entry = entries[i];
        auto it = m_actors.find(entry.handle);
        if (it == m_actors.end()) continue;
        CActor& actor = *it->second;
        bool closed = false;
        if (entry.readable || entry.failed) {
            closed = actor.ReceivePending();
            // The answer leaves at once when the socket takes it.
            if (!closed && actor.HasPendingSend()) closed = actor.SendPending();
        } else if (entry.writable) {
            closed = actor.SendPending();
        }
        if (closed || actor.IsQueueOverLimit()) Drop(it);
    }
    return failed;
}

}  // namespace kestrin
