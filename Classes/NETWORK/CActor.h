#pragma once
// One connection of the debug server. The base actor echoes what it receives; other uses
// derive from it. Sending goes through a bounded queue: a peer that stops reading while
// more than kMaxQueuedBytes wait is dropped rather than buffered for ever.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace kestrin {

class CActor {
public:
    static constexpr size_t kReceiveSize = 4095;
    static constexpr size_t kMaxQueuedBytes = 64 * 1024;
    // Error steps.
    static constexpr int kStepReceive = 66;
    static constexpr int kStepSend = 94;

    CActor(int socket, const std::string& peerAddress);
    virtual ~CActor();
    CActor(const CActor&) = delete;
    CActor& operator=(const CActor&) = delete;

    // Bytes arrived (a zero byte follows them); true asks to close the connection.
    virtual bool OnReceive(const uint8_t* bytes, size_t length);
    // True asks the server to close and delete this actor before its next poll.
    virtual bool IsFinished();

    // One receive; true when the connection closed (peer, error, or the actor asked).
    bool ReceivePending();
    // Sends queued bytes until the queue is empty or the socket is full; true when closed.
    bool SendPending();
    void Close();
    void SetError(int step, int code);

    // Queues a copy of the bytes for sending.
    void QueueSend(const void* bytes, size_t length);
    size_t GetQueuedBytes() const { return m_queuedBytes; }
    bool HasPendingSend() const { return !m_sendQueue.empty(); }
    // True when the queue holds more than the peer can be allowed to leave unread.
    bool IsQueueOverLimit() const { return m_queuedBytes > kMaxQueuedBytes; }

    int GetSocket() const { return m_socket; }
    const std::string& GetPeerAddress() const { return m_peerAddress; }
    int GetErrorStep() const { return m_errorStep; }
    int GetErrorCode() const { return m_errorCode; }

private:
    std::string m_peerAddress;
    int m_errorStep = 0;
    int m_errorCode = 0;
    int m_socket;
    uint8_t m_receiveBuffer[kReceiveSize + 1];
    size_t m_sentCount = 0;
    std::deque<std::vector<uint8_t>> m_sendQueue;
    size_t m_queuedBytes = 0;
};

}  // namespace kestrin
