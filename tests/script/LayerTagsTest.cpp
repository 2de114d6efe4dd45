// Layer, tween, transition and screenshot tags on a real screen (software renderer, SDL
// dummy driver): what the tree shows, what the save data records, and the script's waits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CORE/CDynamicVariables.h"
#include "CORE/CSerializer.h"
#include "GRAPHICS/CDisplayObject.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/CPng.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/CSurfaceManager.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/ISurface.h"
#include "GRAPHICS/TweenRegistry.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CSaveData.h"
#include "support/InterpreterFixture.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace kestrin;

namespace {

class StandInObject : public CDisplayObject {
public:
    IDisplayObject* Clone(bool copyState) const override {
        (void)copyState;
        return new StandInObject(*this);
    }
};

CMainScreen::SMessageLayer StandInMessageLayers(CMainScreen&) {
    CMainScreen::SMessageLayer layer;
    layer.object = std::make_shared<StandInObject>();
    return layer;
}

class LayerTagsTest : public kestrin_test::InterpreterFixture {
protected:
    void SetUp() override {
        InterpreterFixture::SetUp();
        CDynamicVariables* v = CDynamicVariables::GetInstance();
        v->SetInt("ini.SurfaceCacheSize", 1 << 20);
        fs::create_directories(m_dir.Path() + "/save");
        v->SetString("SaveDataPath", m_dir.Path() + "/save");
        ASSERT_NO_FATAL_FAILURE(OpenScreen(64, 48));
        // Images: a 10 x 6 sprite, a full-screen rule ramp and a rule of the wrong size.
        WritePng("sprite.png", 10, 6, ISurface::kPixel32Alpha, [](int x, int y) { return 0x80102030u + x + y * 16; });
        WritePng("rule.png", 64, 48, ISurface::kPixel8, [](int x, int) { return uint32_t(x * 4); });
        WritePng("small.png", 8, 8, ISurface::kPixel8, [](int x, int) { return uint32_t(x); });
    }
    void WritePng(const std::string& name, int w, int h, int bits, const std::function<uint32_t(int, int)>& fn) {
        CSurface s;
        ASSERT_FALSE(s.Init(w, h, bits, 0));
        for (int y = 0; y < h; ++y) {
            uint8_t* row = s.GetLine(y);
            for (int x = 0; x < w; ++x) {
                uint32_t p = fn(x, y);
                if (bits == ISurface::kPixel8)
                    row[x] = uint8_t(p);
                else
                    std::memcpy(row + x * 4, &p, 4);
            }
        }
        CPng png;
        CPng::SOutputBuffer out;
        out.capacity = 4096;
        out.data = new uint8_t[out.capacity];
        ASSERT_FALSE(png.Save(&s, out, 6));
        std::unique_ptr<uint8_t[]> keep(out.data);
        m_dir.Write(name, std::string(reinterpret_cast<char*>(out.data), out.length));
    }

