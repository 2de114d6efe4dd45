// The HTTP client's pieces without a network: URL parsing, multipart bodies, the request
// text, and the response reader fed through the socket double in chosen pieces.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CBinaryStream.h"
#include "NETWORK/CHttpSocket.h"
#include "NETWORK/CMimeMultiPart.h"
#include "NETWORK/CUrl.h"
#include "NETWORK/Platform/HeadlessSocketService.h"
#include "support/TestSupport.h"

namespace {

using kestrin::CHttpSocket;
using kestrin::CUrl;
using kestrin::HeadlessSocketService;

TEST(Url, SplitsIntoHostPortPathAndQuery) {
    struct Case {
        const char* text;
        const char* host;
        int port;
        const char* target;
        const char* query;
    } cases[] = {
        {"http://example.com:8080/a/../b?x=1", "example.com", 8080, "/b?x=1", "?x=1"},
        {"http://example.com/a/./b/../c", "example.com", 0, "/a/c", ""},
        {"http://example.com/", "example.com", 0, "/", ""},
        {"http://example.com/a/", "example.com", 0, "/a/", ""},
        {"example.com/p?q", "example.com", 0, "/p?q", "?q"},
        // Without a path the root is meant; a query may follow the host at once.
        {"http://example.com", "example.com", 0, "/", ""},
        {"http://example.com:81?a=/b", "example.com", 81, "/?a=/b", "?a=/b"},
        {"example.com", "example.com", 0, "/", ""},
        {"http://h/\x83\x5c/x", "h", 0, "/\x83\x5c/x", ""},  // a trail byte 0x5C is no separator
        {"http://[::1]:8080/p", "[::1]", 8080, "/p", ""},    // the address's colons are no port
        {"http://h/../a/..", "h", 0, "/", ""},               // no climbing above the root
    };
    for (const Case& c : cases) {
        CUrl url(c.text);
        EXPECT_EQ(url.GetHost(), c.host) << c.text;
        EXPECT_EQ(url.GetPort(), c.port) << c.text;
        EXPECT_EQ(url.GetRequestTarget(), c.target) << c.text;
        EXPECT_EQ(url.GetQuery(false), c.query) << c.text;
    }
    EXPECT_EQ(CUrl("http://h/p?x=1").GetQuery(true), "x=1");
    EXPECT_EQ(CUrl("http://h/d/file.txt").GetFileName(), "file.txt");
}

// What no plain TCP connection can reach is refused before anything is sent; the port
// given is the one checked (0 for the default, and for a refused port).
TEST(Url, RefusesWhatCannotBeReached) {
    struct Case {
        const char* text;
        CUrl::EReach reach;
        int port;
        // clang-format off
    } cases[] = {
        {"http://h/", CUrl::kReachable, 0},            {"http://h:/", CUrl::kReachable, 0},
        {"http://h:1/", CUrl::kReachable, 1},          {"http://h:65535", CUrl::kReachable, 65535},
        {"http://h:65536/", CUrl::kBadPort, 0},        {"http://h:99999/", CUrl::kBadPort, 0},
        {"http://h:0/", CUrl::kBadPort, 0},            {"http://h:8o/", CUrl::kBadPort, 0},
        {"http://h:-80/", CUrl::kBadPort, 0},          {"http://h:000000080/", CUrl::kReachable, 80},
        {"http://[::1]:8080/", CUrl::kIpv6Host, 8080}, {"http://[::1]/", CUrl::kIpv6Host, 0},
        {"http://::1/", CUrl::kNoHost, 0},             {"http:///p", CUrl::kNoHost, 0},
        {"http://", CUrl::kNoHost, 0},                 {"", CUrl::kNoHost, 0},
        // No TLS: an https URL would go out in clear text.
        {"https://h/", CUrl::kTls, 0},                 {"HTTPS://h:8443/p", CUrl::kTls, 8443},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(CUrl(c.text).CheckReachable(), c.reach) << c.text;
        EXPECT_EQ(CUrl(c.text).GetPort(), c.port) << c.text;
        EXPECT_EQ(CUrl::UnreachableText(c.reach) == nullptr, c.reach == CUrl::kReachable) << c.text;
    }
}

TEST(Multipart, BodyLayoutAndBoundaryNeverInsideAPart) {
    std::list<std::shared_ptr<kestrin::CMimeMultiPart>> parts;
    parts.push_back(std::make_shared<kestrin::CMimeMultiPart>("Content-Disposition: form-data; name=\"a\"", "1"));
    parts.push_back(std::make_shared<kestrin::CMimeMultiPart>("Content-Disposition: form-data; name=\"b\"", "two"));
    kestrin::CBinaryStream stream;
    const std::string boundary = kestrin::BuildMultipartBody(stream, parts);
    auto* flat = stream.GetMemory();
    const std::string body(reinterpret_cast<const char*>(flat->data), flat->size);
    const std::string d = "--" + boundary;
    EXPECT_EQ(body, d + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n" + d +
                        "\r\nContent-Disposition: form-data; name=\"b\"\r\n\r\ntwo\r\n" + d + "--\r\n");
    // Random: two bodies get different boundaries.
    kestrin::CBinaryStream other;
    EXPECT_NE(kestrin::BuildMultipartBody(other, parts), boundary);
    EXPECT_EQ(kestrin::CMimeMultiPart::QuoteName("a\"b\r\nc"), "a%22b%0D%0Ac");
}

std::string Repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}
const char kFinalX[] = "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx";

