// The screen through the software renderer (asked for, whatever video driver runs) in a real
// window: golden images of small scenes, the viewport mapping of the picture and of the mouse,
// rule masks, message layers, layer deletion, resizing and screenshots.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CGameWindow.h"
#include "CORE/CPoint.h"
#include "CORE/CWindow.h"
#include "CORE/Platform/IFileSystem.h"
#include "CORE/Platform/PosixFileSystem.h"
#include "CORE/WindowMessages.h"
#include "GRAPHICS/CDisplayObject.h"
#include "GRAPHICS/CGraphicRenderer.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/CPng.h"
#include "GRAPHICS/CRect.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/IMessageLayer.h"
#include "GRAPHICS/Platform/HeadlessFramePresenter.h"
#include "LayerTestSupport.h"
#include "support/GoldenScenes.h"
#include "support/TestSupport.h"

using namespace kestrin;
using kestrin_test::ReadFileBytes;
using kestrin_test::TempDir;
using kestrin_test::TestDataPath;

namespace {

class ScreenTest : public kestrin_test::GoldenSceneTest {
protected:
    // Installed for the window's whole life: a test that swaps one service for a while gets
    // these same instances back, not fresh ones under its open window.
    PlatformServicesScope platformServices{PlatformServicesInEffect()};

    void TearDown() override {
        screen.reset();
        if (window) window->Destroy();
        window.reset();
        CDynamicVariables::ReleaseInstance();
    }

