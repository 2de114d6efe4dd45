// The string library's pattern functions as the engine registers them: the same results and
// error texts as the stand-alone lua5.1 interpreter, and a long match stopped by the run
// limit or a close request like any other Lua code.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <lua.hpp>

#include "Application/PlatformServicesScope.h"
#include "CORE/Platform/HeadlessClock.h"
#include "CORE/Platform/HeadlessCloseSignals.h"
#include "SCRIPT/CLua.h"
#include "support/TestSupport.h"

namespace {

// Runs every case of the table and leaves one line per case, "case => results", in OUTPUT.
const char kDriver[] = R"lua(
local function show(v)
  if type(v) ~= "string" then return tostring(v) end
  local out = {}
  for i = 1, #v do
    local b = string.byte(v, i)
    if b >= 32 and b < 127 and b ~= 92 then out[#out + 1] = string.char(b) else out[#out + 1] = "\\" .. b end
  end
  return '"' .. table.concat(out) .. '"'
end
local function pack(...) return {n = select("#", ...), ...} end
local lines = {}
for _, source in ipairs(CASES) do
  local f, err = loadstring("return " .. source)
  local r = f and pack(pcall(f)) or {n = 1, err}
  local shown = {}
  for i = 1, r.n do shown[i] = show(r[i]) end
  lines[#lines + 1] = source .. " => " .. table.concat(shown, ", ")
end
OUTPUT = table.concat(lines, "\n")
)lua";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The chunk is loaded the same way on both sides, so that error places name the same chunk.
std::string RunLua51(const std::string& chunk) {
    kestrin_test::TempDir dir;
    const std::string file = dir.Write("chunk.lua", chunk);
    const std::string command =
        "lua5.1 -e 'assert(loadstring(io.read(\"*a\")))() io.write(OUTPUT)' < '" + file + "' 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "";
    std::string out;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    pclose(pipe);
    return out;
}

TEST(LuaPattern, ResultsAndErrorsAreThoseOfLua51) {
    const std::string chunk =
        kestrin_test::ReadFileBytes(kestrin_test::TestDataPath("lua/pattern_cases.lua")) + kDriver;
    ASSERT_FALSE(chunk.empty());
    kestrin::CLua lua;
    ASSERT_FALSE(lua.DoString(chunk)) << lua.GetLastError();
    lua_getglobal(lua.GetState(), "OUTPUT");
    const std::string ours = lua_tostring(lua.GetState(), -1) ? lua_tostring(lua.GetState(), -1) : "";
    lua_pop(lua.GetState(), 1);

    const std::vector<std::string> expected = Lines(RunLua51(chunk));
    const std::vector<std::string> actual = Lines(ours);
    ASSERT_GT(expected.size(), 200u) << "lua5.1 did not run the cases (tools/setup.sh installs it)";
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(actual[i], expected[i]);
}

// A match that backtracks for ages, through each of the functions.
const char* const kSlowMatches[] = {
    "string.find(string.rep('a', 20000), '(.-)(.-)(.-)(.-)b')",
    "string.match(string.rep('a', 20000), '(.-)(.-)(.-)(.-)b')",
    "string.gsub(string.rep('a', 20000), '(.-)(.-)(.-)(.-)b', 'x')",
    "for x in string.gmatch(string.rep('a', 20000), '(.-)(.-)(.-)(.-)b') do end",
    "string.find(string.rep('a', 20000), string.rep('a*', 30) .. 'b')",
    "string.find(string.rep('a', 2000000), string.rep('a', 1000000) .. 'b', 1, true)",
    // Caught errors do not keep the call alive.
    "while true do pcall(string.find, string.rep('a', 20000), '(.-)(.-)(.-)(.-)b') end",
};

// The wall clock moves on a second at each reading: the run limit (5 s) ends each call.
TEST(LuaPattern, ALongMatchIsStoppedByTheRunLimit) {
    auto clock = std::make_shared<kestrin::HeadlessClock>();
    clock->SetOnRead([](kestrin::HeadlessClock& c) { c.Advance(1000); });
    kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
    services.wallClock = clock;
    kestrin::PlatformServicesScope scope(services);
    ASSERT_FALSE(scope.Failed());
    kestrin::CLua lua;
    for (const char* body : kSlowMatches) {
        EXPECT_TRUE(lua.DoString(body)) << body;
        EXPECT_EQ(lua.GetLastError(), "5000 ms を超えて実行されたため、中断しました。") << body;
        // The next call has its own time.
        EXPECT_FALSE(lua.DoString("assert(string.find('abc', '(b)') == 2)")) << lua.GetLastError();
    }
}

// A close request (SIGTERM) ends the match while the wall clock stands still.
TEST(LuaPattern, ALongMatchGivesWayToACloseRequest) {
    kestrin::HeadlessCloseSignals signals;
    kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
    services.wallClock = std::make_shared<kestrin::HeadlessClock>();
    services.closeSignals = kestrin::Unowned(signals);
    kestrin::PlatformServicesScope scope(services);
    ASSERT_FALSE(scope.Failed());
    kestrin::CLua lua;
    for (const char* body : kSlowMatches) {
        signals.Raise();
        EXPECT_TRUE(lua.DoString(body)) << body;
        EXPECT_EQ(lua.GetLastError(), "終了が要求されたため、中断しました。") << body;
        EXPECT_TRUE(signals.TakeRequest());
        EXPECT_FALSE(lua.DoString("assert(string.find('abc', '(b)') == 2)")) << lua.GetLastError();
    }
}

// A pattern of thousands of nested items fails with an error instead of overflowing the stack.
TEST(LuaPattern, APatternTooDeepFailsWithAnError) {
    kestrin::CLua lua;
    EXPECT_FALSE(lua.DoString("ok, e = pcall(string.find, string.rep('a', 100000), string.rep('a?', 100000))"));
    lua_getglobal(lua.GetState(), "e");
    EXPECT_STREQ(lua_tostring(lua.GetState(), -1), "pattern too complex");
    lua_pop(lua.GetState(), 1);
    // Up to the limit, the match is Lua's.
    EXPECT_FALSE(lua.DoString("assert(string.find(string.rep('a', 3000), string.rep('a?', 3000)) == 1)"))
        << lua.GetLastError();
}

}  // namespace
