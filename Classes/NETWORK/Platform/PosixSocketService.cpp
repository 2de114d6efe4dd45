#include "NETWORK/Platform/PosixSocketService.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "NETWORK/Platform/SocketErrorMapping.h"
#include "NETWORK/WinsockErrors.h"

namespace kestrin {

namespace {

ISocketService* g_socketService = nullptr;

int LastError() { return WinsockErrorFromErrno(errno); }

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
    sockaddr_in sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address);
    sa.sin_port = htons(port);
    return sa;
}

std::string DottedText(const in_addr& address) {
    char text[INET_ADDRSTRLEN] = "";
    if (!inet_ntop(AF_INET, &address, text, sizeof text)) return std::string();
    return text;
}

void SetNoDelay(int socket) {
    int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

}  // namespace

int PosixSocketService::CreateStream(int& error) {
    int s = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (s < 0) {
        error = LastError();
        return -1;
    }
    linger off;
    off.l_onoff = 0;
    off.l_linger = 0;
    setsockopt(s, SOL_SOCKET, SO_LINGER, &off, sizeof off);
    SetNoDelay(s);
    error = 0;
    return s;
}

bool PosixSocketService::Bind(int socket, uint32_t address, uint16_t port, int& error) {
    int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in sa = MakeAddress(address, port);
    if (bind(socket, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        error = LastError();
        return false;
    }
    error = 0;
    return true;
}

bool PosixSocketService::Listen(int socket, int backlog, int& error) {
    if (listen(socket, backlog) != 0) {
        error = LastError();
        return false;
    }
    error = 0;
    return true;
}

int PosixSocketService::Accept(int listener, std::string& peerAddress, int& error) {
    sockaddr_in peer;
    socklen_t length = sizeof peer;
    int s = accept4(listener, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (s < 0) {
        error = LastError();
        return -1;
    }
    SetNoDelay(s);
    peerAddress = peer.sin_family == AF_INET ? DottedText(peer.sin_addr) : std::string();
    error = 0;
    return s;
}

bool PosixSocketService::Connect(int socket, uint32_t address, uint16_t port, int& error) {
    sockaddr_in sa = MakeAddress(address, port);
    if (connect(socket, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        error = LastError();
        return false;
    }
    error = 0;
    return true;
}

int PosixSocketService::GetPendingError(int socket) {
    int pending = 0;
    socklen_t length = sizeof pending;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &pending, &length) != 0) return LastError();
    return WinsockErrorFromErrno(pending);
}

bool PosixSocketService::Resolve(const std::string& host, uint32_t& address, int& error) {
    in_addr parsed;
    if (inet_pton(AF_INET, host.c_str(), &parsed) == 1) {
        address = ntohl(parsed.s_addr);
        error = 0;
        return true;
    }
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int result = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (result != 0 || !found) {
        error = result != 0 ? WinsockErrorFromResolver(result, errno) : wsa::kHostNotFound;
        return false;
    }
    address = ntohl(reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(found);
    error = 0;
    return true;
}

long PosixSocketService::Send(int socket, const void* data, size_t length, int& error) {
    ssize_t sent = send(socket, data, length, MSG_NOSIGNAL);
    if (sent < 0) {
        error = LastError();
        return -1;
    }
    error = 0;
    return static_cast<long>(sent);
}

long PosixSocketService::Receive(int socket, void* buffer, size_t length, int& error) {
    ssize_t got = recv(socket, buffer, length, 0);
    if (got < 0) {
        error = LastError();
        return -1;
    }
    error = 0;
    return static_cast<long>(got);
}

int PosixSocketService::Poll(std::vector<SocketPollEntry>& entries, int timeoutMs, int& error) {
    std::vector<pollfd> fds(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        fds[i].fd = entries[i].handle;
        fds[i].events = static_cast<short>((entries[i].wantRead ? POLLIN : 0) | (entries[i].wantWrite ? POLLOUT : 0));
        fds[i].revents = 0;
    }
    int ready = poll(fds.data(), fds.size(), timeoutMs);
    if (ready < 0) {
        error = LastError();
        return -1;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        entries[i].readable = (fds[i].revents & POLLIN) != 0;
        entries[i].writable = (fds[i].revents & POLLOUT) != 0;
        entries[i].failed = (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
    }
    error = 0;
    return ready;
}

bool PosixSocketService::GetLocalAddress(int socket, std::string& address, uint16_t& port) {
    sockaddr_in sa;
    socklen_t length = sizeof sa;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&sa), &length) != 0 || sa.sin_family != AF_INET) return false;
    address = DottedText(sa.sin_addr);
    port = ntohs(sa.sin_port);
    return true;
}

void PosixSocketService::Shutdown(int socket) { shutdown(socket, SHUT_RDWR); }

void PosixSocketService::Close(int socket) { close(socket); }

ISocketService* GetSocketService() {
    static PosixSocketService system;
    return g_socketService ? g_socketService : &system;
}

void SetSocketService(ISocketService* service) { g_socketService = service; }

}  // namespace kestrin
