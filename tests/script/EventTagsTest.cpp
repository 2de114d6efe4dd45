// Event handler, anime and slider tags on a real screen (software renderer, SDL dummy
// driver): what they store, what the save data records and what a replay rebuilds. The
// pointer, keys and drawing are checked through whole games in EventGamesTest.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "CORE/CDynamicVariables.h"
#include "CORE/CInput.h"
#include "CORE/Platform/HeadlessWindowSystem.h"
#include "GRAPHICS/CAnimationLayer.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/CPng.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/CUISlider.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/ISurface.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CSaveData.h"
#include "support/InterpreterFixture.h"
#include "support/TestSupport.h"

using namespace kestrin;

namespace {

class EventTagsTest : public kestrin_test::InterpreterFixture {
protected:
    void SetUp() override {
        InterpreterFixture::SetUp();
        CDynamicVariables::GetInstance()->SetInt("ini.SurfaceCacheSize", 1 << 20);
        ASSERT_NO_FATAL_FAILURE(OpenScreen(64, 48));
        WritePng("sprite.png", 10, 6);
        WritePng("track.png", 40, 4);
        WritePng("knob.png", 4, 4);
    }
    void WritePng(const std::string& name, int w, int h) {
        CSurface s;
        ASSERT_FALSE(s.Init(w, h, ISurface::kPixel32Alpha, 0));
        for (int y = 0; y < h; ++y) std::memset(s.GetLine(y), 0xFF, static_cast<size_t>(w) * 4);
        CPng png;
        CPng::SOutputBuffer out;
        out.capacity = 4096;
        out.data = new uint8_t[out.capacity];
        ASSERT_FALSE(png.Save(&s, out, 6));
        std::unique_ptr<uint8_t[]> keep(out.data);
        m_dir.Write(name, std::string(reinterpret_cast<char*>(out.data), out.length));
    }
    // Boots main.iet with tag errors traced and runs its first frame.
    void Run(const std::string& text) {
        m_dir.Write("main.iet", text);
        m_script = std::make_unique<CMainScript>(m_screen.get());
        ASSERT_FALSE(m_script->Start());
        m_script->SetDebugMode(1);
        m_script->SetTraceLevel(1);
        m_script->Update(m_now += 16);
    }
    bool Tag(const std::string& name, const std::map<std::string, std::string>& attributes) {
        CScriptBlock block(CScriptBlock::kTag, 0, name);
        for (const auto& a : attributes) block.SetAttribute(a.first, a.second);
        return m_script->ExecuteBlock(block, false);
    }
    COruLayer* Next(const std::string& path) {
        std::shared_ptr<COruLayer> node;
        return m_screen->GetRootLayer()->FindLayer(path, node) ? nullptr : node.get();
    }
    std::string RecordText(const std::string& id) {
        auto& record = m_script->GetSaveData().GetLayerRecord();
        auto it = record.find(id);
        if (it == record.end()) return "(none)";
        std::string text;
        for (const auto& block : it->second) text += (text.empty() ? "" : " | ") + block.ToCommaText();
        return text;
    }
    // Which of the six reactions a layer holds, as six 0/1 digits (click first).
    std::string Reactions(const std::string& path) {
        COruLayer* node = Next(path);
        if (!node) return "(none)";
        std::string text;
        for (bool set : {bool(node->GetOnClick()), bool(node->GetOnRollOver()), bool(node->GetOnRollOut()),
                         bool(node->GetOnDragIn()), bool(node->GetOnDrag()), bool(node->GetOnDragOut())})
            text += set ? '1' : '0';
        return text;
    }
};

TEST_F(EventTagsTest, LayerReactionsAreRecordedSoThatAReplayRebuildsExactlyThem) {
    Run("[lyc id=a file=sprite.png]\n[lyc id=b file=sprite.png]\n"
        "[setonclick id=a label=x]\n[setonrollout id=a handler=lydel]\n[setondragout id=a file=other label=y]\n"
        "[setonclick id=b label=x]\n[setondrag id=b label=x]\n[delonclick id=b]\n"
        "[setonclick id=nosuch label=x]\n[delonclick id=nosuch]\n[stop]\n");
    EXPECT_EQ(Reactions("a"), "101001");
    EXPECT_EQ(Reactions("b"), "000010");
    // A label is looked up in the script that set it; a reaction without one names no file.
    EXPECT_EQ(RecordText("a"),
              "lyc,file,sprite.png,id,a | setonclick,file,main.iet,id,a,label,x | setonrollout,handler,lydel,id,a | "
              "setondragout,file,other,id,a,label,y");
    EXPECT_EQ(RecordText("b"),
              "lyc,file,sprite.png,id,b | setonclick,file,main.iet,id,b,label,x | "
              "setondrag,file,main.iet,id,b,label,x | delonclick,id,b");
    EXPECT_EQ(RecordText("nosuch"), "(none)");
    EXPECT_FALSE(LoggedWithin("main.iet(")) << AllLines();  // a missing layer is no error

    // A loaded game replays the records onto an empty tree and records nothing again.
    const auto record = m_script->GetSaveData().GetLayerRecord();
    m_screen->DeleteLayer("a");
    m_screen->DeleteLayer("b");
    m_screen->Flip();
    m_script->GetSaveData().ReplayLayerRecord();
    EXPECT_EQ(Reactions("a"), "101001");
    EXPECT_EQ(Reactions("b"), "000010");
    EXPECT_EQ(m_script->GetSaveData().GetLayerRecord(), record);
    // A new lyc drops the reactions with the layer and starts a new record.
    Tag("lyc", {{"id", "a"}, {"file", "sprite.png"}});
    EXPECT_EQ(Reactions("a"), "000000");
    EXPECT_EQ(RecordText("a"), "lyc,file,sprite.png,id,a");
}

TEST_F(EventTagsTest, KeyAndModeReactionsFillTheirSlotsAndDelonEmptiesOnlyItsOwn) {
    Run("[stop]\n");
    // clang-format off
    const std::pair<const char*, int> modes[] = {
        {"automodein", CMainScript::EVENT_AUTOMODEIN},       {"automodeout", CMainScript::EVENT_AUTOMODEOUT},
        {"commandskipin", CMainScript::EVENT_COMMANDSKIPIN}, {"commandskipout", CMainScript::EVENT_COMMANDSKIPOUT},
        {"controlskipin", CMainScript::EVENT_CONTROLSKIPIN}, {"controlskipout", CMainScript::EVENT_CONTROLSKIPOUT},
        {"hidein", CMainScript::EVENT_HIDEIN},               {"hideout", CMainScript::EVENT_HIDEOUT},
        {"backlogin", CMainScript::EVENT_BACKLOGIN},         {"backlogout", CMainScript::EVENT_BACKLOGOUT},
        {"dirchg", CMainScript::EVENT_DIRCHG},
    };
    // clang-format on
    for (const auto& [word, slot] : modes) {
        Tag(std::string("seton") + word, {{"label", word}});
        EXPECT_EQ(m_script->GetEventBlock(slot).ToCommaText(),
                  std::string("seton") + word + ",file,main.iet,label," + word);
    }
    for (const auto& [word, slot] : modes) {
        Tag(std::string("delon") + word, {});
        EXPECT_TRUE(m_script->GetEventBlock(slot).GetName().empty()) << word;
        // The slots after it still hold their blocks.
        for (const auto& [later, laterSlot] : modes) {
            if (laterSlot > slot) {
                EXPECT_FALSE(m_script->GetEventBlock(laterSlot).GetName().empty()) << later;
            }
        }
    }

    auto& keys = m_script->GetPushKeyHandlers();
    Tag("setonpush", {{"key", "32"}, {"label", "first"}});
    Tag("setonpush", {{"key", "32"}, {"label", "second"}});
    Tag("setonpush", {{"key", "137"}, {"handler", "stop"}});
    Tag("delonpush", {{"key", "66"}});
    Tag("setonpush", {{"key", "256"}, {"label", "x"}});
    Tag("delonpush", {{"key", "9999999999"}});
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[32].GetAttribute("label"), "second");
    EXPECT_EQ(keys[137].ToCommaText(), "setonpush,handler,stop,key,137");
    EXPECT_TRUE(Logged("main.iet(0): [setonpush key=\"256\"] キーコードは0から255の範囲で指定してください。"))
        << AllLines();
    EXPECT_TRUE(Logged("main.iet(0): [delonpush key=\"9999999999\"] キーコードは0から255の範囲で指定してください。"))
        << AllLines();
    Tag("delonpush", {{"key", "32"}});
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys.count(137), 1u);
}

