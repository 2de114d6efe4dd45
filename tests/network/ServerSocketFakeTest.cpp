// The debug server over in-memory sockets: accepting, echoing, limits and failures.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/RuntimeConfiguration.h"
#include "NETWORK/CActorFactory.h"
#include "NETWORK/CServerSocket.h"
#include "NETWORK/Platform/HeadlessSocketService.h"
#include "NETWORK/WinsockErrors.h"
#include "network/NetworkTestSupport.h"

namespace {

using namespace kestrin;

// Remembers the size of every piece an actor was handed.
class RecordingActor : public CActor {
public:
    RecordingActor(int socket, const std::string& peer, std::vector<size_t>* pieces)
        : CActor(socket, peer), m_pieces(pieces) {}
    bool OnReceive(const uint8_t* bytes, size_t length) override {
        m_pieces->push_back(length);
        return CActor::OnReceive(bytes, length);
    }
    std::vector<size_t>* m_pieces;
};

class RecordingFactory : public CActorFactory {
public:
    std::unique_ptr<CActor> Create(int socket, const std::string& peer) override {
        peers.push_back(peer);
        return std::make_unique<RecordingActor>(socket, peer, &pieces);
    }
    std::vector<std::string> peers;
    std::vector<size_t> pieces;
};

class ServerSocketFake : public ::testing::Test {
protected:
    static constexpr uint16_t kPort = 8123;
    void SetUp() override {
        SPlatformServices services = PlatformServicesInEffect();
        services.socketService = Unowned(m_sockets);
        m_services.emplace(services);
        ASSERT_FALSE(m_services->Failed());
    }
    void TearDown() override {
        m_server.reset();
        m_services.reset();
    }
    void Start() {
        m_server = std::make_unique<CServerSocket>(&m_factory, kPort);
        m_server->Update();
        ASSERT_TRUE(m_server->IsListening());
    }
    // A peer connected and accepted.
    int Connect() {
        int peer = m_sockets.ConnectPeer(kPort);
        m_server->Update();
        return peer;
    }
    void Updates(int count) {
        for (int i = 0; i < count; ++i) m_server->Update();
    }

