// The blend routines against ImageMagick's compositions (tests/data/graphics/blend, made by
// tools/make_blend_fixtures.sh), the placement of blits, and their clamping.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "GRAPHICS/Blit.h"
#include "GRAPHICS/CRect.h"
#include "LayerTestSupport.h"
#include "support/TestSupport.h"

using namespace kestrin;
using layertest::MakeSurface;
using layertest::Pixel;

namespace {

std::shared_ptr<CSurface> LoadRaw(const std::string& name, int bits) {
    const std::string bytes = kestrin_test::ReadFileBytes(kestrin_test::TestDataPath("graphics/blend/" + name));
    EXPECT_EQ(bytes.size(), 16u * 16u * 4u) << name;
    if (bytes.size() != 16 * 16 * 4) return nullptr;
    return MakeSurface(16, 16, bits, [&](int x, int y) {
        uint32_t v;
        std::memcpy(&v, bytes.data() + (y * 16 + x) * 4, 4);
        return v;
    });
}

using Routine = std::function<void(ISurface*, ISurface*, const BlitParams&)>;

struct ComposeCase {
    const char* reference;
    const char* source;
    Routine routine;
};

TEST(BlendTest, RoutinesMatchImageMagickWithinTwo) {
    constexpr int o = 102;  // 40 %, as in the fixtures
    constexpr int k = 0xFF00FF;
    const ComposeCase cases[] = {
        {"normal", "src_opaque.bgra", [](auto t, auto s, auto& p) { BlitCopy(t, s, p); }},
        {"normal_opacity", "src_opaque.bgra", [](auto t, auto s, auto& p) { BlendNormalOpacity(t, s, p, o); }},
        {"normal_alpha", "src_alpha.bgra", [](auto t, auto s, auto& p) { BlendNormalAlpha(t, s, p); }},
        {"normal_alpha_opacity", "src_alpha.bgra",
         [](auto t, auto s, auto& p) { BlendNormalAlphaOpacity(t, s, p, o); }},
        {"add", "src_opaque.bgra", [](auto t, auto s, auto& p) { BlendAdd(t, s, p); }},
        {"add_opacity", "src_opaque.bgra", [](auto t, auto s, auto& p) { BlendAddOpacity(t, s, p, o); }},
        {"add_alpha", "src_alpha.bgra", [](auto t, auto s, auto& p) { BlendAddAlpha(t, s, p); }},
        {"add_alpha_opacity", "src_alpha.bgra", [](auto t, auto s, auto& p) { BlendAddAlphaOpacity(t, s, p, o); }},
        {"multiply", "src_opaque.bgra", [](auto t, auto s, auto& p) { BlendMultiply(t, s, p); }},
        {"multiply_opacity", "src_opaque.bgra", [](auto t, auto s, auto& p) { BlendMultiplyOpacity(t, s, p, o); }},
        {"multiply_alpha", "src_alpha.bgra", [](auto t, auto s, auto& p) { BlendMultiplyAlpha(t, s, p); }},
        {"multiply_alpha_opacity", "src_alpha.bgra",
         [](auto t, auto s, auto& p) { BlendMultiplyAlphaOpacity(t, s, p, o); }},
        {"screen", "src_opaque.bgra", [](auto t, auto s, auto& p) { BlendScreen(t, s, p); }},
        {"screen_opacity", "src_opaque.bgra", [](auto t, auto s, auto& p) { BlendScreenOpacity(t, s, p, o); }},
        {"screen_alpha", "src_alpha.bgra", [](auto t, auto s, auto& p) { BlendScreenAlpha(t, s, p); }},
        {"screen_alpha_opacity", "src_alpha.bgra",
         [](auto t, auto s, auto& p) { BlendScreenAlphaOpacity(t, s, p, o); }},
        {"colorkey", "src_alpha.bgra", [](auto t, auto s, auto& p) { BlendColorKey(t, s, p, k); }},
        {"colorkey_opacity", "src_alpha.bgra", [](auto t, auto s, auto& p) { BlendColorKeyOpacity(t, s, p, k, o); }},
    };
    for (const ComposeCase& c : cases) {
        SCOPED_TRACE(c.reference);
        auto target = LoadRaw("dst.bgra", 1);
        auto source = LoadRaw(c.source, 2);
        auto expected = LoadRaw(std::string(c.reference) + ".bgra", 2);
        ASSERT_TRUE(target && source && expected);
        // Mark the target's spare byte: only BlitCopy may change it.
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) target->GetLine(y)[x * 4 + 3] = 0x5A;
        const BlitParams all = ComputeBlitRect(CRect(0, 0, 16, 16, true), CRect(0, 0, 16, 16, true), nullptr, nullptr);
        ASSERT_TRUE(all.valid);
        c.routine(target.get(), source.get(), all);
        int worst = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const uint8_t* got = target->GetLine(y) + x * 4;
                const uint8_t* want = expected->GetLine(y) + x * 4;
                for (int b = 0; b < 3; ++b) worst = std::max(worst, std::abs(got[b] - want[b]));
                if (std::string(c.reference) != "normal") {
                    ASSERT_EQ(got[3], 0x5A) << x << "," << y;
                }
            }
        EXPECT_LE(worst, 2);
    }
}

