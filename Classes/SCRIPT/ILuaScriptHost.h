#pragma once
// What the Lua host object (COruLua) needs of the interpreter behind it, and nothing more: the
// caret and its call stack, the loaded scripts' blocks, the variables' expressions, the random
// generator, running a tag, the Lua event handlers' names, the engine's texts and the trace.
// The interpreter implements it; tests fake it.
#include <cstdarg>
#include <deque>
#include <string>

namespace kestrin {

class CCaret;
class CScriptBlock;
class CScriptBlockList;

class ILuaScriptHost {
public:
    // The Lua event handlers a script can name ("setEventHandler").
    enum ELuaHandler : int { kLuaEnterFrame = 0, kLuaClickWaitIn, kLuaClickWaitOut };

    virtual ~ILuaScriptHost() = default;
    // A trace line, as the interpreter writes its own: the format is engine text (UTF-8), the
    // arguments are in the game's encoding. Nothing is formatted while the trace would drop the
    // level.
    virtual void TraceLua(int level, const char* format, va_list args) = 0;
    // One of the engine's own texts (UTF-8) in the game's encoding.
    virtual std::string EngineText(const char* utf8) const = 0;
    // The next number, 0 to 65535, of the interpreter's random generator (the one the script
    // draws from too, so the sequence is shared).
    virtual int DrawLuaRandom() = 0;
    // Runs the block as a tag of the running script, at once and not as a replay. The tag may
    // run Lua again before this returns.
    virtual void RunLuaTag(CScriptBlock block) = 0;
    // The value of a script expression, as the "var" tag reads it, in the game's encoding.
    virtual std::string EvaluateLuaExpression(const std::string& expression) = 0;
    // The caret of the running script, whose status, file and block index Lua reads and sets.
    // Lives as long as the host.
    virtual CCaret& GetLuaCaret() = 0;
    // The carets of the calls the running script is in, the outermost first.
    virtual const std::deque<CCaret>& GetLuaCallStack() = 0;
    // The blocks of a loaded script by file name; an empty list when no such script is loaded
    // (nothing is loaded here). Valid while the calling method runs.
    virtual CScriptBlockList& GetLuaScriptBlocks(const std::string& file) = 0;
    // Names the global Lua function the event calls; an empty name unsets it.
    virtual void SetLuaHandlerName(ELuaHandler which, const std::string& name) = 0;
};

}  // namespace kestrin
