#pragma once
// Test double: sockets in memory. A test plays the remote peers (connects them to a
// listening port, sends, reads what the engine sent, closes) and makes calls fail with
// given Winsock numbers. Deterministic: nothing happens between calls.
#include <cstdint>
#include <deque>
#include <map>
#include <string>

#include "NETWORK/Platform/ISocketService.h"

namespace kestrin {

class HeadlessSocketService : public ISocketService {
public:
    int CreateStream(int& error) override;
    bool Bind(int socket, uint32_t address, uint16_t port, int& error) override;
    bool Listen(int socket, int backlog, int& error) override;
    int Accept(int listener, std::string& peerAddress, int& error) override;
    bool Connect(int socket, uint32_t address, uint16_t port, int& error) override;
    int GetPendingError(int socket) override;
    bool Resolve(const std::string& host, uint32_t& address, int& error) override;
    long Send(int socket, const void* data, size_t length, int& error) override;
    long Receive(int socket, void* buffer, size_t length, int& error) override;
    int Poll(std::vector<SocketPollEntry>& entries, int timeoutMs, int& error) override;
    bool GetLocalAddress(int socket, std::string& address, uint16_t& port) override;
    void Shutdown(int socket) override;
    void Close(int socket) override;

    // --- The test's side ---
    // A peer connecting to the listener on port; its id, or -1 when nothing listens there.
    int ConnectPeer(uint16_t port, const std::string& peerAddress = "127.0.0.1");
    void PeerSend(int peer, const std::string& bytes);
    // Everything the engine sent to the peer so far, taken out.
    std::string PeerTake(int peer);
    void PeerClose(int peer);
    // How many more bytes the peer takes before a send would block (unlimited at first).
    void SetPeerWindow(int peer, size_t bytes);
    // True once the engine closed its end of the peer's connection.
    bool IsPeerDropped(int peer) const;
    // Sockets the engine holds open.
    int OpenSockets() const;

    // Outgoing connects: refused (and names not found) unless acceptConnects is set; then
    // dotted addresses resolve and each connect gets a peer the test plays, the newest
    // one being lastConnectPeer (its port in lastConnectPort).
    bool acceptConnects = false;
    int lastConnectPeer = -1;
    uint16_t lastConnectPort = 0;
    // The window the peers of outgoing connects start with (0: the connect never completes).
    size_t connectWindow = static_cast<size_t>(-1);

    // Calls that fail with the Winsock number while it is not 0.
    int failCreate = 0;
    int failBind = 0;
    int failListen = 0;
    int failAccept = 0;
    int failPoll = 0;
    int createCalls = 0;
    int bindCalls = 0;
    int acceptCalls = 0;

private:
    struct Socket {
        bool listening = false;
        uint32_t address = 0;
        uint16_t port = 0;
        bool bound = false;
        std::deque<int> waiting;  // connections not accepted yet
        int peer = -1;            // connections: the test's peer id
        bool open = true;
    };
    struct Peer {
        int socket = -1;  // the engine's end
        std::string address;
        std::string toEngine;
        std::string fromEngine;
        size_t window = static_cast<size_t>(-1);
        bool closed = false;
        bool dropped = false;
    };
    Socket* Find(int handle);
    int m_nextHandle = 100;
    std::map<int, Socket> m_sockets;
    std::map<int, Peer> m_peers;
};

}  // namespace kestrin
