#include "support/GoldenScenes.h"

#include <cstring>

#include "GRAPHICS/CLayer.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/CRect.h"
#include "GRAPHICS/ILayerFactory.h"
#include "GRAPHICS/ISurfaceFactory.h"

using namespace kestrin;

namespace kestrin_test {

uint32_t Bgra(int r, int g, int b, int a) {
    return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

const LetterboxCase kLetterboxCases[4] = {
    {"letterbox_wide", 96, 48, false},  // bars left and right
    {"letterbox_tall", 64, 72, false},  // bars top and bottom
    {"sidecut_wide", 96, 48, true},     // filled, top and bottom cut
    {"scaled_exact", 128, 96, false},   // same aspect: scaled, no bars
};

const int kRuleThresholds[4] = {-32, 64, 128, 287};

std::shared_ptr<ISurface> GoldenSceneTest::Image(int w, int h, const PixelFn& fn, int bits) {
    std::shared_ptr<ISurface> s = screen->GetSurfaceFactory()->Create();
    EXPECT_FALSE(s->Init(w, h, bits, 0));
    s->Lock();
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
    s->Unlock();
    return s;
}

std::shared_ptr<ILayer> GoldenSceneTest::Add(const std::string& path, const std::shared_ptr<ISurface>& image,
                                             const std::function<void(ILayer&)>& setup) {
    std::shared_ptr<ILayer> layer = screen->GetLayerFactory()->Create();
    layer->SetSurface(image);
    if (setup)
        setup(*layer);
    screen->GetRootLayer()->AddChild(path, COruLayer::COruLayerWithLayer(screen->GetSurfaceManager(), layer));
    return layer;
}

CSurface& GoldenSceneTest::Frame(bool flip) {
    if (flip)
        screen->Flip();
    screen->Update();
    screen->Draw();
    screen->TakeScreenshot();
    return *screen->GetScreenshotSurface();
}

std::shared_ptr<ISurface> GoldenSceneTest::Background() {
    return Image(screen->GetWidth(), screen->GetHeight(),
                 [](int x, int y) { return Bgra(x * 4 % 256, y * 5 % 256, 96); });
}

std::shared_ptr<ISurface> GoldenSceneTest::Sprite() {
    return Image(16, 16, [](int x, int y) {
        const int a = 255 - x * 8;
        if (y < 8)
            return x < 8 ? Bgra(255, 0, 0, a) : Bgra(0, 255, 0, a);
        return x < 8 ? Bgra(0, 0, 255, a) : Bgra(255, 255, 255, a);
    });
}

void GoldenSceneTest::AnchorRotationScene() {
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
}

void GoldenSceneTest::MirrorClipMaskScene() {
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
    // Mirrored and turned by a quarter: seen from behind, still drawn, and it keeps its mask.
    Add("6", opaque, [&](ILayer& l) {
        l.SetX(42);
        l.SetY(26);
        l.SetMask(mask);
        l.SetAnchorX(8);
        l.SetAnchorY(8);
        l.SetRotate(90);
        l.SetReverseX(true);
    });
}

void GoldenSceneTest::LayerModesScene() {
    Add("0bg", Background());
    // Normal, add, multiply, colour key (white is keyed out) and screen, each twice: in full
    // and at 40 % opacity below.
    for (int mode = 0; mode < 5; ++mode) {
        for (int faded = 0; faded < 2; ++faded) {
            Add("m" + std::to_string(mode) + std::to_string(faded), Sprite(), [&](ILayer& l) {
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
}

void GoldenSceneTest::GroupAlphaScene() {
    Add("0bg", Background());
    Add("g.s", Sprite(), [](ILayer& l) { l.SetX(4); l.SetY(4); l.SetAlpha(128); });
    Add("h.s", Sprite(), [](ILayer& l) { l.SetX(36); l.SetY(4); });
    screen->Flip();
    screen->GetRootLayer()->GetChild("g")->SetAlpha(128);  // 128 x 128 / 255 in all
    screen->GetRootLayer()->GetChild("h")->SetAlpha(64);
    screen->GetRootLayer()->GetChild("h")->SetX(-8);
}

void GoldenSceneTest::LetterboxScene() {
    // Bright at the logical edges, so that bars and cuts show.
    Add("0bg", Image(64, 48, [](int x, int y) {
        return (x == 0 || y == 0 || x == 63 || y == 47) ? Bgra(255, 255, 0) : Bgra(40, 80 + y, 120 + x);
    }));
    Add("1", Sprite(), [](ILayer& l) { l.SetX(24); l.SetY(16); });
}

void GoldenSceneTest::RuleScene(int threshold) {
    Add("bg", Image(64, 48, [](int, int) { return Bgra(200, 30, 30); }));
    Frame();
    // The next picture, waiting for the commit that ends the transition.
    Add("bg", Image(64, 48, [](int x, int y) { return Bgra(20, 40 + y, 220 - x); }));
    Add("fg", Sprite(), [](ILayer& l) { l.SetX(24); l.SetY(16); });
    std::shared_ptr<ISurface> rule = Image(64, 48, [](int x, int y) { return uint32_t(x * 3 + (y / 12) * 8); },
                                           ISurface::kPixel8);
    screen->SetRuleSurface(rule);
    screen->SetVague(32);
    screen->SetRuleThreshold(threshold);
    screen->SetInTransition(true);
}

}  // namespace kestrin_test