    kestrin_test::LogCapture m_log;
    HeadlessSocketService m_sockets;
    std::optional<PlatformServicesScope> m_services;
    RecordingFactory m_factory;
    std::unique_ptr<CServerSocket> m_server;
};

TEST_F(ServerSocketFake, ListensOnLoopbackAndEchoesEachClientItsOwnBytes) {
    Start();
    std::string address;
    uint16_t port = 0;
    ASSERT_TRUE(m_server->GetListenAddress(address, port));
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_EQ(port, kPort);

    int a = Connect();
    int b = Connect();
    ASSERT_EQ(m_server->GetActorCount(), 2u);
    EXPECT_EQ(m_factory.peers, (std::vector<std::string>{"127.0.0.1", "127.0.0.1"}));
    m_sockets.PeerSend(a, "from a");
    m_sockets.PeerSend(b, "from b");
    Updates(2);
    EXPECT_EQ(m_sockets.PeerTake(a), "from a");
    EXPECT_EQ(m_sockets.PeerTake(b), "from b");

    // A peer that closes loses its actor; the other goes on.
    m_sockets.PeerClose(a);
    Updates(1);
    EXPECT_EQ(m_server->GetActorCount(), 1u);
    EXPECT_TRUE(m_sockets.IsPeerDropped(a));
    m_sockets.PeerSend(b, "again");
    Updates(1);
    EXPECT_EQ(m_sockets.PeerTake(b), "again");
}

TEST_F(ServerSocketFake, LongInputArrivesInPiecesOfAtMost4095BytesAndReturnsInOrder) {
    Start();
    int peer = Connect();
    std::string sent;
    for (int i = 0; i < 10000; ++i) sent += static_cast<char>('a' + i % 26);
    m_sockets.PeerSend(peer, sent);
    Updates(4);
    EXPECT_EQ(m_factory.pieces, (std::vector<size_t>{4095, 4095, 1810}));
    EXPECT_EQ(m_sockets.PeerTake(peer), sent);
}

TEST_F(ServerSocketFake, TransientAcceptFailuresKeepTheListenerAndEveryConnection) {
    for (int error :
         {wsa::kWouldBlock, wsa::kConnectionAborted, wsa::kTooManySockets, wsa::kNoBuffers, wsa::kInterrupted}) {
        SCOPED_TRACE(error);
        Start();
        int peer = Connect();
        m_sockets.failAccept = error;
        m_sockets.ConnectPeer(kPort);
        Updates(3);
        EXPECT_TRUE(m_server->IsListening());
        ASSERT_EQ(m_server->GetActorCount(), 1u);
        m_sockets.PeerSend(peer, "still here");
        Updates(1);
        EXPECT_EQ(m_sockets.PeerTake(peer), "still here");
        // Once accepting works again, the waiting connection comes in.
        m_sockets.failAccept = 0;
        Updates(1);
        EXPECT_EQ(m_server->GetActorCount(), 2u);
        m_server.reset();
    }
    // Running out of descriptors is reported once, not every frame.
    EXPECT_EQ(m_log.CountWithin("too many open files"), 1) << m_log.All();
}

TEST_F(ServerSocketFake, AFailedBindIsLoggedOnceAndRetriedAfterAGrowingBackoff) {
    m_sockets.failBind = wsa::kAccessDenied;
    m_server = std::make_unique<CServerSocket>(&m_factory, 80);
    EXPECT_TRUE(m_server->Update());
    EXPECT_EQ(m_server->GetErrorStep(), CServerSocket::kStepBind);
    EXPECT_EQ(m_server->GetErrorCode(), wsa::kAccessDenied);
    EXPECT_EQ(m_sockets.OpenSockets(), 0);
    // The second attempt waits for the first back-off, the third for twice as long.
    Updates(CServerSocket::kFirstBackoff);
    EXPECT_EQ(m_sockets.bindCalls, 1);
    Updates(1);
    EXPECT_EQ(m_sockets.bindCalls, 2);
    Updates(2 * CServerSocket::kFirstBackoff);
    EXPECT_EQ(m_sockets.bindCalls, 2);
    Updates(1);
    EXPECT_EQ(m_sockets.bindCalls, 3);
    EXPECT_EQ(m_log.CountWithin("debug server: cannot listen on 127.0.0.1:80"), 1) << m_log.All();
    EXPECT_EQ(m_log.CountWithin("KESTRIN_DEBUG_PORT"), 1) << m_log.All();

    // Bound at last: the server works.
    m_sockets.failBind = 0;
    Updates(4 * CServerSocket::kFirstBackoff + 1);
    EXPECT_TRUE(m_server->IsListening());
    EXPECT_EQ(m_sockets.OpenSockets(), 1);
}

TEST_F(ServerSocketFake, ListenerFailuresKeepOpenConnectionsAndThePollFailureClosesAll) {
    Start();
    int peer = Connect();
    // The listener breaks (an accept error that is not transient): the connection stays.
    m_sockets.failAccept = wsa::kInvalid;
    m_sockets.ConnectPeer(kPort);
    EXPECT_TRUE(m_server->Update());
    EXPECT_FALSE(m_server->IsListening());
    EXPECT_EQ(m_server->GetErrorStep(), CServerSocket::kStepAccept);
    m_sockets.PeerSend(peer, "ping");
    Updates(1);
    EXPECT_EQ(m_sockets.PeerTake(peer), "ping");

    m_sockets.failPoll = wsa::kInvalid;
    EXPECT_TRUE(m_server->Update());
    EXPECT_EQ(m_server->GetActorCount(), 0u);
    EXPECT_TRUE(m_sockets.IsPeerDropped(peer));
    EXPECT_EQ(m_server->GetErrorStep(), CServerSocket::kStepPoll);
}

TEST_F(ServerSocketFake, ConnectionsBeyondTheLimitAreClosedAtOnce) {
    Start();
    std::vector<int> peers;
    for (size_t i = 0; i < CServerSocket::kMaxActors + 3; ++i) peers.push_back(m_sockets.ConnectPeer(kPort));
    Updates(8);
    EXPECT_EQ(m_server->GetActorCount(), CServerSocket::kMaxActors);
    for (size_t i = 0; i < peers.size(); ++i)
        EXPECT_EQ(m_sockets.IsPeerDropped(peers[i]), i >= CServerSocket::kMaxActors) << i;
    EXPECT_EQ(m_log.CountWithin("further ones are closed at once"), 1) << m_log.All();
    // A closed one frees a place.
    m_sockets.PeerClose(peers[0]);
    Updates(1);
    int late = m_sockets.ConnectPeer(kPort);
    Updates(2);
    EXPECT_FALSE(m_sockets.IsPeerDropped(late));
    EXPECT_EQ(m_server->GetActorCount(), CServerSocket::kMaxActors);
}

TEST_F(ServerSocketFake, APeerThatStopsReadingIsDroppedWithoutHoldingUpTheOthers) {
    Start();
    int stalled = Connect();
    int reader = Connect();
    m_sockets.SetPeerWindow(stalled, 0);
    const std::string chunk(4095, 'x');
    int updates = 0;
    while (!m_sockets.IsPeerDropped(stalled) && updates < 1000) {
        m_sockets.PeerSend(stalled, chunk);
        m_sockets.PeerSend(reader, "r");
        m_server->Update();
        ++updates;
        for (const auto& actor : m_server->GetActors()) {
            ASSERT_LE(actor.second->GetQueuedBytes(), CActor::kMaxQueuedBytes + CActor::kReceiveSize);
        }
    }
    EXPECT_TRUE(m_sockets.IsPeerDropped(stalled));
    EXPECT_EQ(m_sockets.PeerTake(reader), std::string(static_cast<size_t>(updates), 'r'));
    EXPECT_EQ(m_server->GetActorCount(), 1u);
    EXPECT_EQ(m_log.CountWithin("it stopped reading"), 1) << m_log.All();
}

class FinishingActor : public CActor {
public:
    using CActor::CActor;
    bool OnReceive(const uint8_t* bytes, size_t length) override {
        // "bye" asks to close this connection, "done" to be removed before the next poll.
        std::string text(reinterpret_cast<const char*>(bytes), length);
        if (text == "done") finished = true;
        return text == "bye";
    }
    bool IsFinished() override { return finished; }
    bool finished = false;
};

TEST_F(ServerSocketFake, ActorsAskToCloseByTheirAnswerOrByBeingFinished) {
    class Factory : public CActorFactory {
    public:
        std::unique_ptr<CActor> Create(int socket, const std::string& peer) override {
            return std::make_unique<FinishingActor>(socket, peer);
        }
    } factory;
    m_server = std::make_unique<CServerSocket>(&factory, kPort);
    m_server->Update();
    int bye = Connect();
    int done = Connect();
    ASSERT_EQ(m_server->GetActorCount(), 2u);
    m_sockets.PeerSend(bye, "bye");
    m_sockets.PeerSend(done, "done");
    Updates(1);
    EXPECT_TRUE(m_sockets.IsPeerDropped(bye));
    EXPECT_FALSE(m_sockets.IsPeerDropped(done));
    Updates(1);
    EXPECT_TRUE(m_sockets.IsPeerDropped(done));
    EXPECT_EQ(m_server->GetActorCount(), 0u);
    m_server.reset();
}

TEST(DebugServerPort, TheEnvironmentNamesThePort) {
    kestrin_test::LogCapture log;
    struct Case {
        const char* value;
        uint16_t port;
    };
    const Case cases[] = {{nullptr, 80}, {"", 80},   {"8080", 8080}, {"0", 0},   {"65535", 65535},
                          {"65536", 80}, {"-1", 80}, {"80x", 80},    {"+81", 80}};
    for (const Case& c : cases) {
        kestrin::SetRuntimeConfiguration(kestrin::ReadRuntimeConfiguration(
            [&](const char* name) { return std::string(name) == "KESTRIN_DEBUG_PORT" ? c.value : nullptr; }));
        EXPECT_EQ(CServerSocket::GetDebugPort(), c.port) << (c.value ? c.value : "(unset)");
    }
    kestrin::SetRuntimeConfiguration({});
    EXPECT_EQ(log.CountWithin("is not a port number"), 4) << log.All();
}

}  // namespace