    // A logical screen of w x h in a window whose client area is cw x ch, on the software
    // renderer.
    void Open(int w, int h, int cw, int ch, bool sideCut = false) {
        CDynamicVariables* v = CDynamicVariables::GetInstance();
        v->SetMap("ApplicationArguments", CDynamicVariables::StringMap{{"fsr", ""}});
        v->SetInt("ini.Width", w);
        v->SetInt("ini.Height", h);
        v->SetBool("ini.SideCut", sideCut);
        window = std::make_unique<CGameWindow>();
        ASSERT_FALSE(window->Create(0, 0, cw, ch, "KestrinScreenTest", "", kWsPopup, kSwShow, 0));
        screen = std::make_unique<CMainScreen>(window.get());
        ASSERT_TRUE(screen->IsReady());
        ASSERT_TRUE(screen->IsSoftware());
    }
};

// Compares a capture with tests/data/golden/<name>.png within 2 per channel; with
// KESTRIN_UPDATE_GOLDEN set, writes the capture there instead.
void ExpectGolden(CSurface& shot, const std::string& name) {
    const std::string path = TestDataPath("golden/" + name + ".png");
    if (std::getenv("KESTRIN_UPDATE_GOLDEN")) {
        CPng png;
        CPng::SOutputBuffer out;
        out.capacity = 4096;
        out.data = new uint8_t[out.capacity];
        const bool failed = png.Save(&shot, out, 9);
        std::unique_ptr<uint8_t[]> keep(out.data);
        ASSERT_FALSE(failed);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr) << path;
        std::fwrite(out.data, 1, out.length, f);
        std::fclose(f);
        return;
    }
    const std::string bytes = ReadFileBytes(path);
    ASSERT_FALSE(bytes.empty()) << "missing golden image " << path;
    CPng png;
    CSurface expected;
    ASSERT_FALSE(png.LoadFromMemory(&expected, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    ASSERT_EQ(expected.GetWidth(), shot.GetWidth()) << name;
    ASSERT_EQ(expected.GetHeight(), shot.GetHeight()) << name;
    int worst = 0, wx = 0, wy = 0;
    for (int y = 0; y < shot.GetHeight(); ++y)
        for (int x = 0; x < shot.GetWidth(); ++x)
            for (int c = 0; c < 3; ++c) {
                const int d = std::abs(int(shot.GetLine(y)[x * 4 + c]) - int(expected.GetLine(y)[x * 4 + c]));
                if (d > worst) {
                    worst = d;
                    wx = x;
                    wy = y;
                }
            }
    EXPECT_LE(worst, 2) << name << ": differs by " << worst << " at (" << wx << ", " << wy << ")";
}

}  // namespace

TEST_F(ScreenTest, GoldenAnchorAndRotation) {
    Open(64, 48, 64, 48);
    AnchorRotationScene();
    ExpectGolden(Frame(), "anchor_rotation");
}

TEST_F(ScreenTest, GoldenMirrorClipAndMask) {
    Open(64, 48, 64, 48);
    MirrorClipMaskScene();
    ExpectGolden(Frame(), "mirror_clip_mask");
}

TEST_F(ScreenTest, GoldenLayerModesAndOpacity) {
    Open(96, 48, 96, 48);
    LayerModesScene();
    ExpectGolden(Frame(), "layer_modes_opacity");
}

TEST_F(ScreenTest, GoldenGroupAlphaCombines) {
    Open(64, 48, 64, 48);
    GroupAlphaScene();
    ExpectGolden(Frame(false), "group_alpha");
}

TEST_F(ScreenTest, GoldenLetterboxAndSideCut) {
    for (const kestrin_test::LetterboxCase& c : kestrin_test::kLetterboxCases) {
        SCOPED_TRACE(c.golden);
        Open(64, 48, c.cw, c.ch, c.sideCut);
        LetterboxScene();
        ExpectGolden(Frame(), c.golden);
        TearDown();
    }
}

// Message text drawn by a message layer of the screen: ruby, the alignments, a prohibited
// character carried off the line head, a fade-in halfway and a link under the pointer.
TEST_F(ScreenTest, GoldenMessageText) {
    for (const kestrin_test::TextSceneCase& c : kestrin_test::kTextScenes) {
        SCOPED_TRACE(c.golden);
        Open(320, 120, 320, 120);
        DrawTextScene(c.scene);
        ExpectGolden(Frame(), c.golden);
        TearDown();
    }
}

TEST_F(ScreenTest, GoldenRuleTransitionAtThresholds) {
    for (int t : kestrin_test::kRuleThresholds) {
        SCOPED_TRACE(t);
        Open(64, 48, 64, 48);
        RuleScene(t);
        CSurface& shot = Frame(false);
        ExpectGolden(shot, "rule_t" + std::to_string(t < 0 ? 0 : t));
        // The end of the transition shows the new tree alone and drops the rule.
        screen->Flip();
        EXPECT_FALSE(screen->IsInTransition());
        EXPECT_EQ(screen->GetRuleSurface(), nullptr);
        EXPECT_EQ(screen->GetTransitionLayer()->GetMask(), nullptr);
        EXPECT_EQ(screen->GetRootLayer()->GetChildren().count("fg"), 1u);
        TearDown();
    }
}

TEST_F(ScreenTest, ViewportByTable) {
    struct Case {
        int w, h, cw, ch;
        bool sideCut;
        float scale, xOffset, yOffset;
        bool bars;
        int barW, barH, secondX, secondY;
    } cases[] = {
        {64, 48, 64, 48, false, 1.0f, 0, 0, false, 0, 0, 0, 0},
        {64, 48, 100, 48, false, 1.0f, 18, 0, true, 18, 48, 82, 0},
        {64, 48, 97, 48, false, 1.0f, 16.5f, 0, true, 17, 48, 80, 0},
        {64, 48, 64, 60, false, 1.0f, 0, 6, true, 64, 6, 0, 54},
        {64, 48, 128, 48, true, 2.0f, 0, -24, false, 0, 0, 0, 0},
        {64, 48, 32, 48, true, 1.0f, -16, 0, false, 0, 0, 0, 0},
        {64, 48, 32, 24, false, 0.5f, 0, 0, false, 0, 0, 0, 0},
        {0, 0, 80, 40, false, 1.0f, 0, 0, false, 0, 0, 0, 0},  // 0: the client size
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.cw) + "x" + std::to_string(c.ch) + (c.sideCut ? " cut" : ""));
        Open(c.w, c.h, c.cw, c.ch, c.sideCut);
        if (c.w == 0) {
            EXPECT_EQ(screen->GetWidth(), c.cw);
            EXPECT_EQ(screen->GetHeight(), c.ch);
        }
        EXPECT_FLOAT_EQ(screen->GetScreenScale(), c.scale);
        EXPECT_FLOAT_EQ(screen->GetXOffset(), c.xOffset);
        EXPECT_FLOAT_EQ(screen->GetYOffset(), c.yOffset);
        EXPECT_EQ(screen->GetFirstBarLayer()->IsVisible(), c.bars);
        EXPECT_EQ(screen->GetSecondBarLayer()->IsVisible(), c.bars);
        if (c.bars) {
            ISurface* bar = screen->GetFirstBarLayer()->GetSurface();
            EXPECT_EQ(bar->GetWidth(), c.barW);
            EXPECT_EQ(bar->GetHeight(), c.barH);
            EXPECT_EQ(static_cast<uint32_t>(bar->GetPixel(CPoint(0, 0))), 0xFF000000u);
            EXPECT_EQ(screen->GetSecondBarLayer()->GetX(), c.secondX);
            EXPECT_EQ(screen->GetSecondBarLayer()->GetY(), c.secondY);
        }
        TearDown();
    }
}