// Plays the server of one CHttpSocket through the socket double.
class Reader : public ::testing::Test {
protected:
    void SetUp() override {
        m_service.acceptConnects = true;
        kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
        services.socketService = kestrin::Unowned(m_service);
        m_services.emplace(services);
        ASSERT_FALSE(m_services->Failed());
    }
    void TearDown() override {
        m_socket.reset();
        m_services.reset();
    }
    // Starts a GET and sends it; returns what the server received.
    std::string Start(const std::string& target = "/x", const std::string& download = std::string()) {
        m_socket = std::make_unique<CHttpSocket>("127.0.0.1", 8080);
        m_socket->SetForceNonBlocking(true);
        if (!download.empty()) m_socket->SetDownloadFile(download);
        EXPECT_FALSE(m_socket->Get(target));
        for (int i = 0; i < 4 && m_socket->GetQueuedBytes() != 0; ++i) EXPECT_FALSE(m_socket->Update());
        m_peer = m_service.lastConnectPeer;
        return m_service.PeerTake(m_peer);
    }
    struct Result {
        bool failed = false;
        bool completed = false;
        int step = 0;
        std::string body;
    };
    // Feeds the pieces (one per call), then closes when asked, until an outcome.
    Result Feed(const std::vector<std::string>& pieces, bool closeAtEnd) {
        Result r;
        size_t next = 0;
        for (size_t call = 0; call < 3 * pieces.size() + 20; ++call) {
            if (m_socket->GetQueuedBytes() != 0) {
                m_socket->Update();
                continue;
            }
            if (next < pieces.size()) {
                m_service.PeerSend(m_peer, pieces[next++]);
            } else if (closeAtEnd) {
                m_service.PeerClose(m_peer);
            }
            int length = 0;
            if (m_socket->Receive(r.body, length)) {
                r.failed = true;
                r.step = m_socket->GetErrorStep();
                return r;
            }
            if (m_socket->HasCompleted()) {
                r.completed = true;
                return r;
            }
        }
        return r;
    }

    HeadlessSocketService m_service;
    std::optional<kestrin::PlatformServicesScope> m_services;
    std::unique_ptr<CHttpSocket> m_socket;
    int m_peer = -1;
};

TEST_F(Reader, RequestTextNamesHostWithItsPortAndHeadersInOrder) {
    m_socket = std::make_unique<CHttpSocket>("127.0.0.1", 8080);
    m_socket->SetForceNonBlocking(true);
    m_socket->SetRequestHeaders({{"X-B", "2"}, {"X-A", "1"}});
    ASSERT_FALSE(m_socket->Request("p?q=1", "k=v", 3));
    while (m_socket->GetQueuedBytes() != 0) ASSERT_FALSE(m_socket->Update());
    EXPECT_EQ(m_service.PeerTake(m_service.lastConnectPeer),
              "POST /p?q=1 HTTP/1.1\r\nHost: 127.0.0.1:8080\r\nUser-Agent: CHttpSocket/1.0 (Windows) Kestrin "
              "Framework\r\nConnection: Keep-Alive\r\nCache-Control: no-cache\r\nContent-Length: 3\r\nX-A: 1\r\nX-B: "
              "2\r\n\r\nk=v");
}

