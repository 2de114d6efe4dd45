// The "httpget", "httppost" and "unison" tags in the interpreter, against the tests'
// Python server on 127.0.0.1; and one game run through the harness until it ends.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "HttpServers.h"
#include "NETWORK/COruHttp.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "support/InterpreterFixture.h"

namespace {

using kestrin::CMainScript;

class HttpTags : public kestrin_test::InterpreterFixture {
protected:
    static void SetUpTestSuite() {
        s_store = new kestrin_test::TempDir();
        s_port = kestrin_test::FreePort();
        s_server = new kestrin_test::ServerProcess();
        s_ready = kestrin_test::StartPythonServer(*s_server, s_port, s_store->Path());
    }
    static void TearDownTestSuite() {
        delete s_server;
        delete s_store;
    }
    void SetUp() override {
        InterpreterFixture::SetUp();
        ASSERT_TRUE(s_ready) << "the Python server did not start";
    }
    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(s_port) + path; }
    void Boot(const std::string& script) {
        m_dir.Write("main.iet", script);
        m_script = std::make_unique<CMainScript>(nullptr);
        ASSERT_FALSE(m_script->Start());
        m_script->SetDebugMode(1);
    }
    // Frames until the variable is set (a wall-clock safety limit only guards a hang).
    void RunUntilSet(const std::string& name) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (Var(name).empty() && std::chrono::steady_clock::now() < limit) m_script->Update(m_now += 16);
    }
    std::string Var(const std::string& name) { return m_script->GetVariables().GetString(name); }

    static kestrin_test::TempDir* s_store;
    static kestrin_test::ServerProcess* s_server;
    static int s_port;
    static bool s_ready;
};
kestrin_test::TempDir* HttpTags::s_store = nullptr;
kestrin_test::ServerProcess* HttpTags::s_server = nullptr;
int HttpTags::s_port = 0;
bool HttpTags::s_ready = false;

TEST_F(HttpTags, RequestsSetTheVariablesThenRunTheCompletionJump) {
    m_dir.Write("up.bin", std::string("\x01\x02", 2));
    const std::string post = "[httppost url=\"" + Url("/echo") + "\" varname_code=code varname_data=data label=done ";
    struct Case {
        std::string tag;
        const char* code;
        const char* data;
    } cases[] = {
        {"[httpget url=\"" + Url("/target?x=1") + "\" varname_code=code varname_data=data label=done]", "200",
         "target x=1"},
        {"[httpget url=\"" + Url("/notfound") + "\" varname_code=code varname_data=data label=done]", "404",
         "missing page"},
        {post + "key0=a value0=1 key1=b value1=two]", "200",
         "{\"type\": \"application/x-www-form-urlencoded\", \"form\": \"a=1&b=two\"}"},
        // The numbering stops at the first missing key.
        {post + "key0=a value0=1 key2=c value2=3]", "200",
         "{\"type\": \"application/x-www-form-urlencoded\", \"form\": \"a=1\"}"},
        // A file field turns the whole body into multipart.
        {post + "key0=t value0=v key1=f file1=up.bin]", "200", "defects=0\nt|None|76\nf|up.bin|0102"},
        {"[httpget url=\"" + Url("/truncated") + "\" varname_code=code varname_data=data label=done]", "-3",
         "サーバからの受信に失敗しました(160,0)"},
        {"[httpget url=\"http://127.0.0.1:" + std::to_string(kestrin_test::FreePort()) +
             "/\" varname_code=code varname_data=data label=done]",
         "-2", "サーバとの通信に失敗しました(289,10061)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        Boot(c.tag + "\n[var name=skipped data=1]\n[wait time=100000]\n*done\n[var name=finished data=1]\n[wait time=100000]\n");
        RunUntilSet("finished");
        EXPECT_EQ(Var("code"), c.code);
        EXPECT_EQ(Var("data"), c.data);
        EXPECT_EQ(Var("finished"), "1");
        EXPECT_EQ(Var("skipped"), "");
        m_script.reset();
    }
}

TEST_F(HttpTags, DownloadGoesToTheFileAndLeavesTheDataEmpty) {
    Boot("[httpget url=\"" + Url("/target?y") + "\" filename=got.txt varname_code=code varname_data=data]\n"
         "[var name=finished data=1]\n[wait time=100000]\n");
    RunUntilSet("finished");
    EXPECT_EQ(Var("code"), "200");
    EXPECT_EQ(Var("data"), "");
    std::ifstream in(m_dir.Path() + "/got.txt");
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str(), "target y");
}