    // Boots main.iet with errors traced (level 2: "layer not found" included).
    void Run(const std::string& text, int frames = 1) {
        m_dir.Write("main.iet", text);
        m_script = std::make_unique<CMainScript>(m_screen.get());
        // No text: a plain object stands in for each message layer (set after the script's own).
        m_screen->SetTextLayerFactory(StandInMessageLayers);
        ASSERT_FALSE(m_script->Start());
        m_script->SetDebugMode(1);
        m_script->SetTraceLevel(2);
        Frames(frames);
    }
    void Frames(int count) {
        for (int i = 0; i < count; ++i) {
            m_now += 16;
            UpdateTweens(m_now);
            m_script->Update(m_now);
            m_screen->Update();
        }
    }
    // Runs one tag on the running script, outside the scenario.
    bool Tag(const std::string& name, const std::map<std::string, std::string>& attributes) {
        CScriptBlock block(CScriptBlock::kTag, 0, name);
        for (const auto& a : attributes) block.SetAttribute(a.first, a.second);
        return m_script->ExecuteBlock(block, false);
    }
    // The node at path in the edited (next) generation, or null.
    COruLayer* Next(const std::string& path) {
        std::shared_ptr<COruLayer> node;
        return m_screen->GetRootLayer()->FindLayer(path, node) ? nullptr : node.get();
    }
    bool Shown(const std::string& name) { return m_screen->GetRootLayer()->GetChildren().count(name) != 0; }
    CSaveData::LayerRecord& Record() { return m_script->GetSaveData().GetLayerRecord(); }
    std::string RecordText(const std::string& id) {
        std::string text;
        auto it = Record().find(id);
        if (it == Record().end()) return "(none)";
        for (const auto& block : it->second) {
            if (!text.empty()) text += " | ";
            text += block.ToCommaText();
        }
        return text;
    }
};

TEST_F(LayerTagsTest, LycLypropAndLydelEditTheTreeAndItsRecordWhichFlipShows) {
    Run("[lyc id=a.b file=sprite.png]\n"
        "[lyprop id=a.b left=5 alpha=100 xscale=150]\n"
        "[lyprop id=a.b left=7 layermode=nonsense clip=\"1,2,3\"]\n"
        "[lyc id=c file=missing.png]\n"
        "[lyprop id=nothing left=1]\n"
        "[stop]\n");
    COruLayer* node = Next("a.b");
    ASSERT_NE(node, nullptr);
    EXPECT_TRUE(Next("a") != nullptr);
    EXPECT_FALSE(Shown("a"));  // not committed yet
    IDisplayObject* edited = node->GetNextObject();
    EXPECT_EQ(edited->GetX(), 7);
    EXPECT_EQ(edited->GetAlpha(), 100);
    EXPECT_EQ(edited->GetXScale(), 98304);
    EXPECT_EQ(edited->GetAnchorX(), 5);
    EXPECT_EQ(edited->GetAnchorY(), 3);
    EXPECT_EQ(edited->GetLayerMode(), 0);
    EXPECT_EQ(
        RecordText("a.b"),
        "lyc,file,sprite.png,id,a.b | lyprop,alpha,100,clip,1\\,2\\,3,id,a.b,layermode,nonsense,left,7,xscale,150");
    EXPECT_TRUE(Logged("main.iet(4): [lyc file=\"missing.png\"] 指定されたファイルは見つからないか、非対応形式です。"))
        << AllLines();
    EXPECT_TRUE(Logged("main.iet(5): [lyprop id=\"nothing\"] 指定されたレイヤーが見つかりません。")) << AllLines();
    m_screen->Flip();
    EXPECT_TRUE(Shown("a"));

    // A second lyc replaces the layer and its record; lydel of the group erases the child's.
    Tag("lyc", {{"id", "a.b"}, {"file", "sprite.png"}});
    EXPECT_EQ(RecordText("a.b"), "lyc,file,sprite.png,id,a.b");
    EXPECT_NE(Next("a.b"), node);
    Tag("lyc", {{"id", "a.b"}, {"file", "gone.png"}});
    EXPECT_EQ(RecordText("a.b"), "lyc,file,sprite.png,id,a.b");
    Tag("lydel", {{"id", "a"}});
    EXPECT_EQ(Next("a"), nullptr);
    EXPECT_EQ(RecordText("a.b"), "(none)");
}

TEST_F(LayerTagsTest, RefusedImagesKeepTheirMessageAndSayWhyOnce) {
    // As ImageMagick writes a gradient and flat colours by default, a 16-bit RGB and a CMYK JPEG.
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"png/gradient.png", "grey PNG of 16 bits a channel"},
        {"png/flat.png", "grey PNG of 1 bit a channel"},
        {"png/flatred.png", "PNG with a colour palette"},
        {"png/rgb16.png", "RGB PNG of 16 bits a channel"},
        {"jpeg/cmyk.jpg", "CMYK (YCCK) JPEG"},
    };
    std::string script;
    for (size_t i = 0; i < refused.size(); ++i) {
        const std::string file = refused[i].first.substr(refused[i].first.find('/') + 1);
        m_dir.Write(file, kestrin_test::ReadFileBytes(kestrin_test::TestDataPath("graphics/" + refused[i].first)));
        script += "[lyc id=l" + std::to_string(i) + " file=" + file + "]\n";
    }
    Run(script + "[lyc id=ok file=sprite.png]\n[stop]\n");
    for (size_t i = 0; i < refused.size(); ++i) {
        const std::string file = refused[i].first.substr(refused[i].first.find('/') + 1);
        SCOPED_TRACE(file);
        EXPECT_TRUE(Logged("main.iet(" + std::to_string(i + 1) + "): [lyc file=\"" + file +
                           "\"] 指定されたファイルは見つからないか、非対応形式です。"))
            << AllLines();
        const std::string why = file + ": image not read: " + refused[i].second + " (only ";
        EXPECT_EQ(std::count_if(m_lines.begin(), m_lines.end(),
                                [&](const std::string& line) { return line.rfind(why, 0) == 0; }),
                  1)
            << AllLines();
        EXPECT_EQ(Next("l" + std::to_string(i)), nullptr);
    }
    EXPECT_NE(Next("ok"), nullptr);
    EXPECT_EQ(std::count_if(m_lines.begin(), m_lines.end(),
                            [](const std::string& line) { return line.find("image not read") != std::string::npos; }),
              long(refused.size()))
        << AllLines();
}