// The viewport gives the input its scale and offset: a client point inside the picture maps to
// the game pixel drawn there, with bars, cut sides and scaling.
TEST(ScreenInput, ViewportMapsTheMouseToGamePixelsByTable) {
    struct Case {
        int w, h, cw, ch;
        bool sideCut;
        int clientX, clientY, gameX, gameY;
    } cases[] = {
        {64, 48, 64, 48, false, 10, 20, 10, 20},  // same size
        {64, 48, 100, 48, false, 18, 0, 0, 0},    // bars left and right
        {64, 48, 100, 48, false, 81, 47, 63, 47},
        {64, 48, 64, 60, false, 10, 6, 10, 0},  // bars above and below
        {64, 48, 64, 60, false, 63, 53, 63, 47},
        {64, 48, 160, 96, false, 16, 0, 0, 0},  // twice the size, bars left and right
        {64, 48, 160, 96, false, 142, 94, 63, 47},
        {64, 48, 128, 48, true, 0, 0, 0, 12},  // top and bottom cut off, twice the size
        {64, 48, 128, 48, true, 64, 24, 32, 24},
        {64, 48, 32, 48, true, 0, 0, 16, 0},     // sides cut off
        {64, 48, 32, 24, false, 10, 5, 20, 10},  // half the size
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.cw) + "x" + std::to_string(c.ch) + (c.sideCut ? " cut " : " ") +
                     std::to_string(c.clientX) + "," + std::to_string(c.clientY));
        layertest::FakeMouse mouse;
        CDynamicVariables* v = CDynamicVariables::GetInstance();
        v->SetMap("ApplicationArguments", CDynamicVariables::StringMap{{"fsr", ""}});
        v->SetInt("ini.Width", c.w);
        v->SetInt("ini.Height", c.h);
        v->SetBool("ini.SideCut", c.sideCut);
        {
            CMainScreen screen(nullptr, std::make_shared<HeadlessFramePresenter>(0, c.cw, c.ch));
            ASSERT_TRUE(screen.IsReady());
            mouse.Frame(c.clientX, c.clientY, false);
            EXPECT_EQ(mouse.input->GetMousePoint().GetX(), c.gameX);
            EXPECT_EQ(mouse.input->GetMousePoint().GetY(), c.gameY);
        }
        CDynamicVariables::ReleaseInstance();
    }
}

TEST_F(ScreenTest, ResizeFollowsTheClientAreaAndIgnoresZero) {
    Open(64, 48, 64, 48);
    window->NoteClientSize(0, 0);  // minimised
    screen->OnResize();
    EXPECT_EQ(screen->GetRenderer()->GetWidth(), 64);
    EXPECT_FLOAT_EQ(screen->GetScreenScale(), 1.0f);

    GetWindowSystem().SetClientSize(window->GetHandle(), 128, 48);
    window->NoteClientSize(128, 48);
    screen->SetInTransition(true);
    screen->SetRecapture(false);
    screen->OnResize();
    EXPECT_EQ(screen->GetRenderer()->GetWidth(), 128);
    EXPECT_FLOAT_EQ(screen->GetXOffset(), 32.0f);
    EXPECT_TRUE(screen->GetFirstBarLayer()->IsVisible());
    EXPECT_TRUE(screen->IsRecapture());
}

