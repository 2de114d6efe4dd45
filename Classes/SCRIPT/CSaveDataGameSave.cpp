// Game saves (type 'S'): the whole interpreter state with the records that rebuild the
// screen. A save is decoded and checked whole before anything of the running game is
// touched; only then does the interpreter boot and replay it.
#include <algorithm>
#include <memory>

#include "CORE/CBinaryStream.h"
#include "CORE/CGameFileNames.h"
#include "CORE/COruKeyConfig.h"
#include "CORE/CSerializer.h"
#include "GRAPHICS/CMainScreen.h"
#include "SCRIPT/CBackLog.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CSaveData.h"
#include "TEXT/CLinkableTextRenderer.h"
#include "TEXT/CTextRenderer.h"

namespace kestrin {

// Everything a game save holds, as values: filled from the interpreter to save, and from
// the archive to check before it replaces the interpreter's own. The defaults are the
// boot's, so that a member missing from a save leaves what the boot gave.
struct CSaveData::SGameState {
    bool autoModeAllowed = false;
    std::map<std::string, CMainScript::CIconInfo> autoModeIcons;
    bool skipAllowed = true;
    COruKeyConfig keyConfig;
    std::vector<std::string> macroFiles{"macro.iet"};
    CMainScript::CCaret caret;
    std::deque<CMainScript::CCaret> callStack;
    bool rightClickAllowed = false;
    std::string rightClickScript = "rclick.iet";
    bool rightClickMode = false;
    int32_t rightClickDepth = 0;
    int32_t autoSaveMode = 0;
    int32_t debugMode = 0;
    int32_t traceLevel = 3;
    bool autoModeStopByClick = true;
    bool autoModeStopByStop = true;
    std::vector<std::string> autoModeSyncSounds;
    std::string messageLayerName;
    std::deque<std::string> messageLayerStack;
    CFontProperty defaultFont;
    CMainScript::TextTweenMap textTweens[CMainScript::TEXT_TWEEN_COUNT];
    bool hideAllowed = false;
    std::set<std::string> hideLayers;
    bool backlogAllowed = false;
    bool writeBacklog = true;
    bool includeFonts = true;
    std::string backlogMessageLayer = "backlog";
    std::set<std::string> backlogHideLayers;
    std::map<std::string, CMainScript::CIconInfo> backlogLayers;
    std::map<std::string, CMainScript::CGlyphInfo> glyphSettings;
    std::map<int, CScriptBlock> pushKeys;
    CScriptBlock eventBlocks[CMainScript::EVENT_COUNT];
    std::string luaEnterFrame;
    std::string luaClickWaitIn;
    std::string luaClickWaitOut;
    PageRecords pageRecords;
    FontStacks fontStacks;
    ProhibitBlocks pageProhibitBlocks;
    ProhibitBlocks pendingProhibitBlocks;
    LayerRecord layerRecord;
    SoundRecord soundRecord;
    bool musicRecorded = false;
    CScriptBlock musicBlock;
    std::shared_ptr<COruVariables> variables;
    std::vector<std::string> messageLayers;
    // Decoded only (it is not copied to be saved).
    std::unique_ptr<CBackLog> backlog;
};

namespace {

using SGameState = CSaveData::SGameState;

// The members of a game save, in the order they are written.
template <class Visitor>
void VisitMembers(SGameState& s, Visitor& visit) {
    visit(s.autoModeAllowed, 1);
    visit(s.autoModeIcons, 19);
    visit(s.skipAllowed, 2);
    visit(s.keyConfig, 65);
    visit(s.macroFiles, 36);
    visit(s.caret, 3);
    visit(s.callStack, 4);
    visit(s.rightClickAllowed, 6);
    visit(s.rightClickScript, 51);
    visit(s.rightClickMode, 7);
    visit(s.rightClickDepth, 8);
    visit(s.autoSaveMode, 5);
    visit(s.debugMode, 9);
    visit(s.traceLevel, 39);
    visit(s.autoModeStopByClick, 57);
    visit(s.autoModeStopByStop, 58);
    visit(s.autoModeSyncSounds, 35);
    visit(s.messageLayerName, 11);
    visit(s.messageLayerStack, 12);
    visit(s.defaultFont, 63);
    visit(s.textTweens[CMainScript::TEXT_TWEEN_IN], 13);
    visit(s.textTweens[CMainScript::TEXT_TWEEN_OUT], 14);
    visit(s.textTweens[CMainScript::TEXT_TWEEN_SHOW], 59);
    visit(s.textTweens[CMainScript::TEXT_TWEEN_HIDE], 60);
    visit(s.hideAllowed, 15);
    visit(s.hideLayers, 16);
    visit(s.backlogAllowed, 17);
    visit(s.writeBacklog, 52);
    visit(s.includeFonts, 61);
    visit(s.backlogMessageLayer, 62);
    visit(s.backlogHideLayers, 37);
    visit(s.backlogLayers, 20);
    visit(s.glyphSettings, 18);
    visit(s.pushKeys, 56);
    // Automode in/out, command skip in/out, control skip in/out, hide in/out, backlog in/out.
    for (unsigned i = 0; i < 10; ++i) visit(s.eventBlocks[i], 40 + i);
    visit(s.eventBlocks[CMainScript::EVENT_DIRCHG], 33);
    visit(s.luaEnterFrame, 34);
    visit(s.luaClickWaitIn, 38);
    visit(s.luaClickWaitOut, 50);
    visit(s.pageRecords, 24);
    visit(s.fontStacks, 25);
    visit(s.pageProhibitBlocks, 66);
    visit(s.pendingProhibitBlocks, 67);
    visit(s.layerRecord, 26);
    visit(s.soundRecord, 53);
    visit(s.musicRecorded, 28);
    if (s.musicRecorded) visit(s.musicBlock, 29);
    visit(s.variables, 30);
    visit(s.messageLayers, 64);
}

struct SSaver {
    CSerializer& archive;
    template <class T>
    void operator()(const T& value, unsigned key) {
        archive.SaveValue(value, key);
    }
};

// Reads each member and checks that it fills exactly the bytes the index gives it: a
// count, a length or a nested size that was changed reads as fewer or more bytes.
struct SChecker {
    CSerializer& archive;
    const std::map<unsigned, uint32_t>& extents;
    unsigned damaged = 0;
    template <class T>
    void operator()(T& value, unsigned key) {
        auto extent = extents.find(key);
        if (extent == extents.end() || damaged) return;
        archive.LoadValue(value, key);
        CSerializer again = CSerializer::CSerializerWithIndexFlag(false);
        again.SaveValue(value, key);
        const CBinaryStream::CMemoryInfo* image = again.GetMemory();
        uint32_t size = image ? image->size : 0;
        if (size != extent->second) damaged = key;
    }
};

// Member key -> bytes from its offset to the next member (or the end of the image).
// The index is known whole and inside the image (checked before the archive is made).
std::map<unsigned, uint32_t> MemberExtents(const unsigned char* image, size_t size) {
    std::map<unsigned, uint32_t> extents;
    if (size < 4) return extents;
    int32_t count = DecodeInt32(image);
    std::map<unsigned, uint32_t> offsets;
    std::vector<uint32_t> starts;
    for (int32_t i = 0; i < count; ++i) {
        const unsigned char* entry = image + 4 + static_cast<size_t>(i) * 8;
        uint32_t offset = static_cast<uint32_t>(DecodeInt32(entry + 4));
        offsets.emplace(static_cast<unsigned>(DecodeInt32(entry)), offset);  // the first of a key stays
        starts.push_back(offset);
    }
    std::sort(starts.begin(), starts.end());
    for (const auto& member : offsets) {
        auto next = std::upper_bound(starts.begin(), starts.end(), member.second);
        uint32_t end = next == starts.end() ? static_cast<uint32_t>(size) : *next;
        extents.emplace(member.first, end - member.second);
    }
    return extents;
}

bool IsTagBlock(const CScriptBlock& block) { return block.GetKind() == CScriptBlock::kTag && !block.GetName().empty(); }

}  // namespace

bool CSaveData::IsSaveName(const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
    if (name.size() >= 2 && name[1] == ':') return false;
    for (const auto& part : CGameFileNames::Split(CGameFileNames::ToNative(name), '/')) {
        if (part == "..") return false;
    }
    return true;
}

bool CSaveData::CTweenInfoSerializer::Save(CSerializer* nested, std::any value) {
    auto** held = std::any_cast<CTextRenderer::CTweenInfo*>(&value);
    if (!held || !*held || !nested) return false;
    const CTextRenderer::CTweenInfo& info = **held;
    nested->SaveInt(info.param, 5);
    nested->SaveByte(info.entire ? 1 : 0, 8);
    nested->SaveInt(info.ease, 4);
    nested->SaveInt(info.diff, 3);
    nested->SaveInt(info.msec, 7);
    nested->SaveInt(info.delay, 6);
    nested->SaveByte(info.randomDelay ? 1 : 0, 9);
    nested->SaveInt(info.yoyo, 2);
    nested->SaveByte(info.leave ? 1 : 0, 1);
    return true;
}

bool CSaveData::CTweenInfoSerializer::Load(CSerializer* nested, std::any value) {
    auto** held = std::any_cast<CTextRenderer::CTweenInfo*>(&value);
    if (!held || !*held || !nested) return false;
    CTextRenderer::CTweenInfo& info = **held;
    nested->LoadInt(info.param, 5);
    nested->LoadByte(info.entire, 8);
    nested->LoadInt(info.ease, 4);
    nested->LoadInt(info.diff, 3);
    nested->LoadInt(info.msec, 7);
    nested->LoadInt(info.delay, 6);
    nested->LoadByte(info.randomDelay, 9);
    nested->LoadInt(info.yoyo, 2);
    nested->LoadByte(info.leave, 1);
    return true;
}

bool CSaveData::Save(const std::string& name, bool withBacklog) {
    if (!IsSaveName(name)) {
        m_owner->Log("%s: セーブフォルダの外には保存できません。", name.c_str());
        return true;
    }
    CSerializer archive;
    SaveState(archive, withBacklog);
    return WriteFile(name, archive, kTypeGame);
}

void CSaveData::SaveState(CSerializer& archive, bool withBacklog) {
    CMainScript& o = *m_owner;
    SGameState s;
    s.autoModeAllowed = o.m_autoModeAllowed;
    s.autoModeIcons = o.m_autoModeIcons;
    s.skipAllowed = o.m_skipAllowed;
    for (const auto& role : o.m_keyConfig->GetKeys()) {
        for (int key : role.second) s.keyConfig.AddKey(role.first, key);
    }
    s.macroFiles = o.m_macroFiles;
    s.caret = o.m_caret;
    s.callStack = o.m_callStack;
    s.rightClickAllowed = o.m_rightClickAllowed;
    s.rightClickScript = o.m_rightClickScript;
    s.rightClickMode = o.m_rightClickMode;
    s.rightClickDepth = o.m_rightClickDepth;
    s.autoSaveMode = o.m_autoSaveMode;
    s.debugMode = o.m_debugMode;
    s.traceLevel = o.m_traceLevel;
    s.autoModeStopByClick = o.m_autoModeStopByClick;
    s.autoModeStopByStop = o.m_autoModeStopByStop;
    s.autoModeSyncSounds = o.m_autoModeSyncSounds;
    s.messageLayerName = o.m_messageLayerName;
    s.messageLayerStack = o.m_messageLayerStack;
    s.defaultFont = o.m_defaultFont;
    for (int i = 0; i < CMainScript::TEXT_TWEEN_COUNT; ++i) s.textTweens[i] = o.m_textTweens[i];
    s.hideAllowed = o.m_hideAllowed;
    s.hideLayers = o.m_hideLayers;
    s.backlogAllowed = o.m_backlogAllowed;
    s.writeBacklog = o.m_writeBacklog;
    s.includeFonts = o.m_includeFonts;
    s.backlogMessageLayer = o.m_backlogMessageLayer;
    s.backlogHideLayers = o.m_backlogHideLayers;
    s.backlogLayers = o.m_backlogLayers;
    s.glyphSettings = o.m_glyphSettings;
    s.pushKeys = o.m_pushKeys;
    for (int i = 0; i < CMainScript::EVENT_COUNT; ++i) s.eventBlocks[i] = o.m_eventBlocks[i];
    s.luaEnterFrame = o.m_luaEnterFrame;
    s.luaClickWaitIn = o.m_luaClickWaitIn;
    s.luaClickWaitOut = o.m_luaClickWaitOut;
    s.pageRecords = m_pageRecords;
    s.fontStacks = m_fontStacks;
    s.pageProhibitBlocks = m_pageProhibitBlocks;
    s.pendingProhibitBlocks = m_pendingProhibitBlocks;
    s.layerRecord = m_layerRecord;
    s.soundRecord = m_soundRecord;
    s.musicRecorded = m_musicRecorded;
    s.musicBlock = m_musicBlock;
    s.variables = o.m_variables;
    // The message layers drawn inside the layer tree, in the screen's order.
    if (m_screen) {
        for (const auto& layer : m_screen->GetMessageLayers()) {
            if (layer.second.hosted) s.messageLayers.push_back(layer.first);
        }
    }
    SSaver saver{archive};
    VisitMembers(s, saver);
    if (withBacklog) archive.SaveSerializable(o.GetBackLog(), 31);
}

bool CSaveData::DecodeState(CSerializer& archive, const std::string& name, SGameState& s) {
    const CBinaryStream::CMemoryInfo* image = archive.GetStream()->GetFlat();
    std::map<unsigned, uint32_t> extents;
    if (image && image->data) extents = MemberExtents(image->data, image->size);
    SChecker checker{archive, extents};
    VisitMembers(s, checker);
    CMainScript& o = *m_owner;
    auto fail = [&](const char* what, long value) {
        o.Log("%s: セーブデータが壊れています。(%s: %ld)", name.c_str(), what, value);
        return true;
    };
    if (checker.damaged) return fail("member", static_cast<long>(checker.damaged));
    auto backlogExtent = extents.find(31);
    if (backlogExtent != extents.end()) {
        s.backlog = std::make_unique<CBackLog>(*m_owner);
        archive.LoadSerializable(*s.backlog, 31);
        CSerializer again = CSerializer::CSerializerWithIndexFlag(false);
        again.SaveSerializable(*s.backlog, 31);
        const CBinaryStream::CMemoryInfo* encoded = again.GetMemory();
        if (s.backlog->LoadFailed() || !encoded ||
            static_cast<int64_t>(encoded->size) != static_cast<int64_t>(backlogExtent->second)) {
            return fail("backlog pages", static_cast<long>(s.backlog->GetPages().size()));
        }
    }

    // What is checked below is what the restore relies on and what the engine itself never
    // records: a caret outside the game's scripts, a right-click depth deeper than the call
    // stack, a layer or sound record that holds no tag. Anything the running engine can
    // record loads: the default message layer and a channel or layer id are "" as often as
    // not, a key code or a trace mode is whatever the script gave, and a status that only
    // Lua could set makes the frame loop wait as it did when the game was saved.
    auto checkCaret = [&](CMainScript::CCaret& caret, const char* what) {
        if (caret.file.empty() || o.LoadScript(caret.file)) return fail(what, -1);
        // Up to its end: a big script is parsed only as far as the caret.
        const CMainScript::BlockList& blocks = o.GetScriptBlocks(caret.file);
        if (caret.index < 0 || (caret.index > 0 && !blocks.HasBlock(static_cast<size_t>(caret.index) - 1))) {
            return fail(what, caret.index);
        }
        return false;
    };
    if (s.callStack.size() > CMainScript::kMaxCallDepth) return fail("call stack", static_cast<long>(s.callStack.size()));
    for (auto& entry : s.callStack) {
        if (checkCaret(entry, "call stack")) return true;
    }
    if (checkCaret(s.caret, "caret")) return true;
    if (s.rightClickDepth < 0 || static_cast<size_t>(s.rightClickDepth) > s.callStack.size()) {
        return fail("right click depth", s.rightClickDepth);
    }
    if (s.autoSaveMode < 0 || s.autoSaveMode > 2) return fail("autosave", s.autoSaveMode);
    for (const auto& handler : s.pushKeys) {
        if (handler.first < 0 || handler.first > 255) return fail("key", handler.first);
    }
    for (const auto& layer : s.layerRecord) {
        for (const auto& block : layer.second) {
            if (!IsTagBlock(block)) return fail("layer record", block.GetKind());
        }
    }
    for (const auto& sound : s.soundRecord) {
        if (!IsTagBlock(sound.second)) return fail("sound record", sound.second.GetKind());
    }
    if (s.musicRecorded && !IsTagBlock(s.musicBlock)) return fail("music", s.musicBlock.GetKind());
    for (const auto& page : s.pageRecords) {
        for (const auto& block : page.second) {
            if (block.GetKind() != CScriptBlock::kText && !IsTagBlock(block)) return fail("page record", block.GetKind());
        }
    }
    return false;
}

bool CSaveData::RestoreState(CSerializer& archive, const std::string& name) {
    SGameState state;
    if (DecodeState(archive, name, state)) return true;
    ApplyState(archive, state);
    return false;
}

void CSaveData::ApplyState(CSerializer& archive, SGameState& s) {
    CMainScript& o = *m_owner;
    o.Start();

    o.m_autoModeAllowed = s.autoModeAllowed;
    o.m_autoModeIcons = std::move(s.autoModeIcons);
    o.m_skipAllowed = s.skipAllowed;
    // Through AddKey, so that the wheel keys bind the wheel again.
    if (!archive.FindMember(65, true)) {
        std::vector<int> roles;
        for (const auto& role : o.m_keyConfig->GetKeys()) roles.push_back(role.first);
        for (int role : roles) o.m_keyConfig->ClearKeys(role);
        for (const auto& role : s.keyConfig.GetKeys()) {
            for (int key : role.second) o.m_keyConfig->AddKey(role.first, key);
        }
    }
    o.m_macroFiles = std::move(s.macroFiles);
    o.m_failedMacroFiles.clear();
    o.m_caret = s.caret;
    o.m_callStack = std::move(s.callStack);
    o.m_rightClickAllowed = s.rightClickAllowed;
    o.m_rightClickScript = std::move(s.rightClickScript);
    o.m_rightClickMode = s.rightClickMode;
    o.m_rightClickDepth = s.rightClickDepth;
    o.m_autoSaveMode = s.autoSaveMode;
    o.m_debugMode = s.debugMode;
    o.m_traceLevel = s.traceLevel;
    o.m_autoModeStopByClick = s.autoModeStopByClick;
    o.m_autoModeStopByStop = s.autoModeStopByStop;
    o.m_autoModeSyncSounds = std::move(s.autoModeSyncSounds);
    o.m_messageLayerName = s.messageLayerName;
    o.m_messageLayerStack = std::move(s.messageLayerStack);
    o.m_defaultFont = s.defaultFont;
    for (int i = 0; i < CMainScript::TEXT_TWEEN_COUNT; ++i) o.m_textTweens[i] = std::move(s.textTweens[i]);
    o.m_hideAllowed = s.hideAllowed;
    o.m_hideLayers = std::move(s.hideLayers);
    o.m_backlogAllowed = s.backlogAllowed;
    o.m_writeBacklog = s.writeBacklog;
    o.m_includeFonts = s.includeFonts;
    o.m_backlogMessageLayer = std::move(s.backlogMessageLayer);
    o.m_backlogHideLayers = std::move(s.backlogHideLayers);
    o.m_backlogLayers = std::move(s.backlogLayers);
    o.m_glyphSettings = std::move(s.glyphSettings);
    o.m_pushKeys = std::move(s.pushKeys);
    for (int i = 0; i < CMainScript::EVENT_COUNT; ++i) o.m_eventBlocks[i] = s.eventBlocks[i];
    o.m_luaEnterFrame = std::move(s.luaEnterFrame);
    o.m_luaClickWaitIn = std::move(s.luaClickWaitIn);
    o.m_luaClickWaitOut = std::move(s.luaClickWaitOut);
    m_pageRecords = std::move(s.pageRecords);
    m_fontStacks = std::move(s.fontStacks);
    m_pageProhibitBlocks = std::move(s.pageProhibitBlocks);
    m_pendingProhibitBlocks = std::move(s.pendingProhibitBlocks);
    m_layerRecord = std::move(s.layerRecord);
    m_soundRecord = std::move(s.soundRecord);
    m_musicRecorded = s.musicRecorded;
    m_musicBlock = s.musicBlock;

    // The store keeps its identity (the Lua host and the tags hold it); the game's own
    // variables come from the save, global and system ones from their files on disk.
    o.m_variables->Clear();
    archive.LoadSerializable(*o.m_variables, 30);
    Load("saveg.dat", kTypeGlobal);
    Load("system.dat", kTypeSystem);
    o.InitSystemVariables();
    // A save without the backlog keeps the empty one the boot made.
    if (s.backlog) o.m_backlog = std::move(s.backlog);

    for (auto& entry : o.m_callStack) o.LoadScript(entry.file);
    o.LoadScript(o.m_caret.file);
    o.m_caret.SetStatus(CMainScript::STAT_RESTORING);

    if (m_screen) {
        for (const auto& layer : s.messageLayers) m_screen->ChangeMessageLayer(layer, 1);
    }
    // Each layer's fonts as they were when its page began; the page's own font tags,
    // replayed below, push onto them as they did when the game was played.
    for (const auto& stack : m_fontStacks) {
        if (stack.second.empty()) continue;
        o.m_fontStacks[stack.first] = stack.second;
        if (!m_screen) continue;
        m_screen->ChangeMessageLayer(stack.first, 0);
        if (CLinkableTextRenderer* renderer = m_screen->GetCurrentMessageLayer()) {
            renderer->GetProperty() = stack.second.back();
        }
    }
    const ProhibitBlocks prohibits = m_pageProhibitBlocks;
    for (const auto& prohibit : prohibits) {
        if (m_screen) m_screen->ChangeMessageLayer(prohibit.first, 0);
        o.ExecuteBlock(prohibit.second, true);
    }
    const std::string current = o.m_messageLayerName;
    const PageRecords pages = m_pageRecords;
    for (const auto& page : pages) {
        if (m_screen) m_screen->ChangeMessageLayer(page.first, 0);
        o.m_messageLayerName = page.first;
        for (const auto& block : page.second) o.ExecuteBlock(block, true);
        o.FinishMessageTweens();
    }
    if (m_screen) m_screen->ChangeMessageLayer(current, 0);
    o.m_messageLayerName = current;
    o.m_variables->SetString("s.current_message_layer", current);

    // Every layer is made before any property or tween reaches it.
    const LayerRecord layers = m_layerRecord;
    for (const auto& layer : layers) {
        for (const auto& block : layer.second) {
            if (block.GetName() == "lyc") o.ExecuteBlock(block, true);
        }
    }
    for (const auto& layer : layers) {
        for (const auto& block : layer.second) {
            if (block.GetName() != "lyc") o.ExecuteBlock(block, true);
        }
    }
    for (const auto& glyph : o.m_glyphSettings) {
        if (!glyph.second.lineGlyphLayer.empty()) o.SetLayerVisible(glyph.second.lineGlyphLayer, false);
        if (!glyph.second.pageGlyphLayer.empty()) o.SetLayerVisible(glyph.second.pageGlyphLayer, false);
    }
    ReplaySoundRecord();
    o.EndClickWait();
}

}  // namespace kestrin
