// A download to a file goes through a fresh temporary file beside the target, synced before
// it replaces the target, and never through a link planted at the target.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "Application/PlatformServicesScope.h"
#include "CORE/FileReplace.h"
#include "CORE/Platform/PosixFileSystem.h"
#include "NETWORK/CHttpSocket.h"
#include "NETWORK/Platform/HeadlessSocketService.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using kestrin::CHttpSocket;

class CountingSyncs : public kestrin::PosixFileSystem {
public:
    bool SyncFile(std::FILE* file) override {
        ++syncs;
        return PosixFileSystem::SyncFile(file);
    }
    int syncs = 0;
};

class HttpDownloadFile : public ::testing::Test {
protected:
    void SetUp() override {
        m_service.acceptConnects = true;
        kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
        services.socketService = kestrin::Unowned(m_service);
        services.fileSystem = kestrin::Unowned(m_files);
        m_services.emplace(services);
        ASSERT_FALSE(m_services->Failed());
    }
    void TearDown() override { m_services.reset(); }
    // Downloads body to target; true when the socket reports a failure (its step in step).
    bool Download(const std::string& target, const std::string& body, int& step) {
        CHttpSocket socket("127.0.0.1", 8080);
        socket.SetForceNonBlocking(true);
        socket.SetDownloadFile(target);
        EXPECT_FALSE(socket.Get("/file"));
        const int peer = m_service.lastConnectPeer;
        m_service.PeerSend(peer,
                           "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
        for (int call = 0; call < 50; ++call) {
            if (socket.GetQueuedBytes() != 0) {
                socket.Update();
                continue;
            }
            std::string received;
            int length = 0;
            if (socket.Receive(received, length)) {
                step = socket.GetErrorStep();
                return true;
            }
            if (socket.HasCompleted()) return false;
        }
        ADD_FAILURE() << "no outcome";
        return true;
    }
    int Temporaries() const {
        int n = 0;
        for (const auto& entry : fs::directory_iterator(m_dir.Path()))
            n += kestrin::CFileReplacement::IsTemporaryName(entry.path().filename().string());
        return n;
    }

    kestrin::HeadlessSocketService m_service;
    CountingSyncs m_files;
    std::optional<kestrin::PlatformServicesScope> m_services;
    kestrin_test::TempDir m_dir;
};

TEST_F(HttpDownloadFile, TheBodyIsSyncedBeforeItReplacesTheTarget) {
    const std::string target = m_dir.Write("data.bin", "old");
    int step = 0;
    ASSERT_FALSE(Download(target, "downloaded", step)) << step;
    EXPECT_EQ(kestrin_test::ReadFileBytes(target), "downloaded");
    EXPECT_EQ(m_files.syncs, 1);
    EXPECT_EQ(Temporaries(), 0);
}

TEST_F(HttpDownloadFile, ALinkAtTheTargetIsNotWrittenThrough) {
    const std::string victim = m_dir.Write("elsewhere/victim", "victim");
    const std::string target = m_dir.Path() + "/data.bin";
    fs::create_symlink(victim, target);
    int step = 0;
    EXPECT_TRUE(Download(target, "downloaded", step));
    EXPECT_EQ(step, CHttpSocket::kStepWriteLength);
    EXPECT_EQ(kestrin_test::ReadFileBytes(victim), "victim");
    EXPECT_TRUE(fs::is_symlink(target));
    EXPECT_EQ(Temporaries(), 0);
}

}  // namespace
