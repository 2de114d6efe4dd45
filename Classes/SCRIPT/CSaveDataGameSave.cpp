// Game saves (type 'S'): the whole interpreter state with the records that rebuild the
// screen. A save is decoded and checked whole before anything of the running game is
// touched; only then does the interpreter boot and replay it.
#include <algorithm>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

#include "CORE/CBinaryStream.h"
#include "CORE/CGameFileNames.h"
#include "CORE/COruKeyConfig.h"
#include "CORE/CSerializer.h"
#include "GRAPHICS/CMainScreen.h"
#include "SCRIPT/CBackLog.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/CSaveDataMembers.h"
#include "SCRIPT/ScriptMessages.h"
#include "TEXT/CLinkableTextRenderer.h"
#include "TEXT/CTextRenderer.h"

namespace kestrin {

namespace {

using SGameState = CSaveData::SGameState;

// The bytes write puts in a fresh image (0 when it makes none).
uint32_t EncodedSize(const std::function<void(CSerializer&)>& write) {
    CSerializer again = CSerializer::CSerializerWithIndexFlag(false);
    write(again);
    const CBinaryStream::CMemoryInfo* image = again.GetMemory();
    return image ? image->size : 0;
}

template <class T>
SGameSaveMember Member(unsigned id, const char* field, T& (*get)(SGameState&)) {
    SGameSaveMember member;
    member.id = id;
    member.field = field;
    member.save = [get, id](CSerializer& archive, SGameState& s) {
        archive.SaveValue(static_cast<const T&>(get(s)), id);
        return true;
    };
    member.load = [get, id](CSerializer& archive, SGameState& s) { archive.LoadValue(get(s), id); };
    member.encodedSize = [get, id](SGameState& s) {
        return EncodedSize([&](CSerializer& again) { again.SaveValue(static_cast<const T&>(get(s)), id); });
    };
    return member;
}

#define KESTRIN_SAVE_MEMBER(id, path)                                            \
    Member<std::remove_reference_t<decltype(std::declval<SGameState&>().path)>>( \
        id, #path, [](SGameState & s) -> auto& { return s.path; })

SGameSaveMember Checked(SGameSaveMember member, const char* fault,
                        std::function<bool(SGameState&, CMainScript&, long&)> damaged) {
    member.fault = fault;
    member.damaged = std::move(damaged);
    return member;
}

// A member written only while written(state) holds.
SGameSaveMember WrittenWhen(SGameSaveMember member, bool (*written)(const SGameState&)) {
    auto save = std::move(member.save);
    member.save = [save, written](CSerializer& archive, SGameState& s) { return written(s) && save(archive, s); };
    return member;
}

// The variables load into the store DecodeState prepares with the running store's quote
// characters and encoding, as a load straight into the running store would start.
SGameSaveMember LoadsIntoPrepared(SGameSaveMember member) {
    member.load = [](CSerializer& archive, SGameState& s) {
        if (!s.variables) s.variables = std::make_shared<COruVariables>();
        archive.LoadSerializable(*s.variables, SaveMember::Variables);
    };
    return member;
}

bool IsTagBlock(const CScriptBlock& block) { return block.GetKind() == CScriptBlock::kTag && !block.GetName().empty(); }

// A caret the restore can put back: a loaded script, and a block inside it (up to its end:
// a big script is parsed only as far as the caret).
bool CaretDamaged(CMainScript::CCaret& caret, CMainScript& owner, long& bad) {
    bad = -1;
    if (caret.file.empty() || owner.LoadScript(caret.file)) return true;
    const CMainScript::BlockList& blocks = owner.GetScriptBlocks(caret.file);
    bad = caret.index;
    return caret.index < 0 || (caret.index > 0 && !blocks.HasBlock(static_cast<size_t>(caret.index) - 1));
}

// What the checks hold is what the restore relies on and what the engine itself never
// records: a caret outside the game's scripts, a right-click depth deeper than the call
// stack, a layer or sound record that holds no tag. Anything the running engine can record
// loads: the default message layer and a channel or layer id are "" as often as not, a key
// code or a trace mode is whatever the script gave, and a status that only Lua could set
// makes the frame loop wait as it did when the game was saved.
std::vector<SGameSaveMember> MakeMembers() {
    std::vector<SGameSaveMember> rows{
        KESTRIN_SAVE_MEMBER(SaveMember::AutoModeAllowed, script.autoModeAllowed),
        KESTRIN_SAVE_MEMBER(SaveMember::AutoModeIcons, script.autoModeIcons),
        KESTRIN_SAVE_MEMBER(SaveMember::SkipAllowed, script.skipAllowed),
        KESTRIN_SAVE_MEMBER(SaveMember::KeyConfig, keyConfig),
        KESTRIN_SAVE_MEMBER(SaveMember::MacroFiles, script.macroFiles),
        Checked(KESTRIN_SAVE_MEMBER(SaveMember::Caret, script.caret), "caret",
                [](SGameState& s, CMainScript& owner, long& bad) { return CaretDamaged(s.script.caret, owner, bad); }),
        Checked(KESTRIN_SAVE_MEMBER(SaveMember::CallStack, script.callStack), "call stack",
                [](SGameState& s, CMainScript& owner, long& bad) {
                    bad = static_cast<long>(s.script.callStack.size());
                    if (s.script.callStack.size() > CMainScript::kMaxCallDepth) return true;
                    for (auto& entry : s.script.callStack) {
                        if (CaretDamaged(entry, owner, bad)) return true;
                    }
                    return false;
                }),
        KESTRIN_SAVE_MEMBER(SaveMember::RightClickAllowed, script.rightClickAllowed),
        KESTRIN_SAVE_MEMBER(SaveMember::RightClickScript, script.rightClickScript),
        KESTRIN_SAVE_MEMBER(SaveMember::RightClickMode, script.rightClickMode),
        Checked(KESTRIN_SAVE_MEMBER(SaveMember::RightClickDepth, script.rightClickDepth), "right click depth",
                [](SGameState& s, CMainScript&, long& bad) {
                    bad = s.script.rightClickDepth;
                    return s.script.rightClickDepth < 0 ||
                           static_cast<size_t>(s.script.rightClickDepth) > s.script.callStack.size();
                }),
        Checked(KESTRIN_SAVE_MEMBER(SaveMember::AutoSaveMode, script.autoSaveMode), "autosave",
                [](SGameState& s, CMainScript&, long& bad) {
                    bad = s.script.autoSaveMode;
                    return s.script.autoSaveMode < 0 || s.script.autoSaveMode > 2;
                }),
        KESTRIN_SAVE_MEMBER(SaveMember::DebugMode, script.debugMode),
        KESTRIN_SAVE_MEMBER(SaveMember::TraceLevel, script.traceLevel),
        KESTRIN_SAVE_MEMBER(SaveMember::AutoModeStopByClick, script.autoModeStopByClick),
        KESTRIN_SAVE_MEMBER(SaveMember::AutoModeStopByStop, script.autoModeStopByStop),
        KESTRIN_SAVE_MEMBER(SaveMember::AutoModeSyncSounds, script.autoModeSyncSounds),
        KESTRIN_SAVE_MEMBER(SaveMember::MessageLayerName, script.messageLayerName),
        KESTRIN_SAVE_MEMBER(SaveMember::MessageLayerStack, script.messageLayerStack),
        KESTRIN_SAVE_MEMBER(SaveMember::DefaultFont, script.defaultFont),
        KESTRIN_SAVE_MEMBER(SaveMember::TextTweenIn, script.textTweens[CMainScript::TEXT_TWEEN_IN]),
        KESTRIN_SAVE_MEMBER(SaveMember::TextTweenOut, script.textTweens[CMainScript::TEXT_TWEEN_OUT]),
        KESTRIN_SAVE_MEMBER(SaveMember::TextTweenShow, script.textTweens[CMainScript::TEXT_TWEEN_SHOW]),
        KESTRIN_SAVE_MEMBER(SaveMember::TextTweenHide, script.textTweens[CMainScript::TEXT_TWEEN_HIDE]),
        KESTRIN_SAVE_MEMBER(SaveMember::HideAllowed, script.hideAllowed),
        KESTRIN_SAVE_MEMBER(SaveMember::HideLayers, script.hideLayers),
        KESTRIN_SAVE_MEMBER(SaveMember::BacklogAllowed, script.backlogAllowed),
        KESTRIN_SAVE_MEMBER(SaveMember::WriteBacklog, script.writeBacklog),
        KESTRIN_SAVE_MEMBER(SaveMember::IncludeFonts, script.includeFonts),
        KESTRIN_SAVE_MEMBER(SaveMember::BacklogMessageLayer, script.backlogMessageLayer),
        KESTRIN_SAVE_MEMBER(SaveMember::BacklogHideLayers, script.backlogHideLayers),
        KESTRIN_SAVE_MEMBER(SaveMember::BacklogLayers, script.backlogLayers),
        KESTRIN_SAVE_MEMBER(SaveMember::GlyphSettings, script.glyphSettings),
        Checked(KESTRIN_SAVE_MEMBER(SaveMember::PushKeys, script.pushKeys), "key",
                [](SGameState& s, CMainScript&, long& bad) {
                    for (const auto& handler : s.script.pushKeys) {
                        bad = handler.first;
                        if (handler.first < 0 || handler.first > 255) return true;
                    }
                    return false;
                }),
        KESTRIN_SAVE_MEMBER(SaveMember::EventAutoModeIn, script.eventBlocks[CMainScript::EVENT_AUTOMODEIN]),
        KESTRIN_SAVE_MEMBER(SaveMember::EventAutoModeOut, script.eventBlocks[CMainScript::EVENT_AUTOMODEOUT]),
        KESTRIN_SAVE_MEMBER(SaveMember::EventCommandSkipIn, script.eventBlocks[CMainScript::EVENT_COMMANDSKIPIN]),
        KESTRIN_SAVE_MEMBER(SaveMember::EventCommandSkipOut, script.eventBlocks[CMainScript::EVENT_COMMANDSKIPOUT]),
        KESTRIN_SAVE_MEMBER(SaveMember::EventControlSkipIn, script.eventBlocks[CMainScript::EVENT_CONTROLSKIPIN]),
        KESTRIN_SAVE_MEMBER(SaveMember::EventControlSkipOut, script.eventBlocks[CMainScript::EVENT_CONTROLSKIPOUT]),
        KESTRIN_SAVE_MEMBER(SaveMember::EventHideIn, script.eventBlocks[CMainScript::EVENT_HIDEIN]),
        KESTRIN_SAVE_MEMBER(SaveMember::EventHideOut, script.eventBlocks[CMainScript::EVENT_HIDEOUT]),
        KESTRIN_SAVE_MEMBER(SaveMember::EventBacklogIn, script.eventBlocks[CMainScript::EVENT_BACKLOGIN]),
        KESTRIN_SAVE_MEMBER(SaveMember::EventBacklogOut, script.eventBlocks[CMainScript::EVENT_BACKLOGOUT]),
        KESTRIN_SAVE_MEMBER(SaveMember::EventDirChange, script.eventBlocks[CMainScript::EVENT_DIRCHG]),
        KESTRIN_SAVE_MEMBER(SaveMember::LuaEnterFrame, script.luaEnterFrame),
        KESTRIN_SAVE_MEMBER(SaveMember::LuaClickWaitIn, script.luaClickWaitIn),
        KESTRIN_SAVE_MEMBER(SaveMember::LuaClickWaitOut, script.luaClickWaitOut),
        // The text of a page and the tags that go with it.
        Checked(KESTRIN_SAVE_MEMBER(SaveMember::PageRecords, records.pageRecords), "page record",
                [](SGameState& s, CMainScript&, long& bad) {
                    for (const auto& page : s.records.pageRecords) {
                        for (const auto& block : page.second) {
                            bad = block.GetKind();
                            if (block.GetKind() != CScriptBlock::kText && !IsTagBlock(block)) return true;
                        }
                    }
                    return false;
                }),
        KESTRIN_SAVE_MEMBER(SaveMember::FontStacks, records.fontStacks),
        KESTRIN_SAVE_MEMBER(SaveMember::PageProhibitBlocks, records.pageProhibitBlocks),
        KESTRIN_SAVE_MEMBER(SaveMember::PendingProhibitBlocks, records.pendingProhibitBlocks),
        Checked(KESTRIN_SAVE_MEMBER(SaveMember::LayerRecord, records.layerRecord), "layer record",
                [](SGameState& s, CMainScript&, long& bad) {
                    for (const auto& layer : s.records.layerRecord) {
                        for (const auto& block : layer.second) {
                            bad = block.GetKind();
                            if (!IsTagBlock(block)) return true;
                        }
                    }
                    return false;
                }),
        Checked(KESTRIN_SAVE_MEMBER(SaveMember::SoundRecord, records.soundRecord), "sound record",
                [](SGameState& s, CMainScript&, long& bad) {
                    for (const auto& sound : s.records.soundRecord) {
                        bad = sound.second.GetKind();
                        if (!IsTagBlock(sound.second)) return true;
                    }
                    return false;
                }),
        KESTRIN_SAVE_MEMBER(SaveMember::MusicRecorded, records.musicRecorded),
        // The music block only while music is recorded.
        Checked(WrittenWhen(KESTRIN_SAVE_MEMBER(SaveMember::MusicBlock, records.musicBlock),
                            [](const SGameState& s) { return s.records.musicRecorded; }),
                "music",
                [](SGameState& s, CMainScript&, long& bad) {
                    bad = s.records.musicBlock.GetKind();
                    return s.records.musicRecorded && !IsTagBlock(s.records.musicBlock);
                }),
        LoadsIntoPrepared(KESTRIN_SAVE_MEMBER(SaveMember::Variables, variables)),
        KESTRIN_SAVE_MEMBER(SaveMember::MessageLayers, messageLayers),
    };
    return rows;
}

#undef KESTRIN_SAVE_MEMBER

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

}  // namespace

const std::vector<SGameSaveMember>& GameSaveMembers() {
    static const std::vector<SGameSaveMember> rows = MakeMembers();
    return rows;
}

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
        m_owner->LogMessage(scriptmsg::kSaveOutsideFolder, name.c_str());
        return true;
    }
    CSerializer archive;
    SaveState(archive, withBacklog);
    return WriteFile(name, archive, kTypeGame);
}

