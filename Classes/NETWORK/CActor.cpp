#include "NETWORK/CActor.h"

#include "NETWORK/Platform/ISocketService.h"
#include "NETWORK/WinsockErrors.h"

namespace kestrin {

CActor::CActor(int socket, const std::string& peerAddress) : m_peerAddress(peerAddress), m_socket(socket) {
    m_receiveBuffer[0] = 0;
}

CActor::~CActor() { Close(); }

bool CActor::OnReceive(const uint8_t* bytes, size_t length) {
    QueueSend(bytes, length);
    return false;
}

bool CActor::IsFinished() { return false; }

void CActor::QueueSend(const void* bytes, size_t length) {
    if (length == 0) return;
    const uint8_t* begin = static_cast<const uint8_t*>(bytes);
    m_sendQueue.emplace_back(begin, begin + length);
    m_queuedBytes += length;
}

bool CActor::ReceivePending() {
    if (m_socket < 0) return true;
    int error = 0;
    long got = GetSocketService()->Receive(m_socket, m_receiveBuffer, kReceiveSize, error);
    if (got == 0) {
        Close();
        return true;
    }
    if (got < 0) {
        if (error == wsa::kWouldBlock || error == wsa::kInterrupted) return false;
        SetError(kStepReceive, error);
        Close();
        return true;
    }
    m_receiveBuffer[got] = 0;
    if (OnReceive(m_receiveBuffer, static_cast<size_t>(got))) {
        Close();
        return true;
    }
    return false;
}

bool CActor::SendPending() {
    if (m_socket < 0) return true;
    while (!m_sendQueue.empty()) {
        const std::vector<uint8_t>& front = m_sendQueue.front();
        int error = 0;
        long sent = GetSocketService()->Send(m_socket, front.data() + m_sentCount, front.size() - m_sentCount, error);
        if (sent < 0) {
            if (error == wsa::kWouldBlock || error == wsa::kInterrupted) return false;
            SetError(kStepSend, error);
            Close();
            return true;
        }
        m_sentCount += static_cast<size_t>(sent);
        if (m_sentCount < front.size()) return false;
        m_queuedBytes -= front.size();
        m_sendQueue.pop_front();
        m_sentCount = 0;
    }
    return false;
}

void CActor::Close() {
    if (m_socket < 0) return;
    GetSocketService()->Shutdown(m_socket);
    GetSocketService()->Close(m_socket);
    m_socket = -1;
}

void CActor::SetError(int step, int code) {
    m_errorStep = step;
    m_errorCode = code;
}

}  // namespace kestrin
