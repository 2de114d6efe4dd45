// Save and system-state tags: "save", "load", "autosave", "reset", "rclick", "keyconfig",
// "skip", "automode" and "exec". The player's actions themselves run in the frame loop;
// these tags set the switches it reads or request an action.
#include <memory>
#include <string>
#include <vector>

#include "CORE/COruKeyConfig.h"
#include "CORE/StringHelpers.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/TTween.h"
#include "GRAPHICS/TweenRegistry.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/tags/CTweenTags.h"
#include "SCRIPT/tags/TagAttributes.h"
#include "SCRIPT/tags/TagMessages.h"

namespace kestrin {

namespace {

// "0" or "1" of an attribute: -1 when absent or anything else.
int Switch(const CScriptBlock& block, const char* name) {
    std::string value;
    if (block.LacksAttribute(name, value)) return -1;
    if (value == "0") return 0;
    if (value == "1") return 1;
    return -1;
}

std::vector<std::string> CommaList(const std::string& text) {
    std::vector<std::string> items;
    if (!text.empty()) SplitString(text.c_str(), items, ",");
    return items;
}

}  // namespace

bool CMainScript::TagSave(CScriptBlock block, bool replay) {
    (void)replay;
    GetSaveData().Save(block.GetAttribute("file"), true);
    SaveGlobalData(true);
    return false;
}

bool CMainScript::TagLoad(CScriptBlock block, bool replay) {
    if (GetSaveData().Load(block.GetAttribute("file"), CSaveData::kTypeAny)) return false;
    if (block.HasAttribute("type")) return TagTrans(block, replay);
    return false;
}

bool CMainScript::TagAutosave(CScriptBlock block, bool replay) {
    (void)replay;
    const std::string& allow = block.GetAttribute("allow");
    if (allow == "0" || allow == "1" || allow == "2") m_state.autoSaveMode = allow[0] - '0';
    return false;
}

bool CMainScript::TagReset(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    SaveGlobalData(true);
    // The last picture stays on the screen while the game starts again behind it (a transition
    // still running ends first, so that its picture is the one kept).
    m_tween->FinishTransition();
    const bool frozen = m_screen && m_screen->IsReady();
    if (frozen) m_screen->FreezePicture();
    Start();
    COruLayer* root = m_screen ? m_screen->GetRootLayer() : nullptr;
    std::weak_ptr<CMainScript*> self = m_self;
    auto finish = [self] {
        auto script = self.lock();
        if (!script) return;
        CMainScript* s = *script;
        if (s->m_screen) s->m_screen->Flip();
        if (s->m_state.caret.status == STAT_TRANSITION) s->EndClickWait();
    };
    SetStatus(STAT_TRANSITION);
    if (!root || !frozen) {
        finish();
        return true;
    }
    // The new game's root rises to full opacity over a second, unseen behind the frozen picture,
    // which the end of the tween releases; a click or skipping ends it at once.
    auto* tween = new TTween<int32_t>(
        [self](int32_t alpha) {
            auto script = self.lock();
            if (!script || !(*script)->m_screen) return;
            if (COruLayer* layer = (*script)->m_screen->GetRootLayer()) layer->SetAlpha(alpha);
        },
        0, 255, 1000, 0);
    root->SetAlpha(0);
    tween->SetOnFinish(finish);
    m_tween->SetTransitionTween(RegisterTween(tween));
    return true;
}

bool CMainScript::TagRclick(CScriptBlock block, bool replay) {
    (void)replay;
    int allow = Switch(block, "allow");
    if (allow >= 0) m_state.rightClickAllowed = allow == 1;
    std::string file;
    if (!block.LacksAttribute("file", file)) m_state.rightClickScript = file;
    return false;
}

bool CMainScript::TagKeyconfig(CScriptBlock block, bool replay) {
    (void)replay;
    std::string role;
    if (block.LacksAttribute("role", role)) {
        TraceAt(1, block, tagmsg::kRoleMissing, block.ToTagText().c_str());
        return false;
    }
    int32_t number = ParseTagInt(role);
    m_keyConfig->ClearKeys(number);
    std::string keys;
    if (!block.LacksAttribute("keys", keys)) {
        for (const auto& key : CommaList(keys)) m_keyConfig->AddKey(number, ParseTagInt(key));
    }
    return false;
}

bool CMainScript::TagSkip(CScriptBlock block, bool replay) {
    (void)replay;
    int allow = Switch(block, "allow");
    if (allow >= 0) SetSkipAllowed(allow == 1);
    return false;
}

bool CMainScript::TagAutomode(CScriptBlock block, bool replay) {
    (void)replay;
    std::string value;
    CIconInfo& icon = m_state.autoModeIcons[m_state.messageLayerName];
    if (block.LacksAttribute("layer", value)) {
        icon.enabled = false;
    } else {
        icon.enabled = true;
        icon.layerId = value;
    }
    if (block.HasAttribute("stopbyclick")) m_state.autoModeStopByClick = TagFlag(block, "stopbyclick");
    if (block.HasAttribute("stopbystop")) m_state.autoModeStopByStop = TagFlag(block, "stopbystop");
    if (!block.LacksAttribute("syncse", value)) m_state.autoModeSyncSounds = CommaList(value);
    int allow = Switch(block, "allow");
    if (allow >= 0) SetAutoModeAllowed(allow == 1);
    return false;
}

bool CMainScript::TagExec(CScriptBlock block, bool replay) {
    (void)replay;
    const std::string& command = block.GetAttribute("command");
    if (command == "rclick") {
        m_rightClickRequest = true;
    } else if (command == "automode") {
        SetAutoMode(true, true);
    } else if (command == "skip") {
        SetCommandSkip(!m_commandSkip, true);
    } else if (command == "hide") {
        m_hideRequest = true;
    } else if (command == "backlog") {
        m_backlogRequest = true;
    } else if (command == "fullscreen") {
        ToggleFullScreen();
    }
    return true;
}

}  // namespace kestrin
