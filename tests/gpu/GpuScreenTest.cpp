// The screen through the hardware renderer on OpenGL (headless: SDL's off-screen driver on
// Mesa): the golden scenes of the software renderer match within a PSNR bound, and a device
// reset re-creates the render targets before the next frame. Without an OpenGL context these
// tests are skipped.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "CORE/CDynamicVariables.h"
#include "CORE/CGameWindow.h"
#include "CORE/CPoint.h"
#include "CORE/RuntimeConfiguration.h"
#include "CORE/CWindow.h"
#include "CORE/WindowMessages.h"
#include "GRAPHICS/CDxLayer.h"
#include "GRAPHICS/CDxRenderer.h"
#include "GRAPHICS/CDxSurface.h"
#include "GRAPHICS/CGraphicRenderer.h"
#include "GRAPHICS/CLayer.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/CPng.h"
#include "GRAPHICS/CRect.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/Platform/SdlRenderDevice.h"
#include "support/GoldenScenes.h"
#include "support/TestSupport.h"

using namespace kestrin;
using kestrin_test::Bgra;
using kestrin_test::PixelFn;
using kestrin_test::ReadFileBytes;
using kestrin_test::TestDataPath;

// SDL's video layer and Mesa keep process-lifetime allocations that are never freed (video is
// not shut down at exit).
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libSDL2-2.0.so\nleak:libEGL\nleak:libGLX\nleak:libglapi\nleak:swrast_dri\nleak:libgallium\n"
           "leak:libLLVM\n";
}

