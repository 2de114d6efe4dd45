// Game saves: what a save restores, that a damaged save changes nothing of the running
// game, save names that leave the save folder, the autosave modes and the system-state tags.
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <tuple>
#include <vector>
#include <memory>
#include <string>

#include "CORE/CDynamicVariables.h"
#include "CORE/COruKeyConfig.h"
#include "CORE/CSerializer.h"
#include "CORE/GamePath.h"
#include "SCRIPT/CBackLog.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CSaveData.h"
#include "SOUND/AudioSystem.h"
#include "SOUND/Platform/PullAudioOutput.h"
#include "TEXT/CLinkableTextRenderer.h"
#include "TEXT/CTextRenderer.h"
#include "GRAPHICS/CMainScreen.h"
#include "support/InterpreterFixture.h"
#include "support/TestSupport.h"

using kestrin::CMainScript;
using kestrin::CSaveData;

namespace {

class GameSaveTest : public kestrin_test::InterpreterFixture {
protected:
    void SetUp() override {
        InterpreterFixture::SetUp();
        kestrin::CDynamicVariables::GetInstance()->SetString("SaveDataPath", m_saves.Path());
    }
    void TearDown() override {
        m_script.reset();
        kestrin::ClearGamePathCache();
        InterpreterFixture::TearDown();
    }
    // Boots main.iet holding text and runs frames until the script stops or quits.
    CMainScript& Run(const std::string& text, int frames = 4) {
        m_dir.Write("main.iet", text);
        m_script.reset(new CMainScript(nullptr));
        EXPECT_FALSE(m_script->Start());
        Frames(frames);
        return *m_script;
    }
    void Frames(int count) {
        for (int i = 0; i < count && m_script->GetState() != CMainScript::STAT_QUIT; ++i) m_script->Update(m_now += 16);
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(m_saves.Path() + "/" + name); }
    std::string Bytes(const std::string& name) const {
        return kestrin_test::ReadFileBytes(m_saves.Path() + "/" + name);
    }
    void Put(const std::string& name, const std::string& bytes) {
        m_saves.Write(name, bytes);
        kestrin::ClearGamePathCache();
    }
    // What a failed load must leave as it was.
    std::string Fingerprint() {
        CMainScript& s = *m_script;
        std::string out = s.GetCaret().file + ":" + std::to_string(s.GetCaret().index) + ":" +
                          std::to_string(s.GetState()) + ":" + std::to_string(s.GetCallStack().size()) + ":" +
                          std::to_string(s.GetAutoSaveMode()) + "|";
        std::map<std::string, std::string> sorted;
        for (const auto& v : s.GetVariables().GetTable()) sorted[v.first] = v.second.GetString();
        for (const auto& v : sorted) out += v.first + "=" + v.second + ";";
        for (const auto& role : s.GetKeyConfig().GetKeys()) {
            out += std::to_string(role.first) + ":";
            for (int key : role.second) out += std::to_string(key) + ",";
        }
        out += "|";
        for (const auto& layer : s.GetSaveData().GetLayerRecord())
            out += layer.first + std::to_string(layer.second.size());
        return out;
    }