TEST_F(LayerTagsTest, LypropAndTweensReachTheRootAndMessageLayers) {
    Run("[lyprop id=! left=4]\n[lyprop id=~msg top=9 draggable=1]\n[lyprop id=~none top=1]\n[stop]\n", 0);
    m_screen->ChangeMessageLayer("msg", 0);
    Frames(1);
    EXPECT_EQ(m_screen->GetRootLayer()->GetNextObject()->GetX(), 4);
    EXPECT_EQ(m_screen->GetMessageLayers()["msg"].object->GetY(), 9);
    EXPECT_EQ(RecordText("~msg"), "lyprop,draggable,1,id,~msg,top,9");
    EXPECT_TRUE(Logged("main.iet(3): [lyprop id=\"~none\"] 指定されたレイヤーが見つかりません。")) << AllLines();

    // Tweens on a message layer are kept by the screen; lytweendel jumps them to their end.
    IDisplayObject* message = m_screen->GetMessageLayers()["msg"].object.get();
    Tag("lytween", {{"id", "~msg"}, {"param", "left"}, {"from", "3"}, {"to", "30"}, {"msec", "100000"}});
    Tag("lytween", {{"id", "!"}, {"param", "top"}, {"from", "0"}, {"to", "8"}, {"msec", "100000"}});
    EXPECT_EQ(message->GetX(), 3);
    EXPECT_EQ(m_screen->GetMessageLayerTweens()["msg"].size(), 1u);
    Tag("lytweendel", {{"id", "~msg"}});
    Tag("lytweendel", {{"id", "!"}});
    EXPECT_EQ(message->GetX(), 30);
    EXPECT_EQ(m_screen->GetRootLayer()->GetY(), 8);
}

TEST_F(LayerTagsTest, LydelErasesTheRecordsOfWhatItDeletedOnly) {
    Run("[lyc id=a file=sprite.png]\n[lyprop id=! left=4]\n[lyprop id=~msg top=9]\n[stop]\n", 0);
    m_screen->ChangeMessageLayer("msg", 0);
    Frames(1);
    struct Case {
        const char* id;
        const char* erased;  // the record gone afterwards, or null
    };
    const Case cases[] = {{"!", nullptr}, {"~msg", nullptr}, {"nothing", nullptr}, {"a", "a"}};
    for (const auto& c : cases) {
        Tag("lydel", {{"id", c.id}});
        for (const char* id : {"a", "!", "~msg"}) {
            const bool gone = c.erased && std::string(c.erased) == id;
            EXPECT_EQ(RecordText(id) == "(none)", gone) << "lydel " << c.id << ", record " << id;
        }
    }
    EXPECT_EQ(RecordText("!"), "lyprop,id,!,left,4");
    EXPECT_EQ(RecordText("~msg"), "lyprop,id,~msg,top,9");
}

