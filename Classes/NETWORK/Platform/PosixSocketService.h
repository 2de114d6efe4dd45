#pragma once
// Sockets of the system: POSIX non-blocking sockets and poll().
#include "NETWORK/Platform/ISocketService.h"

namespace kestrin {

class PosixSocketService : public ISocketService {
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
};

}  // namespace kestrin
