// The system socket service from the connecting side, as the HTTP client will use it:
// non-blocking connect, the pending error once writable, send and receive, and names.
#include "NETWORK/Platform/PosixSocketService.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NETWORK/WinsockErrors.h"

namespace {

using namespace kestrin;

constexpr uint32_t kLoopback = 0x7F000001;

class PosixSockets : public ::testing::Test {
protected:
    void TearDown() override {
        for (int s : m_open) m_sockets.Close(s);
    }
    int Stream() {
        int error = 0;
        int s = m_sockets.CreateStream(error);
        EXPECT_GE(s, 0);
        EXPECT_EQ(error, 0);
        if (s >= 0) m_open.push_back(s);
        return s;
    }
    // A listener on a free loopback port.
    int Listener(uint16_t& port) {
        int s = Stream();
        int error = 0;
        EXPECT_TRUE(m_sockets.Bind(s, kLoopback, 0, error));
        EXPECT_TRUE(m_sockets.Listen(s, 4, error));
        std::string address;
        EXPECT_TRUE(m_sockets.GetLocalAddress(s, address, port));
        return s;
    }
    // Waits until the socket is writable (or failed).
    void WaitWritable(int s) {
        std::vector<SocketPollEntry> entries(1);
        entries[0].handle = s;
        entries[0].wantWrite = true;
        int error = 0;
        while (!entries[0].writable && !entries[0].failed) ASSERT_GE(m_sockets.Poll(entries, 100, error), 0);
    }

    PosixSocketService m_sockets;
    std::vector<int> m_open;
};

TEST_F(PosixSockets, ANonBlockingConnectCompletesAndCarriesBytesBothWays) {
    uint16_t port = 0;
    int listener = Listener(port);
    int client = Stream();
    int error = 0;
    if (!m_sockets.Connect(client, kLoopback, port, error)) {
        ASSERT_EQ(error, wsa::kWouldBlock);
    }
    WaitWritable(client);
    EXPECT_EQ(m_sockets.GetPendingError(client), 0);

    std::string peer;
    int accepted = -1;
    while (accepted < 0) {
        accepted = m_sockets.Accept(listener, peer, error);
        if (accepted < 0) {
            ASSERT_EQ(error, wsa::kWouldBlock);
        }
    }
    m_open.push_back(accepted);
    EXPECT_EQ(peer, "127.0.0.1");

    char buffer[16];
    EXPECT_EQ(m_sockets.Receive(accepted, buffer, sizeof buffer, error), -1);
    EXPECT_EQ(error, wsa::kWouldBlock);
    ASSERT_EQ(m_sockets.Send(client, "ping", 4, error), 4);
    std::string got;
    while (got.size() < 4) {
        long n = m_sockets.Receive(accepted, buffer, sizeof buffer, error);
        if (n > 0) {
            got.append(buffer, static_cast<size_t>(n));
        } else {
            ASSERT_EQ(error, wsa::kWouldBlock);
        }
    }
    EXPECT_EQ(got, "ping");

    // The peer's close reads as 0 bytes; sending into a closed connection raises no signal.
    m_sockets.Shutdown(accepted);
    long n = -1;
    while ((n = m_sockets.Receive(client, buffer, sizeof buffer, error)) < 0) {
        ASSERT_EQ(error, wsa::kWouldBlock);
    }
    EXPECT_EQ(n, 0);
}

TEST_F(PosixSockets, ARefusedConnectShowsAsThePendingError) {
    uint16_t port = 0;
    int listener = Listener(port);
    m_sockets.Close(listener);
    m_open.erase(m_open.begin());
    int client = Stream();
    int error = 0;
    if (!m_sockets.Connect(client, kLoopback, port, error) && error != wsa::kWouldBlock) {
        EXPECT_EQ(error, wsa::kConnectionRefused);
        return;
    }
    WaitWritable(client);
    EXPECT_EQ(m_sockets.GetPendingError(client), wsa::kConnectionRefused);
}

TEST_F(PosixSockets, NamesAndDottedAddressesResolve) {
    uint32_t address = 0;
    int error = -1;
    ASSERT_TRUE(m_sockets.Resolve("127.0.0.1", address, error));
    EXPECT_EQ(address, kLoopback);
    EXPECT_EQ(error, 0);
    ASSERT_TRUE(m_sockets.Resolve("10.1.2.3", address, error));
    EXPECT_EQ(address, 0x0A010203u);
    ASSERT_TRUE(m_sockets.Resolve("localhost", address, error));
    EXPECT_EQ(address >> 24, 127u);
}

}  // namespace