TEST_F(LayerTagsTest, BootForgetsTheLayerRecordAndAnOpenTweenset) {
    Run("[lyc id=a file=sprite.png]\n[tweenset]\n[stop]\n");
    EXPECT_EQ(RecordText("a"), "lyc,file,sprite.png,id,a");
    ASSERT_FALSE(m_script->Start());
    EXPECT_TRUE(Record().empty());
    // The tweenset of the game before is gone: a tween starts at once again.
    Tag("lyc", {{"id", "b"}, {"file", "sprite.png"}});
    Tag("lytween", {{"id", "b"}, {"param", "left"}, {"from", "5"}, {"to", "9"}, {"msec", "100000"}});
    ASSERT_NE(Next("b"), nullptr);
    EXPECT_EQ(Next("b")->GetNextObject()->GetX(), 5);
    EXPECT_EQ(RecordText("b"), "lyc,file,sprite.png,id,b | lyprop,id,b,left,9");
}

TEST_F(LayerTagsTest, LyeditNegativeInvertsColoursButNotAlpha) {
    Run("[lyc id=a file=sprite.png]\n[lyedit id=a mode=negative]\n[stop]\n");
    ISurface* surface = Next("a")->GetSurface();
    ASSERT_NE(surface, nullptr);
    surface->Lock();
    uint8_t* p = surface->GetLine(1) + 4 * 2;
    const uint32_t original = 0x80102030u + 2 + 16;
    EXPECT_EQ(p[0], 255 - (original & 0xff));
    EXPECT_EQ(p[3], 0x80);
    surface->Unlock();
    EXPECT_EQ(RecordText("a"), "lyc,file,sprite.png,id,a | lyedit,id,a,mode,negative");
    Tag("lyedit", {{"id", "a"}, {"mode", "negative"}});
    surface->Lock();
    EXPECT_EQ(surface->GetLine(1)[8], original & 0xff);
    surface->Unlock();
}

TEST_F(LayerTagsTest, LytweenStartsAtFromAtOnceEndsAtToAndRecordsTheEndState) {
    Run("[lyc id=a file=sprite.png]\n[lyc id=b file=sprite.png]\n[lyc id=c file=sprite.png]\n"
        "[lytween id=a param=alpha from=0 to=255 msec=160]\n"
        "[lytween id=b param=left from=0 to=10 msec=32 yoyo=1]\n"
        "[lytween id=c param=xscale from=100 to=200 msec=0 ease=easeout_sine]\n"
        "[lytween id=a param=top from=0 to=50 msec=100 repeat=-1 yoyo=3]\n"
        "[lytween id=a param=width from=0 to=5]\n"
        "[stop]\n",
        0);
    Frames(1);
    EXPECT_EQ(Next("a")->GetAlpha(), 0);
    Frames(1);
    // A tween of 0 ms is at its end at its first update.
    EXPECT_EQ(Next("c")->GetXScale(), 131072);
    Frames(12);
    EXPECT_EQ(Next("a")->GetAlpha(), 255);
    EXPECT_EQ(Next("b")->GetX(), 0);
    EXPECT_EQ(RecordText("a"),
              "lyc,file,sprite.png,id,a | lyprop,alpha,255,id,a | "
              "lytween,from,0,id,a,msec,100,param,top,repeat,-1,to,50,yoyo,3");
    EXPECT_EQ(RecordText("b"), "lyc,file,sprite.png,id,b | lyprop,id,b,left,0");
    EXPECT_EQ(RecordText("c"), "lyc,file,sprite.png,id,c | lyprop,id,c,xscale,200");
    // lytweendel ends the endless tween and drops it from the record.
    EXPECT_FALSE(Next("a")->GetTweenIds().empty());
    Tag("lytweendel", {{"id", "a"}});
    Tag("lytweendel", {{"id", "nowhere"}});
    EXPECT_EQ(RecordText("a"), "lyc,file,sprite.png,id,a | lyprop,alpha,255,id,a");
    EXPECT_TRUE(Next("a")->GetTweenIds().empty());
    EXPECT_EQ(Next("a")->GetY(), 50);
}