namespace {

// Before anything starts SDL: the off-screen video driver with OpenGL.
const bool kOffscreen = [] {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_RENDER_DRIVER", "opengl", 1);
    // Mesa's software rasteriser is what CI has: these tests are for the OpenGL path.
    RuntimeConfiguration configuration;
    configuration.hardwareRender = true;
    SetRuntimeConfiguration(configuration);
    return true;
}();

// Peak signal-to-noise ratio of the colour channels, in dB (infinite when equal).
double Psnr(CSurface& a, CSurface& b) {
    double sum = 0;
    for (int y = 0; y < a.GetHeight(); ++y)
        for (int x = 0; x < a.GetWidth(); ++x)
            for (int c = 0; c < 3; ++c) {
                const double d = double(a.GetLine(y)[x * 4 + c]) - double(b.GetLine(y)[x * 4 + c]);
                sum += d * d;
            }
    const double mse = sum / (double(a.GetWidth()) * a.GetHeight() * 3);
    return mse == 0 ? std::numeric_limits<double>::infinity() : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// Each golden's floor, about 3 dB under what Mesa's llvmpipe reaches (in brackets): the device
// filters and blends a step off here and there, while anything misplaced by a few pixels falls
// far below (a ball moved by 6 pixels: about 32 dB).
double Floor(const std::string& name) {
    static const struct {
        const char* name;
        double floor;
    } kFloors[] = {
        {"anchor_rotation", 43.0},      // 46.8
        {"mirror_clip_mask", 45.0},     // 48.0
        {"layer_modes_opacity", 43.0},  // 46.8
        {"group_alpha", 44.0},          // 47.2
        {"letterbox_wide", 47.0},       // 50.0
        {"letterbox_tall", 47.0},       // 50.0
        {"sidecut_wide", 38.0},         // 41.4
        {"scaled_exact", 37.0},         // 40.1
        {"rule_t0", 45.0},              // 48.1
        {"rule_t64", 42.0},             // 45.7
        {"rule_t128", 41.0},            // 44.3
        {"rule_t287", 40.0},            // 43.4
        {"text_ruby", 45.0},            // 48.0
        {"text_align", 45.0},           // 48.0
        {"text_kinsoku", 45.0},         // 48.0
        {"text_tween_half", 44.0},      // 47.8
        {"text_link_hover", 43.0},      // 46.8
    };
    for (const auto& f : kFloors)
        if (name == f.name) return f.floor;
    ADD_FAILURE() << "no floor for " << name;
    return std::numeric_limits<double>::infinity();
}

void ExpectLike(CSurface& shot, const std::string& name) {
    const double minimum = Floor(name);
    const std::string bytes = ReadFileBytes(TestDataPath("golden/" + name + ".png"));
    ASSERT_FALSE(bytes.empty()) << "missing golden image " << name;
    CPng png;
    CSurface expected;
    ASSERT_FALSE(png.LoadFromMemory(&expected, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    ASSERT_EQ(expected.GetWidth(), shot.GetWidth()) << name;
    ASSERT_EQ(expected.GetHeight(), shot.GetHeight()) << name;
    const double psnr = Psnr(shot, expected);
    EXPECT_GE(psnr, minimum) << name;
    ::testing::Test::RecordProperty(name, std::to_string(psnr));
    std::printf("%s: %.1f dB\n", name.c_str(), psnr);
}

class GpuScreenTest : public kestrin_test::GoldenSceneTest {
protected:
    void TearDown() override { Close(); }

    void Close() {
        screen.reset();
        if (window) window->Destroy();
        window.reset();
        CDynamicVariables::ReleaseInstance();
    }

    // A logical screen of w x h in a window whose client area is cw x ch; false when the
    // hardware renderer could not start here.
    bool Open(int w, int h, int cw, int ch, bool sideCut = false, bool software = false) {
        CDynamicVariables* v = CDynamicVariables::GetInstance();
        v->SetMap("ApplicationArguments",
                  software ? CDynamicVariables::StringMap{{"fsr", ""}} : CDynamicVariables::StringMap{});
        v->SetInt("ini.Width", w);
        v->SetInt("ini.Height", h);
        v->SetBool("ini.SideCut", sideCut);
        window = std::make_unique<CGameWindow>();
        if (window->Create(0, 0, cw, ch, "KestrinGpuTest", "", kWsPopup, kSwShow, 0)) return false;
        screen = std::make_unique<CMainScreen>(window.get());
        dx = std::dynamic_pointer_cast<CDxRenderer>(screen->GetRenderer()->GetRenderer());
        if (software) return screen->IsSoftware() && screen->IsReady();
        if (!dx || !screen->IsReady()) return false;
        // Mesa stays loaded to the end of the process, so that the leak check can tell its
        // process-lifetime allocations from ours.
        static const bool pinned = SDL_GL_LoadLibrary(nullptr) == 0;
        (void)pinned;
        return true;
    }

    std::shared_ptr<CDxRenderer> dx;
};

#define OPEN_OR_SKIP(...)                                                                               \
    do {                                                                                                \
        if (!Open(__VA_ARGS__))                                                                         \
            GTEST_SKIP() << "no OpenGL context here (SDL offscreen driver, OpenGL render driver): the " \
                            "hardware renderer did not start";                                          \
    } while (0)

}  // namespace

TEST_F(GpuScreenTest, AnchorAndRotationMatchTheSoftwareGolden) {
    OPEN_OR_SKIP(64, 48, 64, 48);
    AnchorRotationScene();
    ExpectLike(Frame(), "anchor_rotation");
}

TEST_F(GpuScreenTest, MirrorClipAndMaskMatchTheSoftwareGolden) {
    OPEN_OR_SKIP(64, 48, 64, 48);
    MirrorClipMaskScene();
    ExpectLike(Frame(), "mirror_clip_mask");
}

TEST_F(GpuScreenTest, LayerModesAndOpacityMatchTheSoftwareGolden) {
    OPEN_OR_SKIP(96, 48, 96, 48);
    LayerModesScene();
    ExpectLike(Frame(), "layer_modes_opacity");
}

TEST_F(GpuScreenTest, GroupAlphaMatchesTheSoftwareGolden) {
    OPEN_OR_SKIP(64, 48, 64, 48);
    GroupAlphaScene();
    ExpectLike(Frame(false), "group_alpha");
}

TEST_F(GpuScreenTest, LetterboxAndSideCutMatchTheSoftwareGoldens) {
    for (const kestrin_test::LetterboxCase& c : kestrin_test::kLetterboxCases) {
        SCOPED_TRACE(c.golden);
        OPEN_OR_SKIP(64, 48, c.cw, c.ch, c.sideCut);
        LetterboxScene();
        ExpectLike(Frame(), c.golden);
        Close();
    }
}

TEST_F(GpuScreenTest, MessageTextMatchesTheSoftwareGoldens) {
    for (const kestrin_test::TextSceneCase& c : kestrin_test::kTextScenes) {
        SCOPED_TRACE(c.golden);
        OPEN_OR_SKIP(320, 120, 320, 120);
        DrawTextScene(c.scene);
        ExpectLike(Frame(), c.golden);
        Close();
    }
}

TEST_F(GpuScreenTest, RuleTransitionsMatchTheSoftwareGoldens) {
    for (int t : kestrin_test::kRuleThresholds) {
        SCOPED_TRACE(t);
        OPEN_OR_SKIP(64, 48, 64, 48);
        RuleScene(t);
        ExpectLike(Frame(false), "rule_t" + std::to_string(t < 0 ? 0 : t));
        Close();
    }
}

// SDL reports a lost device with its reset events: the render targets (the transition picture)
// are made again, the images uploaded again, and the very next frame is right.
TEST_F(GpuScreenTest, DeviceResetRecreatesTargetsAndTheNextFrameIsRight) {
    for (bool deviceReset : {false, true}) {
        SCOPED_TRACE(deviceReset ? "device reset" : "targets reset");
        OPEN_OR_SKIP(64, 48, 64, 48);
        RuleScene(128);
        Frame(false);
        auto* picture = dynamic_cast<CDxSurface*>(screen->GetTransitionLayer()->GetSurface());
        ASSERT_NE(picture, nullptr);
        const IRenderDevice::TextureId before = picture->GetTargetTexture();
        ASSERT_NE(before, 0u);

        ASSERT_FALSE(SdlRenderDevice::PushResetEvent(deviceReset));
        CSurface& shot = Frame(false);
        EXPECT_FALSE(dx->IsDeviceLost());
        EXPECT_NE(picture->GetTargetTexture(), before);
        EXPECT_TRUE(dx->GetDevice()->IsTextureValid(picture->GetTargetTexture()));
        EXPECT_EQ(picture->GetWidth(), 64);
        EXPECT_EQ(picture->GetHeight(), 48);
        EXPECT_EQ(picture->GetPixelBits(), ISurface::kPixel32);
        ExpectLike(shot, "rule_t128");
        Close();
    }
}

// One image shared by a moved layer (exact texels) and a scaled one (filtered) in one frame:
// each draw keeps its own filter.
TEST_F(GpuScreenTest, SharedImageIsFilteredOnlyWhereScaled) {
    OPEN_OR_SKIP(64, 48, 64, 48);
    const PixelFn checker = [](int x, int y) { return ((x + y) & 1) ? Bgra(255, 255, 255) : Bgra(0, 0, 0); };
    std::shared_ptr<ISurface> image = Image(8, 8, checker, ISurface::kPixel32);
    Add("a", image, [](ILayer& l) {
        l.SetX(1);
        l.SetY(1);
    });
    Add("b", image, [](ILayer& l) {
        l.SetX(20);
        l.SetY(1);
        l.SetXScale(65536 * 5 / 2);
        l.SetYScale(65536 * 5 / 2);
    });
    Add("c", image, [](ILayer& l) {
        l.SetX(1);
        l.SetY(20);
    });
    CSurface& shot = Frame();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const uint32_t want = checker(x, y) & 0xFFFFFF;
            EXPECT_EQ(static_cast<uint32_t>(shot.GetPixel(CPoint(1 + x, 1 + y))) & 0xFFFFFF, want) << x << "," << y;
            EXPECT_EQ(static_cast<uint32_t>(shot.GetPixel(CPoint(1 + x, 20 + y))) & 0xFFFFFF, want) << x << "," << y;
        }
    // The scaled copy is filtered: greys between the squares.
    int greys = 0;
    for (int x = 20; x < 40; ++x) {
        const uint32_t g = static_cast<uint32_t>(shot.GetPixel(CPoint(x, 10))) & 0xFF;
        greys += g > 40 && g < 215;
    }
    EXPECT_GT(greys, 4);
}

// 8-bit images draw alike on both renderers: black with the bytes as alpha (darkening in the
// normal, colour-key and multiply modes; add and screen leave the picture as it is).
TEST_F(GpuScreenTest, EightBitImagesDrawAlikeOnBothRenderers) {
    CSurface pictures[2];
    for (int software = 0; software < 2; ++software) {
        if (software) {
            ASSERT_TRUE(Open(96, 24, 96, 24, false, true));
        } else {
            OPEN_OR_SKIP(96, 24, 96, 24);
        }
        Add("0bg", Image(96, 24, [](int x, int y) { return Bgra(200, 100 + y * 4, 255 - x); }));
        for (int mode = 0; mode < 5; ++mode)
            Add("m" + std::to_string(mode),
                Image(
                    16, 16, [](int x, int y) { return uint32_t(x * 16 + y); }, ISurface::kPixel8),
                [mode](ILayer& l) {
                    l.SetX(2 + mode * 19);
                    l.SetY(4);
                    l.SetLayerMode(mode);
                    if (mode == 2) l.SetAlpha(180);
                });
        CSurface& shot = Frame();
        pictures[software].Init(shot.GetWidth(), shot.GetHeight(), ISurface::kPixel32, 0);
        for (int y = 0; y < shot.GetHeight(); ++y)
            std::memcpy(pictures[software].GetLine(y), shot.GetLine(y), size_t(shot.GetWidth()) * 4);
        Close();
    }
    EXPECT_GE(Psnr(pictures[0], pictures[1]), 40.0);
    // The normal mode darkened the background under the image; add left it alone.
    const uint32_t normal = static_cast<uint32_t>(pictures[1].GetPixel(CPoint(2 + 15, 4 + 15))) & 0xFF;
    const uint32_t added = static_cast<uint32_t>(pictures[1].GetPixel(CPoint(36, 19))) & 0xFF;
    const uint32_t below = static_cast<uint32_t>(pictures[1].GetPixel(CPoint(36, 21))) & 0xFF;  // outside
    EXPECT_LT(normal, below);
    EXPECT_EQ(added, below);
}

// Scaled cells of a sprite sheet and turned opaque images draw alike on both renderers: the
// filter holds a cell's edge pixels instead of blending in its neighbour, and outside a turned
// image without alpha (a JPEG, an RGB PNG) the picture stays as it was.
TEST_F(GpuScreenTest, SheetCellsAndTurnedOpaqueImagesDrawAlikeOnBothRenderers) {
    const uint32_t kRed = Bgra(255, 0, 0), kWhite = Bgra(255, 255, 255), kBack = Bgra(0, 0, 160);
    CSurface pictures[2];
    for (int software = 0; software < 2; ++software) {
        if (software) {
            ASSERT_TRUE(Open(96, 48, 96, 48, false, true));
        } else {
            OPEN_OR_SKIP(96, 48, 96, 48);
        }
        Add("0bg", Image(
                       96, 48, [&](int, int) { return kBack; }, ISurface::kPixel32));
        // Two 8 x 8 cells side by side: red, then white; every scaled draw shows the red one.
        const PixelFn sheet = [&](int x, int) { return x < 8 ? kRed : kWhite; };
        for (int bits : {ISurface::kPixel32, ISurface::kPixel32Alpha})
            Add("cell" + std::to_string(bits), Image(16, 8, sheet, bits), [bits](ILayer& l) {
                l.SetClip(CRect(0, 0, 8, 8, true));
                l.SetX(2);
                l.SetY(2 + (bits - 1) * 24);
                l.SetXScale(65536 * 5 / 2);
                l.SetYScale(65536 * 5 / 2);
            });
        // A white opaque square turned by 30 degrees about its centre, in the normal and the
        // colour-key mode.
        for (int mode : {0, 3})
            Add("turn" + std::to_string(mode),
                Image(
                    16, 16, [&](int, int) { return kWhite; }, ISurface::kPixel32),
                [mode](ILayer& l) {
                    l.SetX(mode == 0 ? 40 : 70);
                    l.SetY(10);
                    l.SetAnchorX(8);
                    l.SetAnchorY(8);
                    l.SetRotate(30);
                    l.SetLayerMode(mode);
                    if (auto* layer = dynamic_cast<CLayer*>(&l)) layer->SetColorKey(0x00FF00);
                });
        CSurface& shot = Frame();
        pictures[software].Init(shot.GetWidth(), shot.GetHeight(), ISurface::kPixel32, 0);
        for (int y = 0; y < shot.GetHeight(); ++y)
            std::memcpy(pictures[software].GetLine(y), shot.GetLine(y), size_t(shot.GetWidth()) * 4);
        Close();
    }
    const double psnr = Psnr(pictures[0], pictures[1]);
    std::printf("sheet cells and turned images: %.1f dB\n", psnr);
    EXPECT_GE(psnr, 40.0);
    for (int software = 0; software < 2; ++software) {
        SCOPED_TRACE(software ? "software" : "hardware");
        CSurface& p = pictures[software];
        auto at = [&](int x, int y) { return static_cast<uint32_t>(p.GetPixel(CPoint(x, y))) & 0xFFFFFF; };
        // Within a few steps of 255 (the filter and the alpha blend may each lose one or two).
        auto near = [](uint32_t got, uint32_t want) {
            for (int shift : {0, 8, 16}) {
                const int g = int((got >> shift) & 0xFF), w = int((want >> shift) & 0xFF);
                if (g < w - 6 || g > w + 6) return false;
            }
            return true;
        };
        // The cells' right columns (x 2 + 19) are red, without the white cell's green and blue
        // (a third of it would add about 80 to each).
        for (int y : {3, 12, 21})
            for (int row : {0, 24}) EXPECT_PRED2(near, at(21, y + row), kRed & 0xFFFFFF) << y + row;
        // The corners of the turned squares' boxes keep the background.
        for (int x : {40, 70}) {
            EXPECT_EQ(at(x - 2, 10 - 2), kBack & 0xFFFFFF) << x;
            EXPECT_EQ(at(x + 2, 10 + 16 + 2 - 1), kBack & 0xFFFFFF) << x;
            EXPECT_PRED2(near, at(x + 8, 10 + 8), kWhite & 0xFFFFFF) << x;
        }
    }
}
