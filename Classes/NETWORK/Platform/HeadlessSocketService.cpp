#include "NETWORK/Platform/HeadlessSocketService.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "NETWORK/WinsockErrors.h"

namespace kestrin {

HeadlessSocketService::Socket* HeadlessSocketService::Find(int handle) {
    auto it = m_sockets.find(handle);
    return it != m_sockets.end() && it->second.open ? &it->second : nullptr;
}

int HeadlessSocketService::CreateStream(int& error) {
    ++createCalls;
    error = failCreate;
    if (failCreate) return -1;
    int handle = m_nextHandle++;
    m_sockets[handle] = Socket();
    return handle;
}

bool HeadlessSocketService::Bind(int socket, uint32_t address, uint16_t port, int& error) {
    ++bindCalls;
    Socket* s = Find(socket);
    error = s ? failBind : wsa::kNotSocket;
    if (error) return false;
    if (port == 0) port = static_cast<uint16_t>(40000 + socket);
    s->address = address;
    s->port = port;
    s->bound = true;
    return true;
}

bool HeadlessSocketService::Listen(int socket, int backlog, int& error) {
    (void)backlog;
    Socket* s = Find(socket);
    error = s ? failListen : wsa::kNotSocket;
    if (error) return false;
    s->listening = true;
    return true;
}

int HeadlessSocketService::Accept(int listener, std::string& peerAddress, int& error) {
    ++acceptCalls;
    Socket* s = Find(listener);
    error = !s || !s->listening ? wsa::kInvalid : failAccept;
    if (error) return -1;
    if (s->waiting.empty()) {
        error = wsa::kWouldBlock;
        return -1;
    }
    int handle = s->waiting.front();
    s->waiting.pop_front();
    peerAddress = m_peers[m_sockets[handle].peer].address;
    return handle;
}

bool HeadlessSocketService::Connect(int socket, uint32_t address, uint16_t port, int& error) {
    (void)address;
    Socket* s = Find(socket);
    if (!acceptConnects || !s) {
        error = s ? wsa::kConnectionRefused : wsa::kNotSocket;
        return false;
    }
    int id = static_cast<int>(m_peers.size());
    s->peer = id;
    Peer peer;
    peer.socket = socket;
    peer.window = connectWindow;
    m_peers[id] = peer;
    lastConnectPeer = id;
    lastConnectPort = port;
    // Completes on a later poll, as a non-blocking connect does.
    error = wsa::kWouldBlock;
    return false;
}

int HeadlessSocketService::GetPendingError(int socket) { return Find(socket) ? 0 : wsa::kNotSocket; }

bool HeadlessSocketService::Resolve(const std::string& host, uint32_t& address, int& error) {
    address = 0;
    unsigned parts[4];
    char tail = 0;
    if (acceptConnects &&
        std::sscanf(host.c_str(), "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) == 4 &&
        parts[0] < 256 && parts[1] < 256 && parts[2] < 256 && parts[3] < 256) {
        address = (parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3];
        error = 0;
        return true;
    }
    error = wsa::kHostNotFound;
    return false;
}

long HeadlessSocketService::Send(int socket, const void* data, size_t length, int& error) {
    Socket* s = Find(socket);
    if (!s || s->peer < 0) {
        error = wsa::kNotSocket;
        return -1;
    }
    Peer& peer = m_peers[s->peer];
    if (peer.closed) {
        error = wsa::kConnectionReset;
        return -1;
    }
    size_t n = std::min(length, peer.window);
    if (n == 0) {
        error = wsa::kWouldBlock;
        return -1;
    }
    if (peer.window != static_cast<size_t>(-1)) peer.window -= n;
    peer.fromEngine.append(static_cast<const char*>(data), n);
    error = 0;
    return static_cast<long>(n);
}

long HeadlessSocketService::Receive(int socket, void* buffer, size_t length, int& error) {
    Socket* s = Find(socket);
    if (!s || s->peer < 0) {
        error = wsa::kNotSocket;
        return -1;
    }
    Peer& peer = m_peers[s->peer];
    error = 0;
    if (peer.toEngine.empty()) {
        if (peer.closed) return 0;
        error = wsa::kWouldBlock;
        return -1;
    }
    size_t n = std::min(length, peer.toEngine.size());
    std::memcpy(buffer, peer.toEngine.data(), n);
    peer.toEngine.erase(0, n);
    return static_cast<long>(n);
}

int HeadlessSocketService::Poll(std::vector<SocketPollEntry>& entries, int timeoutMs, int& error) {
    (void)timeoutMs;
    error = failPoll;
    if (failPoll) return -1;
    int ready = 0;
    for (auto& entry : entries) {
        entry.readable = entry.writable = entry.failed = false;
        Socket* s = Find(entry.handle);
        if (!s) {
            entry.failed = true;
        } else if (s->listening) {
            entry.readable = entry.wantRead && (!s->waiting.empty() || failAccept != 0);
        } else if (s->peer >= 0) {
            const Peer& peer = m_peers[s->peer];
            entry.readable = entry.wantRead && (!peer.toEngine.empty() || peer.closed);
            entry.writable = entry.wantWrite && (peer.window > 0 || peer.closed);
        }
        if (entry.readable || entry.writable || entry.failed) ++ready;
    }
    return ready;
}

bool HeadlessSocketService::GetLocalAddress(int socket, std::string& address, uint16_t& port) {
    Socket* s = Find(socket);
    if (!s || !s->bound) return false;
    address = std::to_string(s->address >> 24) + "." + std::to_string((s->address >> 16) & 255) + "." +
              std::to_string((s->address >> 8) & 255) + "." + std::to_string(s->address & 255);
    port = s->port;
    return true;
}

void HeadlessSocketService::Shutdown(int socket) { (void)socket; }

void HeadlessSocketService::Close(int socket) {
    Socket* s = Find(socket);
    if (!s) return;
    s->open = false;
    if (s->peer >= 0) m_peers[s->peer].dropped = true;
    for (int waiting : s->waiting) {
        m_sockets[waiting].open = false;
        m_peers[m_sockets[waiting].peer].dropped = true;
    }
    s->waiting.clear();
}

int HeadlessSocketService::ConnectPeer(uint16_t port, const std::string& peerAddress) {
    for (auto& entry : m_sockets) {
        Socket& listener = entry.second;
        if (!listener.open || !listener.listening || listener.port != port) continue;
        int id = static_cast<int>(m_peers.size());
        int handle = m_nextHandle++;
        Socket connection;
        connection.peer = id;
        m_sockets[handle] = connection;
        Peer peer;
        peer.socket = handle;
        peer.address = peerAddress;
        m_peers[id] = peer;
        m_sockets[entry.first].waiting.push_back(handle);
        return id;
    }
    return -1;
}

void HeadlessSocketService::PeerSend(int peer, const std::string& bytes) { m_peers[peer].toEngine += bytes; }

std::string HeadlessSocketService::PeerTake(int peer) {
    std::string out;
    out.swap(m_peers[peer].fromEngine);
    return out;
}

void HeadlessSocketService::PeerClose(int peer) { m_peers[peer].closed = true; }

void HeadlessSocketService::SetPeerWindow(int peer, size_t bytes) { m_peers[peer].window = bytes; }

bool HeadlessSocketService::IsPeerDropped(int peer) const {
    auto it = m_peers.find(peer);
    return it != m_peers.end() && it->second.dropped;
}

int HeadlessSocketService::OpenSockets() const {
    // Connections still waiting in a listener's queue are not the engine's yet.
    int count = 0;
    for (const auto& entry : m_sockets) {
        if (entry.second.open) ++count;
        if (entry.second.open && entry.second.listening) count -= static_cast<int>(entry.second.waiting.size());
    }
    return count;
}

}  // namespace kestrin
