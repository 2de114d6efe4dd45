// Save-data synchronisation against the tests' save-data server double.
#include <gtest/gtest.h>
#include <unistd.h>
#include <utime.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "CORE/CDynamicVariables.h"
#include "SuitePythonServer.h"
#include "NetworkTestSupport.h"
#include "NETWORK/UnisonSync.h"
#include "support/TestSupport.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Unison : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_python.Start(); }
    static void TearDownTestSuite() { s_python.Stop(); }
    void SetUp() override {
        ASSERT_TRUE(s_python.ready) << "the save-data server did not start";
        char cwd[PATH_MAX];
        ASSERT_TRUE(getcwd(cwd, sizeof cwd));
        m_cwd = cwd;
        auto* folders = kestrin::CDynamicVariables::GetInstance();
        folders->SetString("GameDataPath", m_game.Path());
        folders->SetString("SaveDataPath", m_save.Path());
        ASSERT_EQ(chdir(m_game.Path().c_str()), 0);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(m_cwd.c_str()), 0);
        kestrin::CDynamicVariables::ReleaseInstance();
    }
    std::string Server() const { return "http://127.0.0.1:" + std::to_string(s_python.port) + "/save"; }
    std::string Sync(const std::string& file, const std::string& pass = "secret", int limitMs = 30000,
                     const std::string& server = std::string(), std::function<bool()> closeRequested = nullptr) {
        kestrin::SUnisonOptions options;
        options.textEncoding = 2;
        options.timeLimitMs = limitMs;
        options.closeRequested = std::move(closeRequested);
        std::string message =
            kestrin::UnisonSync(file, server.empty() ? Server() : server, "my game&1", "player", pass, options);
        char cwd[PATH_MAX];
        EXPECT_TRUE(getcwd(cwd, sizeof cwd));
        EXPECT_EQ(std::string(cwd), m_game.Path());  // the game folder is current again
        return message;
    }
    void ServerHas(const std::string& name, const std::string& bytes, const std::string& time) {
        s_python.store->Write(name, bytes);
        s_python.store->Write(name + ".time", time);
    }

    static kestrin_test::SuitePythonServer s_python;
    kestrin_test::TempDir m_game;
    kestrin_test::TempDir m_save;
    std::string m_cwd;
};
kestrin_test::SuitePythonServer Unison::s_python;

TEST_F(Unison, NewerServerCopyReplacesTheLocalFile) {
    ServerHas("down.dat", std::string("server\0copy", 11), "2000000000");
    m_save.Write("down.dat", "old local");
    EXPECT_EQ(Sync("down.dat"), "");
    EXPECT_EQ(ReadFile(m_save.Path() + "/down.dat"), std::string("server\0copy", 11));
    // The query carries the encoded names.
    EXPECT_NE(ReadFile(s_python.store->Path() + "/queries.log")
                  .find("appname=my%20game%261&id=player&pass=secret&filename=down.dat"),
              std::string::npos);
}

TEST_F(Unison, FailedDownloadLeavesTheSaveAlone) {
    s_python.store->Write("gone.dat.time", "2000000000");  // a time but no file: the download is a 404
    m_save.Write("gone.dat", "precious");
    EXPECT_EQ(Sync("gone.dat"), "サーバとの通信中に問題が発生しました");
    EXPECT_EQ(ReadFile(m_save.Path() + "/gone.dat"), "precious");
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(m_save.Path())) entries += e.is_regular_file();
    EXPECT_EQ(entries, 1);
}

