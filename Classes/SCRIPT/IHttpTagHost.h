#pragma once
// What the HTTP tags need of the interpreter that runs them, and nothing more: the variables
// a request reads and writes, the wait of the caret, the game's encoding, the engine's texts,
// the completion action and the script diagnostics. The interpreter implements it; tests fake
// it.
#include <cstdarg>
#include <string>

namespace kestrin {

class COruVariables;
class CScriptBlock;

class IHttpTagHost {
public:
    virtual ~IHttpTagHost() = default;
    // The script variables: the cancel switch "s.http.cancel", the result variables a tag
    // names and "s.result". Lives as long as the host.
    virtual COruVariables& GetHttpVariables() = 0;
    // The caret waits for the request (status 8) until the frame step says it is over.
    virtual void BeginHttpWait() = 0;
    // The game's text encoding (0 Shift_JIS, 2 UTF-8): the save files "unison" exchanges.
    virtual int GetHttpTextEncoding() const = 0;
    // One of the engine's own texts (UTF-8) in the game's encoding.
    virtual std::string EngineText(const char* utf8) const = 0;
    // Runs a request's completion: the block is its tag (jump, call or handler attributes).
    virtual void RunHttpCompletion(const CScriptBlock& block) = 0;
    // A trace line of a running request, as the interpreter writes its own: the format is
    // engine text (UTF-8), the arguments are in the game's encoding. Nothing is formatted
    // while the trace would drop the level.
    virtual void TraceHttpRequest(int level, const char* format, va_list args) = 0;
    // As TraceHttpRequest, with "file(line): " of the block in the running script in front
    // (the debug tags' host has the same).
    virtual void TraceTagAt(int level, const CScriptBlock& block, const char* format, va_list args) = 0;
};

}  // namespace kestrin