TEST_F(ScreenTest, FirstTwoFramesClearTheBackBuffer) {
    Open(64, 48, 64, 48);
    Add("s", Sprite());  // covers only the top-left corner
    screen->Flip();
    auto* back = dynamic_cast<CSurface*>(screen->GetRenderer()->GetRenderer().get());
    ASSERT_NE(back, nullptr);
    for (int frame = 0; frame < 3; ++frame) {
        back->Fill(0xFF123456u);
        screen->Draw();
        const uint32_t corner = static_cast<uint32_t>(back->GetPixel(CPoint(63, 47)));
        EXPECT_EQ(corner & 0xFFFFFF, frame < 2 ? 0u : 0x123456u) << "frame " << frame;
    }
}

TEST(RuleMask, ValuesByTable) {
    CSurface rule;
    ASSERT_FALSE(rule.Init(8, 1, 0, 0));
    const uint8_t values[8] = {0, 63, 64, 95, 96, 127, 128, 255};
    std::memcpy(rule.GetLine(0), values, 8);
    struct Case {
        int threshold, vague;
        uint8_t expected[8];
    } cases[] = {
        {64, 0, {255, 255, 255, 0, 0, 0, 0, 0}},              // hard edge: at or below the threshold
        {96, 32, {255, 255, 255, 132, 128, 4, 0, 0}},         // (128 - r) x 4 between 64 and 128
        {-32, 32, {0, 0, 0, 0, 0, 0, 0, 0}},                  // the start: nothing shows
        {287, 32, {255, 255, 255, 255, 255, 255, 255, 255}},  // the end: everything
    };
    for (const Case& c : cases) {
        CSurface mask8;
        ASSERT_FALSE(mask8.Init(8, 1, 0, 0));
        CMainScreen::BuildRuleMask(&mask8, &rule, c.threshold, c.vague);
        CSurface mask32;
        ASSERT_FALSE(mask32.Init(8, 1, 2, 0));
        mask32.Fill(0x00ABCDEFu);
        CMainScreen::BuildRuleMask(&mask32, &rule, c.threshold, c.vague);
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(mask8.GetLine(0)[x], c.expected[x]) << "t " << c.threshold << " x " << x;
            EXPECT_EQ(static_cast<uint32_t>(mask32.GetPixel(CPoint(x, 0))), uint32_t(c.expected[x]) << 24 | 0xABCDEF);
        }
    }
    // A mask without alpha is left alone; a rule larger than the mask is read only where both are.
    CSurface plain;
    ASSERT_FALSE(plain.Init(4, 1, 1, 0));
    plain.Fill(0x11223344u);
    CMainScreen::BuildRuleMask(&plain, &rule, 300, 0);
    EXPECT_EQ(plain.GetPixel(CPoint(3, 0)), 0x11223344);
    CSurface small;
    ASSERT_FALSE(small.Init(2, 1, 0, 0));
    CMainScreen::BuildRuleMask(&small, &rule, 300, 0);
    EXPECT_EQ(small.GetLine(0)[1], 255);
}

