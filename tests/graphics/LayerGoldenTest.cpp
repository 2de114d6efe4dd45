// Whole scenes of software layers compared with reviewed golden images
// (tests/data/graphics/golden). KESTRIN_UPDATE_GOLDENS=1 rewrites them; look at every changed
// image before committing it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "GRAPHICS/CLayer.h"
#include "GRAPHICS/CPng.h"
#include "LayerTestSupport.h"
#include "support/TestSupport.h"

using namespace kestrin;
using layertest::MakeSurface;
using layertest::Pixel;
using layertest::TargetRenderer;

namespace {

// A 16x16 sprite: colour gradients, a transparent ring outside a disc, and the colour key
// 0xFF00FF in one corner.
std::shared_ptr<CSurface> Sprite(int bits) {
    return MakeSurface(16, 16, bits, [bits](int x, int y) -> uint32_t {
        if (x < 3 && y < 3) return 0xFFFF00FFu;
        const int dx = 2 * x - 15, dy = 2 * y - 15;
        const int d2 = dx * dx + dy * dy;
        uint32_t a = bits == 2 ? (d2 < 150 ? 255u : d2 < 250 ? 128u : 0u) : 255u;
        return (a << 24) | (uint32_t(x * 16) << 16) | (uint32_t(y * 16) << 8) | uint32_t(255 - x * 8);
    });
}

std::shared_ptr<CSurface> RadialMask() {
    return MakeSurface(16, 16, 0, [](int x, int y) {
        const double d = std::hypot(x - 7.5, y - 7.5);
        return static_cast<uint32_t>(std::max(0.0, 255.0 - d * 30.0));
    });
}

struct Placement {
    int x, y, anchor, rotate, scale;
    bool mirror;
    int mode;
    int alpha;
};

void Place(CLayer& l, const Placement& p) {
    l.SetX(p.x);
    l.SetY(p.y);
    l.SetAnchorX(p.anchor);
    l.SetAnchorY(p.anchor);
    l.SetRotate(p.rotate);
    l.SetXScale(p.scale);
    l.SetYScale(p.scale);
    l.SetReverseX(p.mirror);
    l.SetLayerMode(p.mode);
    l.SetAlpha(p.alpha);
}

void CheckGolden(const std::string& name, CSurface& frame) {
    const std::string path = kestrin_test::TestDataPath("graphics/golden/" + name + ".png");
    CPng png;
    if (std::getenv("KESTRIN_UPDATE_GOLDENS")) {
        CPng::SOutputBuffer out;
        out.data = new uint8_t[4096];
        out.capacity = 4096;
        ASSERT_FALSE(png.Save(&frame, out, 9));
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(out.data), out.length);
        delete[] out.data;
        return;
    }
    const std::string bytes = kestrin_test::ReadFileBytes(path);
    ASSERT_FALSE(bytes.empty()) << path;
    CSurface golden;
    ASSERT_FALSE(png.LoadFromMemory(&golden, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    ASSERT_EQ(golden.GetWidth(), frame.GetWidth());
    ASSERT_EQ(golden.GetHeight(), frame.GetHeight());
    int worst = 0;
    for (int y = 0; y < frame.GetHeight(); ++y)
        for (int x = 0; x < frame.GetWidth(); ++x)
            for (int b = 0; b < 3; ++b)
                worst = std::max(worst, std::abs(int(frame.GetLine(y)[x * 4 + b]) - int(golden.GetLine(y)[x * 4 + b])));
    EXPECT_LE(worst, 1) << name;
}

// Background gradient 80 x 60 with the sprite drawn in every mode, turned, scaled, mirrored,
// clipped and masked.
TEST(LayerGoldenTest, ModesAndTransforms) {
    auto renderer = std::make_shared<TargetRenderer>(80, 60, 0);
    CSurface& screen = *renderer->screen;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x) {
            const uint32_t v = 0xFF000000u | (uint32_t(x * 3) << 16) | (uint32_t(64 + y * 2) << 8) | uint32_t(160 - y);
            std::memcpy(screen.GetLine(y) + x * 4, &v, 4);
        }
    const Placement scene[] = {
        {2, 2, 0, 0, 65536, false, 0, 255},            // plain, with alpha
        {22, 2, 8, 30, 65536 * 3 / 2, false, 0, 200},  // turned and scaled about its centre, 78 %
        {48, 2, 8, 0, 65536, true, 1, 255},            // mirrored, add
        {64, 2, 0, 0, 65536, false, 2, 255},           // multiply
        {2, 30, 0, 0, 65536, false, 4, 128},           // screen at 50 %
        {22, 34, 8, -45, 65536, false, 3, 255},        // colour key, turned
    };
    for (const Placement& p : scene) {
        CLayer l(renderer);
        l.SetSurface(Sprite(p.mode == 3 ? 1 : 2));
        l.SetColorKey(0xFF00FF);
        Place(l, p);
        l.Update(CMatrix2D(), 255.0f);
        l.Draw(CMatrix2D(), 255.0f);
    }
    // Opaque image with a mask, scaled up 2x; and a clipped corner of the sprite.
    CLayer masked(renderer);
    masked.SetSurface(Sprite(1));
    masked.SetMask(RadialMask());
    Place(masked, {44, 26, 0, 0, 65536 * 2, false, 0, 255});
    masked.Update(CMatrix2D(), 255.0f);
    masked.Draw(CMatrix2D(), 255.0f);
    CLayer clipped(renderer);
    clipped.SetSurface(Sprite(2));
    clipped.SetClip(CRect(8, 8, 8, 8, true));
    Place(clipped, {72, 50, 0, 0, 65536, false, 0, 255});
    clipped.Update(CMatrix2D(), 255.0f);
    clipped.Draw(CMatrix2D(), 255.0f);
    CheckGolden("layer_modes", screen);
}

}  // namespace
