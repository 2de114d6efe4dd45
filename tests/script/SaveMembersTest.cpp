// The member table of a game save: every row writes a value that differs from the boot's
// and reads back the same bytes, under an id of its own.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "CORE/CBinaryStream.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/GamePath.h"
#include "CORE/CSerializer.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/CSaveDataMembers.h"
#include "support/AggregateSlots.h"
#include "support/InterpreterFixture.h"

using kestrin::CMainScript;
using kestrin::CScriptBlock;
using kestrin::CSerializer;
using kestrin::SGameSaveMember;
using State = kestrin::CSaveData::SGameState;

namespace {

CScriptBlock Tag(const std::string& name) {
    CScriptBlock block(CScriptBlock::kTag, 4, name);
    block.SetAttribute("id", "a");
    return block;
}

CMainScript::CCaret Caret() {
    CMainScript::CCaret caret;
    caret.file = "sub.iet";
    caret.index = 3;
    caret.queue.push_back(Tag("call"));
    caret.glyphShown = true;
    return caret;
}

kestrin::CTextRenderer::CTweenInfo Tween() {
    kestrin::CTextRenderer::CTweenInfo info;
    info.ease = 7;
    info.msec = 500;
    return info;
}

// A value unlike the boot's for the field of each member id.
const std::map<unsigned, std::function<void(State&)>>& Changes() {
    using Id = kestrin::SaveMember;
    static const std::map<unsigned, std::function<void(State&)>> changes{
        {Id::AutoModeAllowed, [](State& s) { s.script.autoModeAllowed = true; }},
        {Id::AutoModeIcons, [](State& s) { s.script.autoModeIcons["msg"].layerId = "auto"; }},
        {Id::SkipAllowed, [](State& s) { s.script.skipAllowed = false; }},
        {Id::KeyConfig, [](State& s) { s.keyConfig.AddKey(3, 65); }},
        {Id::MacroFiles, [](State& s) { s.script.macroFiles.push_back("more.iet"); }},
        {Id::Caret, [](State& s) { s.script.caret = Caret(); }},
        {Id::CallStack, [](State& s) { s.script.callStack.push_back(Caret()); }},
        {Id::RightClickAllowed, [](State& s) { s.script.rightClickAllowed = true; }},
        {Id::RightClickScript, [](State& s) { s.script.rightClickScript = "menu.iet"; }},
        {Id::RightClickMode, [](State& s) { s.script.rightClickMode = true; }},
        {Id::RightClickDepth, [](State& s) { s.script.rightClickDepth = 1; }},
        {Id::AutoSaveMode, [](State& s) { s.script.autoSaveMode = 2; }},
        {Id::DebugMode, [](State& s) { s.script.debugMode = 1; }},
        {Id::TraceLevel, [](State& s) { s.script.traceLevel = 5; }},
        {Id::AutoModeStopByClick, [](State& s) { s.script.autoModeStopByClick = false; }},
        {Id::AutoModeStopByStop, [](State& s) { s.script.autoModeStopByStop = false; }},
        {Id::AutoModeSyncSounds, [](State& s) { s.script.autoModeSyncSounds.push_back("voice"); }},
        {Id::MessageLayerName, [](State& s) { s.script.messageLayerName = "msg"; }},
        {Id::MessageLayerStack, [](State& s) { s.script.messageLayerStack.push_back("old"); }},
        {Id::DefaultFont,
         [](State& s) {
             s.script.defaultFont.SetParams({{"size", "31"}});
         }},
        {Id::TextTweenIn, [](State& s) { s.script.textTweens[CMainScript::TEXT_TWEEN_IN]["msg"].push_back(Tween()); }},
        {Id::TextTweenOut,
         [](State& s) { s.script.textTweens[CMainScript::TEXT_TWEEN_OUT]["msg"].push_back(Tween()); }},
        {Id::TextTweenShow,
         [](State& s) { s.script.textTweens[CMainScript::TEXT_TWEEN_SHOW]["msg"].push_back(Tween()); }},
        {Id::TextTweenHide,
         [](State& s) { s.script.textTweens[CMainScript::TEXT_TWEEN_HIDE]["msg"].push_back(Tween()); }},
        {Id::HideAllowed, [](State& s) { s.script.hideAllowed = true; }},
        {Id::HideLayers, [](State& s) { s.script.hideLayers.insert("face"); }},
        {Id::BacklogAllowed, [](State& s) { s.script.backlogAllowed = true; }},
        {Id::WriteBacklog, [](State& s) { s.script.writeBacklog = false; }},
        {Id::IncludeFonts, [](State& s) { s.script.includeFonts = false; }},
        {Id::BacklogMessageLayer, [](State& s) { s.script.backlogMessageLayer = "log"; }},
        {Id::BacklogHideLayers, [](State& s) { s.script.backlogHideLayers.insert("face"); }},
        {Id::BacklogLayers, [](State& s) { s.script.backlogLayers["msg"].enabled = true; }},
        {Id::GlyphSettings, [](State& s) { s.script.glyphSettings["msg"].pageGlyphLayer = "glyph"; }},
        {Id::PushKeys, [](State& s) { s.script.pushKeys[13] = Tag("call"); }},
        {Id::LuaEnterFrame, [](State& s) { s.script.luaEnterFrame = "OnFrame"; }},
        {Id::LuaClickWaitIn, [](State& s) { s.script.luaClickWaitIn = "OnIn"; }},
        {Id::LuaClickWaitOut, [](State& s) { s.script.luaClickWaitOut = "OnOut"; }},
        {Id::PageRecords,
         [](State& s) { s.records.pageRecords["msg"].push_back(CScriptBlock(CScriptBlock::kText, 2, "text")); }},
        {Id::FontStacks, [](State& s) { s.records.fontStacks["msg"].emplace_back(); }},
        {Id::PageProhibitBlocks, [](State& s) { s.records.pageProhibitBlocks["msg"] = Tag("prohibit"); }},
        {Id::PendingProhibitBlocks, [](State& s) { s.records.pendingProhibitBlocks["msg"] = Tag("prohibit"); }},
        {Id::LayerRecord, [](State& s) { s.records.layerRecord["a"].push_back(Tag("lyc")); }},
        {Id::SoundRecord, [](State& s) { s.records.soundRecord["se1"] = Tag("seplay"); }},
        {Id::MusicRecorded, [](State& s) { s.records.musicRecorded = true; }},
        {Id::MusicBlock,
         [](State& s) {
             s.records.musicRecorded = true;
             s.records.musicBlock = Tag("splay");
         }},
        {Id::Variables,
         [](State& s) {
             s.variables = std::make_shared<kestrin::COruVariables>();
             s.variables->SetString("f.name", "value");
         }},
        {Id::MessageLayers, [](State& s) { s.messageLayers.push_back("msg"); }},
    };
    return changes;
}

bool IsEventBlock(unsigned id) {
    using Id = kestrin::SaveMember;
    return id == Id::EventDirChange || (id >= Id::EventAutoModeIn && id <= Id::EventBacklogOut);
}

void ChangeEventBlocks(State& s) {
    for (int i = 0; i < CMainScript::EVENT_COUNT; ++i) s.script.eventBlocks[i] = Tag("event" + std::to_string(i));
}

// The bytes a row writes for the state ("" when it leaves the member out).
std::string Written(const SGameSaveMember& member, State& state) {
    CSerializer archive = CSerializer::CSerializerWithIndexFlag(false);
    if (!member.save(archive, state)) return std::string();
    const kestrin::CBinaryStream::CMemoryInfo* image = archive.GetMemory();
    return image ? std::string(reinterpret_cast<const char*>(image->data), image->size) : std::string();
}

class SaveMembersTest : public kestrin_test::InterpreterFixture {
protected:
    void SetUp() override {
        InterpreterFixture::SetUp();
        // The interpreter's save data registers the text tween presets' extension.
        kestrin::CDynamicVariables::GetInstance()->SetString("SaveDataPath", m_saves.Path());
        m_dir.Write("main.iet", "[stop]\n");
        m_dir.Write("sub.iet", "[var name=a data=1]\n[var name=b data=2]\n[var name=c data=3]\n[stop]\n");
        m_script = std::make_unique<CMainScript>(nullptr);
        ASSERT_FALSE(m_script->Start());
        m_script->GetSaveData();
    }
    void TearDown() override {
        m_script.reset();
        kestrin::ClearGamePathCache();
        InterpreterFixture::TearDown();
    }
    kestrin_test::TempDir m_saves;
};

TEST_F(SaveMembersTest, EveryMemberHasItsOwnIdAndAChangedValueWritesOtherBytes) {
    std::set<unsigned> ids;
    for (const auto& member : kestrin::GameSaveMembers()) {
        SCOPED_TRACE(member.field);
        EXPECT_TRUE(ids.insert(member.id).second) << "id " << member.id << " twice";
        State boot, changed;
        if (IsEventBlock(member.id)) {
            ChangeEventBlocks(changed);
        } else {
            auto change = Changes().find(member.id);
            ASSERT_NE(change, Changes().end()) << "no changed value for member " << member.id;
            change->second(changed);
        }
        EXPECT_NE(Written(member, changed), Written(member, boot));
    }
    // The backlog is written apart, after the rows.
    EXPECT_EQ(ids.count(kestrin::SaveMember::Backlog), 0u);
}

TEST_F(SaveMembersTest, EveryChangedMemberReadsBackAsItWasWritten) {
    State changed;
    for (const auto& change : Changes()) change.second(changed);
    ChangeEventBlocks(changed);
    CSerializer out;
    for (const auto& member : kestrin::GameSaveMembers()) member.save(out, changed);
    const kestrin::CBinaryStream::CMemoryInfo* image = out.GetMemory();
    ASSERT_NE(image, nullptr);
    const std::string bytes(reinterpret_cast<const char*>(image->data), image->size);

    CSerializer in;
    in.Attach(bytes.data(), static_cast<unsigned>(bytes.size()));
    State loaded;
    for (const auto& member : kestrin::GameSaveMembers()) member.load(in, loaded);
    for (const auto& member : kestrin::GameSaveMembers()) {
        SCOPED_TRACE(member.field);
        EXPECT_EQ(Written(member, loaded), Written(member, changed));
        EXPECT_EQ(member.encodedSize(loaded), Written(member, changed).size());
    }
}

// Through the interpreter: every saved field it holds is written by a save and comes back
// with the load (the caret's status is the restore's own).
TEST_F(SaveMembersTest, TheInterpreterSavesAndRestoresEveryFieldItHolds) {
    State changed;
    for (const auto& change : Changes()) change.second(changed);
    ChangeEventBlocks(changed);
    changed.script.caret.queue.clear();
    CMainScript& script = *m_script;
    script.RestoreSavedState(changed.script);
    ASSERT_FALSE(script.GetSaveData().Save("all.dat", false)) << AllLines();
    script.RestoreSavedState(kestrin::SScriptState());
    ASSERT_FALSE(script.GetSaveData().Load("all.dat", kestrin::CSaveData::kTypeGame)) << AllLines();

    State restored;
    restored.script = script.GetSavedState();
    EXPECT_EQ(restored.script.caret.file, "sub.iet");
    EXPECT_EQ(restored.script.caret.index, 3);
    for (const auto& member : kestrin::GameSaveMembers()) {
        if (std::string(member.field).rfind("script.", 0) != 0 || member.id == kestrin::SaveMember::Caret) continue;
        SCOPED_TRACE(member.field);
        EXPECT_EQ(Written(member, restored), Written(member, changed));
    }
}

// A field of the saved state without its row would be neither saved nor noticed. Each row
// serves one field, or one element of an array field, so the rows of a struct are as many as
// its initializer slots.
TEST(SaveMembersTable, EveryFieldOfTheSavedStateHasItsRow) {
    size_t scriptRows = 0;
    size_t recordRows = 0;
    for (const auto& member : kestrin::GameSaveMembers()) {
        const std::string field = member.field;
        if (field.rfind("script.", 0) == 0) ++scriptRows;
        if (field.rfind("records.", 0) == 0) ++recordRows;
    }
    EXPECT_EQ(scriptRows, kestrin_test::AggregateSlots<kestrin::SScriptState>())
        << "SScriptState has a field without a row: give it a new id in SaveMember (CSaveDataMembers.h), a row "
           "in MakeMembers (CSaveDataGameSave.cpp) and a changed value in Changes() above";
    EXPECT_EQ(recordRows, kestrin_test::AggregateSlots<kestrin::CSaveData::SRecords>())
        << "CSaveData::SRecords has a field without a row: give it a new id in SaveMember (CSaveDataMembers.h), a "
           "row in MakeMembers (CSaveDataGameSave.cpp) and a changed value in Changes() above";
}

}  // namespace
