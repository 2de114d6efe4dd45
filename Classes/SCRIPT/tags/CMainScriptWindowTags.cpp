// Window tags: "caption" retitles the game window, "dialog" asks with a message box,
// "openbrowser" hands a web address or a game file to the desktop, "debugreload" loads the
// scripts again; "purchase", "vibrate", "direction" and "statusbar" do nothing here.
#include <cctype>
#include <string>

#include "CORE/CWindow.h"
#include "CORE/GamePath.h"
#include "CORE/Platform/IMessageBox.h"
#include "CORE/Platform/IShellOpener.h"
#include "CORE/StringHelpers.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/tags/TagAttributes.h"

namespace kestrin {

namespace {

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    for (size_t i = 0; prefix[i]; ++i) {
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

// A name that stays inside the game folder: relative, no drive or scheme, no "..".
bool IsGameFolderName(const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\' || name.find(':') != std::string::npos) return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

bool CMainScript::TagCaption(CScriptBlock block, bool replay) {
    (void)replay;
    if (CWindow* window = GetFrontWindow()) window->SetTitle(block.GetAttribute("data"));
    return false;
}

// With varname the box asks yes or no, and the variable gets 1 or 0 (a box that cannot be
// shown answers no).
bool CMainScript::TagDialog(CScriptBlock block, bool replay) {
    (void)replay;
    const bool ask = block.HasAttribute("varname");
    const int answer = ShowMessageBox(block.GetAttribute("message"), block.GetAttribute("title"),
                                      ask ? kMessageBoxYesNo : kMessageBoxOk);
    if (ask) m_variables->SetInt(block.GetAttribute("varname"), answer == kAnswerYes ? 1 : 0);
    return false;
}

// Only web pages and files of the game itself: anything else could start any program the
// desktop knows.
bool CMainScript::TagOpenbrowser(CScriptBlock block, bool replay) {
    (void)replay;
    const std::string url = block.GetAttribute("url");
    if (StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://")) {
        OpenWithShell(url);
        return false;
    }
    std::string native;
    if (IsGameFolderName(url) && !ResolveGamePath(url, native)) {
        GetShellOpener()->Open(native);
        return false;
    }
    Log("%s(%d): [%s url=\"%s\"] 開けるのは http と https のアドレスか、ゲームフォルダ内のファイルだけです。",
        m_state.caret.file.c_str(), block.GetLine(), block.GetName().c_str(), url.c_str());
    return false;
}

bool CMainScript::TagDebugreload(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    DebugReload();
    return false;
}

// The rest of the frame passes, as while a store would answer.
bool CMainScript::TagPurchase(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    return true;
}

bool CMainScript::TagNothing(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    return false;
}

}  // namespace kestrin