TEST_F(Unison, NewerLocalFileIsUploadedWithRawFields) {
    ServerHas("up.dat", "stale", "1");
    m_save.Write("sub/up.dat", std::string("local\0bytes", 11));
    utimbuf times{1500000000, 1500000000};
    ASSERT_EQ(utime((m_save.Path() + "/sub/up.dat").c_str(), &times), 0);
    EXPECT_EQ(Sync("sub\\up.dat"), "");
    EXPECT_EQ(ReadFile(s_python.store->Path() + "/up.dat"), std::string("local\0bytes", 11));
    EXPECT_EQ(ReadFile(s_python.store->Path() + "/up.dat.time"), "1500000000");
    const std::string upload = ReadFile(s_python.store->Path() + "/upload.json");
    EXPECT_NE(
        upload.find("\"name\": \"appname\", \"filename\": null, \"type\": \"text/plain\", \"data\": \"my game&1\""),
        std::string::npos)
        << upload;
    EXPECT_NE(upload.find("\"name\": \"filename\", \"filename\": null, \"type\": \"text/plain\", \"data\": \"up.dat\""),
              std::string::npos);
    // The file part names the file as the tag gave it (the email parser would unquote the '\').
    EXPECT_NE(ReadFile(s_python.store->Path() + "/upload.raw")
                  .find("Content-Disposition: form-data; name=\"file\"; filename=\"sub\\up.dat\"\r\n"
                        "Content-Type: application/octet-stream\r\n\r\nlocal"),
              std::string::npos);
}

TEST_F(Unison, MessagesForEachFailure) {
    struct Case {
        const char* file;
        const char* pass;
        int limitMs;
        std::string server;
        const char* message;
    } cases[] = {
        {"x.dat", "wrong", 30000, "", "パスワードが違います"},
        {"broken.dat", "secret", 30000, "", "情報取得中にサーバが不正な応答を返しました"},
        {"x.dat", "secret", 30000, "http://127.0.0.1:" + std::to_string(kestrin_test::FreePort()) + "/save",
         "サーバへの接続に失敗しました"},
        {"x.dat", "secret", 30000, "http://no-such-host.invalid/save", "サーバへの接続に失敗しました"},
        // A server that never answers: the time limit ends the exchange.
        {"x.dat", "secret", 200, "http://127.0.0.1:" + std::to_string(s_python.port) + "/hang",
         "サーバとの通信中に問題が発生しました"},
        {"..\\..\\etc\\passwd", "secret", 30000, "", "ゲームフォルダとセーブフォルダの外にあるファイルは扱えません。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file + std::string(" ") + c.server);
        EXPECT_EQ(Sync(c.file, c.pass, c.limitMs, c.server), c.message);
    }
}

// A close request while a trickling server answers ends the sync at once as a failed
// exchange; a download cut short leaves the save as it was.
TEST_F(Unison, CloseRequestEndsTheExchangeAndLeavesTheSave) {
    struct Case {
        const char* file;
        const char* marker;  // the server writes it once it trickles
        bool partial;        // the close waits until a partial download is on disk
    } cases[] = {
        {"slowinfo.dat", "slowinfo.dat.sending", false},
        {"trickle.dat", "trickle.dat.sending", true},
    };
    auto files = [this] {
        int n = 0;
        for (auto& e : std::filesystem::directory_iterator(m_save.Path())) n += e.is_regular_file();
        return n;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        m_save.Write(c.file, "precious");
        const std::string marker = s_python.store->Path() + "/" + c.marker;
        std::filesystem::remove(marker);
        kestrin_test::LogCapture log;
        EXPECT_EQ(Sync(c.file, "secret", 30000, "",
                       [&] { return std::filesystem::exists(marker) && (!c.partial || files() > 1); }),
                  "サーバとの通信中に問題が発生しました");
        EXPECT_EQ(log.CountWithin("unison: a request to close the game ended the exchange"), 1) << log.All();
        EXPECT_EQ(ReadFile(m_save.Path() + "/" + c.file), "precious");
        EXPECT_EQ(files(), 1);
        std::filesystem::remove(m_save.Path() + "/" + c.file);
    }
}

TEST_F(Unison, EqualTimesTransferNothing) {
    // A missing local file has time 0, as has a file the server does not know.
    EXPECT_EQ(Sync("nowhere.dat"), "");
    EXPECT_FALSE(std::filesystem::exists(m_save.Path() + "/nowhere.dat"));
    EXPECT_EQ(ReadFile(s_python.store->Path() + "/queries.log")
                  .find("mode=down&appname=my%20game%261&id=player&pass=secret&filename=nowhere.dat"),
              std::string::npos);
}

}  // namespace
