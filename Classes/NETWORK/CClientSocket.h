#pragma once
// One outgoing TCP connection: a queue of buffers to send and a receive that hands back
// whatever arrived. In forced non-blocking mode (how every user runs it) no call waits;
// otherwise sends and receives retry every millisecond until they can go on.
#include <cstdint>
#include <deque>
#include <string>

namespace kestrin {

class CClientSocket {
public:
    // Error steps.
    static constexpr int kStepHostNotFound = 111;
    static constexpr int kStepSocket = 149;
    static constexpr int kStepConnect = 200;
    static constexpr int kStepPoll = 268;
    static constexpr int kStepPendingConnect = 289;
    static constexpr int kStepSend = 317;
    static constexpr int kStepNotConnected = 358;
    static constexpr int kStepNothingYet = 412;
    static constexpr int kStepReceive = 423;
    static constexpr int kFirstReceiveSize = 4095;
    // The receive buffer doubles while receives fill it, up to this size.
    static constexpr int kMaxReceiveSize = 4095 * 256;

    enum : int { STATE_NONE = 0, STATE_CONNECTING = 1, STATE_CONNECTED = 2 };

    CClientSocket(const std::string& host, uint16_t port);
    virtual ~CClientSocket();
    CClientSocket(const CClientSocket&) = delete;
    CClientSocket& operator=(const CClientSocket&) = delete;

    void SetForceNonBlocking(bool flag) { m_forceNonBlocking = flag; }
    // Queues the heap block (taken over, released with delete[]) and sends what it can.
    // True on failure.
    bool Send(char* buffer, int length);
    // Connects when needed and sends queued bytes. True on failure.
    bool Update();
    // The queued lengths; the front buffer counts whole.
    int GetQueuedBytes() const;
    // One receive. buffer becomes a new heap block (delete[]) holding length bytes and a
    // zero byte, or null when nothing came (the peer closed: the connection state is then
    // 0). True on failure.
    bool Receive(char*& buffer, int& length);
    void Close();
    // Waits up to timeoutMs for the socket to turn readable (or writable while bytes are
    // queued); returns at once without a socket.
    void WaitReady(int timeoutMs);

    void SetError(int step, int code);
    int GetErrorStep() const { return m_errorStep; }
    int GetErrorCode() const { return m_errorCode; }
    int GetConnectionState() const { return m_state; }
    int GetReceiveSize() const { return m_receiveSize; }
    // Bytes sent and received since construction: the progress a watchdog looks at.
    int64_t GetBytesMoved() const { return m_bytesMoved; }
    const std::string& GetHost() const { return m_host; }
    uint16_t GetPort() const { return m_port; }

protected:
    // Records the pair exactly as given.
    void RecordError(int step, int code) {
        m_errorStep = step;
        m_errorCode = code;
    }
    // A new destination for the next connection (the socket must be closed).
    void SetDestination(const std::string& host, uint16_t port) {
        m_host = host;
        m_port = port;
    }

private:
    struct SQueued {
        char* buffer;
        int length;
    };
    bool Fail(int step, int code, bool close);

    std::string m_host;
    uint16_t m_port;
    int m_errorStep = 0;
    int m_errorCode = 0;
    int m_socket = -1;
    int m_sentCount = 0;
    int m_state = STATE_NONE;
    bool m_forceNonBlocking = false;
    std::deque<SQueued> m_queue;
    int m_receiveSize = kFirstReceiveSize;
    int m_lastError = 0;
    int64_t m_bytesMoved = 0;
};

}  // namespace kestrin
