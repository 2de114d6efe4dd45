// The HTTP client against real servers on 127.0.0.1: nginx for the common framings,
// redirects and keep-alive, and the tests' Python server for the rest.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <list>
#include <memory>
#include <sstream>
#include <string>

#include "CORE/CBinaryStream.h"
#include "SuitePythonServer.h"
#include "NETWORK/CHttpSocket.h"
#include "NETWORK/CMimeMultiPart.h"
#include "support/TestSupport.h"

namespace {

using kestrin::CHttpSocket;

struct Fetched {
    bool failed = false;
    int step = 0;
    int status = 0;
    std::string body;
    std::string coding;
};

// Drives the socket until the reply is complete or failed (a safety limit only guards
// against a hang; no outcome depends on it).
Fetched Drive(CHttpSocket& socket) {
    Fetched out;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < limit) {
        if (socket.GetQueuedBytes() != 0) {
            if (socket.Update()) {
                out.failed = true;
                out.step = socket.GetErrorStep();
                return out;
            }
        } else {
            int length = 0;
            if (socket.Receive(out.body, length)) {
                out.failed = true;
                out.step = socket.GetErrorStep();
                return out;
            }
            if (socket.HasCompleted()) {
                out.status = socket.GetStatusCode();
                auto coding = socket.GetResponseHeaders().find("transfer-encoding");
                if (coding != socket.GetResponseHeaders().end()) out.coding = coding->second;
                return out;
            }
        }
        socket.WaitReady(5);
    }
    out.failed = true;
    return out;
}

Fetched Get(int port, const std::string& target) {
    CHttpSocket socket("127.0.0.1", static_cast<uint16_t>(port));
    socket.SetForceNonBlocking(true);
    if (socket.Get(target)) return Fetched{true, socket.GetErrorStep(), 0, "", ""};
    return Drive(socket);
}

class Nginx : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_folder = new kestrin_test::TempDir();
        s_folder->Write("www/files/a.txt", "file a\n");
        s_folder->Write("www/chunked/b.txt", std::string(20000, 'b'));
        s_folder->Write("tmp/.keep", "");
        s_port = kestrin_test::FreePort();
        const std::string port = std::to_string(s_port);
        s_server = new kestrin_test::ServerProcess();
        s_ready = kestrin_test::StartNginx(*s_server, s_folder->Path(), s_port,
                                           // The substitution filter drops the length: a chunked reply.
                                           "    location /chunked/ { sub_filter 'never' 'x'; sub_filter_types *; }\n"
                                           "    location = /r301 { return 301 /files/a.txt; }\n"
                                           "    location = /r302 { return 302 /files/a.txt; }\n"
                                           "    location = /r307 { return 307 /files/a.txt; }\n"
                                           "    location = /abs { return 302 http://127.0.0.1:" +
                                               port +
                                               "/r301; }\n"
                                               "    location = /tls { return 302 https://127.0.0.1:" +
                                               port +
                                               "/files/a.txt; }\n"
                                               "    location = /loop { return 302 /loop; }\n"
                                               "    location = /empty { return 204; }\n"
                                               "    location = /conn { return 200 \"$connection\"; }\n");
    }
    static void TearDownTestSuite() {
        delete s_server;
        delete s_folder;
    }
    void SetUp() override { ASSERT_TRUE(s_ready) << "nginx did not start"; }

    static kestrin_test::TempDir* s_folder;
    static kestrin_test::ServerProcess* s_server;
    static int s_port;
    static bool s_ready;
};
kestrin_test::TempDir* Nginx::s_folder = nullptr;
kestrin_test::ServerProcess* Nginx::s_server = nullptr;
int Nginx::s_port = 0;
bool Nginx::s_ready = false;

