#pragma once
// IPv4 stream sockets, non-blocking, polled with a zero (or short) time-out. Handles are
// small non-negative ints, -1 for none. Every failure reports a Winsock error number
// (NETWORK/WinsockErrors.h); "nothing yet" is wsa::kWouldBlock. Both the listening side
// (debug server) and the connecting side (HTTP) use it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrin {

// One socket of a poll: the caller fills handle and the wants, the service the results.
struct SocketPollEntry {
    int handle = -1;
    bool wantRead = false;
    bool wantWrite = false;
    bool readable = false;
    bool writable = false;
    // Error or hang-up: a read or a send will report it.
    bool failed = false;
};

class ISocketService {
public:
    virtual ~ISocketService() = default;

    // A non-blocking stream socket without linger and without send coalescing (TCP_NODELAY).
    virtual int CreateStream(int& error) = 0;
    // Binds to an IPv4 address (host byte order) and port (0: any free port), reusing the
    // address at once so that a restarted listener binds again.
    virtual bool Bind(int socket, uint32_t address, uint16_t port, int& error) = 0;
    virtual bool Listen(int socket, int backlog, int& error) = 0;
    // One waiting connection as a new non-blocking socket with TCP_NODELAY; -1 with
    // wsa::kWouldBlock when none waits. peerAddress becomes the dotted IPv4 address.
    virtual int Accept(int listener, std::string& peerAddress, int& error) = 0;
    // Starts a connect to address:port (host byte order); false with wsa::kWouldBlock while
    // it is under way: the socket turns writable when done, and GetPendingError tells how.
    virtual bool Connect(int socket, uint32_t address, uint16_t port, int& error) = 0;
    // The socket's pending error (0 when none), as a Winsock number.
    virtual int GetPendingError(int socket) = 0;
    // A dotted IPv4 address, else the first IPv4 address of a host name.
    virtual bool Resolve(const std::string& host, uint32_t& address, int& error) = 0;
    // Bytes sent, or -1 with the error; never raises a signal for a closed peer.
    virtual long Send(int socket, const void* data, size_t length, int& error) = 0;
    // Bytes received, 0 when the peer closed, or -1 with the error.
    virtual long Receive(int socket, void* buffer, size_t length, int& error) = 0;
    // Waits up to timeoutMs (0: just looks) for the entries; the number ready, or -1 with the error.
    virtual int Poll(std::vector<SocketPollEntry>& entries, int timeoutMs, int& error) = 0;
    // The address and port the socket is bound to.
    virtual bool GetLocalAddress(int socket, std::string& address, uint16_t& port) = 0;
    // Ends both directions (the peer sees the close even while a copy of the socket lives).
    virtual void Shutdown(int socket) = 0;
    virtual void Close(int socket) = 0;
};

// The service the network classes use: the one set last, else the system's sockets.
ISocketService* GetSocketService();
// Installs a service (not owned); null goes back to the system's sockets.
void SetSocketService(ISocketService* service);

}  // namespace kestrin
