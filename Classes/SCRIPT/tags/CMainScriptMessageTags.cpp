// Tags of the message layers: which layer takes the text ("chgmsg"), line and page ends
// ("rt", "rp") with the backlog, the backlog and hide settings, the prohibited line-start and
// line-end characters, links and the per-character text tweens (ruby, fonts and the
// click-wait glyph are a family of their own: CMessageTags). Text tags go to the current
// layer's page record (unless replayed), from which the backlog and game saves rebuild the
// page.
#include <cstdlib>

#include "CORE/StringHelpers.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/Easing.h"
#include "SCRIPT/CBackLog.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/tags/CMessageTags.h"
#include "SCRIPT/tags/TagAttributes.h"
#include "SCRIPT/tags/TagMessages.h"
#include "TEXT/CLinkableTextRenderer.h"

namespace kestrin {

namespace {

// The characters of text in the script's encoding, a multibyte one whole.
std::set<std::string> SplitChars(const std::string& text, int encoding) {
    std::set<std::string> chars;
    const char* p = text.c_str();
    const char* end = p + text.size();
    while (p < end) {
        size_t length = CTextRenderer::CharLength(p, encoding);
        // A lead byte cut short by the end keeps what is there.
        if (length == 0 || p + length > end) length = static_cast<size_t>(end - p);
        chars.insert(std::string(p, length));
        p += length;
    }
    return chars;
}

void SplitIds(const std::string& list, std::set<std::string>& out) {
    out.clear();
    std::vector<std::string> parts;
    SplitString(list.c_str(), parts, ",");
    for (const auto& part : parts) out.insert(part);
}

}  // namespace

// --- Message layers, pages and their settings ---

// Makes name the current message layer (mode as the screen takes it) for "chgmsg" and
// "/chgmsg".
void CMainScript::SwitchMessageLayer(const CScriptBlock& block, const std::string& name, int32_t mode) {
    MakeMessageLayerCurrent(name, mode);
    m_messages->EnsureFontStack(name);
    TraceAt(3, block, tagmsg::kMessageLayerChanged, block.GetName().c_str(), name.c_str());
    HideGlyph();
}

bool CMainScript::TagChgmsg(CScriptBlock block, bool replay) {
    (void)replay;
    if (TagFlag(block, "stack")) m_state.messageLayerStack.push_back(m_state.messageLayerName);
    std::string name;
    if (block.LacksAttribute("id", name)) name = std::to_string(RandomValue());
    int32_t mode = 0;
    if (block.HasAttribute("layered")) mode = block.GetAttribute("layered") == "0" ? -1 : 1;
    SwitchMessageLayer(block, name, mode);
    return false;
}

bool CMainScript::TagChgmsgEnd(CScriptBlock block, bool replay) {
    (void)replay;
    if (m_state.messageLayerStack.empty()) {
        TraceAt(3, block, tagmsg::kChgmsgUnpaired, block.GetName().c_str(), m_state.messageLayerName.c_str());
        return false;
    }
    std::string name = m_state.messageLayerStack.back();
    m_state.messageLayerStack.pop_back();
    SwitchMessageLayer(block, name, 0);
    return false;
}

// "print" is text whose words come from its data, so a variable can be shown in the message.
bool CMainScript::TagPrint(CScriptBlock block, bool replay) {
    auto& attributes = block.GetAttributes();
    std::string data;
    auto it = attributes.find("data");
    if (it != attributes.end()) {
        data = std::move(it->second);
        attributes.erase(it);
    }
    block.SetKind(CScriptBlock::kText);
    block.SetName(data);
    return ExecuteText(block, replay);
}

// "@" in the text, or the tag "[@]".
bool CMainScript::TagClickWait(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    StartMessageTweens();
    SetStatus(STAT_CLICK);
    return true;
}

bool CMainScript::TagRt(CScriptBlock block, bool replay) {
    if (CLinkableTextRenderer* layer = GetMessageLayer()) layer->NewLine();
    if (!replay) RecordPageBlock(block);
    return false;
}

bool CMainScript::TagRp(CScriptBlock block, bool replay) {
    if (CLinkableTextRenderer* layer = GetMessageLayer()) {
        if (IsSkipping())
            layer->Clear();
        else
            layer->ClearWithTweens(m_state.textTweens[TEXT_TWEEN_OUT][m_state.messageLayerName]);
    }
    if (replay) return false;
    bool store = m_state.writeBacklog;
    if (block.HasAttribute("backlog")) store = TagFlag(block, "backlog");
    CSaveData& save = GetSaveData();
    std::vector<CScriptBlock>& record = save.GetPageRecords()[m_state.messageLayerName];
    if (store) {
        GetBackLog().AddPage(m_messages->CurrentFontStack(), record, m_state.includeFonts,
                             m_variables->GetString("s.backlog.annotation"));
    }
    record.clear();
    save.GetFontStacks()[m_state.messageLayerName] = m_messages->CurrentFontStack();
    auto pending = save.GetPendingProhibitBlocks().find(m_state.messageLayerName);
    if (pending != save.GetPendingProhibitBlocks().end()) {
        save.GetPageProhibitBlocks()[m_state.messageLayerName] = pending->second;
        save.GetPendingProhibitBlocks().erase(pending);
    }
    return false;
}

bool CMainScript::TagWritebacklog(CScriptBlock block, bool replay) {
    (void)replay;
    m_state.writeBacklog = TagFlag(block, "mode");
    return false;
}

bool CMainScript::TagBacklog(CScriptBlock block, bool replay) {
    (void)replay;
    std::string value;
    if (!block.LacksAttribute("allow", value)) {
        if (value == "0")
            m_state.backlogAllowed = false;
        else if (value == "1")
            m_state.backlogAllowed = true;
    }
    if (block.HasAttribute("includefont")) m_state.includeFonts = TagFlag(block, "includefont");
    if (!block.LacksAttribute("messagelayer", value)) {
        m_state.backlogMessageLayer = value;
        if (m_screen && !m_screen->GetMessageLayers().count(value)) {
            m_screen->ChangeMessageLayer(value, 0);
            m_screen->ChangeMessageLayer(m_state.messageLayerName, 0);
        }
    }
    CIconInfo& binding = m_state.backlogLayers[m_state.messageLayerName];
    if (block.LacksAttribute("layer", value)) {
        binding.enabled = false;
    } else {
        binding.enabled = true;
        binding.layerId = value;
    }
    if (!block.LacksAttribute("hide", value)) SplitIds(value, m_state.backlogHideLayers);
    return false;
}

bool CMainScript::TagHide(CScriptBlock block, bool replay) {
    (void)replay;
    std::string value;
    if (!block.LacksAttribute("allow", value)) {
        if (value == "0")
            m_state.hideAllowed = false;
        else if (value == "1")
            m_state.hideAllowed = true;
    }
    if (!block.LacksAttribute("window", value)) SplitIds(value, m_state.hideLayers);
    return false;
}

// --- Prohibited characters ---

bool CMainScript::TagProhibit(CScriptBlock block, bool replay) {
    if (CLinkableTextRenderer* layer = GetMessageLayer()) {
        layer->SetProhibitChars(SplitChars(block.GetAttribute("head"), m_textEncoding),
                                SplitChars(block.GetAttribute("foot"), m_textEncoding));
    }
    if (!replay) {
        RecordPageBlock(block);
        GetSaveData().GetPendingProhibitBlocks()[m_state.messageLayerName] = block;
    }
    return false;
}

// --- Links ---

bool CMainScript::TagLink(CScriptBlock block, bool replay) {
    if (!block.HasAttribute("file")) block.SetAttribute("file", m_state.caret.file);
    if (CLinkableTextRenderer* layer = GetMessageLayer()) {
        std::weak_ptr<CMainScript*> self = m_self;
        CScriptBlock copy = block;
        layer->BeginLink([self, copy]() {
            if (auto script = self.lock()) (*script)->RunEventBlock(copy);
        });
    }
    if (!replay) RecordPageBlock(block);
    return false;
}

bool CMainScript::TagLinkEnd(CScriptBlock block, bool replay) {
    if (CLinkableTextRenderer* layer = GetMessageLayer()) layer->EndLink();
    if (!replay) RecordPageBlock(block);
    return false;
}

bool CMainScript::TagLinkenable(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    if (CLinkableTextRenderer* layer = GetMessageLayer()) layer->EnableLinks();
    return false;
}

bool CMainScript::TagLinkdisable(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    if (CLinkableTextRenderer* layer = GetMessageLayer()) layer->DisableLinks();
    return false;
}

// --- Text tweens ---

namespace {

const char* const kTweenTypes[] = {
    "in", "out", "show", "hide", "backlog_down_in", "backlog_down_out", "backlog_up_in", "backlog_up_out"};

struct SParamName {
    const char* name;
    int32_t param;
    bool entire;
};
const SParamName kParamNames[] = {
    {"left", 0, false},       {"top", 1, false},         {"alpha", 2, false},       {"xscale", 3, false},
    {"yscale", 4, false},     {"rotate", 5, false},      {"entireleft", 0, true},   {"entiretop", 1, true},
    {"entirealpha", 2, true}, {"entirexscale", 3, true}, {"entireyscale", 4, true}, {"entirerotate", 5, true},
};

}  // namespace

bool CMainScript::TagScetween(CScriptBlock block, bool replay) {
    (void)replay;
    const std::string& mode = block.GetAttribute("mode");
    if (mode != "init" && mode != "add") return false;
    const std::string& type = block.GetAttribute("type");
    int index = -1;
    for (int i = 0; i < 8; ++i) {
        if (type == kTweenTypes[i]) {
            index = i;
            break;
        }
    }
    if (index < 0) return false;
    std::vector<CTextRenderer::CTweenInfo>& list = index < TEXT_TWEEN_COUNT
                                                       ? m_state.textTweens[index][m_state.messageLayerName]
                                                       : GetBackLog().GetScrollTweens(index >= 6, index % 2 == 1);
    if (mode == "init") {
        list.clear();
        return false;
    }
    CTextRenderer::CTweenInfo preset;
    const std::string& param = block.GetAttribute("param");
    for (const auto& entry : kParamNames) {
        if (param == entry.name) {
            preset.param = entry.param;
            preset.entire = entry.entire;
        }
    }
    const std::string& ease = block.GetAttribute("ease");
    const int kind = FindEaseKind(ease);
    if (kind >= 0) preset.ease = kind;
    preset.diff = TagInt(block, "diff");
    if (preset.param == CTextRenderer::CTweenInfo::kXScale || preset.param == CTextRenderer::CTweenInfo::kYScale) {
        const int32_t percent = preset.diff;
        preset.diff = (percent / 100) * 65536 + (percent % 100) * 65536 / 100;
    }
    preset.msec = TagInt(block, "msec");
    preset.delay = TagInt(block, "delay");
    preset.randomDelay = TagFlag(block, "randomdelay");
    preset.leave = !(index == 0 || index == 2 || index == 4 || index == 6);
    list.push_back(preset);
    return false;
}

bool CMainScript::TagScein(CScriptBlock block, bool replay) {
    if (CLinkableTextRenderer* layer = GetMessageLayer()) {
        layer->CompleteTweens();
        layer->StartTweens(m_state.textTweens[TEXT_TWEEN_SHOW][m_state.messageLayerName], false);
    }
    if (!replay) RecordPageBlock(block);
    return false;
}

bool CMainScript::TagSceout(CScriptBlock block, bool replay) {
    if (CLinkableTextRenderer* layer = GetMessageLayer()) {
        layer->CompleteTweens();
        layer->StartTweens(m_state.textTweens[TEXT_TWEEN_HIDE][m_state.messageLayerName], false);
    }
    if (!replay) RecordPageBlock(block);
    return false;
}

}  // namespace kestrin
