// The "debug" tag's modes 2 and 3 in the interpreter, over the in-memory sockets and
// shared objects.
#include <gtest/gtest.h>

#include <cstdlib>
#include <lua.hpp>
#include <optional>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/RuntimeConfiguration.h"
#include "NETWORK/Platform/HeadlessSharedMemoryService.h"
#include "NETWORK/Platform/HeadlessSocketService.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruLua.h"
#include "support/InterpreterFixture.h"
#include "support/RecordingDebugger.h"

namespace {

using namespace kestrin;

using Debugger = kestrin_test::RecordingDebugger;

class DebugTag : public kestrin_test::InterpreterFixture {
protected:
    void SetUp() override {
        InterpreterFixture::SetUp();
        SPlatformServices services = PlatformServicesInEffect();
        services.socketService = Unowned(m_sockets);
        services.sharedMemoryService = Unowned(m_shared);
        m_fakeServices.emplace(services);
        ASSERT_FALSE(m_fakeServices->Failed());
        kestrin::RuntimeConfiguration configuration;
        configuration.debugPort = "8123";
        configuration.debugChannel = "TagChannel";
        kestrin::SetRuntimeConfiguration(configuration);
    }
    void TearDown() override {
        // The interpreter closes its links through the fakes; then the fixture's set comes back.
        m_script.reset();
        m_fakeServices.reset();
        InterpreterFixture::TearDown();
        kestrin::SetRuntimeConfiguration({});
    }
    void Boot(const std::string& script) {
        m_dir.Write("main.iet", script);
        m_script = std::make_unique<CMainScript>(nullptr);
        ASSERT_FALSE(m_script->Start());
    }
    void Frames(int count) {
        for (int i = 0; i < count; ++i) m_script->Update(m_now += 16);
    }

    HeadlessSocketService m_sockets;
    HeadlessSharedMemoryService m_shared;
    std::optional<PlatformServicesScope> m_fakeServices;
};

TEST_F(DebugTag, ModeThreeRunsTheEchoServerOnTheConfiguredPortUntilTheInterpreterEnds) {
    Boot("[debug mode=3]\n[wait time=100000]\n");
    // The tag runs in the first frame; the server listens from the next.
    Frames(2);
    ASSERT_EQ(m_sockets.OpenSockets(), 1);
    int peer = m_sockets.ConnectPeer(8123);
    ASSERT_GE(peer, 0);
    Frames(1);
    m_sockets.PeerSend(peer, "hello");
    Frames(1);
    EXPECT_EQ(m_sockets.PeerTake(peer), "hello");
    m_script.reset();
    EXPECT_TRUE(m_sockets.IsPeerDropped(peer));
    EXPECT_EQ(m_sockets.OpenSockets(), 0);
}

TEST_F(DebugTag, ModeTwoSendsEachFramesTraceAndExitAtTheEnd) {
    Debugger debugger("TagChannel", 4096);
    Boot(
        "[debug mode=2 level=1]\n[debugprint data=one]\n[wait time=30]\n"
        "[debugprint data=two]\n[debugprint level=2 data=hidden]\n[debug mode=2]\n[wait time=100000]\n");
    for (int i = 0; i < 6; ++i) {
        Frames(1);
        debugger.Poll();
    }
    Frames(1);
    m_script.reset();
    debugger.Poll();
    const std::string zero(1, '\0');
    EXPECT_EQ(debugger.messages, (std::vector<std::string>{"main.iet(2): debugprint one\n" + zero,
                                                           "main.iet(4): debugprint two\n" + zero, "EXIT" + zero}))
        << AllLines();
    // Only the debugger made shared objects.
    EXPECT_EQ(m_shared.createCalls, 3);
}

TEST_F(DebugTag, ModeTwoWithoutADebuggerGoesOnSilently) {
    Boot("[debug mode=2]\n[debugprint data=nobody]\n[wait time=30]\n[debugprint data=still]\n");
    Frames(5);
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_QUIT);
    m_script.reset();
    EXPECT_EQ(m_shared.createCalls, 0);
    EXPECT_TRUE(m_lines.empty()) << AllLines();
}

// What the links looked like when the Lua state closed: open sockets and the messages the
// debugger had by then.
struct LuaCloseView {
    HeadlessSocketService* sockets = nullptr;
    Debugger* debugger = nullptr;
    int closes = 0;
    int openSockets = -1;
    bool hostAnswered = true;
    std::vector<std::string> messages;
};

int ObserveLuaClose(lua_State* L) {
    auto* view = static_cast<LuaCloseView*>(lua_touserdata(L, lua_upvalueindex(1)));
    ++view->closes;
    view->hostAnswered = !lua_isnil(L, 1);
    view->openSockets = view->sockets->OpenSockets();
    view->debugger->Poll();
    view->messages = view->debugger->messages;
    return 0;
}

// Shutdown: the debug channel (after its last messages), then the Lua host, then the debug
// server. A finalizer sees the server still listening and "EXIT" already sent; the host
// object no longer reaches the interpreter then.
TEST_F(DebugTag, TheLuaHostClosesAfterTheChannelAndBeforeTheServer) {
    Debugger debugger("TagChannel", 4096);
    LuaCloseView view;
    view.sockets = &m_sockets;
    view.debugger = &debugger;
    m_dir.Write("main.iet",
                "[lua]\nfunction keep(o) host = o end\nkeeper = newproxy(true)\n"
                "getmetatable(keeper).__gc = function() observe(host:getScriptStatus()) end\n[/lua]\n"
                "[calllua function=keep]\n[debug mode=3]\n[wait time=30]\n[debug mode=2]\n[wait time=100000]\n");
    m_script = std::make_unique<CMainScript>(nullptr);
    lua_State* L = m_script->GetLua().GetState();
    ASSERT_NE(L, nullptr);
    lua_pushlightuserdata(L, &view);
    lua_pushcclosure(L, &ObserveLuaClose, 1);
    lua_setglobal(L, "observe");
    ASSERT_FALSE(m_script->Start());
    for (int i = 0; i < 6; ++i) {
        Frames(1);
        debugger.Poll();
    }
    ASSERT_EQ(m_sockets.OpenSockets(), 1) << AllLines();
    m_script.reset();
    ASSERT_EQ(view.closes, 1) << AllLines();
    EXPECT_EQ(view.openSockets, 1);
    EXPECT_FALSE(view.hostAnswered);
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages.back(), "EXIT" + std::string(1, '\0'));
    EXPECT_EQ(m_sockets.OpenSockets(), 0);
}

}  // namespace
