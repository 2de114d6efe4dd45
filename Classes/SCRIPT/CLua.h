#pragma once
// One Lua 5.1 state with the standard libraries, and the text of the last failure.
#include <string>

struct lua_State;

namespace kestrin {

class CLua {
public:
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

protected:
    // Takes the error value on top of the stack as the last error and pops it.
    void TakeError();

    std::string m_lastError;
    lua_State* m_state = nullptr;
};

}  // namespace kestrin