TEST_F(EventTagsTest, AnimeBuildsItsFramesAndRecordsWhatItDid) {
    Run("[lyc id=anim file=sprite.png]\n"
        "[anime id=anim mode=init file=sprite.png left=3 alpha=128]\n"
        "[anime id=anim mode=add file=sprite.png time=100 mask=nomask.png]\n"
        "[anime id=anim mode=add file=sprite.png time=100]\n"
        "[anime id=anim mode=end time=0]\n[anime id=anim mode=end time=-5]\n"
        "[anime id=anim mode=end time=200]\n[anime id=anim mode=other file=sprite.png]\n[stop]\n");
    COruLayer* node = Next("anim");
    ASSERT_NE(node, nullptr);
    auto* animation = dynamic_cast<CAnimationLayer*>(node->GetNextObject());
    ASSERT_NE(animation, nullptr) << "init replaces the image layer";
    const auto& frames = animation->GetFrames();
    ASSERT_EQ(frames.size(), 3u);
    ASSERT_TRUE(frames.at(0));
    EXPECT_EQ(frames.at(0)->GetX(), 3);
    EXPECT_EQ(frames.at(0)->GetAlpha(), 128);
    EXPECT_EQ(frames.at(0)->GetAnchorX(), 5);
    EXPECT_EQ(frames.at(0)->GetAnchorY(), 3);
    EXPECT_TRUE(frames.at(100));
    EXPECT_FALSE(frames.at(200));
    EXPECT_TRUE(Logged("main.iet(3): [anime mask=\"nomask.png\"] 指定されたファイルは見つからないか、非対応形式です。"))
        << AllLines();
    EXPECT_TRUE(Logged("main.iet(5): [anime time=\"0\"] アニメーションの終端は0より後の時刻を指定してください。"));
    EXPECT_TRUE(Logged("main.iet(6): [anime time=\"-5\"] アニメーションの終端は0より後の時刻を指定してください。"));
    // What failed or was ignored is not recorded; an unknown mode changes nothing.
    EXPECT_EQ(RecordText("anim"),
              "anime,alpha,128,file,sprite.png,id,anim,left,3,mode,init | "
              "anime,file,sprite.png,id,anim,mode,add,time,100 | anime,id,anim,mode,end,time,200 | "
              "anime,file,sprite.png,id,anim,mode,other");

    // The record rebuilds the same animation; a new init starts the record again.
    m_screen->DeleteLayer("anim");
    m_script->GetSaveData().ReplayLayerRecord();
    animation = dynamic_cast<CAnimationLayer*>(Next("anim")->GetNextObject());
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(animation->GetFrames().size(), 3u);
    Tag("anime", {{"id", "anim"}, {"mode", "init"}, {"file", "sprite.png"}});
    EXPECT_EQ(RecordText("anim"), "anime,file,sprite.png,id,anim,mode,init");
    Tag("animedel", {{"id", "anim"}});
    EXPECT_EQ(Next("anim"), nullptr);
    EXPECT_EQ(RecordText("anim"), "(none)");
}