// Each reply, whole and split at every byte, gives one outcome.
TEST_F(Reader, RepliesGiveTheSameOutcomeWhateverTheSplit) {
    struct Case {
        const char* name;
        std::string reply;
        bool close;
        bool completed;
        int step;
        std::string body;
    } cases[] = {
        {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", false, true, 0, "hello"},
        {"short body", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nhello", true, false, 160, ""},
        {"chunked with trailer",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;e=1\r\nhello\r\n1\r\n!\r\n0\r\nT: 1\r\n\r\n", false,
         true, 0, "hello!"},
        {"chunk without CRLF", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhelloXX0\r\n\r\n", false,
         false, 470, ""},
        {"bad chunk size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", false, false, 430, ""},
        {"huge chunk size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nffffffffffffffffff\r\n", false, false,
         430, ""},
        {"conflicting lengths", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\nhello!", false, false,
         300, ""},
        {"equal lengths", "HTTP/1.1 200 OK\r\nContent-Length: 2, 2\r\n\r\nok", false, true, 0, "ok"},
        {"length overflow", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n", false, false, 300, ""},
        {"negative length", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", false, false, 300, ""},
        {"too large for memory", "HTTP/1.1 200 OK\r\nContent-Length: 999999999999\r\n\r\n", false, false, 335, ""},
        {"204 has no body", "HTTP/1.1 204 No Content\r\n\r\n", false, true, 0, ""},
        {"304 has no body", "HTTP/1.1 304 Not Modified\r\nContent-Length: 10\r\n\r\n", false, true, 0, ""},
        {"interim then final", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx", false,
         true, 0, "x"},
        {"eight interim replies", Repeated("HTTP/1.1 102 Processing\r\n\r\n", 8) + kFinalX, false, true, 0, "x"},
        {"nine interim replies", Repeated("HTTP/1.1 100 Continue\r\n\r\n", 9) + kFinalX, false, false,
         CHttpSocket::kStepInterimLimit, ""},
        // Neither length nor chunking, also when a bare CR or a blank before the colon hides
        // the framing header: the reply is refused, never read up to the close.
        {"no framing", "HTTP/1.0 200 OK\r\n\r\nall of it", true, false, 328, ""},
        {"CR hides the length", "HTTP/1.1 200 OK\r\rContent-Length: 4\r\n\r\nEvil", true, false, 328, ""},
        {"blank before colon", "HTTP/1.1 200 OK\r\nContent-Length : 4\r\n\r\nEvil", true, false, 328, ""},
        {"closed in header", "HTTP/1.1 200 OK\r\nContent-", true, false, 160, ""},
        {"coding with capitals", "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n", false, false, 319, ""},
        {"empty name", "HTTP/1.1 200 OK\r\n: x\r\n\r\n", false, false, 251, ""},
        {"bad status", "HTTP/1.1 2x0 OK\r\n\r\n", false, false, 231, ""},
        {"too many lines",
         "HTTP/1.1 200 OK\r\n" +
             [] {
                 std::string s;
                 for (int i = 0; i < 200; ++i) s += "X: 1\r\n";
                 return s;
             }() +
             "\r\n",
         false, false, 240, ""},
        {"header too large", "HTTP/1.1 200 OK\r\nX: " + std::string(70000, 'a'), false, false, 240, ""},
    };
    for (const Case& c : cases) {
        const std::vector<size_t> splits = c.reply.size() > 1000 ? std::vector<size_t>{c.reply.size(), 997}
                                                                 : std::vector<size_t>{c.reply.size(), 1, 7};
        for (size_t split : splits) {
            SCOPED_TRACE(std::string(c.name) + " in pieces of " + std::to_string(split));
            Start();
            std::vector<std::string> pieces;
            for (size_t at = 0; at < c.reply.size(); at += split) pieces.push_back(c.reply.substr(at, split));
            Result r = Feed(pieces, c.close);
            EXPECT_EQ(r.completed, c.completed);
            EXPECT_EQ(r.failed, !c.completed);
            EXPECT_EQ(r.step, c.step);
            EXPECT_EQ(r.body, c.body);
        }
    }
}

// An endless chunked body in memory fails at the limit, and its block never grows past it.
TEST_F(Reader, EndlessChunkedBodyStopsAtTheLimitWithoutReservingBeyondIt) {
    const int64_t limit = int64_t(1) << 20;
    Start();
    m_socket->SetMemoryBodyLimit(limit);
    m_service.PeerSend(m_peer, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
    const std::string chunk = "8000\r\n" + std::string(0x8000, 'c') + "\r\n";
    size_t largest = 0;
    bool failed = false;
    for (int call = 0; call < 200 && !failed; ++call) {
        m_service.PeerSend(m_peer, chunk);
        std::string body;
        int length = 0;
        failed = m_socket->Receive(body, length);
        ASSERT_FALSE(m_socket->HasCompleted());
        largest = std::max(largest, m_socket->GetBodyCapacity());
    }
    ASSERT_TRUE(failed);
    EXPECT_EQ(m_socket->GetErrorStep(), CHttpSocket::kStepBodyTooLarge);
    EXPECT_GT(largest, static_cast<size_t>(limit / 2));
    EXPECT_LE(largest, static_cast<size_t>(limit) + 1);
}

// A redirect to another host or port carries every header but the credentials; one to the
// same host and port carries them all.
TEST_F(Reader, RedirectElsewhereDropsTheCredentials) {
    struct Case {
        const char* location;
        const char* host;  // the Host header of the redirected request
        bool credentials;
    } cases[] = {
        {"/next", "127.0.0.1:8080", true},
        {"HTTP://127.0.0.1:8080/next", "127.0.0.1:8080", true},
        {"http://127.0.0.1:8081/next", "127.0.0.1:8081", false},
        {"http://127.0.0.2:8080/next", "127.0.0.2:8080", false},
        {"//127.0.0.2:8080/next", "127.0.0.2:8080", false},
        {"http://127.0.0.2/next", "127.0.0.2", false},
    };
    const char* credentials[] = {"Authorization: Basic eDp5\r\n", "cookie: s=1\r\n", "PROXY-Authorization: p\r\n"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.location);
        m_socket = std::make_unique<CHttpSocket>("127.0.0.1", 8080);
        m_socket->SetForceNonBlocking(true);
        m_socket->SetRequestHeaders(
            {{"Authorization", "Basic eDp5"}, {"cookie", "s=1"}, {"PROXY-Authorization", "p"}, {"X-Keep", "1"}});
        ASSERT_FALSE(m_socket->Get("/first"));
        while (m_socket->GetQueuedBytes() != 0) ASSERT_FALSE(m_socket->Update());
        const int first = m_service.lastConnectPeer;
        const std::string firstRequest = m_service.PeerTake(first);
        for (const char* header : credentials) EXPECT_NE(firstRequest.find(header), std::string::npos) << header;
        m_service.PeerSend(
            first, std::string("HTTP/1.1 302 Found\r\nLocation: ") + c.location + "\r\nContent-Length: 0\r\n\r\n");
        std::string body;
        int length = 0;
        ASSERT_FALSE(m_socket->Receive(body, length));
        while (m_socket->GetQueuedBytes() != 0) ASSERT_FALSE(m_socket->Update());
        ASSERT_NE(m_service.lastConnectPeer, first);
        const std::string request = m_service.PeerTake(m_service.lastConnectPeer);
        EXPECT_NE(request.find(std::string("GET /next HTTP/1.1\r\nHost: ") + c.host + "\r\n"), std::string::npos)
            << request;
        EXPECT_NE(request.find("X-Keep: 1\r\n"), std::string::npos) << request;
        for (const char* header : credentials)
            EXPECT_EQ(request.find(header) != std::string::npos, c.credentials) << header << request;
    }
}

TEST_F(Reader, BytesAfterAReplyStartTheNextOnTheSameConnection) {
    Start();
    Result first =
        Feed({"HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\naHTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nb"}, false);
    ASSERT_TRUE(first.completed);
    EXPECT_EQ(first.body, "a");
    ASSERT_FALSE(m_socket->Get("/y"));
    Result second = Feed({}, false);
    ASSERT_TRUE(second.completed);
    EXPECT_EQ(second.body, "b");
}

TEST_F(Reader, ReceiveBufferDoublesWhenFilledAndStopsGrowing) {
    Start();
    m_service.PeerSend(m_peer, std::string(4095, 'x'));
    char* block = nullptr;
    int length = 0;
    ASSERT_FALSE(m_socket->kestrin::CClientSocket::Receive(block, length));
    delete[] block;
    EXPECT_EQ(length, 4095);
    EXPECT_EQ(m_socket->GetReceiveSize(), 8190);
    for (int i = 0; i < 12; ++i) {
        m_service.PeerSend(m_peer, std::string(m_socket->GetReceiveSize(), 'x'));
        ASSERT_FALSE(m_socket->kestrin::CClientSocket::Receive(block, length));
        delete[] block;
    }
    EXPECT_EQ(m_socket->GetReceiveSize(), CHttpSocket::kMaxReceiveSize);
}

// A download replaces the target only after a complete 200 reply.
TEST_F(Reader, DownloadKeepsTheOldFileUnlessComplete) {
    kestrin_test::TempDir dir;
    const std::string target = dir.Write("save.dat", "old save");
    auto read = [&] {
        std::ifstream in(target, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    auto leftovers = [&] {
        int n = 0;
        for (auto& entry : std::filesystem::directory_iterator(dir.Path())) n += entry.path().filename() != "save.dat";
        return n;
    };
    struct Case {
        const char* reply;
        bool close;
        bool completed;
        const char* after;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 20\r\n\r\npartial", true, false, "old save"},
        {"HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\nnope", false, true, "old save"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false, false, "old save"},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nnew\r\n0\r\n\r\n", false, true, "new"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        Start("/x", target);
        Result r = Feed({c.reply}, c.close);
        EXPECT_EQ(r.completed, c.completed);
        EXPECT_EQ(read(), c.after);
        EXPECT_EQ(leftovers(), 0);
    }
}

}  // namespace
