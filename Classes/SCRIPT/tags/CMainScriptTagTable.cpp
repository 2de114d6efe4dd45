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
        {"stop", &CMainScript::TagStop},
        {"if", &CMainScript::TagIf},
        {"elseif", &CMainScript::TagElse},
        {"else", &CMainScript::TagElse},
        {"/if", &CMainScript::TagIfEnd},
        {"loop", &CMainScript::TagLoop},
        {"/loop", &CMainScript::TagLoopEnd},
        {"wait", &CMainScript::TagWait},
        {"tag", &CMainScript::TagTag},
        {"macroadd", &CMainScript::TagMacroadd},
        {"macrodel", &CMainScript::TagMacrodel},
        {"var", &CMainScript::TagVar},
        {"file", &CMainScript::TagFile},
        {"debug", &CMainScript::TagDebug},
        {"debugprint", &CMainScript::TagDebugprint},
        {"lyc", &CMainScript::TagLyc},
        {"lyprop", &CMainScript::TagLyprop},
        {"lyedit", &CMainScript::TagLyedit},
        {"lydel", &CMainScript::TagLydel},
        {"animedel", &CMainScript::TagLydel},
        {"lytween", &CMainScript::TagLytween},
        {"tweenset", &CMainScript::TagTweenset},
        {"/tweenset", &CMainScript::TagTweensetEnd},
        {"lytweendel", &CMainScript::TagLytweendel},
        {"flip", &CMainScript::TagFlip},
        {"trans", &CMainScript::TagTrans},
        {"takess", &CMainScript::TagTakess},
        {"savess", &CMainScript::TagSavess},
        {"video", &CMainScript::TagVideo},
    };
    return tags;
}

}  // namespace kestrin
