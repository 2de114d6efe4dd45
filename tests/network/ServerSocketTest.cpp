// The debug server on real loopback sockets, on a port the system picks.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "NETWORK/CActorFactory.h"
#include "NETWORK/CServerSocket.h"
#include "network/NetworkTestSupport.h"

namespace {

using namespace kestrin;

// A plain client socket; receiveBuffer > 0 shrinks its receive buffer before connecting.
int ConnectTo(uint16_t port, int receiveBuffer = 0) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return -1;
    if (receiveBuffer > 0) setsockopt(s, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        close(s);
        return -1;
    }
    fcntl(s, F_SETFL, fcntl(s, F_GETFL) | O_NONBLOCK);
    return s;
}

// Appends what has arrived; false once the peer closed or failed.
bool ReadSome(int s, std::string& into) {
    char buffer[8192];
    for (;;) {
        ssize_t n = recv(s, buffer, sizeof buffer, 0);
        if (n > 0) {
            into.append(buffer, static_cast<size_t>(n));
            continue;
        }
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

class ServerSocketLoopback : public ::testing::Test {
protected:
    void SetUp() override {
        m_server = std::make_unique<CServerSocket>(&m_factory, 0);
        m_server->Update();
        ASSERT_TRUE(m_server->IsListening()) << m_log.All();
        std::string address;
        ASSERT_TRUE(m_server->GetListenAddress(address, m_port));
        ASSERT_NE(m_port, 0);
    }
    void TearDown() override {
        for (int s : m_clients) close(s);
        m_server.reset();
    }
    int Client(int receiveBuffer = 0) {
        int s = ConnectTo(m_port, receiveBuffer);
        if (s >= 0) m_clients.push_back(s);
        return s;
    }

    kestrin_test::LogCapture m_log;
    CActorFactory m_factory;
    std::unique_ptr<CServerSocket> m_server;
    uint16_t m_port = 0;
    std::vector<int> m_clients;
};

TEST_F(ServerSocketLoopback, TheListenerIsBoundToLoopbackOnly) {
    std::string address;
    uint16_t port = 0;
    ASSERT_TRUE(m_server->GetListenAddress(address, port));
    EXPECT_EQ(address, "127.0.0.1");
}

TEST_F(ServerSocketLoopback, SixtyFourClientsAtOnceAreAllAnsweredWithinTheLimits) {
    const size_t kClients = 64;
    std::vector<std::string> expected, received(kClients);
    for (size_t i = 0; i < kClients; ++i) {
        ASSERT_GE(Client(), 0) << i;
        expected.push_back("client " + std::to_string(i) + " says hello");
        ASSERT_EQ(send(m_clients[i], expected[i].data(), expected[i].size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(expected[i].size()));
    }
    size_t answered = 0;
    size_t mostActors = 0;
    size_t mostQueued = 0;
    while (answered < kClients) {
        m_server->Update();
        mostActors = std::max(mostActors, m_server->GetActorCount());
        for (const auto& actor : m_server->GetActors())
            mostQueued = std::max(mostQueued, actor.second->GetQueuedBytes());
        answered = 0;
        for (size_t i = 0; i < kClients; ++i) {
            ASSERT_TRUE(ReadSome(m_clients[i], received[i])) << "client " << i << " was closed";
            ASSERT_LE(received[i].size(), expected[i].size());
            if (received[i] == expected[i]) ++answered;
        }
    }
    EXPECT_EQ(mostActors, kClients);
    EXPECT_LE(mostActors, CServerSocket::kMaxActors);
    EXPECT_LE(mostQueued, CActor::kMaxQueuedBytes);

    // One more is closed at once while all places are taken.
    int extra = Client();
    ASSERT_GE(extra, 0);
    std::string ignored;
    while (ReadSome(extra, ignored)) m_server->Update();
    EXPECT_EQ(m_server->GetActorCount(), kClients);
}

TEST_F(ServerSocketLoopback, AClientThatNeverReadsIsDroppedAndTheOthersAreStillAnswered) {
    int stalled = Client(4096);
    int reader = Client();
    ASSERT_GE(stalled, 0);
    ASSERT_GE(reader, 0);
    const std::string chunk(16384, 's');
    std::string echoed;
    size_t asked = 0;
    bool stalledOpen = true;
    // The stalled client writes until the server drops it; the reader is served throughout.
    while (stalledOpen) {
        send(stalled, chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        ASSERT_EQ(send(reader, "r", 1, MSG_NOSIGNAL), 1);
        ++asked;
        while (echoed.size() < asked) {
            m_server->Update();
            ASSERT_TRUE(ReadSome(reader, echoed));
        }
        stalledOpen = m_server->GetActorCount() == 2;
        for (const auto& actor : m_server->GetActors()) {
            ASSERT_LE(actor.second->GetQueuedBytes(), CActor::kMaxQueuedBytes + CActor::kReceiveSize);
        }
    }
    EXPECT_EQ(echoed, std::string(asked, 'r'));
    EXPECT_EQ(m_server->GetActorCount(), 1u);
    EXPECT_EQ(m_log.CountWithin("it stopped reading"), 1) << m_log.All();
}

TEST_F(ServerSocketLoopback, ARestartedServerListensOnTheSamePortAgain) {
    int client = Client();
    ASSERT_GE(client, 0);
    while (m_server->GetActorCount() == 0) m_server->Update();
    m_server.reset();
    m_server = std::make_unique<CServerSocket>(&m_factory, m_port);
    m_server->Update();
    EXPECT_TRUE(m_server->IsListening()) << m_log.All();
    int again = Client();
    ASSERT_GE(again, 0);
    ASSERT_EQ(send(again, "back", 4, MSG_NOSIGNAL), 4);
    std::string echoed;
    while (echoed.size() < 4) {
        m_server->Update();
        ASSERT_TRUE(ReadSome(again, echoed));
    }
    EXPECT_EQ(echoed, "back");
}

TEST(ServerSocketPortInUse, ASecondServerOnATakenPortFailsWithAddressInUse) {
    kestrin_test::LogCapture log;
    CActorFactory factory;
    CServerSocket first(&factory, 0);
    first.Update();
    std::string address;
    uint16_t port = 0;
    ASSERT_TRUE(first.GetListenAddress(address, port));
    CServerSocket second(&factory, port);
    EXPECT_TRUE(second.Update());
    EXPECT_FALSE(second.IsListening());
    EXPECT_EQ(second.GetErrorStep(), CServerSocket::kStepBind);
    EXPECT_EQ(second.GetErrorCode(), 10048);
    EXPECT_EQ(log.CountWithin("the port is in use"), 1) << log.All();
}

}  // namespace
