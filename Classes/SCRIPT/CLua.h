#pragma once
// One Lua 5.1 state with the standard libraries, and the text of the last failure.
//
// Every call into Lua runs under a time limit: a count hook reads the engine clock
// (CTimer) and ends a call that has run longer than the limit with a Lua error, so that a
// function that never returns cannot freeze the game.
#include <cstdint>
#include <string>

struct lua_State;
struct lua_Debug;

namespace kestrin {

class CLua {
public:
    // How long one call into Lua may run, in milliseconds of the engine clock.
    static constexpr uint32_t kDefaultRunLimitMs = 5000;

    CLua();
    virtual ~CLua();
    CLua(const CLua&) = delete;
    CLua& operator=(const CLua&) = delete;

    // Loads the text as a chunk and runs it. True on a load or run error, whose text then
    // becomes the last error.
    bool DoString(const std::string& chunk);

    const std::string& GetLastError() const { return m_lastError; }
    void SetLastError(const std::string& text) { m_lastError = text; }
    lua_State* GetState() const { return m_state; }

    // 0 turns the limit off.
    void SetRunLimit(uint32_t milliseconds) { m_runLimitMs = milliseconds; }
    uint32_t GetRunLimit() const { return m_runLimitMs; }

protected:
    // Takes the error value on top of the stack as the last error and pops it.
    void TakeError();
    // Bracket every protected call into Lua. A call made while another runs (Lua that runs
    // a tag that calls Lua) counts toward the outermost one's time.
    void BeginRun();
    void EndRun();
    // The error text of a call stopped by the limit, in the text encoding of the game.
    virtual std::string RunLimitText() const;

    std::string m_lastError;
    lua_State* m_state = nullptr;

private:
    static void CountHook(lua_State* L, lua_Debug* ar);

    uint32_t m_runLimitMs = kDefaultRunLimitMs;
    uint32_t m_runStart = 0;
    int m_runDepth = 0;
    // Prepared before the call: the hook, which leaves by a long jump, makes no C++ object.
    std::string m_runLimitText;
};

}  // namespace kestrin
