#pragma once
// What the debug tags need of the interpreter that runs them, and nothing more: its trace
// settings (saved with the game) and the script diagnostics. The interpreter implements it;
// tests fake it.
#include <cstdarg>

namespace kestrin {

class CScriptBlock;

class IDebugTagHost {
public:
    virtual ~IDebugTagHost() = default;
    // Where the trace goes: 0 off, 1 the log window, 2 the debug channel, 3 the debug server
    // (no trace).
    virtual void SetDebugTraceMode(int mode) = 0;
    // Trace lines above this level are dropped.
    virtual void SetDebugTraceLevel(int level) = 0;
    // A diagnostic at the block's line of the running script, as the interpreter writes its
    // own: the format is engine text (UTF-8), the arguments are in the game's encoding.
    // Nothing is formatted while the trace would drop the level.
    virtual void TraceTagAt(int level, const CScriptBlock& block, const char* format, va_list args) = 0;
};

}  // namespace kestrin