TEST(BlendTest, ExactValuesAtTheEdges) {
    auto one = [](uint32_t v) { return MakeSurface(1, 1, 2, [v](int, int) { return v; }); };
    const BlitParams p = ComputeBlitRect(CRect(0, 0, 1, 1, true), CRect(0, 0, 1, 1, true), nullptr, nullptr);
    {  // alpha 255 is not an exact copy: white over black gives 254, black over white 0
        auto t = one(0xFF000000u), s = one(0xFFFFFFFFu);
        BlendNormalAlpha(t.get(), s.get(), p);
        EXPECT_EQ(Pixel(*t, 0, 0), 0xFFFEFEFEu);
        auto t2 = one(0x00FFFFFFu), s2 = one(0xFF000000u);
        BlendNormalAlpha(t2.get(), s2.get(), p);
        EXPECT_EQ(Pixel(*t2, 0, 0), 0x00000000u);
    }
    {  // alpha 0 leaves the target, also for multiply, whose formula alone would darken it
        auto t = one(0x11808080u), s = one(0x00000000u);
        BlendNormalAlpha(t.get(), s.get(), p);
        BlendMultiplyAlpha(t.get(), s.get(), p);
        BlendMultiplyAlphaOpacity(t.get(), s.get(), p, 77);
        BlendAddAlpha(t.get(), s.get(), p);
        EXPECT_EQ(Pixel(*t, 0, 0), 0x11808080u);
    }
    {  // the colour key skips a pixel whatever its alpha
        auto t = one(0xFF102030u), s = one(0x00FF00FFu);
        BlendColorKey(t.get(), s.get(), p, 0xFF00FF);
        BlendColorKeyOpacity(t.get(), s.get(), p, 0xFF00FF, 128);
        EXPECT_EQ(Pixel(*t, 0, 0), 0xFF102030u);
        auto s2 = one(0x00FF00FEu);
        BlendColorKey(t.get(), s2.get(), p, 0xFF00FF);
        EXPECT_EQ(Pixel(*t, 0, 0), 0xFFFF00FEu);
    }
}

// The vector body and the scalar tail of a row must agree pixel for pixel.
TEST(BlendTest, WideRowsEqualPixelByPixel) {
    std::mt19937 rng(7);
    std::vector<uint8_t> src(4 * 37), dst(4 * 37);
    for (int kernel = 0; kernel < blit::kKernelCount; ++kernel) {
        for (auto& b : src) b = static_cast<uint8_t>(rng() % 5 == 0 ? (rng() % 2) * 255 : rng());
        for (auto& b : dst) b = static_cast<uint8_t>(rng());
        src[4 * 5 + 0] = 0xFF, src[4 * 5 + 1] = 0x00, src[4 * 5 + 2] = 0xFF;  // a keyed pixel
        std::vector<uint8_t> wide = dst, single = dst;
        blit::BlendRow(static_cast<blit::Kernel>(kernel), wide.data(), src.data(), 37, 150, 0xFF00FF);
        for (int i = 0; i < 37; ++i)
            blit::BlendRow(static_cast<blit::Kernel>(kernel), single.data() + 4 * i, src.data() + 4 * i, 1, 150,
                           0xFF00FF);
        EXPECT_EQ(wide, single) << "kernel " << kernel;
    }
}

