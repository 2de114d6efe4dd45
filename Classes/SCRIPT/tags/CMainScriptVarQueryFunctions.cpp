// Var functions that read the state of the engine: the platform name, the screen, the
// layer tree, the sounds and the installed fonts.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "CORE/CGameWindow.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/COruLayer.h"
#include "SCRIPT/CBackLog.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/tags/VarFunctions.h"
#include "SOUND/CSoundManager.h"
#include "SCRIPT/tags/TagAttributes.h"
#include "TEXT/CFontRenderer.h"
#include "TEXT/CLinkableTextRenderer.h"

namespace kestrin {

namespace {

// 16.16 fixed point to an integer percent: the fraction's hundredths rounded down.
int32_t FixedToPercent(int32_t value) {
    return static_cast<int32_t>((static_cast<int64_t>(value) >> 16) * 100 + (((value & 0xFFFF) * 25) >> 14));
}

void WriteLayerFields(COruVariables& variables, const std::string& stem, const IDisplayObject& layer) {
    variables.SetInt(stem + ".left", layer.GetX());
    variables.SetInt(stem + ".top", layer.GetY());
    variables.SetInt(stem + ".width", layer.GetWidth());
    variables.SetInt(stem + ".height", layer.GetHeight());
    variables.SetInt(stem + ".alpha", layer.GetAlpha());
    variables.SetInt(stem + ".xscale", FixedToPercent(layer.GetXScale()));
    variables.SetInt(stem + ".yscale", FixedToPercent(layer.GetYScale()));
    variables.SetInt(stem + ".rotate", layer.GetRotate());
    variables.SetInt(stem + ".layermode", layer.GetLayerMode());
    variables.SetInt(stem + ".visible", layer.IsVisible() ? 1 : 0);
}

// The font entries (with allfont) as font tag texts, then the blocks as comma texts.
void WriteTags(COruVariables& variables, const CScriptBlock& block, const std::deque<CFontProperty>* fonts,
               const std::vector<CScriptBlock>& blocks) {
    const std::string& name = block.GetAttribute("name");
    int32_t count = 0;
    if (fonts && TagFlag(block, "allfont")) {
        for (const auto& font : *fonts) variables.SetString(name + "." + std::to_string(count++), font.ToTagText());
    }
    for (const auto& recorded : blocks)
        variables.SetString(name + "." + std::to_string(count++), recorded.ToCommaText());
    variables.SetInt(name + ".size", count);
}

}  // namespace

// Games branch on this name; the engine answers as the platform its games were made for.
void VarOs(CMainScript& script, const CScriptBlock& block) {
    script.GetVariables().SetString(block.GetAttribute("name"), "windows");
}

void VarScreenWidth(CMainScript& script, const CScriptBlock& block) {
    CMainScreen* screen = script.GetScreen();
    script.GetVariables().SetInt(block.GetAttribute("name"), screen ? screen->GetWidth() : 0);
}

void VarScreenHeight(CMainScript& script, const CScriptBlock& block) {
    CMainScreen* screen = script.GetScreen();
    script.GetVariables().SetInt(block.GetAttribute("name"), screen ? screen->GetHeight() : 0);
}

void VarFullscreen(CMainScript& script, const CScriptBlock& block) {
    CMainScreen* screen = script.GetScreen();
    CGameWindow* window = screen ? screen->GetGameWindow() : nullptr;
    script.GetVariables().SetInt(block.GetAttribute("name"), window && window->IsFullScreen() ? 1 : 0);
}

void VarGetLayerInfo(CMainScript& script, const CScriptBlock& block) {
    CMainScreen* screen = script.GetScreen();
    COruLayer* root = screen ? screen->GetRootLayer() : nullptr;
    COruVariables& variables = script.GetVariables();
    const std::string& name = block.GetAttribute("name");
    if (block.HasAttribute("id")) {
        const std::string& id = block.GetAttribute("id");
        CProgressiveDisplayObjectSet* layer = root && !id.empty() ? root->GetChild(id) : nullptr;
        if (layer) WriteLayerFields(variables, name, *layer);
        return;
    }
    COruLayer::LayerMap layers;
    if (root) root->CollectLayersNoPrefix(std::string(), layers);
    const bool byPath = block.GetAttribute("style") == "map";
    variables.SetInt(name + ".size", static_cast<int32_t>(layers.size()));
    int32_t index = 0;
    for (const auto& entry : layers) {
        const std::string stem = name + "." + (byPath ? entry.first : std::to_string(index++));
        variables.SetString(stem + ".id", entry.first);
        WriteLayerFields(variables, stem, *entry.second);
    }
}

// The music's state (0 stopped, 1 once, 2 looping) and every effect channel, in channel
// order, with its state and own volume (-1 once its sound is gone).
void VarGetSoundInfo(CMainScript& script, const CScriptBlock& block) {
    COruVariables& variables = script.GetVariables();
    const std::string& name = block.GetAttribute("name");
    variables.SetInt(name + ".playing", script.GetMusicManager().IsPlaying(script.GetMusicHandle()));
    const auto& channels = script.GetSoundChannels();
    variables.SetInt(name + ".size", static_cast<int32_t>(channels.size()));
    CSoundManager& effects = script.GetEffectsManager();
    int32_t index = 0;
    for (const auto& channel : channels) {
        const std::string stem = name + "." + std::to_string(index++);
        variables.SetString(stem + ".id", channel.first);
        variables.SetInt(stem + ".playing", effects.IsPlaying(channel.second));
        variables.SetInt(stem + ".gain", effects.GetVolume(channel.second));
    }
}

// The text size of the current message layer; nothing without one.
void VarGetMessageLayerWidth(CMainScript& script, const CScriptBlock& block) {
    if (CLinkableTextRenderer* layer = script.GetMessageLayer())
        script.GetVariables().SetInt(block.GetAttribute("name"), layer->GetTextWidth());
}

void VarGetMessageLayerHeight(CMainScript& script, const CScriptBlock& block) {
    if (CLinkableTextRenderer* layer = script.GetMessageLayer())
        script.GetVariables().SetInt(block.GetAttribute("name"), layer->GetTextHeight());
}

// Japanese outline faces, named in the script's encoding; vertical "@" faces only on request.
void VarGetFont(CMainScript& script, const CScriptBlock& block) {
    std::vector<std::string> faces;
    EnumerateFonts(faces, false, true, TagFlag(block, "monospace"), true, script.GetTextEncoding());
    const bool vertical = TagFlag(block, "vertical");
    COruVariables& variables = script.GetVariables();
    const std::string& name = block.GetAttribute("name");
    int32_t count = 0;
    for (const std::string& face : faces) {
        if ((!face.empty() && face[0] == '@') != vertical) continue;
        variables.SetString(name + "." + std::to_string(count++), face);
    }
    variables.SetInt(name + ".size", count);
}

// The page record of a message layer since its page began; nothing for a layer without one.
void VarGetMessageTags(CMainScript& script, const CScriptBlock& block) {
    CSaveData& save = script.GetSaveData();
    const std::string& id = block.GetAttribute("id");
    auto record = save.GetPageRecords().find(id);
    if (record == save.GetPageRecords().end()) return;
    auto fonts = save.GetFontStacks().find(id);
    WriteTags(script.GetVariables(), block, fonts == save.GetFontStacks().end() ? nullptr : &fonts->second,
              record->second);
}

void VarGetBacklogSize(CMainScript& script, const CScriptBlock& block) {
    script.GetVariables().SetInt(block.GetAttribute("name"),
                                 static_cast<int32_t>(script.GetBackLog().GetPages().size()));
}

// Page 0 is the oldest page held; a page out of range (negative included) writes nothing.
void VarGetBacklogTags(CMainScript& script, const CScriptBlock& block) {
    const CBackLog& backlog = script.GetBackLog();
    const uint32_t page = static_cast<uint32_t>(TagInt(block, "page"));
    if (page >= backlog.GetPages().size()) return;
    WriteTags(script.GetVariables(), block, &backlog.GetFontStates()[page], backlog.GetPages()[page]);
}

}  // namespace kestrin
