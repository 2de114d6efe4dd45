// The "httpget", "httppost" and "unison" tags in the interpreter, against the tests'
// Python server on 127.0.0.1; and one game run through the harness until it ends.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CGameWindow.h"
#include "CORE/Platform/HeadlessClock.h"
#include "CORE/Platform/HeadlessCloseSignals.h"
#include "CORE/Platform/HeadlessWindowSystem.h"
#include "CORE/WindowMessages.h"
#include "SuitePythonServer.h"
#include "NETWORK/Platform/HeadlessSocketService.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "support/InterpreterFixture.h"

namespace {

using kestrin::CMainScript;

class HttpTags : public kestrin_test::InterpreterFixture {
protected:
    static void SetUpTestSuite() { s_python.Start(); }
    static void TearDownTestSuite() { s_python.Stop(); }
    void SetUp() override {
        InterpreterFixture::SetUp();
        ASSERT_TRUE(s_python.ready) << "the Python server did not start";
    }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(s_python.port) + path;
    }
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

    static kestrin_test::SuitePythonServer s_python;
};
kestrin_test::SuitePythonServer HttpTags::s_python;

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
        Boot(
            c.tag +
            "\n[var name=skipped data=1]\n[wait time=100000]\n*done\n[var name=finished data=1]\n[wait time=100000]\n");
        RunUntilSet("finished");
        EXPECT_EQ(Var("code"), c.code);
        EXPECT_EQ(Var("data"), c.data);
        EXPECT_EQ(Var("finished"), "1");
        EXPECT_EQ(Var("skipped"), "");
        m_script.reset();
    }
}

TEST_F(HttpTags, DownloadGoesToTheFileAndLeavesTheDataEmpty) {
    Boot("[httpget url=\"" + Url("/target?y") +
         "\" filename=got.txt varname_code=code varname_data=data]\n"
         "[var name=finished data=1]\n[wait time=100000]\n");
    RunUntilSet("finished");
    EXPECT_EQ(Var("code"), "200");
    EXPECT_EQ(Var("data"), "");
    std::ifstream in(m_dir.Path() + "/got.txt");
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str(), "target y");
}

// A completion whose label is missing says so, as the jump tag does, and the script goes on.
TEST_F(HttpTags, ACompletionThatLeadsNowhereIsTraced) {
    Boot("[httpget url=\"" + Url("/target") +
         "\" varname_code=code label=nowhere]\n[var name=after data=1]\n[wait time=100000]\n");
    RunUntilSet("after");
    EXPECT_EQ(Var("code"), "200");
    EXPECT_TRUE(LoggedWithin("main.iet(1): [httpget file=\"\" label=\"nowhere\"] 指定された場所は見つかりません。"))
        << AllLines();
}

// A download follows the game's own links; one that another user planted in a save folder
// he may write, to a private folder of the player's, is refused with the request's failure
// result, and the game goes on.
TEST_F(HttpTags, ADownloadFollowsTheGamesOwnLinksOnly) {
    kestrin_test::TempDir elsewhere;
    std::filesystem::create_directories(m_dir.Path() + "/save");
    std::filesystem::create_symlink(elsewhere.Path(), m_dir.Path() + "/save/own");
    const std::string victim = elsewhere.Write("private/victim.txt", "victim");
    const bool planted =
        kestrin_test::PlantLinkOfAnotherUser(elsewhere.Path() + "/private", m_dir.Path() + "/save/sub");
    const std::string get = "[httpget url=\"" + Url("/target?y") + "\" varname_code=code varname_data=data filename=";
    Boot(get + "save/own/got.txt]\n[var name=finished data=1]\n[wait time=100000]\n");
    RunUntilSet("finished");
    EXPECT_EQ(Var("code"), "200");
    EXPECT_EQ(kestrin_test::ReadFileBytes(elsewhere.Path() + "/got.txt"), "target y");
    m_script.reset();
    if (!planted) GTEST_SKIP() << "giving a symbolic link to another user (lchown) needs root; that case was not run";
    Boot(get + "save/sub/victim.txt]\n[var name=finished data=1]\n[wait time=100000]\n");
    RunUntilSet("finished");
    EXPECT_EQ(Var("code"), "-3");
    EXPECT_EQ(kestrin_test::ReadFileBytes(victim), "victim");
    EXPECT_TRUE(LoggedWithin("refusing to follow the symbolic link save/sub")) << AllLines();
}

