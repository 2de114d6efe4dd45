// The screen through the software renderer in a real (SDL dummy-driver) window: golden images of
// small scenes, the viewport mapping, rule masks, message layers, layer deletion, resizing and
// screenshots.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CORE/CDynamicVariables.h"
#include "CORE/CGameWindow.h"
#include "CORE/CWindow.h"
#include "CORE/Platform/IFileSystem.h"
#include "CORE/Platform/PosixFileSystem.h"
#include "CORE/WindowMessages.h"
#include "GRAPHICS/CDisplayObject.h"
#include "GRAPHICS/CGraphicRenderer.h"
#include "GRAPHICS/CLayer.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/CPng.h"
#include "GRAPHICS/CRect.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/ILayerFactory.h"
#include "GRAPHICS/ISurfaceFactory.h"
#include "support/TestSupport.h"

using namespace kestrin;
using kestrin_test::ReadFileBytes;
using kestrin_test::TempDir;
using kestrin_test::TestDataPath;

namespace {

using PixelFn = std::function<uint32_t(int, int)>;

uint32_t Bgra(int r, int g, int b, int a = 255) {
    return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

class ScreenTest : public ::testing::Test {
protected:
    void TearDown() override {
        screen.reset();
        if (window)
            window->Destroy();
        window.reset();
        CDynamicVariables::ReleaseInstance();
    }

    // A logical screen of w x h in a window whose client area is cw x ch.
    void Open(int w, int h, int cw, int ch, bool sideCut = false) {
        CDynamicVariables* v = CDynamicVariables::GetInstance();
        v->SetInt("ini.Width", w);
        v->SetInt("ini.Height", h);
        v->SetBool("ini.SideCut", sideCut);
        window = std::make_unique<CGameWindow>();
        ASSERT_FALSE(window->Create(0, 0, cw, ch, "KestrinScreenTest", "", kWsPopup, kSwShow, 0));
        screen = std::make_unique<CMainScreen>(window.get());
        ASSERT_TRUE(screen->IsReady());
    }

    std::shared_ptr<ISurface> Image(int w, int h, const PixelFn& fn, int bits = ISurface::kPixel32Alpha) {
        std::shared_ptr<ISurface> s = screen->GetSurfaceFactory()->Create();
        EXPECT_FALSE(s->Init(w, h, bits, 0));
        for (int y = 0; y < h; ++y) {
            uint8_t* row = s->GetLine(y);
            for (int x = 0; x < w; ++x) {
                const uint32_t p = fn(x, y);
                if (bits == ISurface::kPixel8)
                    row[x] = uint8_t(p);
                else
                    std::memcpy(row + x * 4, &p, 4);
            }
        }
        return s;
    }

    // A layer showing image, hung into the next generation at path.
    std::shared_ptr<ILayer> Add(const std::string& path, const std::shared_ptr<ISurface>& image,
                                const std::function<void(ILayer&)>& setup = nullptr) {
        std::shared_ptr<ILayer> layer = screen->GetLayerFactory()->Create();
        layer->SetSurface(image);
        if (setup)
            setup(*layer);
        screen->GetRootLayer()->AddChild(path, std::make_shared<COruLayer>(screen->GetSurfaceManager(), layer));
        return layer;
    }

    // Commits, runs one frame and captures it.
    CSurface& Frame(bool flip = true) {
        if (flip)
            screen->Flip();
        screen->Update();
        screen->Draw();
        screen->TakeScreenshot();
        return *screen->GetScreenshotSurface();
    }

    // A diagonal colour ramp, opaque.
    std::shared_ptr<ISurface> Background() {
        return Image(screen->GetWidth(), screen->GetHeight(),
                     [](int x, int y) { return Bgra(x * 4 % 256, y * 5 % 256, 96); });
    }
    // A 16 x 16 sprite: four coloured quadrants, alpha falling towards the right edge.
    std::shared_ptr<ISurface> Sprite() {
        return Image(16, 16, [](int x, int y) {
            const int a = 255 - x * 8;
            if (y < 8)
                return x < 8 ? Bgra(255, 0, 0, a) : Bgra(0, 255, 0, a);
            return x < 8 ? Bgra(0, 0, 255, a) : Bgra(255, 255, 255, a);
        });
    }

    std::unique_ptr<CGameWindow> window;
    std::unique_ptr<CMainScreen> screen;
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
    Add("0bg", Background());
    Add("1a", Sprite(), [](ILayer& l) {  // a quarter turn about its centre
        l.SetX(4);
        l.SetY(4);
        l.SetAnchorX(8);
        l.SetAnchorY(8);
        l.SetRotate(90);
    });
    Add("1b", Sprite(), [](ILayer& l) {  // 30 degrees about its top-left corner, doubled
        l.SetX(36);
        l.SetY(6);
        l.SetRotate(30);
        l.SetXScale(2 * 65536);
    });
    Add("1c", Sprite(), [](ILayer& l) {  // 45 degrees about its centre, half size
        l.SetX(8);
        l.SetY(26);
        l.SetAnchorX(8);
        l.SetAnchorY(8);
        l.SetRotate(-45);
        l.SetYScale(32768);
    });
    ExpectGolden(Frame(), "anchor_rotation");
}

TEST_F(ScreenTest, GoldenMirrorClipAndMask) {
    Open(64, 48, 64, 48);
    Add("0bg", Background());
    Add("1", Sprite(), [](ILayer& l) { l.SetX(2); l.SetY(2); });
    // Mirrored about their centres, so that they stay in place.
    Add("2", Sprite(), [](ILayer& l) {
        l.SetX(22);
        l.SetY(2);
        l.SetAnchorX(8);
        l.SetReverseX(true);
    });
    Add("3", Sprite(), [](ILayer& l) {
        l.SetX(42);
        l.SetY(2);
        l.SetAnchorY(8);
        l.SetReverseY(true);
    });
    Add("4", Sprite(), [](ILayer& l) {  // only the centre 8 x 8, at (2, 26)
        l.SetX(2);
        l.SetY(26);
        l.SetClip(CRect(4, 4, 8, 8, true));
    });
    std::shared_ptr<ISurface> opaque = Image(16, 16, [](int x, int y) { return Bgra(255, x * 16, y * 16); });
    std::shared_ptr<ISurface> mask = Image(16, 16, [](int x, int y) { return uint32_t((x + y) * 8); },
                                           ISurface::kPixel8);
    Add("5", opaque, [&](ILayer& l) {
        l.SetX(22);
        l.SetY(26);
        l.SetMask(mask);
    });
    Add("6", opaque, [&](ILayer& l) {  // a masked image mirrored and rotated keeps its mask
        l.SetX(42);
        l.SetY(26);
        l.SetMask(mask);
        l.SetAnchorX(8);
        l.SetAnchorY(8);
        l.SetRotate(90);
        l.SetReverseX(true);
    });
    ExpectGolden(Frame(), "mirror_clip_mask");
}

TEST_F(ScreenTest, GoldenLayerModesAndOpacity) {
    Open(96, 48, 96, 48);
    Add("0bg", Background());
    // Normal, add, multiply, colour key (white is keyed out) and screen, each twice: in full
    // and at 40 % opacity below.
    for (int mode = 0; mode < 5; ++mode) {
        for (int faded = 0; faded < 2; ++faded) {
            const std::string name = "m" + std::to_string(mode) + std::to_string(faded);
            Add(name, Sprite(), [&](ILayer& l) {
                l.SetX(2 + mode * 19);
                l.SetY(4 + faded * 22);
                l.SetLayerMode(mode);
                if (faded)
                    l.SetAlpha(102);
                if (mode == 3)
                    static_cast<CLayer&>(l).SetColorKey(0xFFFFFF);
            });
        }
    }
    ExpectGolden(Frame(), "layer_modes_opacity");
}

TEST_F(ScreenTest, GoldenGroupAlphaCombines) {
    Open(64, 48, 64, 48);
    Add("0bg", Background());
    Add("g.s", Sprite(), [](ILayer& l) { l.SetX(4); l.SetY(4); l.SetAlpha(128); });
    Add("h.s", Sprite(), [](ILayer& l) { l.SetX(36); l.SetY(4); });
    screen->Flip();
    screen->GetRootLayer()->GetChild("g")->SetAlpha(128);  // 128 x 128 / 255 in all
    screen->GetRootLayer()->GetChild("h")->SetAlpha(64);
    screen->GetRootLayer()->GetChild("h")->SetX(-8);
    ExpectGolden(Frame(false), "group_alpha");
}

TEST_F(ScreenTest, GoldenLetterboxAndSideCut) {
    struct Case {
        const char* golden;
        int cw, ch;
        bool sideCut;
    } cases[] = {
        {"letterbox_wide", 96, 48, false},  // bars left and right
        {"letterbox_tall", 64, 72, false},  // bars top and bottom
        {"sidecut_wide", 96, 48, true},     // filled, top and bottom cut
        {"scaled_exact", 128, 96, false},   // same aspect: scaled, no bars
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.golden);
        Open(64, 48, c.cw, c.ch, c.sideCut);
        // Bright at the logical edges, so that bars and cuts show.
        Add("0bg", Image(64, 48, [](int x, int y) {
            return (x == 0 || y == 0 || x == 63 || y == 47) ? Bgra(255, 255, 0) : Bgra(40, 80 + y, 120 + x);
        }));
        Add("1", Sprite(), [](ILayer& l) { l.SetX(24); l.SetY(16); });
        ExpectGolden(Frame(), c.golden);
        TearDown();
    }
}

TEST_F(ScreenTest, GoldenRuleTransitionAtThresholds) {
    const int thresholds[] = {-32, 64, 128, 287};
    for (int t : thresholds) {
        SCOPED_TRACE(t);
        Open(64, 48, 64, 48);
        Add("bg", Image(64, 48, [](int, int) { return Bgra(200, 30, 30); }));
        Frame();
        // The next picture, waiting for the commit that ends the transition.
        Add("bg", Image(64, 48, [](int x, int y) { return Bgra(20, 40 + y, 220 - x); }));
        Add("fg", Sprite(), [](ILayer& l) { l.SetX(24); l.SetY(16); });
        std::shared_ptr<ISurface> rule = Image(64, 48, [](int x, int y) { return uint32_t(x * 3 + (y / 12) * 8); },
                                               ISurface::kPixel8);
        screen->SetRuleSurface(rule);
        screen->SetVague(32);
        screen->SetRuleThreshold(t);
        screen->SetInTransition(true);
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
        {64, 0, {255, 255, 255, 0, 0, 0, 0, 0}},           // hard edge: at or below the threshold
        {96, 32, {255, 255, 255, 132, 128, 4, 0, 0}},      // (128 - r) x 4 between 64 and 128
        {-32, 32, {0, 0, 0, 0, 0, 0, 0, 0}},               // the start: nothing shows
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
    screen->SetMessageLayerMaker([&](const std::string&) {
        ++made;
        return std::make_shared<StandIn>(&drawn);
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
        "tree", std::make_shared<COruLayer>(screen->GetSurfaceManager(), std::make_shared<Probe>("tree", &log)));
    screen->GetUIControls()["slider"] = std::make_unique<Probe>("control", &log);
    screen->SetMessageLayerMaker([&](const std::string&) { return std::make_shared<Probe>("message", &log); });
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
    SetFileSystem(&full);
    EXPECT_TRUE(screen->SaveScreenshot("shots/plain", 16, 12));
    SetFileSystem(nullptr);
    EXPECT_EQ(ReadFileBytes(dir.Path() + "/shots/plain.png"), before);
    EXPECT_TRUE(ReadFileBytes(dir.Path() + "/shots/plain.png.tmp").empty());
    std::FILE* leftover = std::fopen((dir.Path() + "/shots/plain.png.tmp").c_str(), "rb");
    EXPECT_EQ(leftover, nullptr);
    if (leftover)
        std::fclose(leftover);

    // A name that is a folder cannot be replaced: failure, and the folder is untouched.
    dir.Write("taken.png/keep", "x");
    EXPECT_TRUE(screen->SaveScreenshot("taken", 16, 12));
    EXPECT_EQ(ReadFileBytes(dir.Path() + "/taken.png/keep"), "x");
}