TEST_F(LayerTagsTest, SyncTweensWaitAndDeletingTheLayerReleasesTheWait) {
    Run("[lyc id=a file=sprite.png]\n[lytween id=a param=left from=0 to=10 msec=100 sync=1 delete=1]\n"
        "[var name=after data=1]\n[stop]\n");
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_WAIT);
    Frames(8);
    EXPECT_EQ(m_script->GetVariables().GetString("after"), "1");
    EXPECT_NE(Next("a"), nullptr);  // sync wins over delete

    // A wait on a tween whose layer is deleted ends.
    Tag("lyc", {{"id", "b"}, {"file", "sprite.png"}});
    Tag("lytween", {{"id", "b"}, {"param", "left"}, {"to", "10"}, {"msec", "100000"}, {"sync", "1"}});
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_WAIT);
    Tag("lydel", {{"id", "b"}});
    EXPECT_NE(m_script->GetState(), CMainScript::STAT_WAIT);
}

TEST_F(LayerTagsTest, TweenSetsRunInOrderAndASyncTweenInsideWaitsAtTheEnd) {
    Run("[lyc id=a file=sprite.png]\n[lyc id=b file=sprite.png]\n"
        "[tweenset]\n[lytween id=b param=left from=0 to=10 msec=64 sync=1]\n"
        "[lytween id=a param=top from=0 to=20 msec=64]\n[/tweenset]\n"
        "[var name=after data=1]\n[stop]\n",
        1);
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_WAIT);
    EXPECT_EQ(*Next("a")->GetTweenIds().begin(), *Next("b")->GetTweenIds().begin());
    Frames(6);
    EXPECT_EQ(Next("b")->GetX(), 10);
    EXPECT_EQ(m_script->GetVariables().GetString("after"), "1");
    EXPECT_LT(Next("a")->GetY(), 20);  // the second tween runs after the first
    Frames(6);
    EXPECT_EQ(Next("a")->GetY(), 20);
}

TEST_F(LayerTagsTest, ADeleteTweenRemovesTheLayerAndItsRecordSoReplayDoesNotBringItBack) {
    Run("[lyc id=keep file=sprite.png]\n[lyprop id=keep left=12]\n[lyc id=gone file=sprite.png]\n"
        "[lytween id=gone param=alpha from=255 to=0 msec=32 delete=1]\n[flip]\n[stop]\n");
    Frames(4);
    EXPECT_EQ(Next("gone"), nullptr);
    EXPECT_EQ(RecordText("gone"), "(none)");
    // A loaded game replays the record onto an empty tree.
    m_screen->DeleteLayer("keep");
    m_screen->Flip();
    CScriptBlock endless(CScriptBlock::kTag, 0, "lytween");
    for (const auto& a : std::map<std::string, std::string>{
             {"id", "keep"}, {"param", "rotate"}, {"to", "90"}, {"msec", "100"}, {"repeat", "-1"}, {"sync", "1"}})
        endless.SetAttribute(a.first, a.second);
    Record()["keep"].push_back(endless);
    const auto state = m_script->GetState();
    m_script->GetSaveData().ReplayLayerRecord();
    EXPECT_EQ(m_script->GetState(), state);  // a replayed sync tween does not wait
    EXPECT_EQ(Next("keep")->GetTweenIds().size(), 1u);
    Record()["keep"].pop_back();
    ASSERT_NE(Next("keep"), nullptr);
    EXPECT_EQ(Next("keep")->GetNextObject()->GetX(), 12);
    EXPECT_EQ(Next("gone"), nullptr);
    EXPECT_EQ(RecordText("keep"), "lyc,file,sprite.png,id,keep | lyprop,id,keep,left,12");

    // The record travels in a game save's archive.
    CSerializer out;
    m_script->GetSaveData().SaveLayerRecord(&out, 7);
    CBinaryStream::CMemoryInfo* image = out.GetMemory();
    ASSERT_NE(image, nullptr);
    std::string bytes(reinterpret_cast<char*>(image->data), static_cast<size_t>(image->size));
    CSaveData other(m_screen.get(), m_script.get());
    other.GetLayerRecord()["stale"].push_back(CScriptBlock(CScriptBlock::kTag, 0, "lyc"));
    CSerializer in;
    in.Attach(bytes.data(), static_cast<unsigned>(bytes.size()));
    other.LoadLayerRecord(&in, 7);
    EXPECT_EQ(other.GetLayerRecord(), Record());
}