TEST_F(Nginx, FramingsAndRedirects) {
    struct Case {
        const char* target;
        bool failed;
        int step;
        int status;
        std::string body;
        const char* coding;
    } cases[] = {
        {"/files/a.txt", false, 0, 200, "file a\n", ""},
        {"/chunked/b.txt", false, 0, 200, std::string(20000, 'b'), "chunked"},
        {"/r301", false, 0, 200, "file a\n", ""},
        {"/r302", false, 0, 200, "file a\n", ""},
        {"/r307", false, 0, 200, "file a\n", ""},
        {"/abs", false, 0, 200, "file a\n", ""},
        {"/empty", false, 0, 204, "", ""},
        {"/loop", true, CHttpSocket::kStepRedirectLimit, 0, "", ""},
        {"/tls", true, CHttpSocket::kStepRedirectTarget, 0, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        Fetched f = Get(s_port, c.target);
        EXPECT_EQ(f.failed, c.failed);
        EXPECT_EQ(f.step, c.step);
        EXPECT_EQ(f.status, c.status);
        EXPECT_EQ(f.body, c.body);
        EXPECT_EQ(f.coding, c.coding);
    }
}

TEST_F(Nginx, KeepAliveServesTheNextRequestOnTheSameConnection) {
    CHttpSocket socket("127.0.0.1", static_cast<uint16_t>(s_port));
    socket.SetForceNonBlocking(true);
    ASSERT_FALSE(socket.Get("/conn"));
    Fetched first = Drive(socket);
    ASSERT_FALSE(socket.Get("/conn"));
    Fetched second = Drive(socket);
    ASSERT_EQ(first.status, 200);
    EXPECT_FALSE(first.body.empty());
    EXPECT_EQ(second.body, first.body);  // nginx's connection serial number
}

TEST_F(Nginx, RefusedConnectionReportsTheConnectStep) {
    int closed = kestrin_test::FreePort();
    CHttpSocket socket("127.0.0.1", static_cast<uint16_t>(closed));
    socket.SetForceNonBlocking(true);
    ASSERT_FALSE(socket.Get("/"));
    Fetched f = Drive(socket);
    EXPECT_TRUE(f.failed);
    EXPECT_EQ(f.step, CHttpSocket::kStepPendingConnect);
    EXPECT_EQ(socket.GetErrorCode(), 10061);
}

class PythonServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_python.Start(); }
    static void TearDownTestSuite() { s_python.Stop(); }
    void SetUp() override { ASSERT_TRUE(s_python.ready) << "the Python server did not start"; }

    static kestrin_test::SuitePythonServer s_python;
};
kestrin_test::SuitePythonServer PythonServer::s_python;

TEST_F(PythonServer, RepliesNginxDoesNotGive) {
    struct Case {
        const char* target;
        bool failed;
        int step;
        int status;
        const char* body;
    } cases[] = {
        // Without a length or chunking the end of the body cannot be told from a drop.
        {"/http10", true, CHttpSocket::kStepNoFraming, 0, ""}, {"/dir/rel", false, 0, 200, "target from=rel"},
        {"/notfound", false, 0, 404, "missing page"},          {"/slow", false, 0, 200, "slowly"},
        {"/truncated", true, CHttpSocket::kStepClosed, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        Fetched f = Get(s_python.port, c.target);
        EXPECT_EQ(f.failed, c.failed);
        EXPECT_EQ(f.step, c.step);
        EXPECT_EQ(f.status, c.status);
        EXPECT_EQ(f.body, c.body);
    }
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

TEST_F(PythonServer, MultipartBodyParsesWithTheEmailParser) {
    using kestrin::CMimeMultiPart;
    // Awkward names and bytes that look like delimiters must survive.
    const std::string binary = std::string("--\r\n--KestrinBoundary\r\n\0\xff", 26);
    std::list<std::shared_ptr<CMimeMultiPart>> parts;
    parts.push_back(std::make_shared<CMimeMultiPart>(
        "Content-Disposition: form-data; name=\"" + CMimeMultiPart::QuoteName("we\"ird") + "\"", "text value"));
    kestrin::CBinaryStream::CMemoryInfo data(reinterpret_cast<unsigned char*>(const_cast<char*>(binary.data())),
                                             static_cast<int32_t>(binary.size()));
    parts.push_back(std::make_shared<CMimeMultiPart>(
        "Content-Disposition: form-data; name=\"upload\"; filename=\"a.bin\"\r\nContent-Type: application/octet-stream",
        data));
    kestrin::CBinaryStream stream;
    const std::string boundary = kestrin::BuildMultipartBody(stream, parts);
    auto* flat = stream.GetMemory();
    CHttpSocket socket("127.0.0.1", static_cast<uint16_t>(s_python.port));
    socket.SetForceNonBlocking(true);
    socket.SetRequestHeaders({{"Content-Type", "multipart/form-data; boundary=" + boundary}});
    ASSERT_FALSE(socket.Request("/echo", reinterpret_cast<const char*>(flat->data), flat->size));
    Fetched f = Drive(socket);
    ASSERT_EQ(f.status, 200);
    EXPECT_EQ(f.body, "defects=0\nwe%22ird|None|" + Hex("text value") + "\nupload|a.bin|" + Hex(binary));
}

}  // namespace