TEST(BlendTest, ComputeBlitRectPlacesAndClips) {
    struct Case {
        CRect placed, target;
        bool valid;
        int srcX, srcY, dstX, dstY, w, h;
    } cases[] = {
        {CRect(-50, 0, 10, 10, true), CRect(0, 0, 32, 32, true), false, 0, 0, 0, 0, 0, 0},  // entirely left
        {CRect(-3, -4, 10, 10, true), CRect(0, 0, 32, 32, true), true, 3, 4, 0, 0, 7, 6},
        {CRect(28, 30, 10, 10, true), CRect(0, 0, 32, 32, true), true, 0, 0, 28, 30, 4, 2},
        {CRect(5, 5, 10, 10, true), CRect(10, 0, 32, 32, true), true, 5, 0, 0, 5, 5, 10},
        {CRect(2000000000, 0, 2000000000, 10, true), CRect(0, 0, 32, 32, true), false, 0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const BlitParams p = ComputeBlitRect(c.placed, c.target, nullptr, nullptr);
        ASSERT_EQ(p.valid != 0, c.valid);
        if (!c.valid) continue;
        EXPECT_EQ(p.srcX, c.srcX);
        EXPECT_EQ(p.srcY, c.srcY);
        EXPECT_EQ(p.dstX, c.dstX);
        EXPECT_EQ(p.dstY, c.dstY);
        EXPECT_EQ(p.width, c.w);
        EXPECT_EQ(p.height, c.h);
    }
    // Clips are relative to the rectangle they clip.
    const CRect clipT(4, 4, 8, 8, true), clipP(0, 0, 3, 3, true), away(40, 0, 5, 5, true);
    BlitParams p = ComputeBlitRect(CRect(0, 0, 32, 32, true), CRect(0, 0, 32, 32, true), nullptr, &clipT);
    EXPECT_TRUE(p.valid);
    EXPECT_EQ(p.dstX, 4);
    EXPECT_EQ(p.srcX, 4);
    EXPECT_EQ(p.width, 8);
    p = ComputeBlitRect(CRect(10, 10, 32, 32, true), CRect(0, 0, 32, 32, true), &clipP, nullptr);
    EXPECT_EQ(p.dstX, 10);
    EXPECT_EQ(p.width, 3);
    EXPECT_FALSE(ComputeBlitRect(CRect(0, 0, 32, 32, true), CRect(0, 0, 32, 32, true), nullptr, &away).valid);

    CRect overlap;
    overlap.SetToIntersection(CRect(0, 0, 10, 10, true), CRect(5, -3, 10, 10, true));
    EXPECT_TRUE(overlap.IsEqual(CRect(5, 0, 9, 6, false)));
    EXPECT_TRUE(overlap.HasArea());
    overlap.SetToIntersection(CRect(0, 0, 10, 10, true), CRect(20, 0, 10, 10, true));
    EXPECT_FALSE(overlap.HasArea());
}

TEST(BlendTest, BlitsStayInsideBothSurfaces) {
    auto target = MakeSurface(8, 8, 1, [](int, int) { return 0u; });
    auto source = MakeSurface(4, 4, 2, [](int, int) { return 0xFFFFFFFFu; });
    auto grey = MakeSurface(4, 4, 0, [](int, int) { return 0xFFu; });
    // A plan larger than the source (a stale placement) draws only the source's pixels.
    BlitParams p;
    p.valid = 1;
    p.srcX = -2;
    p.srcY = 1;
    p.dstX = 3;
    p.dstY = 3;
    p.width = 100;
    p.height = 100;
    BlendAdd(target.get(), source.get(), p);
    int lit = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) lit += Pixel(*target, x, y) != 0;
    EXPECT_EQ(lit, 3 * 3);  // source columns 0-2 at target 5-7, rows 1-3 at target 3-5
    EXPECT_EQ(Pixel(*target, 5, 3), 0x00FFFFFFu);
    EXPECT_EQ(Pixel(*target, 4, 3), 0u);
    // An 8-bit surface is never read as 32-bit.
    BlitCopy(target.get(), grey.get(),
             ComputeBlitRect(CRect(0, 0, 4, 4, true), CRect(0, 0, 8, 8, true), nullptr, nullptr));
    EXPECT_EQ(Pixel(*target, 0, 0), 0u);
}

}  // namespace
