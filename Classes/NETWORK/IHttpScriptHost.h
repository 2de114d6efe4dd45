#pragma once
// What a script's HTTP request needs of the interpreter that made it, so that the network
// area knows nothing of scripts: the tag it came from, trace lines, the engine's own texts,
// the script's cancel switch, the result variables and the tag's completion action.
#include <cstdarg>
#include <cstdint>
#include <map>
#include <string>

namespace kestrin {

// The tag of a request as the request keeps it: its name, line and attributes.
struct SHttpTag {
    std::string name;
    int32_t line = 0;
    std::map<std::string, std::string> attributes;

    bool Has(const std::string& key) const { return attributes.count(key) != 0; }
    // The value, or "" when absent.
    const std::string& Get(const std::string& key) const {
        static const std::string kNone;
        auto it = attributes.find(key);
        return it == attributes.end() ? kNone : it->second;
    }
};

class IHttpScriptHost {
public:
    virtual ~IHttpScriptHost() = default;
    // Writes a trace line of the request (level 0) as the interpreter writes its own: the
    // format is engine text (UTF-8), the arguments are in the game's encoding. Nothing is
    // formatted while the trace is off.
    virtual void TraceHttp(const char* format, va_list args) = 0;
    // One of the engine's own texts (UTF-8) in the game's encoding.
    virtual std::string EngineText(const char* utf8) const = 0;
    // True while the script has cancelled waiting for its request ("s.http.cancel").
    virtual bool IsHttpCancelled() = 0;
    // Stores a result in the script variable of that name; a text is moved in (a reply's body
    // may be hundreds of megabytes).
    virtual void SetHttpResult(const std::string& variable, int32_t value) = 0;
    virtual void SetHttpResult(const std::string& variable, std::string&& value) = 0;
    // Runs the completion action (jump, call or handler) of the request's tag.
    virtual void RunHttpCompletion(const SHttpTag& tag) = 0;
};

}  // namespace kestrin