void CSaveData::SaveState(CSerializer& archive, bool withBacklog) {
    CMainScript& o = *m_owner;
    SGameState s;
    s.script = o.GetSavedState();
    for (const auto& role : o.GetKeyConfig().GetKeys()) {
        for (int key : role.second) s.keyConfig.AddKey(role.first, key);
    }
    s.records = m_records;
    s.variables = o.GetVariablesPtr();
    if (m_screen) {
        for (const auto& layer : m_screen->GetMessageLayers()) {
            if (layer.second.hosted) s.messageLayers.push_back(layer.first);
        }
    }
    for (const auto& member : GameSaveMembers()) member.save(archive, s);
    if (withBacklog) archive.SaveSerializable(o.GetBackLog(), SaveMember::Backlog);
}

bool CSaveData::DecodeState(CSerializer& archive, const std::string& name, SGameState& s) {
    CMainScript& o = *m_owner;
    auto fail = [&](const char* what, long value) {
        o.LogMessage(scriptmsg::kSaveMemberDamaged, name.c_str(), what, value);
        return true;
    };
    // Each member read must fill exactly the bytes the index gives it: a count, a length or
    // a nested size that was changed reads as fewer or more bytes.
    const CBinaryStream::CMemoryInfo* image = archive.GetStream()->GetFlat();
    std::map<unsigned, uint32_t> extents;
    if (image && image->data) extents = MemberExtents(image->data, image->size);
    s.variables = std::make_shared<COruVariables>();
    s.variables->SetEncoding(o.GetVariables().GetEncoding());
    s.variables->SetQuoteCharacters(o.GetVariables().GetQuoteCharacters());
    for (const auto& member : GameSaveMembers()) {
        auto extent = extents.find(member.id);
        if (extent == extents.end()) continue;
        s.present.insert(member.id);
        member.load(archive, s);
        if (member.encodedSize(s) != extent->second) return fail("member", static_cast<long>(member.id));
    }
    auto backlogExtent = extents.find(SaveMember::Backlog);
    if (backlogExtent != extents.end()) {
        s.backlog = std::make_unique<CBackLog>(o);
        archive.LoadSerializable(*s.backlog, SaveMember::Backlog);
        const uint32_t encoded =
            EncodedSize([&](CSerializer& again) { again.SaveSerializable(*s.backlog, SaveMember::Backlog); });
        if (s.backlog->LoadFailed() || encoded == 0 || encoded != backlogExtent->second) {
            return fail("backlog pages", static_cast<long>(s.backlog->GetPages().size()));
        }
    }
    for (const auto& member : GameSaveMembers()) {
        long bad = 0;
        if (member.damaged && member.damaged(s, o, bad)) return fail(member.fault, bad);
    }
    return false;
}

