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
    static const std::map<unsigned, std::function<void(State&)>> changes{
        {1, [](State& s) { s.script.autoModeAllowed = true; }},
        {19, [](State& s) { s.script.autoModeIcons["msg"].layerId = "auto"; }},
        {2, [](State& s) { s.script.skipAllowed = false; }},
        {65, [](State& s) { s.keyConfig.AddKey(3, 65); }},
        {36, [](State& s) { s.script.macroFiles.push_back("more.iet"); }},
        {3, [](State& s) { s.script.caret = Caret(); }},
        {4, [](State& s) { s.script.callStack.push_back(Caret()); }},
        {6, [](State& s) { s.script.rightClickAllowed = true; }},
        {51, [](State& s) { s.script.rightClickScript = "menu.iet"; }},
        {7, [](State& s) { s.script.rightClickMode = true; }},
        {8, [](State& s) { s.script.rightClickDepth = 1; }},
        {5, [](State& s) { s.script.autoSaveMode = 2; }},
        {9, [](State& s) { s.script.debugMode = 1; }},
        {39, [](State& s) { s.script.traceLevel = 5; }},
        {57, [](State& s) { s.script.autoModeStopByClick = false; }},
        {58, [](State& s) { s.script.autoModeStopByStop = false; }},
        {35, [](State& s) { s.script.autoModeSyncSounds.push_back("voice"); }},
        {11, [](State& s) { s.script.messageLayerName = "msg"; }},
        {12, [](State& s) { s.script.messageLayerStack.push_back("old"); }},
        {63,
         [](State& s) {
             s.script.defaultFont.SetParams({{"size", "31"}});
         }},
        {13, [](State& s) { s.script.textTweens[CMainScript::TEXT_TWEEN_IN]["msg"].push_back(Tween()); }},
        {14, [](State& s) { s.script.textTweens[CMainScript::TEXT_TWEEN_OUT]["msg"].push_back(Tween()); }},
        {59, [](State& s) { s.script.textTweens[CMainScript::TEXT_TWEEN_SHOW]["msg"].push_back(Tween()); }},
        {60, [](State& s) { s.script.textTweens[CMainScript::TEXT_TWEEN_HIDE]["msg"].push_back(Tween()); }},
        {15, [](State& s) { s.script.hideAllowed = true; }},
        {16, [](State& s) { s.script.hideLayers.insert("face"); }},
        {17, [](State& s) { s.script.backlogAllowed = true; }},
        {52, [](State& s) { s.script.writeBacklog = false; }},
        {61, [](State& s) { s.script.includeFonts = false; }},
        {62, [](State& s) { s.script.backlogMessageLayer = "log"; }},
        {37, [](State& s) { s.script.backlogHideLayers.insert("face"); }},
        {20, [](State& s) { s.script.backlogLayers["msg"].enabled = true; }},
        {18, [](State& s) { s.script.glyphSettings["msg"].pageGlyphLayer = "glyph"; }},
        {56, [](State& s) { s.script.pushKeys[13] = Tag("call"); }},
        {34, [](State& s) { s.script.luaEnterFrame = "OnFrame"; }},
        {38, [](State& s) { s.script.luaClickWaitIn = "OnIn"; }},
        {50, [](State& s) { s.script.luaClickWaitOut = "OnOut"; }},
        {24, [](State& s) { s.records.pageRecords["msg"].push_back(CScriptBlock(CScriptBlock::kText, 2, "text")); }},
        {25, [](State& s) { s.records.fontStacks["msg"].emplace_back(); }},
        {66, [](State& s) { s.records.pageProhibitBlocks["msg"] = Tag("prohibit"); }},
        {67, [](State& s) { s.records.pendingProhibitBlocks["msg"] = Tag("prohibit"); }},
        {26, [](State& s) { s.records.layerRecord["a"].push_back(Tag("lyc")); }},
        {53, [](State& s) { s.records.soundRecord["se1"] = Tag("seplay"); }},
        {28, [](State& s) { s.records.musicRecorded = true; }},
        {29,
         [](State& s) {
             s.records.musicRecorded = true;
             s.records.musicBlock = Tag("splay");
         }},
        {30,
         [](State& s) {
             s.variables = std::make_shared<kestrin::COruVariables>();
             s.variables->SetString("f.name", "value");
         }},
        {64, [](State& s) { s.messageLayers.push_back("msg"); }},
    };
    return changes;
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
        if ((member.id >= 40 && member.id <= 49) || member.id == 33) {
            ChangeEventBlocks(changed);
        } else {
            auto change = Changes().find(member.id);
            ASSERT_NE(change, Changes().end()) << "no changed value for member " << member.id;
            change->second(changed);
        }
        EXPECT_NE(Written(member, changed), Written(member, boot));
    }
    // The backlog (31) is written apart, after the rows.
    EXPECT_EQ(ids.count(31), 0u);
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
        if (std::string(member.field).rfind("script.", 0) != 0 || member.id == 3) continue;
        SCOPED_TRACE(member.field);
        EXPECT_EQ(Written(member, restored), Written(member, changed));
    }
}

}  // namespace