TEST_F(EventTagsTest, SliderPlacesItsKnobFromTheVariableAndOnlyASuccessReplacesAControl) {
    Run("[var name=vol data=60]\n"
        "[slider id=s x=2 y=4 width=40 background_path=track.png controller_path=knob.png var_min=10 var_max=110 "
        "var_name=vol]\n[stop]\n");
    auto& controls = m_screen->GetUIControls();
    ASSERT_EQ(controls.count("s"), 1u);
    // Compared as the table holds it: the first control is gone once replaced.
    IDisplayObject* first = controls["s"].get();
    auto* slider = dynamic_cast<CUISlider*>(first);
    ASSERT_NE(slider, nullptr);
    // Travel 36: the knob of 60 in 10..110 sits half way along it.
    EXPECT_EQ(slider->GetController()->GetX(), 2 + 18);
    EXPECT_FALSE(slider->IsVertical());

    const std::map<std::string, std::string> bad[] = {
        {{"id", "s"}, {"background_path", "track.png"}, {"controller_path", "knob.png"}},
        {{"id", "s"}, {"width", "40"}, {"background_path", "missing.png"}, {"controller_path", "knob.png"}},
        {{"id", "s"}, {"height", "40"}, {"background_path", "track.png"}, {"controller_path", "missing.png"}},
    };
    for (const auto& attributes : bad) {
        m_lines.clear();
        Tag("slider", attributes);
        EXPECT_EQ(controls["s"].get(), first);
        EXPECT_TRUE(Logged("main.iet(0): [slider] パラメータが不足しているか、間違っています。")) << AllLines();
    }
    Tag("slider", {{"id", "s"},
                   {"width", "1"},
                   {"height", "1"},
                   {"background_path", "track.png"},
                   {"controller_path", "knob.png"},
                   {"var_min", "5"},
                   {"var_max", "5"}});
    ASSERT_NE(controls["s"].get(), first);
    EXPECT_FALSE(dynamic_cast<CUISlider*>(controls["s"].get())->IsVertical());
    Tag("uidel", {{"id", "nosuch"}});
    Tag("uidel", {{"id", "s"}});
    EXPECT_TRUE(controls.empty());
}