// Values that would split the request, and file names outside the folders, are refused
// with a trace line before anything is sent.
TEST_F(HttpTags, UnsafeAttributesAreRefusedWithATraceLine) {
    Boot("[wait time=100000]\n");
    struct Case {
        const char* attribute;
        std::string value;
        const char* traced;
    } cases[] = {
        {"url", Url("/target") + "\r\nX-Evil: 1", "httpgetタグ urlパラメータに改行文字またはNUL文字が含まれています。"},
        {"header_value0", std::string("a\0b", 3),
         "httpgetタグ header_value0パラメータに改行文字またはNUL文字が含まれています。"},
        {"filename", "../outside.txt", "ゲームフォルダとセーブフォルダの外にあるファイルは扱えません。"},
        // Never sent to some other port, or to a host named "[".
        {"url", "http://127.0.0.1:99999/target", "httpgetタグ urlパラメータ \"http://127.0.0.1:99999/target\": ポート番号が不正です。"},
        {"url", "http://[::1]:8080/", "httpgetタグ urlパラメータ \"http://[::1]:8080/\": IPv6アドレスには対応していません。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attribute);
        kestrin::CScriptBlock block(0, 1, "httpget");
        block.GetAttributes()["url"] = Url("/target");
        block.GetAttributes()["header_key0"] = "X-Test";
        block.GetAttributes()["header_value0"] = "1";
        block.GetAttributes()["varname_code"] = "code";
        block.GetAttributes()[c.attribute] = c.value;
        kestrin::COruHttp http(m_script.get());
        EXPECT_FALSE(http.Request(block));
        EXPECT_FALSE(http.IsHeld());
        EXPECT_EQ(Var("code"), "-1");
        EXPECT_TRUE(LoggedWithin(c.traced)) << AllLines();
    }
}

TEST_F(HttpTags, CancelEndsTheWaitAndKeepsTheRequest) {
    Boot("[httpget url=\"" + Url("/hang") + "\" varname_code=code varname_data=data]\n[var name=finished data=1]\n"
         "[wait time=100000]\n");
    for (int i = 0; i < 5; ++i) m_script->Update(m_now += 16);
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_HTTP);
    m_script->GetVariables().SetInt("s.http.cancel", 1);
    RunUntilSet("finished");
    EXPECT_EQ(Var("finished"), "1");
    EXPECT_EQ(Var("code"), "");
    EXPECT_EQ(Var("data"), "");
}

TEST_F(HttpTags, UnisonWithoutServerSetsTheResultAndTraces) {
    Boot("[var name=s.result data=before]\n[unison file=a.dat server=\"http://127.0.0.1:" +
         std::to_string(kestrin_test::FreePort()) + "/save\" appname=g id=p pass=q]\n[var name=finished data=1]\n");
    RunUntilSet("finished");
    EXPECT_EQ(Var("s.result"), "サーバへの接続に失敗しました");
    EXPECT_TRUE(LoggedWithin("[unison] サーバへの接続に失敗しました")) << AllLines();
}

// A whole game through the harness, run until its script ends (--frames 0).
TEST_F(HttpTags, HarnessRunsUntilTheScriptEnds) {
    kestrin_test::TempDir game;
    game.Write("system.ini", "[WINDOW]\nWIDTH=64\nHEIGHT=48\n[SYSTEM]\nCHARSET=utf-8\n");
    game.Write("main.iet", "[httpget url=\"" + Url("/slow") + "\" varname_code=code varname_data=data]\n");
    const std::string harness = std::string(KESTRIN_BINARY_DIR) + "/tests/harness/kestrin-harness";
    const std::string vars = game.Path() + "/vars.txt";
    std::vector<std::string> args = {harness, game.Path(), "--frames", "0", "--timeout", "60", "--dump-vars", vars};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, harness.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::ifstream in(vars);
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_NE(s.str().find("code=200\n"), std::string::npos) << s.str();
    EXPECT_NE(s.str().find("data=slowly\n"), std::string::npos) << s.str();
}

}  // namespace