    kestrin_test::TempDir m_saves;
};

const char kSavingScript[] =
    "[var name=n data=1]\n"
    "[autosave allow=1]\n"
    "[rclick allow=1 file=menu.iet]\n"
    "[keyconfig role=3 keys=\"65,66\"]\n"
    "[save file=\"slot/one.dat\"]\n"
    "[var name=n data=\"$n+1\"]\n"
    "[stop]\n";

TEST_F(GameSaveTest, LoadRestoresTheSavedStateAndContinuesAfterTheSave) {
    CMainScript& script = Run(kSavingScript);
    ASSERT_TRUE(Exists("slot/one.dat"));
    EXPECT_EQ(Bytes("slot/one.dat").substr(0, 4), "BOWS");
    EXPECT_TRUE(Exists("saveg.dat"));  // the save tag writes the global data too
    EXPECT_EQ(script.GetVariables().GetInt("n"), 2);
    ASSERT_EQ(script.GetState(), CMainScript::STAT_STOP);

    // The game goes on and changes everything the save holds.
    script.GetVariables().SetInt("n", 40);
    script.GetVariables().SetInt("later", 1);
    script.SetAutoSaveMode(0);
    script.GetKeyConfig().ClearKeys(3);
    script.GetSaveData().RecordLayerTween("bg", kestrin::CScriptBlock(), true);

    ASSERT_FALSE(script.GetSaveData().Load("slot/one.dat", CSaveData::kTypeGame)) << AllLines();
    EXPECT_EQ(script.GetVariables().GetInt("n"), 1);
    EXPECT_EQ(script.GetVariables().GetString("later"), "");
    EXPECT_EQ(script.GetAutoSaveMode(), 1);
    EXPECT_EQ(script.GetKeyConfig().GetKeys().at(3), (std::set<int>{65, 66}));
    EXPECT_TRUE(script.GetSaveData().GetLayerRecord().empty());
    EXPECT_EQ(script.GetState(), CMainScript::STAT_RUN);
    // The caret stands after the save tag: the script adds one again and stops.
    Frames(2);
    EXPECT_EQ(script.GetVariables().GetInt("n"), 2);
    EXPECT_EQ(script.GetState(), CMainScript::STAT_STOP);
}

// A folder the game links to from its save folder is saved into; a link another user
// planted there (to a private folder of the player's) is refused with a log line, and the
// game goes on.
TEST_F(GameSaveTest, ASaveFollowsTheGamesOwnLinkButNotAnotherUsers) {
    kestrin_test::TempDir elsewhere;
    std::filesystem::create_symlink(elsewhere.Path(), m_saves.Path() + "/own");
    const std::string victim = elsewhere.Write("private/victim.dat", "victim");
    const bool planted = kestrin_test::PlantLinkOfAnotherUser(elsewhere.Path() + "/private", m_saves.Path() + "/sub");
    CMainScript& script = Run(std::string("[save file=\"own\\\\one.dat\"]\n") +
                              (planted ? "[save file=sub/victim.dat]\n" : "") + "[var name=after data=1]\n[stop]\n");
    EXPECT_EQ(script.GetVariables().GetInt("after"), 1);
    EXPECT_EQ(kestrin_test::ReadFileBytes(elsewhere.Path() + "/one.dat").substr(0, 4), "BOWS") << AllLines();
    if (!planted) GTEST_SKIP() << "giving a symbolic link to another user (lchown) needs root; that case was not run";
    EXPECT_EQ(kestrin_test::ReadFileBytes(victim), "victim");
    EXPECT_TRUE(
        LoggedWithin("sub/victim.dat: セーブデータを書き込めませんでした。(refusing to follow the symbolic link"))
        << AllLines();
}

// Lua can put a zero byte into a variable: the save keeps what a load reads of it, so that
// the save loads.
TEST_F(GameSaveTest, AValueWithAZeroByteIsSavedAsFarAsALoadReadsIt) {
    CMainScript& script = Run("[stop]\n");
    script.GetVariables().SetString("x", std::string("a\0b", 3));
    ASSERT_FALSE(script.GetSaveData().Save("zero.dat", true));
    script.GetVariables().SetString("x", "later");
    ASSERT_FALSE(script.GetSaveData().Load("zero.dat", CSaveData::kTypeGame)) << AllLines();
    EXPECT_EQ(script.GetVariables().GetString("x"), "a");
}

// The message-layer records and the backlog, filled directly: a load brings them back as
// they were saved (the replay of a page records nothing again), the backlog only with it.
TEST_F(GameSaveTest, PagesFontsProhibitBlocksPresetsAndBacklogComeBack) {
    CMainScript& script = Run("[stop]\n");
    CSaveData& save = script.GetSaveData();
    kestrin::CScriptBlock text(kestrin::CScriptBlock::kText, 3, "Hello");
    kestrin::CScriptBlock prohibit(kestrin::CScriptBlock::kTag, 4, "prohibit");
    prohibit.SetAttribute("head", "x");
    kestrin::CFontProperty font;
    save.GetPageRecords()["msg"] = {text, kestrin::CScriptBlock(kestrin::CScriptBlock::kTag, 3, "rt")};
    save.GetFontStacks()["msg"] = {font, font};
    save.GetPageProhibitBlocks()["msg"] = prohibit;
    save.GetPendingProhibitBlocks()["other"] = prohibit;
    kestrin::CTextRenderer::CTweenInfo preset;
    preset.msec = 321;
    script.GetTextTweens(CMainScript::TEXT_TWEEN_HIDE)["msg"] = {preset};
    script.GetBackLog().AddPage({font}, {text}, true, "");
    auto snapshot = [&] {
        std::string out;
        for (const auto& page : save.GetPageRecords()) {
            out += page.first + ":";
            for (const auto& block : page.second) out += block.GetName() + ",";
        }
        out += "|" + std::to_string(save.GetFontStacks()["msg"].size());
        for (const auto& block : save.GetPageProhibitBlocks())
            out += "|" + block.first + block.second.GetAttribute("head");
        for (const auto& block : save.GetPendingProhibitBlocks())
            out += "|" + block.first + block.second.GetAttribute("head");
        const auto& presets = script.GetTextTweens(CMainScript::TEXT_TWEEN_HIDE)["msg"];
        out += "|" + (presets.empty() ? std::string("-") : std::to_string(presets[0].msec));
        out += "|" + std::to_string(script.GetBackLog().GetPages().size());
        return out;
    };
    const std::string saved = snapshot();
    EXPECT_EQ(saved, "msg:Hello,rt,|2|msgx|otherx|321|1");
    ASSERT_FALSE(save.Save("with.dat", true));
    ASSERT_FALSE(save.Save("without.dat", false));

    ASSERT_FALSE(save.Load("with.dat", CSaveData::kTypeGame)) << AllLines();
    EXPECT_EQ(snapshot(), saved);
    EXPECT_EQ(script.GetLayerFontStacks()["msg"].size(), 2u);
    ASSERT_FALSE(save.Load("without.dat", CSaveData::kTypeGame)) << AllLines();
    EXPECT_EQ(snapshot(), "msg:Hello,rt,|2|msgx|otherx|321|0");
}

TEST_F(GameSaveTest, EveryCutOfASaveFailsAndLeavesTheRunningGameAsItWas) {
    CMainScript& script = Run(kSavingScript);
    const std::string whole = Bytes("slot/one.dat");
    script.GetVariables().SetInt("n", 40);
    const std::string before = Fingerprint();
    for (size_t length = 0; length < whole.size(); ++length) {
        Put("cut.dat", whole.substr(0, length));
        EXPECT_TRUE(script.GetSaveData().Load("cut.dat", CSaveData::kTypeGame)) << length;
        ASSERT_EQ(Fingerprint(), before) << length;
    }
    Put("cut.dat", whole);
    EXPECT_FALSE(script.GetSaveData().Load("cut.dat", CSaveData::kTypeGame));
}

// A save made by hand from the caret and one more member, as a damaged file could hold them.
std::string HandMadeSave(const CMainScript::CCaret& caret, const std::function<void(kestrin::CSerializer&)>& more) {
    kestrin::CSerializer archive;
    archive.SaveSerializable(caret, 3);
    if (more) more(archive);
    std::string bytes = std::string("BOWS") + std::string("\xE8\x03\x00\x00", 4);
    const kestrin::CBinaryStream::CMemoryInfo* image = archive.GetMemory();
    bytes.append(reinterpret_cast<const char*>(image->data), image->size);
    return bytes;
}

TEST_F(GameSaveTest, SavesWithIndexesOrCountsOutOfRangeAreRefused) {
    CMainScript& script = Run("[wait time=1]\n[stop]\n");
    script.GetVariables().SetInt("kept", 7);
    std::string before = Fingerprint();
    constexpr int32_t kEnd = 1000;  // stands for the block count
    CMainScript::CCaret good;
    good.file = "main.iet";
    good.index = 1;
    struct Case {
        const char* what;
        int32_t index;
        int32_t status;
        std::function<void(kestrin::CSerializer&)> more;
        bool fails;
    };
    kestrin::COruKeyConfig badKey;
    badKey.AddKey(2, 300);
    std::deque<CMainScript::CCaret> deep(CMainScript::kMaxCallDepth + 1, good);
    std::deque<CMainScript::CCaret> outside(1, good);
    outside[0].index = 50;
    std::map<std::string, std::vector<kestrin::CScriptBlock>> emptyList{{"bg", {}}};
    const Case cases[] = {
        {"good", 1, 0, nullptr, false},
        {"caret at the end", kEnd, 0, nullptr, false},
        {"caret past the end", kEnd + 1, 0, nullptr, true},
        {"negative caret", -1, 0, nullptr, true},
        // Lua's setScriptStatus can leave any status: the frame loop waits on it as it did.
        {"restoring status", 1, CMainScript::STAT_RESTORING, nullptr, false},
        {"unknown status", 1, 42, nullptr, false},
        // keyconfig takes any number; the input answers no key outside 0-255.
        {"key code", 1, 0, [&](kestrin::CSerializer& a) { a.SaveSerializable(badKey, 65); }, false},
        {"call stack depth", 1, 0, [&](kestrin::CSerializer& a) { a.SaveCaretDeque(deep, 4); }, true},
        {"call stack index", 1, 0, [&](kestrin::CSerializer& a) { a.SaveCaretDeque(outside, 4); }, true},
        {"right click depth", 1, 0, [](kestrin::CSerializer& a) { a.SaveInt(1, 8); }, true},
        {"autosave mode", 1, 0, [](kestrin::CSerializer& a) { a.SaveInt(3, 5); }, true},
        {"empty layer record", 1, 0, [&](kestrin::CSerializer& a) { a.SaveContainer(emptyList, 26); }, false},
        {"layer record without a tag", 1, 0,
         [](kestrin::CSerializer& a) {
             std::map<std::string, std::vector<kestrin::CScriptBlock>> label{
                 {"bg", {kestrin::CScriptBlock(kestrin::CScriptBlock::kLabel, 1, "x")}}};
             a.SaveContainer(label, 26);
         },
         true},
        {"backlog pages without font states", 1, 0,
         [](kestrin::CSerializer& a) {
             std::deque<std::vector<kestrin::CScriptBlock>> pages(
                 1, {kestrin::CScriptBlock(kestrin::CScriptBlock::kText, 1, "x")});
             a.BeginMember(31, true)->SaveScriptBlockVectorDeque(pages, 2);
             a.EndNested();
         },
         true},
        {"string cut by a zero", 1, 0,
         [](kestrin::CSerializer& a) {
             a.SaveInt(3, 51);  // a string's length, then its bytes
             for (char c : {'a', '\0', 'b'}) a.SaveByte(static_cast<uint8_t>(c), 0);
         },
         true},
    };
    for (const Case& c : cases) {
        CMainScript::CCaret caret = good;
        const int32_t blocks = static_cast<int32_t>(script.GetScriptBlocks("main.iet").size());
        caret.index = c.index >= kEnd ? blocks + (c.index - kEnd) : c.index;
        caret.status = c.status;
        Put("hand.dat", HandMadeSave(caret, c.more));
        bool failed = script.GetSaveData().Load("hand.dat", CSaveData::kTypeGame);
        EXPECT_EQ(failed, c.fails) << c.what << "\n" << AllLines();
        if (c.fails) {
            EXPECT_EQ(Fingerprint(), before) << c.what;
        } else {
            EXPECT_EQ(script.GetVariables().GetString("kept"), "") << c.what;  // booted: the save had no variables
            // What the save does not hold stays as the boot left it.
            EXPECT_EQ(script.GetMacroFiles(), std::vector<std::string>{"macro.iet"}) << c.what;
            script.GetVariables().SetInt("kept", 7);
            before = Fingerprint();
        }
    }
}

// The fuzz target's seed is a save of the script the target boots: it must load, or the
// fuzzing never reaches the replay.
TEST_F(GameSaveTest, TheFuzzSeedLoadsUnderItsScript) {
    CMainScript& script =
        Run("[var name=a data=1]\n[autosave allow=1]\n[keyconfig role=3 keys=\"65,66\"]\n[lyc id=bg file=day.png]\n"
            "[lytween id=bg param=left from=0 to=10 msec=100]\n[seplay id=l file=chime loop=1]\n[splay file=chime]\n"
            "[save file=seed.dat]\n[stop]\n",
            1);
    Put("seed.dat", kestrin_test::ReadFileBytes(std::string(KESTRIN_SOURCE_DIR) + "/fuzz/corpus/gamesave/scene.dat"));
    ASSERT_FALSE(script.GetSaveData().Load("seed.dat", CSaveData::kTypeGame)) << AllLines();
    EXPECT_EQ(script.GetAutoSaveMode(), 1);
    EXPECT_EQ(script.GetVariables().GetInt("a"), 1);
    EXPECT_TRUE(script.GetSaveData().IsMusicRecorded());
}

// What the running engine records under the names a game uses most, "" first (the default
// message layer, a channel or layer id left empty): its own save of it loads and brings it
// back.
class GameSaveScreenTest : public GameSaveTest {
protected:
    void SetUp() override {
        GameSaveTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(OpenScreen(320, 240));
        kestrin::UseAudioOutput(std::make_unique<kestrin::PullAudioOutput>());
        m_dir.Write("loop.wav",
                    kestrin_test::ReadFileBytes(std::string(KESTRIN_SOURCE_DIR) + "/tests/data/sound/loop.wav"));
    }
    void TearDown() override {
        m_script.reset();
        kestrin::CloseAudioOutput();
        GameSaveTest::TearDown();
    }
    // The records and what shows of them.
    std::string Snapshot() {
        CMainScript& s = *m_script;
        std::string out;
        for (const auto& page : s.GetSaveData().GetPageRecords()) {
            out += "page[" + page.first + "]";
            for (const auto& block : page.second) out += block.GetName() + ",";
        }
        for (const auto& sound : s.GetSaveData().GetSoundRecord()) out += " loop[" + sound.first + "]";
        for (const auto& layer : m_screen->GetMessageLayers()) {
            out += " msg[" + layer.first + "]" + (layer.second.hosted ? "hosted:" : ":");
            kestrin::CLinkableTextRenderer* text = kestrin::CLinkableTextRenderer::Of(layer.second.renderer.get());
            out += std::to_string(text ? text->GetCharCount() : -1);
        }
        for (const auto& role : s.GetKeyConfig().GetKeys()) {
            if (role.first >= 0 && role.first < 15) continue;  // the default roles
            out += " role" + std::to_string(role.first) + ":";
            for (int key : role.second) out += std::to_string(key) + ",";
        }
        out += " debug" + std::to_string(s.GetDebugMode());
        return out + " current[" + s.GetVariables().GetString("s.current_message_layer") + "]";
    }
};

TEST_F(GameSaveScreenTest, ASaveOfWhatTheEngineRecordedLoads) {
    struct Case {
        const char* what;
        const char* before;  // runs before the save
        const char* after;   // changes it after the save
        const char* saved;   // what the snapshot holds in the save
    };
    const Case cases[] = {
        {"text in the default message layer", "こんにちは[rt]またね", "[rp]",
         "page[]こんにちは,rt,またね, msg[]:8 msg[backlog]:0 debug0 current[]"},
        {"a looping effect on the channel \"\"", "[seplay id=\"\" file=loop.wav loop=1]", "[sestop id=\"\"]",
         " loop[] msg[]:0 msg[backlog]:0 debug0 current[]"},
        {"the message layer \"\" in the layer tree", "[chgmsg id=\"\" layered=1]やあ", "[rp][chgmsg id=\"\" layered=0]",
         "page[]やあ, msg[]hosted:2 msg[backlog]:0 debug0 current[]"},
        {"key codes and a trace mode as the script gave them", "[keyconfig role=20 keys=\"300,7\"][debug mode=4]",
         "[keyconfig role=20][debug mode=0]", " msg[]:0 msg[backlog]:0 role20:7,300, debug4 current[]"},
    };
    for (const Case& c : cases) {
        m_dir.Write("main.iet", std::string(c.before) + "[save file=s.dat][wait time=100]" + c.after + "[stop]\n");
        m_script.reset(new CMainScript(m_screen.get()));
        ASSERT_FALSE(m_script->Start()) << c.what;
        Frames(3);
        const std::string saved = Snapshot();
        EXPECT_EQ(saved, c.saved) << c.what << "\n" << AllLines();
        Frames(12);
        ASSERT_EQ(m_script->GetState(), CMainScript::STAT_STOP) << c.what << "\n" << AllLines();
        EXPECT_NE(Snapshot(), saved) << c.what;
        EXPECT_FALSE(m_script->GetSaveData().Load("s.dat", CSaveData::kTypeGame)) << c.what << "\n" << AllLines();
        EXPECT_EQ(Snapshot(), saved) << c.what;
        EXPECT_FALSE(LoggedWithin("壊れています")) << c.what << "\n" << AllLines();
    }
}

TEST_F(GameSaveTest, SaveNamesOutsideTheSaveFolderAreRefused) {
    CMainScript& script = Run("[stop]\n");
    for (const char* name :
         {"/tmp/abs.dat", "\\abs.dat", "C:abs.dat", "../up.dat", "a/../../up.dat", "a\\..\\..\\up.dat"}) {
        EXPECT_TRUE(script.GetSaveData().Save(name, true)) << name;
        EXPECT_TRUE(script.GetSaveData().Load(name, CSaveData::kTypeAny)) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(m_saves.Path() + "/../up.dat"));
    EXPECT_TRUE(LoggedWithin("セーブフォルダの外")) << AllLines();
    EXPECT_FALSE(script.GetSaveData().Save("inside/ok.dat", true));
}

TEST_F(GameSaveTest, AutosaveModesWriteAtWaitsOrWhenLeaving) {
    struct Case {
        const char* allow;
        bool atStop;
        bool atLeave;
    };
    for (const Case& c :
         {Case{"0", false, false}, Case{"1", false, true}, Case{"2", true, true}, Case{"3", false, false}}) {
        kestrin::CDynamicVariables::GetInstance()->SetString("SaveDataPath", m_saves.Path() + "/" + c.allow);
        std::filesystem::create_directories(m_saves.Path() + "/" + c.allow);
        CMainScript& script = Run(std::string("[autosave allow=") + c.allow + "]\n[stop]\n");
        EXPECT_EQ(Exists(std::string(c.allow) + "/autosave.dat"), c.atStop) << c.allow;
        script.Leave();
        EXPECT_EQ(Exists(std::string(c.allow) + "/autosave.dat"), c.atLeave) << c.allow;
    }
}

// One tag run as the frame loop would run it.
kestrin::CScriptBlock Tag(const std::string& name, const std::string& attribute = "", const std::string& value = "") {
    kestrin::CScriptBlock block(kestrin::CScriptBlock::kTag, 1, name);
    if (!attribute.empty()) block.SetAttribute(attribute, value);
    return block;
}

TEST_F(GameSaveTest, SwitchTagsSetWhatTheFrameLoopReads) {
    CMainScript& script = Run("[keyconfig role=4]\n[keyconfig keys=\"1,2\"]\n[stop]\n", 0);
    script.SetDebugMode(1);
    Frames(4);
    EXPECT_EQ(script.GetKeyConfig().GetKeys().count(4) ? script.GetKeyConfig().GetKeys().at(4).size() : 0u, 0u);
    EXPECT_TRUE(LoggedWithin("roleパラメータが必要です。")) << AllLines();

    struct Step {
        kestrin::CScriptBlock block;
        bool skipping;
        bool automode;
        int autosave;
    };
    const Step steps[] = {
        {Tag("exec", "command", "skip"), true, false, 0},
        {Tag("exec", "command", "skip"), false, false, 0},
        {Tag("exec", "command", "skip"), true, false, 0},
        {Tag("skip", "allow", "0"), false, false, 0},
        {Tag("exec", "command", "automode"), false, true, 0},
        {Tag("automode", "stopbyclick", "0"), false, true, 0},  // without allow: the allowed state stays
        {Tag("automode", "allow", "0"), false, false, 0},
        {Tag("autosave", "allow", "2"), false, false, 2},
        {Tag("autosave", "allow", "3"), false, false, 2},
        {Tag("autosave"), false, false, 2},
        {Tag("autosave", "allow", "0"), false, false, 0},
        {Tag("exec", "command", "nothing"), false, false, 0},
    };
    script.ExecuteBlock(Tag("skip", "allow", "1"), false);
    for (const Step& step : steps) {
        script.ExecuteBlock(step.block, false);
        EXPECT_EQ(script.IsSkipping(), step.skipping) << step.block.Describe("", "");
        EXPECT_EQ(script.IsAutoMode(), step.automode) << step.block.Describe("", "");
        EXPECT_EQ(script.GetAutoSaveMode(), step.autosave) << step.block.Describe("", "");
    }
}

TEST_F(GameSaveTest, ResetRestartsFromTheBootScriptWithStartSwitches) {
    CMainScript& script =
        Run("[if estimate=\"g.resets>0\"]\n[stop]\n[/if]\n"
            "[autosave allow=2][rclick allow=1][var name=g.resets data=1][reset]\n[var name=never data=1]\n",
            8);
    EXPECT_EQ(script.GetState(), CMainScript::STAT_STOP);
    EXPECT_EQ(script.GetVariables().GetInt("g.resets"), 1);
    EXPECT_EQ(script.GetVariables().GetString("never"), "");
    EXPECT_EQ(script.GetAutoSaveMode(), 0);
    EXPECT_EQ(script.GetCaret().file, "main.iet");
    EXPECT_TRUE(Exists("saveg.dat"));  // written before the restart
}

TEST_F(GameSaveTest, LoadOfAMissingFileLetsTheScriptRunOn) {
    CMainScript& script = Run("[load file=none.dat][var name=after data=1][stop]\n");
    EXPECT_EQ(script.GetVariables().GetInt("after"), 1);
    EXPECT_EQ(script.GetState(), CMainScript::STAT_STOP);
}

TEST_F(GameSaveTest, TweenPresetsRoundTripThroughTheExtension) {
    CMainScript& script = Run("[stop]\n");
    (void)script;
    kestrin::CTextRenderer::CTweenInfo info;
    info.param = 2;
    info.entire = true;
    info.ease = 7;
    info.diff = -30;
    info.msec = 500;
    info.delay = 20;
    info.randomDelay = true;
    info.yoyo = 3;
    info.leave = true;
    std::map<std::string, std::vector<kestrin::CTextRenderer::CTweenInfo>> presets{{"msg", {info, {}}}};
    kestrin::CSerializer out;
    out.SaveTweenInfoVectorMap(presets, 13);
    const kestrin::CBinaryStream::CMemoryInfo* image = out.GetMemory();
    kestrin::CSerializer in;
    in.Attach(image->data, image->size);
    std::map<std::string, std::vector<kestrin::CTextRenderer::CTweenInfo>> loaded;
    in.LoadTweenInfoVectorMap(loaded, 13);
    ASSERT_EQ(loaded["msg"].size(), 2u);
    const auto& got = loaded["msg"][0];
    EXPECT_EQ(std::make_tuple(got.param, got.entire, got.ease, got.diff, got.msec, got.delay, got.randomDelay, got.yoyo,
                              got.leave),
              std::make_tuple(2, true, 7, -30, 500, 20, true, 3, true));
    EXPECT_EQ(loaded["msg"][1].ease, 31);
}

}  // namespace