class PushKeyTest : public kestrin_test::InterpreterFixture {
protected:
    // One frame with the keyboard as the window system has it.
    void Frame() {
        CInput::GetInstance()->Update(m_now += 16);
        m_script->Update(m_now);
    }
};

TEST_F(PushKeyTest, AKeyRunsItsHandlerOncePerPressHoweverLongItIsHeld) {
    UseFakeInput();
    m_dir.Write("main.iet",
                "[setonpush key=32 label=space call=1]\n[setonpush key=137 label=wheel call=1]\n*idle\n[stop]\n"
                "[jump label=idle]\n*space\n[var name=spaces data=\"$spaces+1\"]\n[return]\n"
                "*wheel\n[var name=notches data=\"$notches+1\"]\n[return]\n");
    m_script = std::make_unique<CMainScript>(nullptr);
    ASSERT_FALSE(m_script->Start());
    Frame();
    ASSERT_EQ(m_script->GetState(), CMainScript::STAT_STOP);
    for (int press = 0; press < 2; ++press) {
        m_windows->SetKeyDown(32, true);
        for (int i = 0; i < 40; ++i) Frame();  // past the key repeat delay
        m_windows->SetKeyDown(32, false);
        Frame();
    }
    EXPECT_EQ(m_script->GetVariables().GetInt("spaces"), 2);
    // Wheel notches towards the reader are the pseudo key 137.
    CInput::GetInstance()->PushWheel(false);
    for (int i = 0; i < 3; ++i) Frame();
    EXPECT_EQ(m_script->GetVariables().GetInt("notches"), 1);
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_STOP);
}

}  // namespace
