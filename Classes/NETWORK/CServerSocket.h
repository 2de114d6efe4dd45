#pragma once
// The debug server: a TCP listener on 127.0.0.1, polled once per frame and never blocking.
// Every accepted connection becomes an actor made by the factory. The number of actors
// is bounded (connections beyond it are closed at once); a listener that cannot be made
// is tried again after a back-off that grows up to about a minute of frames, and the
// failure is logged once; connections already open stay open through listener failures
// and through transient accept errors (EAGAIN, ECONNABORTED, EMFILE).
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "NETWORK/CActor.h"

namespace kestrin {

class CActorFactory;

class CServerSocket {
public:
    static constexpr uint16_t kDefaultDebugPort = 80;
    static constexpr uint32_t kLoopbackAddress = 0x7F000001;
    static constexpr size_t kMaxActors = 64;
    static constexpr int kBacklog = 128;
    // Polls to wait before the first attempt to make the listener again, and the longest wait.
    static constexpr int kFirstBackoff = 60;
    static constexpr int kLongestBackoff = 3600;
    // Error steps.
    static constexpr int kStepSocket = 175;
    static constexpr int kStepBind = 203;
    static constexpr int kStepListen = 209;
    static constexpr int kStepPoll = 254;
    static constexpr int kStepAccept = 271;

    // factory is not owned: the creator keeps it alive while the server lives.
    CServerSocket(CActorFactory* factory, uint16_t port);
    virtual ~CServerSocket();
    CServerSocket(const CServerSocket&) = delete;
    CServerSocket& operator=(const CServerSocket&) = delete;

    // One poll: makes the listener when due, accepts, receives and sends. True when
    // something failed in this poll (the step and code tell what).
    bool Update();
    // Closes the listener and every connection.
    void CloseAll();

    bool IsListening() const { return m_listener >= 0; }
    // The address and port the listener is bound to (the port is the real one when 0 was asked).
    bool GetListenAddress(std::string& address, uint16_t& port) const;
    size_t GetActorCount() const { return m_actors.size(); }
    const std::map<int, std::unique_ptr<CActor>>& GetActors() const { return m_actors; }
    int GetErrorStep() const { return m_errorStep; }
    int GetErrorCode() const { return m_errorCode; }

    // The debug server's port: kDefaultDebugPort, or the one KESTRIN_DEBUG_PORT names
    // (0 takes any free port).
    static uint16_t GetDebugPort();

private:
    bool OpenListener();
    void CloseListener();
    // A listener failure: recorded, logged when it is the first since the last success,
    // and the listener closed until the back-off has passed.
    void FailListener(int step, int code, const char* what);
    // True when an accept failed.
    bool AcceptWaiting();
    void Drop(std::map<int, std::unique_ptr<CActor>>::iterator it);

    CActorFactory* m_factory;
    uint16_t m_port;
    int m_listener = -1;
    int m_errorStep = 0;
    int m_errorCode = 0;
    std::map<int, std::unique_ptr<CActor>> m_actors;
    int m_retryWait = 0;
    int m_backoff = 0;
    bool m_failureLogged = false;
    bool m_acceptFailureLogged = false;
    bool m_limitLogged = false;
};

}  // namespace kestrin