// Values that would split the request, and file names outside the folders, are refused
// with a trace line before anything is sent.
TEST_F(HttpTags, UnsafeAttributesAreRefusedWithATraceLine) {
    Boot("[wait time=100000]\n");
    const std::string tls = "https://127.0.0.1:" + std::to_string(s_python.port) + "/target";
    struct Case {
        const char* attribute;
        std::string value;
        std::string traced;
    } cases[] = {
        {"url", Url("/target") + "\r\nX-Evil: 1", "httpgetタグ urlパラメータに改行文字またはNUL文字が含まれています。"},
        {"header_value0", std::string("a\0b", 3),
         "httpgetタグ header_value0パラメータに改行文字またはNUL文字が含まれています。"},
        {"filename", "../outside.txt", "ゲームフォルダとセーブフォルダの外にあるファイルは扱えません。"},
        // Never sent to some other port, or to a host named "[".
        {"url", "http://127.0.0.1:99999/target",
         "httpgetタグ urlパラメータ \"http://127.0.0.1:99999/target\": ポート番号が不正です。"},
        {"url", "http://[::1]:8080/",
         "httpgetタグ urlパラメータ \"http://[::1]:8080/\": IPv6アドレスには対応していません。"},
        // Never sent in clear text to a server that expects TLS.
        {"url", tls, "httpgetタグ urlパラメータ \"" + tls + "\": httpsには対応していません。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attribute);
        kestrin::CScriptBlock block(kestrin::CScriptBlock::kTag, 1, "httpget");
        block.GetAttributes()["url"] = Url("/target");
        block.GetAttributes()["header_key0"] = "X-Test";
        block.GetAttributes()["header_value0"] = "1";
        block.GetAttributes()["varname_code"] = "code";
        block.GetAttributes()[c.attribute] = c.value;
        EXPECT_FALSE(m_script->ExecuteBlock(block, false));
        // Nothing is held: the interpreter's wait for the request ends at the next frame.
        m_script->Update(m_now += 16);
        EXPECT_NE(m_script->GetState(), kestrin::CMainScript::STAT_HTTP);
        EXPECT_EQ(Var("code"), "-1");
        EXPECT_TRUE(LoggedWithin(c.traced)) << AllLines();
    }
}

// A request's trace line is its own text alone, as a plain trace writes it, and nothing is
// written while the trace is off.
TEST_F(HttpTags, TraceLineIsWrittenWholeAndOnlyWhileTracing) {
    Boot("[wait time=100000]\n");
    for (int mode : {1, 0}) {
        SCOPED_TRACE(mode);
        m_lines.clear();
        m_script->SetDebugMode(mode);
        kestrin::CScriptBlock block(kestrin::CScriptBlock::kTag, 1, "httpget");
        block.GetAttributes()["url"] = "http://127.0.0.1:99999/target";
        block.GetAttributes()["varname_code"] = "code";
        EXPECT_FALSE(m_script->ExecuteBlock(block, false));
        m_script->Update(m_now += 16);
        EXPECT_EQ(Var("code"), "-1");
        EXPECT_EQ(Logged("httpgetタグ urlパラメータ \"http://127.0.0.1:99999/target\": ポート番号が不正です。"),
                  mode == 1)
            << AllLines();
    }
}

// The script's credentials follow a redirect to the same host and port only; the other
// headers follow it anywhere.
TEST_F(HttpTags, RedirectToAnotherHostDropsTheCredentials) {
    struct Case {
        const char* host;
        bool credentials;
    } cases[] = {{"127.0.0.1", true}, {"127.0.0.2", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        const std::string next = std::string(c.host) + ":" + std::to_string(s_python.port);
        Boot("[httpget url=\"" + Url("/redirect?to=http://" + next + "/headers") +
             "\" header_key0=Authorization header_value0=\"Basic eDp5\" header_key1=Cookie header_value1=\"s=1\" "
             "header_key2=X-Keep header_value2=1 varname_code=code varname_data=data]\n"
             "[var name=finished data=1]\n[wait time=100000]\n");
        RunUntilSet("finished");
        EXPECT_EQ(Var("code"), "200");
        const std::string headers = Var("data");
        EXPECT_NE(headers.find("Host: " + next + "\n"), std::string::npos) << headers;
        EXPECT_NE(headers.find("X-Keep: 1\n"), std::string::npos) << headers;
        EXPECT_EQ(headers.find("Authorization: Basic eDp5\n") != std::string::npos, c.credentials) << headers;
        EXPECT_EQ(headers.find("Cookie: s=1\n") != std::string::npos, c.credentials) << headers;
        m_script.reset();
    }
}

// The peak memory (kB) of the engine running the game without a display until it exits; -1
// when it fails, or is still running after a generous bound (its script waits for ever when
// a request did not give 200).
long EnginePeakKb(const std::string& game) {
    const std::string engine = std::string(KESTRIN_BINARY_DIR) + "/kestrin";
    std::vector<std::string> args = {engine, game};
    std::vector<std::string> env = {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy", "KESTRIN_LOG_WINDOW=0"};
    // Under AddressSanitizer freed blocks would wait in its quarantine and count as held.
    bool asan = false;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.compare(0, 4, "SDL_") == 0 || entry.compare(0, 19, "KESTRIN_LOG_WINDOW=") == 0) continue;
        env.push_back(entry);
        if (entry.compare(0, 13, "ASAN_OPTIONS=") == 0) {
            env.back() += ":quarantine_size_mb=0";
            asan = true;
        }
    }
    if (!asan) env.emplace_back("ASAN_OPTIONS=quarantine_size_mb=0");
    std::vector<char*> argv;
    std::vector<char*> envp;
    for (auto& a : args) argv.push_back(a.data());
    for (auto& e : env) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, engine.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
    int status = 0;
    rusage usage{};
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(300);
    pid_t done = 0;
    while ((done = wait4(pid, &status, WNOHANG, &usage)) == 0 && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (done == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
    }
    if (done != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return usage.ru_maxrss;
}

// A large body reaches its variable without being copied on the way, with the trace off and
// on, and leaves when the script clears the variable: the engine's peak grows by little more
// than one body.
TEST_F(HttpTags, ALargeBodyIsKeptOnceOnItsWayToTheVariable) {
    const long bytes = 64L << 20;
    kestrin_test::TempDir game;
    game.Write("system.ini", "[WINDOW]\nWIDTH=64\nHEIGHT=48\n[SYSTEM]\nCHARSET=utf-8\n");
    for (bool trace : {false, true}) {
        SCOPED_TRACE(trace ? "trace on" : "trace off");
        auto peak = [&](long size) {
            // Two requests, each body cleared by the script: the first must not stay held while
            // the second arrives.
            const std::string get = "[httpget url=\"" + Url("/big?bytes=" + std::to_string(size)) +
                                    "\" varname_code=code varname_data=data]\n[if estimate=\"code!=200\"]\n"
                                    "[wait time=100000000]\n[/if]\n[var name=data data=0]\n";
            game.Write("main.iet", std::string(trace ? "[debug mode=1]\n" : "") + get + get + "[exit]\n");
            return EnginePeakKb(game.Path());
        };
        const long idle = peak(1);
        const long full = peak(bytes);
        ASSERT_GT(idle, 0);
        ASSERT_GT(full, 0);
        EXPECT_LT((full - idle) * 1024, bytes * 13 / 10) << "peak " << full << " kB, idle " << idle << " kB";
    }
}

TEST_F(HttpTags, CancelEndsTheWaitAndKeepsTheRequest) {
    Boot("[httpget url=\"" + Url("/hang") +
         "\" varname_code=code varname_data=data]\n[var name=finished data=1]\n"
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

// A close request (a signal, or the window system's quit or close box) ends a sync that a
// trickling server holds; input stays queued and the close is left for the main loop.
TEST_F(HttpTags, UnisonGivesWayToACloseRequest) {
    UseFakeInput();
    m_window = std::make_unique<kestrin::CGameWindow>();
    ASSERT_FALSE(m_window->Create(0, 0, 64, 48, "KestrinUnisonTest", "", kestrin::kWsPopup, kestrin::kSwShowNormal, 0));
    const kestrin::WindowHandle window = m_window->GetHandle();
    kestrin::HeadlessCloseSignals signals;
    kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
    services.closeSignals = kestrin::Unowned(signals);
    kestrin::PlatformServicesScope scope(services);
    ASSERT_FALSE(scope.Failed());
    struct Case {
        const char* name;
        bool signal;
        kestrin::EWindowEvent event;  // pushed unless the case raises the signal
    } cases[] = {
        {"signal", true, kestrin::EWindowEvent::Quit},
        {"quit event", false, kestrin::EWindowEvent::Quit},
        {"close box", false, kestrin::EWindowEvent::Close},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_lines.clear();
        kestrin::SWindowEvent key;
        key.type = kestrin::EWindowEvent::KeyDown;
        key.window = window;
        key.key = 'A';
        m_windows->PushEvent(key);
        if (c.signal) {
            signals.Raise();
        } else {
            kestrin::SWindowEvent close;
            close.type = c.event;
            close.window = window;
            m_windows->PushEvent(close);
        }
        Boot("[unison file=slowinfo.dat server=\"" + Url("/save") +
             "\" appname=g id=p pass=secret]\n[var name=finished data=1]\n[wait time=100000]\n");
        RunUntilSet("finished");
        EXPECT_EQ(Var("s.result"), "サーバとの通信中に問題が発生しました");
        EXPECT_TRUE(LoggedWithin("unison: a request to close the game ended the exchange")) << AllLines();
        // The key is still there for the main loop, and so is the close.
        EXPECT_EQ(m_windows->PendingEvents(), c.signal ? 1u : 2u);
        if (c.signal) {
            EXPECT_FALSE(signals.pending);
            kestrin::SMessage message;
            ASSERT_TRUE(kestrin::PeekWindowMessage(message));
            EXPECT_EQ(message.window, window);
            EXPECT_EQ(message.message, kestrin::kWmClose);
        }
        kestrin::SWindowEvent drop;
        while (m_windows->PollEvent(drop)) {
        }
        kestrin::ClearWindowMessages();
        m_script.reset();
    }
}

// Requests played through the socket double on a virtual wall clock: one that moves
// less than 1 KiB in 60 s is given up and dropped, one that keeps moving is not.
class HttpStall : public kestrin_test::InterpreterFixture {
protected:
    void SetUp() override {
        InterpreterFixture::SetUp();
        m_service.acceptConnects = true;
        kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
        services.socketService = kestrin::Unowned(m_service);
        services.clock = m_clock;
        services.wallClock = m_clock;
        m_fakeServices.emplace(services);
        ASSERT_FALSE(m_fakeServices->Failed());
    }
    void TearDown() override {
        m_script.reset();
        m_fakeServices.reset();
        InterpreterFixture::TearDown();
    }
    void Boot(const std::string& script) {
        m_dir.Write("main.iet", script);
        m_script = std::make_unique<CMainScript>(nullptr);
        ASSERT_FALSE(m_script->Start());
    }
    // One frame a second of virtual time: the server acts, then the interpreter runs.
    void Second(int second, const std::function<void(int)>& server) {
        m_clock->SetTime(1000 + static_cast<uint32_t>(second) * 1000);
        if (server) server(second);
        m_script->Update(m_now += 1000);
    }
    std::string Var(const std::string& name) { return m_script->GetVariables().GetString(name); }
    static std::string Header(int length) {
        return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
    }

    kestrin::HeadlessSocketService m_service;
    std::shared_ptr<kestrin::HeadlessClock> m_clock = std::make_shared<kestrin::HeadlessClock>();
    std::optional<kestrin::PlatformServicesScope> m_fakeServices;
};

TEST_F(HttpStall, ARequestWithoutProgressFailsAfterSixtySeconds) {
    const char* received = "サーバからの受信に失敗しました(530,0)";
    const char* sending = "サーバとの通信に失敗しました(530,0)";
    struct Case {
        const char* name;
        bool blockSend;
        std::function<std::string(int)> reply;  // what the server sends at each second
        int resultAt;                           // the second the variables are set
        const char* code;
        std::string data;
    } cases[] = {
        {"silent server", false, [](int) { return std::string(); }, 60, "-3", received},
        {"a byte a second", false, [](int t) { return t == 1 ? Header(100000) : std::string("x"); }, 60, "-3",
         received},
        {"connect never completes", true, [](int) { return std::string(); }, 60, "-2", sending},
        // Interim replies move bytes but bring no reply: the ninth fails the request.
        {"interim replies for ever", false, [](int) { return std::string("HTTP/1.1 100 Continue\r\n\r\n"); }, 9, "-3",
         "サーバからの受信に失敗しました(235,0)"},
        // 1100 bytes every 50 s: slow, but never below 1 KiB in a minute.
        {"slow but steady", false,
         [](int t) { return t == 1        ? Header(4400)
                            : t % 50 == 0 ? std::string(1100, 'y')
                                          : std::string(); }, 200, "200",
         std::string(4400, 'y')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int before = m_service.lastConnectPeer;
        m_clock->SetTime(1000);
        m_service.connectWindow = c.blockSend ? 0 : static_cast<size_t>(-1);
        Boot(
            "[httpget url=\"http://127.0.0.1:8080/x\" varname_code=code varname_data=data]\n"
            "[var name=finished data=1]\n[wait time=100000000]\n");
        // Seconds count from the frame that started the request.
        int peer = -1;
        int start = 0;
        int resultAt = -1;
        for (int t = 0; t <= 400 && Var("finished").empty(); ++t) {
            if (t > 0) {
                Second(t, [&](int second) {
                    if (peer >= 0) m_service.PeerSend(peer, c.reply(second - start));
                });
            }
            if (peer < 0 && m_service.lastConnectPeer != before) {
                peer = m_service.lastConnectPeer;
                start = t;
            }
            if (resultAt < 0 && !Var("code").empty()) resultAt = t - start;
        }
        EXPECT_EQ(resultAt, c.resultAt);
        EXPECT_EQ(Var("code"), c.code);
        EXPECT_EQ(Var("data"), c.data);
        EXPECT_EQ(Var("finished"), "1");
        EXPECT_EQ(m_service.OpenSockets(), 0);
        m_script.reset();
    }
}

// A cancelled request stays held; the tag that resumes it gets its outcome at once: the
// reply that arrived meanwhile, or the failure of a server that sent nothing.
TEST_F(HttpStall, AResumedRequestIsJudgedOnWhatArrivedWhileHeld) {
    struct Case {
        const char* name;
        std::string sentWhileHeld;
        const char* code;
        const char* data;
    } cases[] = {
        {"nothing came", "", "-3", "サーバからの受信に失敗しました(530,0)"},
        {"the reply came", Header(4) + "done", "200", "done"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Boot(
            "[httpget url=\"http://127.0.0.1:8080/x\" varname_code=code varname_data=data]\n"
            "[var name=cancelled data=1]\n[wait time=90000]\n"
            "[httpget url=\"http://127.0.0.1:8080/y\" varname_code=code2 varname_data=data2]\n"
            "[var name=finished data=1]\n[wait time=100000000]\n");
        int t = 1;
        for (; t <= 5; ++t) Second(t, nullptr);
        const int peer = m_service.lastConnectPeer;
        m_script->GetVariables().SetInt("s.http.cancel", 1);
        for (; Var("cancelled").empty() && t < 400; ++t) Second(t, nullptr);
        m_service.PeerSend(peer, c.sentWhileHeld);
        // Held for 90 s; the second tag resumes the request and no new connection is made.
        int resumedAt = -1;
        int resultAt = -1;
        for (; Var("finished").empty() && t < 400; ++t) {
            Second(t, nullptr);
            if (resumedAt < 0 && m_script->GetState() == CMainScript::STAT_HTTP) resumedAt = t;
            if (resultAt < 0 && !Var("code").empty()) resultAt = t;
        }
        EXPECT_GT(resumedAt, 90);
        EXPECT_LE(resultAt, resumedAt + 1);
        EXPECT_EQ(m_service.lastConnectPeer, peer);
        EXPECT_EQ(Var("code"), c.code);
        EXPECT_EQ(Var("data"), c.data);
        EXPECT_EQ(Var("code2"), "");
        EXPECT_EQ(Var("finished"), "1");
        m_script.reset();
    }
}

// A whole game through the harness, run until its script ends (--frames 0). The harness's
// frames run far faster than real time, yet a server that trickles its reply for a few
// milliseconds is waited for, and one that never answers is given up after 60 s of real time.
TEST_F(HttpTags, HarnessRunsUntilTheScriptEnds) {
    struct Case {
        const char* path;
        const char* code;
        const char* data;
    } cases[] = {
        {"/slow", "code=200\n", "data=slowly\n"},
        {"/hang", "code=-3\n", "data=サーバからの受信に失敗しました(530,0)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        kestrin_test::TempDir game;
        game.Write("system.ini", "[WINDOW]\nWIDTH=64\nHEIGHT=48\n[SYSTEM]\nCHARSET=utf-8\n");
        game.Write("main.iet", "[httpget url=\"" + Url(c.path) + "\" varname_code=code varname_data=data]\n");
        const std::string harness = std::string(KESTRIN_BINARY_DIR) + "/tests/harness/kestrin-harness";
        const std::string vars = game.Path() + "/vars.txt";
        std::vector<std::string> args = {harness,     game.Path(), "--frames",    "0",
                                         "--timeout", "300",       "--dump-vars", vars};
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
        EXPECT_NE(s.str().find(c.code), std::string::npos) << s.str();
        EXPECT_NE(s.str().find(c.data), std::string::npos) << s.str();
    }
}

}  // namespace
