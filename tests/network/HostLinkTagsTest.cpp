// The HTTP and debug tags' families on their own, with a fake interpreter: what the tags ask
// of the interpreter goes through the host, and the links live and go with the family.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/RuntimeConfiguration.h"
#include "NETWORK/Platform/HeadlessSharedMemoryService.h"
#include "NETWORK/Platform/HeadlessSocketService.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/IDebugTagHost.h"
#include "SCRIPT/IHttpTagHost.h"
#include "SCRIPT/tags/CDebugTags.h"
#include "SCRIPT/tags/CHttpTags.h"
#include "support/RecordingDebugger.h"

using namespace kestrin;

namespace {

std::string Format(const char* format, va_list args) {
    char buffer[1024];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    return buffer;
}

// Both hosts in one: every call is noted.
class FakeHost : public IHttpTagHost, public IDebugTagHost {
public:
    COruVariables& GetHttpVariables() override { return variables; }
    void BeginHttpWait() override { calls.push_back("wait"); }
    int GetHttpTextEncoding() const override { return 2; }
    std::string EngineText(const char* utf8) const override { return utf8; }
    void RunHttpCompletion(const CScriptBlock& block) override { calls.push_back("complete " + block.GetName()); }
    void TraceHttpRequest(int level, const char* format, va_list args) override {
        calls.push_back("request " + std::to_string(level) + " " + Format(format, args));
    }
    void TraceTagAt(int level, const CScriptBlock& block, const char* format, va_list args) override {
        calls.push_back("tag " + std::to_string(level) + " line " + std::to_string(block.GetLine()) + " " +
                        Format(format, args));
    }
    void SetDebugTraceMode(int mode) override { calls.push_back("mode " + std::to_string(mode)); }
    void SetDebugTraceLevel(int level) override { calls.push_back("level " + std::to_string(level)); }

    COruVariables variables;
    std::vector<std::string> calls;
};

using Debugger = kestrin_test::RecordingDebugger;

CScriptBlock Tag(const char* name, CScriptBlock::AttributeMap attributes, int line = 4) {
    return CScriptBlock(CScriptBlock::kTag, line, name, std::move(attributes));
}

class HostLinkTags : public ::testing::Test {
protected:
    void SetUp() override {
        SPlatformServices services = PlatformServicesInEffect();
        services.socketService = Unowned(m_sockets);
        services.sharedMemoryService = Unowned(m_shared);
        m_services.emplace(services);
        ASSERT_FALSE(m_services->Failed());
        RuntimeConfiguration configuration;
        configuration.debugPort = "8124";
        configuration.debugChannel = "FamilyChannel";
        SetRuntimeConfiguration(configuration);
    }
    void TearDown() override {
        SetRuntimeConfiguration({});
        m_services.reset();
    }

    HeadlessSocketService m_sockets;
    HeadlessSharedMemoryService m_shared;
    std::optional<PlatformServicesScope> m_services;
    FakeHost m_host;
};

// "debug" hands mode and level to the host and opens each link once; the gathered trace
// goes to the debugger at the frame step, the server serves in mode 3 only, and both close
// with the family.
TEST_F(HostLinkTags, DebugTagsOpenTheirLinksAndCloseThemWithTheFamily) {
    Debugger debugger("FamilyChannel", 4096);
    auto tags = std::make_unique<CDebugTags>(m_host);
    EXPECT_FALSE(tags->HasLink(2));
    EXPECT_FALSE(tags->TagDebug(Tag("debug", {{"mode", "3"}}), false));
    EXPECT_FALSE(tags->TagDebug(Tag("debug", {{"mode", "2"}, {"level", "1"}}), false));
    EXPECT_FALSE(tags->TagDebugprint(Tag("debugprint", {{"level", "2"}, {"data", "hello"}}, 9), false));
    EXPECT_EQ(m_host.calls, (std::vector<std::string>{"mode 3", "mode 2", "level 1", "tag 2 line 9 debugprint hello"}));
    EXPECT_TRUE(tags->HasChannel());
    EXPECT_TRUE(tags->HasLink(2));
    EXPECT_TRUE(tags->HasLink(3));

    tags->QueueTraceLine("one");
    tags->Update(2);
    debugger.Poll();
    EXPECT_EQ(m_sockets.OpenSockets(), 0);  // the server listens once served in mode 3
    tags->Update(3);
    EXPECT_EQ(m_sockets.OpenSockets(), 1);
    tags->Send("EXIT", 5);
    EXPECT_EQ(tags->ReleaseChannel(), 0u);
    EXPECT_FALSE(tags->HasChannel());
    debugger.Poll();
    EXPECT_EQ(debugger.messages, (std::vector<std::string>{std::string("one\n\0", 5), std::string("EXIT\0", 5)}));
    tags.reset();
    EXPECT_EQ(m_sockets.OpenSockets(), 0);
}

// A refused request: the caret waits, the cancel switch is cleared, the outcome and the trace
// go through the host, and the next frame step ends the wait.
TEST_F(HostLinkTags, HttpTagsWaitAndStoreTheOutcomeThroughTheHost) {
    CHttpTags tags(m_host);
    EXPECT_TRUE(tags.Update());
    m_host.variables.SetInt("s.http.cancel", 1);
    EXPECT_FALSE(tags.TagHttpget(
        Tag("httpget", {{"url", "http://127.0.0.1:99999/target"}, {"varname_code", "code"}, {"jump", "end"}}), false));
    EXPECT_EQ(m_host.variables.GetInt("s.http.cancel"), 0);
    EXPECT_EQ(m_host.variables.GetInt("code"), -1);
    ASSERT_GE(m_host.calls.size(), 2u);
    EXPECT_EQ(m_host.calls[0], "wait");
    EXPECT_EQ(m_host.calls[1],
              "request 0 httpgetタグ urlパラメータ \"http://127.0.0.1:99999/target\": ポート番号が不正です。");
    EXPECT_TRUE(tags.Update());
}

}  // namespace