TEST_F(ScreenTest, MessageLayersAreHostedAtMostOnce) {
    Open(64, 48, 64, 48);
    int made = 0;
    std::vector<std::string> drawn;
    struct StandIn : CDisplayObject {
        explicit StandIn(std::vector<std::string>* log) : log(log) {}
        void OnDraw(const CMatrix2D&, float, int32_t) override { log->push_back("drawn"); }
        std::vector<std::string>* log;
    };
    screen->SetTextLayerFactory([&](CMainScreen&) {
        ++made;
        CMainScreen::SMessageLayer layer;
        layer.object = std::make_shared<StandIn>(&drawn);
        return layer;
    });
    COruLayer* root = screen->GetRootLayer();
    screen->ChangeMessageLayer("message0", 1);
    screen->ChangeMessageLayer("message0", 1);
    EXPECT_EQ(made, 1);
    EXPECT_TRUE(screen->GetMessageLayers().at("message0").hosted);
    EXPECT_NE(root->GetChild("message0"), nullptr);
    EXPECT_TRUE(dynamic_cast<COruLayer*>(root->GetChild("message0"))->IsImmediate());
    // No text renderer exists yet: the current message layer stays null.
    EXPECT_EQ(screen->GetCurrentMessageLayer(), nullptr);

    screen->Flip();
    screen->Draw();
    EXPECT_EQ(drawn.size(), 1u);  // through the tree only

    screen->ChangeMessageLayer("message0", -1);
    EXPECT_FALSE(screen->GetMessageLayers().at("message0").hosted);
    EXPECT_EQ(root->GetChild("message0"), nullptr);
    screen->Flip();
    drawn.clear();
    screen->Draw();
    EXPECT_EQ(drawn.size(), 1u);  // now by the screen, above the tree

    screen->ChangeMessageLayer("message1", 0);  // made, left out of the tree
    EXPECT_EQ(root->GetChild("message1"), nullptr);
    EXPECT_EQ(made, 2);
}

// The screen keeps any message layer the factory makes, text or not, and hands the same one
// back each time its name is made current.
TEST_F(ScreenTest, MessageLayersComeBackAsTheFactoryMadeThem) {
    Open(64, 48, 64, 48);
    struct StandIn : IMessageLayer {};
    std::vector<IMessageLayer*> made;
    screen->SetTextLayerFactory([&](CMainScreen&) {
        CMainScreen::SMessageLayer layer;
        auto text = std::make_shared<StandIn>();
        made.push_back(text.get());
        layer.renderer = text;
        return layer;
    });
    screen->ChangeMessageLayer("a", 0);
    screen->ChangeMessageLayer("b", 1);
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(screen->GetCurrentMessageLayer(), made[1]);
    screen->ChangeMessageLayer("a", 0);
    EXPECT_EQ(screen->GetCurrentMessageLayer(), made[0]);
    EXPECT_EQ(screen->GetMessageLayers().at("b").renderer.get(), made[1]);
    EXPECT_EQ(made.size(), 2u);
}

TEST_F(ScreenTest, PassesSkipTheTreeDuringTransitionsAndDrawControlsAbove) {
    Open(64, 48, 64, 48);
    std::vector<std::string> log;
    struct Probe : CDisplayObject {
        Probe(std::string n, std::vector<std::string>* l) : name(std::move(n)), log(l) {}
        void OnUpdate(const CMatrix2D&, float, int32_t) override { log->push_back("u:" + name); }
        void OnDraw(const CMatrix2D&, float, int32_t) override { log->push_back("d:" + name); }
        std::string name;
        std::vector<std::string>* log;
    };
    screen->GetRootLayer()->AddChild(
        "tree", COruLayer::COruLayerWithObject(screen->GetSurfaceManager(), std::make_shared<Probe>("tree", &log)));
    screen->GetUIControls()["slider"] = std::make_unique<Probe>("control", &log);
    screen->SetTextLayerFactory([&](CMainScreen&) {
        CMainScreen::SMessageLayer layer;
        layer.object = std::make_shared<Probe>("message", &log);
        return layer;
    });
    screen->ChangeMessageLayer("message0", 0);
    screen->Flip();
    screen->Update();
    screen->Draw();
    EXPECT_EQ(log, (std::vector<std::string>{"u:tree", "u:control", "u:message", "d:tree", "d:control", "d:message"}));
    log.clear();
    // During a transition nothing is updated; the next tree is captured once, under the controls.
    screen->SetInTransition(true);
    screen->Update();
    screen->Draw();
    screen->Invalidate();  // as after an expose: drawn again, over the picture captured before
    screen->Draw();
    EXPECT_EQ(log, (std::vector<std::string>{"d:tree", "d:tree", "d:control", "d:message", "d:tree", "d:control",
                                             "d:message"}));
}

