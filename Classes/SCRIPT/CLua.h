#pragma once
// One Lua 5.1 state with the standard libraries, and the text of the last failure.
//
// Every call into Lua runs under a time limit: a count hook reads the wall clock
// (CTimer::GetWallTime, real time even in the harness) and ends a call that has run longer
// than the limit with a Lua error, so that a function that never returns cannot freeze the
// game. The hook never fires inside one C function (string.rep, a long concatenation), so
// the state's allocator checks the limit too, and a pending close request (SIGTERM), and
// caps the memory the state may hold: a refused allocation is Lua's own "not enough memory"
// error, which unwinds the call. The pattern functions of the string library, which may
// run for ever without allocating, are the engine's own and check as they go (StopPending).
#include <cstddef>
#include <cstdint>
#include <string>

struct lua_State;
struct lua_Debug;

namespace kestrin {

class CLua {
public:
    // How long one call into Lua may run, in milliseconds of the wall clock.
    static constexpr uint32_t kDefaultRunLimitMs = 5000;
    // How many bytes the state may hold.
    static constexpr size_t kDefaultMemoryLimit = size_t(256) << 20;

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
    // 0 turns the cap off. A lower cap than what is held refuses every growth.
    void SetMemoryLimit(size_t bytes) { m_memoryLimit = bytes; }
    size_t GetMemoryLimit() const { return m_memoryLimit; }
    size_t GetMemoryUsed() const { return m_memoryUsed; }

    // For long work inside one C function called by the state's Lua code: when the running
    // call must stop (past the run limit, or a close request waits), raises the error of a
    // stopped call, which does not return. Nothing on the C stack up to the function may
    // have a destructor.
    static void StopPending(lua_State* L);

protected:
    // Takes the error value on top of the stack as the last error and pops it.
    void TakeError();
    // Bracket every protected call into Lua. A call made while another runs (Lua that runs
    // a tag that calls Lua) counts toward the outermost one's time.
    void BeginRun();
    void EndRun();
    // The error text of a call stopped by the limit, in the text encoding of the game.
    virtual std::string RunLimitText() const;
    // The error text of a call stopped because the program is closing.
    virtual std::string CloseText() const;

    std::string m_lastError;
    lua_State* m_state = nullptr;

private:
    enum EStop { kStopNone, kStopTime, kStopClose };

    static void CountHook(lua_State* L, lua_Debug* ar);
    static CLua* HostOf(lua_State* L);
    static void RaiseStop(lua_State* L, EStop stop);
    static void* Allocate(void* self, void* block, size_t oldSize, size_t newSize);
    static int Panic(lua_State* L);
    static int CollectAll(lua_State* L);
    // Why the running call must end now, if it must; the reason sticks until the next call.
    EStop CheckStop(bool readClock);

    uint32_t m_runLimitMs = kDefaultRunLimitMs;
    uint32_t m_runStart = 0;
    int m_runDepth = 0;
    EStop m_stop = kStopNone;
    size_t m_memoryLimit = kDefaultMemoryLimit;
    size_t m_memoryUsed = 0;
    // An allocation was refused at the cap since the outermost call began.
    bool m_capReached = false;
    unsigned m_growthsSinceClock = 0;
};

}  // namespace kestrin
