// The tag names with a built handler. Names missing here are taken as macro calls.
#include "SCRIPT/CMainScript.h"

namespace kestrin {

const std::vector<std::pair<const char*, CMainScript::TagHandler>>& CMainScript::BuiltTags() {
    static const std::vector<std::pair<const char*, TagHandler>> tags = {
        {"jump", &CMainScript::TagJump},
        {"call", &CMainScript::TagCall},
        {"return", &CMainScript::TagReturn},
        {"exit", &CMainScript::TagExit},
        {"lua", &CMainScript::TagLua},
        {"calllua", &CMainScript::TagCalllua},
    };
    return tags;
}

}  // namespace kestrin
