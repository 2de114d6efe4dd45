#include "NETWORK/CClientSocket.h"

#include <vector>

#include "NETWORK/Platform/ISocketService.h"
#include "NETWORK/WinsockErrors.h"

namespace kestrin {

namespace {

// Polls one socket; -1 on a poll failure, else the entry tells what is ready.
int PollOne(int socket, bool wantRead, bool wantWrite, int timeoutMs, SocketPollEntry& out, int& error) {
    std::vector<SocketPollEntry> entries(1);
    entries[0].handle = socket;
    entries[0].wantRead = wantRead;
    entries[0].wantWrite = wantWrite;
    int ready = GetSocketService()->Poll(entries, timeoutMs, error);
    out = entries[0];
    return ready;
}

}  // namespace

CClientSocket::CClientSocket(const std::string& host, uint16_t port) : m_host(host), m_port(port) {}

CClientSocket::~CClientSocket() {
    Close();
    for (SQueued& queued : m_queue) delete[] queued.buffer;
    m_queue.clear();
}

bool CClientSocket::Fail(int step, int code, bool close) {
    m_errorStep = step;
    m_errorCode = code;
    if (close) Close();
    return true;
}

void CClientSocket::SetError(int step, int code) {
    m_errorStep = step;
    m_errorCode = code != 0 ? code : m_lastError;
}

bool CClientSocket::Send(char* buffer, int length) {
    m_queue.push_back({buffer, length});
    return Update();
}

int CClientSocket::GetQueuedBytes() const {
    int total = 0;
    for (const SQueued& queued : m_queue) total += queued.length;
    return total;
}

bool CClientSocket::Update() {
    ISocketService* service = GetSocketService();
    int error = 0;
    if (m_state == STATE_NONE) {
        // The name is looked up again for every new connection (a redirect may change it).
        uint32_t address = 0;
        if (!service->Resolve(m_host, address, error)) return Fail(kStepHostNotFound, error, false);
        if (m_socket < 0) {
            m_socket = service->CreateStream(error);
            if (m_socket < 0) return Fail(kStepSocket, error, false);
        }
        if (!service->Connect(m_socket, address, m_port, error) && error != wsa::kWouldBlock) {
            return Fail(kStepConnect, error, true);
        }
        m_state = STATE_CONNECTING;
        if (m_forceNonBlocking && error == wsa::kWouldBlock) return false;
    }
    while (!m_queue.empty()) {
        SocketPollEntry entry;
        if (PollOne(m_socket, false, true, 0, entry, error) < 0) return Fail(kStepPoll, error, true);
        if (entry.writable || entry.failed) {
            // A refused connect shows as writable with a pending error.
            if (m_state == STATE_CONNECTING) {
                int pending = service->GetPendingError(m_socket);
                if (pending != 0) return Fail(kStepPendingConnect, pending, true);
            }
            m_state = STATE_CONNECTED;
            SQueued& front = m_queue.front();
            long sent = service->Send(m_socket, front.buffer + m_sentCount,
                                      static_cast<size_t>(front.length - m_sentCount), error);
            if (sent > 0) {
                m_sentCount += static_cast<int>(sent);
                m_bytesMoved += sent;
                if (m_sentCount >= front.length) {
                    delete[] front.buffer;
                    m_queue.pop_front();
                    m_sentCount = 0;
                }
                continue;
            }
            if (sent < 0 && error != wsa::kWouldBlock) return Fail(kStepSend, error, true);
            m_lastError = wsa::kWouldBlock;
            if (m_forceNonBlocking) return false;
            PollOne(m_socket, false, true, 1, entry, error);
            continue;
        }
        if (m_state == STATE_CONNECTING) {
            int pending = service->GetPendingError(m_socket);
            if (pending != 0 && pending != wsa::kWouldBlock) return Fail(kStepPendingConnect, pending, true);
        }
        if (m_forceNonBlocking) return false;
        PollOne(m_socket, false, true, 1, entry, error);
    }
    return false;
}

bool CClientSocket::Receive(char*& buffer, int& length) {
    buffer = nullptr;
    length = 0;
    if (m_state != STATE_CONNECTED) return Fail(kStepNotConnected, 0, false);
    ISocketService* service = GetSocketService();
    char* block = new char[static_cast<size_t>(m_receiveSize) + 1];
    for (;;) {
        int error = 0;
        long got = service->Receive(m_socket, block, static_cast<size_t>(m_receiveSize), error);
        if (got == 0) {
            delete[] block;
            Close();
            return false;
        }
        if (got < 0) {
            if (error == wsa::kWouldBlock) {
                m_lastError = error;
                if (m_forceNonBlocking) {
                    SetError(kStepNothingYet, 0);
                    delete[] block;
                    return false;
                }
                SocketPollEntry entry;
                PollOne(m_socket, true, false, 1, entry, error);
                continue;
            }
            delete[] block;
            return Fail(kStepReceive, error, true);
        }
        length = static_cast<int>(got);
        m_bytesMoved += got;
        // Callers copy what they keep and free the block at once, so its memory serves the
        // next receive: a grown buffer costs no copy.
        if (length == m_receiveSize && m_receiveSize < kMaxReceiveSize) m_receiveSize *= 2;
        block[length] = 0;
        buffer = block;
        return false;
    }
}

void CClientSocket::Close() {
    if (m_socket >= 0) {
        ISocketService* service = GetSocketService();
        service->Shutdown(m_socket);
        service->Close(m_socket);
    }
    m_socket = -1;
    m_state = STATE_NONE;
}

void CClientSocket::WaitReady(int timeoutMs) {
    if (m_socket < 0) return;
    SocketPollEntry entry;
    int error = 0;
    PollOne(m_socket, m_state == STATE_CONNECTED, !m_queue.empty() || m_state == STATE_CONNECTING, timeoutMs, entry,
            error);
}

}  // namespace kestrin