TEST_F(ScreenTest, DeleteLayerListsWhatGoes) {
    Open(64, 48, 64, 48);
    Add("a", Sprite());
    Add("g.b", Sprite());
    Add("g.c.d", Sprite());
    screen->Flip();
    std::vector<std::string> names{"before"};
    screen->DeleteLayer("g", &names);
    EXPECT_EQ(names, (std::vector<std::string>{"before", "g", "g.b", "g.c", "g.c.d"}));
    EXPECT_EQ(screen->GetRootLayer()->GetChildren().count("g"), 1u);  // until the commit
    screen->Flip();
    EXPECT_EQ(screen->GetRootLayer()->GetChildren().count("g"), 0u);
    screen->DeleteLayer("nothing", nullptr);
    screen->DeleteLayer("a.b", &names);
    EXPECT_EQ(names.size(), 5u);
}

namespace {

// Every file opened for writing is the full device: writes fail when flushed.
class FullDisk : public PosixFileSystem {
public:
    std::FILE* OpenWrite(const std::string&) override { return std::fopen("/dev/full", "wb"); }
    bool SyncFile(std::FILE*) override {
        errno = ENOSPC;
        return true;
    }
};

std::string DecodeSize(const std::string& bytes) {
    CPng png;
    CSurface s;
    if (bytes.empty() || png.LoadFromMemory(&s, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
        return "not png";
    return std::to_string(s.GetWidth()) + "x" + std::to_string(s.GetHeight());
}

}  // namespace

TEST_F(ScreenTest, ScreenshotsAreWrittenWholeOrNotAtAll) {
    Open(64, 48, 64, 48);
    TempDir dir;
    CDynamicVariables::GetInstance()->SetString("SaveDataPath", dir.Path());
    EXPECT_TRUE(screen->SaveScreenshot("early", 32, 24));  // nothing captured yet
    Add("bg", Background());
    Frame();

    EXPECT_FALSE(screen->SaveScreenshot("shots/plain", 32, 24));
    EXPECT_EQ(DecodeSize(ReadFileBytes(dir.Path() + "/shots/plain.png")), "32x24");
    EXPECT_FALSE(screen->SaveScreenshot("other.bmp", 128, 96));  // another extension stays, PNG inside
    EXPECT_EQ(DecodeSize(ReadFileBytes(dir.Path() + "/other.bmp")), "128x96");
    EXPECT_TRUE(screen->SaveScreenshot("zero", 0, 24));
    EXPECT_TRUE(screen->SaveScreenshot("huge", 100000, 100000));
    EXPECT_TRUE(ReadFileBytes(dir.Path() + "/huge.png").empty());

    // A failing write keeps the earlier file and leaves nothing beside it.
    const std::string before = ReadFileBytes(dir.Path() + "/shots/plain.png");
    FullDisk full;
    {
        SPlatformServices services = PlatformServicesInEffect();
        services.fileSystem = Unowned(full);
        PlatformServicesScope fullDisk(services);
        EXPECT_TRUE(screen->SaveScreenshot("shots/plain", 16, 12));
    }
    EXPECT_EQ(ReadFileBytes(dir.Path() + "/shots/plain.png"), before);
    EXPECT_TRUE(ReadFileBytes(dir.Path() + "/shots/plain.png.tmp").empty());
    std::FILE* leftover = std::fopen((dir.Path() + "/shots/plain.png.tmp").c_str(), "rb");
    EXPECT_EQ(leftover, nullptr);
    if (leftover) std::fclose(leftover);

    // A name that is a folder cannot be replaced: failure, and the folder is untouched.
    dir.Write("taken.png/keep", "x");
    EXPECT_TRUE(screen->SaveScreenshot("taken", 16, 12));
    EXPECT_EQ(ReadFileBytes(dir.Path() + "/taken.png/keep"), "x");
}