TEST_F(LayerTagsTest, TransFadesOrWipesWhileTheScriptWaits) {
    Run("[lyc id=a file=sprite.png]\n[trans type=1 time=64 input=0]\n[var name=one data=1]\n"
        "[trans type=2 rule=rule.png vague=16 time=64]\n[var name=two data=1]\n"
        "[trans type=2 rule=small.png time=64]\n"
        "[trans type=2 rule=norule.png time=32 input=0]\n[var name=three data=1]\n"
        "[trans type=3]\n[var name=four data=1]\n[trans type=0]\n[stop]\n");
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_WAIT);
    EXPECT_TRUE(m_screen->IsInTransition());
    EXPECT_FALSE(Shown("a"));
    Frames(6);
    EXPECT_TRUE(Shown("a"));
    EXPECT_EQ(m_script->GetVariables().GetString("one"), "1");
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_TRANSITION);
    EXPECT_TRUE(m_screen->GetRuleSurface() != nullptr);
    EXPECT_EQ(m_screen->GetVague(), 16);
    Frames(6);
    EXPECT_EQ(m_script->GetVariables().GetString("two"), "1");
    EXPECT_TRUE(
        Logged("main.iet(6): エクスターナルトランジション用のルール画像のサイズがスクリーンと一致していないか、"
               "またはフォーマットが8bitグレースケールではありません。"))
        << AllLines();
    EXPECT_TRUE(
        Logged("main.iet(7): [trans rule=\"norule.png\"] ルール画像を読み込めないため、クロスフェードで代用します。"))
        << AllLines();
    Frames(4);
    EXPECT_EQ(m_script->GetVariables().GetString("three"), "1");
    Frames(2);
    EXPECT_EQ(m_script->GetVariables().GetString("four"), "1");
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_STOP);
}

TEST_F(LayerTagsTest, SavessWritesInsideTheSaveFolderAndRefusesBadSizes) {
    m_dir.Write("shot.png", kestrin_test::ReadFileBytes(m_dir.Path() + "/sprite.png"));
    Run("[stop]\n");
    auto cached = m_screen->GetSurfaceManager()->GetSurface("shot.png");
    m_screen->GetSurfaceManager()->ReleaseSurface(cached.get());
    cached.reset();
    EXPECT_EQ(m_screen->GetSurfaceManager()->GetCachedSurfaces().count("shot.png"), 1u);
    Tag("takess", {});
    Tag("savess", {{"file", "shot"}, {"width", "16"}, {"height", "12"}});
    // A later lyc of the written name must load the new picture.
    EXPECT_EQ(m_screen->GetSurfaceManager()->GetCachedSurfaces().count("shot.png"), 0u);
    Run("[takess]\n[savess file=shot width=16 height=12]\n"
        "[savess file=big width=5000 height=5000]\n[savess file=zero width=0]\n[savess file=neg height=-3]\n"
        "[savess file=../outside]\n[savess file=/tmp/abs]\n[savess file=sub/deep.png]\n"
        "[savess file=wide width=10000 height=20]\n[stop]\n");
    std::string shot = m_dir.Path() + "/save/shot.png";
    EXPECT_TRUE(fs::exists(shot));
    EXPECT_TRUE(fs::exists(m_dir.Path() + "/save/sub/deep.png"));
    EXPECT_FALSE(fs::exists(m_dir.Path() + "/save/big.png"));
    EXPECT_FALSE(fs::exists(m_dir.Path() + "/save/zero.png"));
    EXPECT_FALSE(fs::exists(m_dir.Path() + "/save/neg.png"));
    EXPECT_FALSE(fs::exists(m_dir.Path() + "/outside.png"));
    EXPECT_TRUE(Logged("main.iet(6): [savess file=\"../outside\"] セーブフォルダの外には保存できません。"))
        << AllLines();
    // The tag refuses what the screen cannot write (more pixels than it scales whole), and
    // nothing else: a side longer than the screen's is fine.
    EXPECT_TRUE(Logged("main.iet(3): [savess width=\"5000\" height=\"5000\"] スクリーンショットの大きさが不正です。"))
        << AllLines();
    EXPECT_TRUE(fs::exists(m_dir.Path() + "/save/wide.png")) << AllLines();
}

}  // namespace