bool CSaveData::RestoreState(CSerializer& archive, const std::string& name) {
    SGameState state;
    if (DecodeState(archive, name, state)) return true;
    ApplyState(state);
    return false;
}

void CSaveData::ApplyState(SGameState& s) {
    CMainScript& o = *m_owner;
    o.Start();

    // Through AddKey, so that the wheel keys bind the wheel again.
    if (s.present.count(SaveMember::KeyConfig)) {
        COruKeyConfig& keys = o.GetKeyConfig();
        std::vector<int> roles;
        for (const auto& role : keys.GetKeys()) roles.push_back(role.first);
        for (int role : roles) keys.ClearKeys(role);
        for (const auto& role : s.keyConfig.GetKeys()) {
            for (int key : role.second) keys.AddKey(role.first, key);
        }
    }
    o.RestoreSavedState(std::move(s.script));
    m_records = std::move(s.records);

    // The store keeps its identity (the Lua host and the tags hold it); the game's own
    // variables come from the save, global and system ones from their files on disk.
    COruVariables& variables = o.GetVariables();
    variables.Clear();
    if (s.variables) variables.TakeLoaded(*s.variables);
    Load("saveg.dat", kTypeGlobal);
    Load("system.dat", kTypeSystem);
    o.InitSystemVariables();
    // A save without the backlog keeps the empty one the boot made.
    if (s.backlog) o.SetBackLog(std::move(s.backlog));

    for (auto& entry : o.GetCallStack()) o.LoadScript(entry.file);
    o.LoadScript(o.GetCaret().file);
    o.GetCaret().SetStatus(CMainScript::STAT_RESTORING);

    if (m_screen) {
        for (const auto& layer : s.messageLayers) m_screen->ChangeMessageLayer(layer, 1);
    }
    // Each layer's fonts as they were when its page began; the page's own font tags,
    // replayed below, push onto them as they did when the game was played.
    for (const auto& stack : m_records.fontStacks) {
        if (stack.second.empty()) continue;
        o.GetLayerFontStacks()[stack.first] = stack.second;
        if (!m_screen) continue;
        m_screen->ChangeMessageLayer(stack.first, 0);
        if (CLinkableTextRenderer* renderer = CLinkableTextRenderer::Of(m_screen->GetCurrentMessageLayer())) {
            renderer->GetProperty() = stack.second.back();
        }
    }
    const ProhibitBlocks prohibits = m_records.pageProhibitBlocks;
    for (const auto& prohibit : prohibits) {
        if (m_screen) m_screen->ChangeMessageLayer(prohibit.first, 0);
        o.ExecuteBlock(prohibit.second, true);
    }
    const std::string current = o.GetMessageLayerName();
    const PageRecords pages = m_records.pageRecords;
    for (const auto& page : pages) o.ReplayPage(page.first, page.second);
    o.MakeMessageLayerCurrent(current);

    // Every layer is made before any property or tween reaches it.
    const LayerRecord layers = m_records.layerRecord;
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
    o.HideGlyphLayers();
    ReplaySoundRecord();
    o.EndClickWait();
}

}  // namespace kestrin
