#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CFileFactory.h"
#include "CORE/Platform/HeadlessTextRasterizer.h"
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/CSurfaceFactory.h"
#include "GRAPHICS/CDxLayerFactory.h"
#include "GRAPHICS/CDxRenderer.h"
#include "GRAPHICS/CDxSurface.h"
#include "GRAPHICS/Platform/HeadlessRenderDevice.h"
#include "TEXT/CFontRenderer.h"
#include "babel/babel.h"

using namespace kestrin;

namespace {

const std::string kGothic = babel::utf8_to_sjis("ＭＳ ゴシック");

// Renderers over a fake font service whose glyphs are predictable boxes.
class FontRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        CFontRenderer::ResetCaches();
        SPlatformServices services = PlatformServicesInEffect();
        services.textRasterizer = [this]() {
            auto f = std::make_unique<HeadlessTextRasterizer>(std::set<std::string>{"ＭＳ ゴシック", "IPAGothic"});
            f->missing = missing;
            fakes.push_back(f.get());
            return f;
        };
        fontService.emplace(services);
    }
    void TearDown() override {
        fontService.reset();
        CFontRenderer::ResetCaches();
    }
    std::unique_ptr<CFontRenderer> Make(uint8_t height, uint8_t style = 0, int32_t charset = 0) {
        auto r = std::make_unique<CFontRenderer>(&surfaces, &loaders, &files);
        r->SetCharset(charset);
        EXPECT_FALSE(r->OpenFont(false, kGothic, 128, height, style & 1, style & 2, style & 4, style & 8));
        return r;
    }
    int Renders() const {
        int n = 0;
        for (auto* f : fakes) n += f->renders;
        return n;
    }
    // Bytes blue, green, red, alpha of a cell pixel.
    static std::vector<int> At(const CFontRenderer::CClippedSurface& cell, int x, int y) {
        const uint8_t* p = cell.GetSurface()->GetLine(cell.GetRect().GetY() + y) + 4 * (cell.GetRect().GetX() + x);
        return {p[0], p[1], p[2], p[3]};
    }
    // Alpha of the fake's level at glyph pixel (x, y) of a code point.
    static int FakeAlpha(int x, int y, uint32_t codePoint) {
        const int v = int((x + 3 * y + codePoint) % 65);
        return v == 64 ? 255 : v * 4;
    }

    CSurfaceFactory surfaces;
    CFileFactory files;
    CGraphicLoaders loaders{&files};
    std::vector<HeadlessTextRasterizer*> fakes;
    std::set<uint32_t> missing;
    std::optional<PlatformServicesScope> fontService;
};

}  // namespace

TEST_F(FontRendererTest, OpenFontTakesMetricsAndClearsEffectFlags) {
    auto r = Make(24, 1 | 4);
    r->SetShadow(true);
    r->SetOutline(true);
    EXPECT_EQ(r->GetFlags(),
              CFontRenderer::kBold | CFontRenderer::kUnderline | CFontRenderer::kShadow | CFontRenderer::kOutline);
    EXPECT_EQ(r->GetHalfSpace(), 12);
    EXPECT_EQ(r->GetFullSpace(), 24);
    EXPECT_EQ(r->GetAscent(), 19);
    EXPECT_EQ(r->GetStrikeoutRow(), 19 - 8);
    EXPECT_EQ(r->GetUnderlineRow(), 20);
    ASSERT_EQ(fakes.size(), 1u);
    EXPECT_TRUE(fakes[0]->IsBold());
    EXPECT_EQ(fakes[0]->GetFamily(), "ＭＳ ゴシック");  // the name reaches the service as UTF-8

    EXPECT_FALSE(r->OpenFont(false, kGothic, 128, 12, false, true, false, true));
    EXPECT_EQ(r->GetFlags(), CFontRenderer::kItalic | CFontRenderer::kStrikeout);
    EXPECT_EQ(r->GetHeight(), 12);
    EXPECT_TRUE(r->IsItalic());
    EXPECT_FALSE(r->IsShadow());
}

TEST_F(FontRendererTest, PlainGlyphCellPlacesTheCoverageBelowTheAscent) {
    auto r = Make(24);
    const auto cell = r->GetGlyph('a', 0x102030, 0, 0);
    ASSERT_FALSE(cell.IsEmpty());
    // Box 12 x 14, origin (1, 14): x0 = 1, y0 = ascent 19 - 14 = 5; advance 12.
    EXPECT_EQ(cell.GetRect().GetWidth(), 13);
    EXPECT_EQ(cell.GetRect().GetHeight(), 24);
    EXPECT_EQ(At(cell, 0, 0), (std::vector<int>{0, 0, 0, 0}));
    // Levels of 'a' at (x, y) are (x + 3y + 32) mod 65: 64 gives full alpha, the rest 4 per level.
    const struct {
        int x, y, alpha;
    } pixels[] = {{2, 10, 255}, {0, 11, 0}, {1, 11, 4}, {0, 0, 128}, {11, 13, 4 * ((11 + 39 + 32) % 65)}};
    for (const auto& p : pixels) {
        SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
        EXPECT_EQ(At(cell, 1 + p.x, 5 + p.y), (std::vector<int>{0x30, 0x20, 0x10, p.alpha}));
    }
}

TEST_F(FontRendererTest, ShadowAndOutlineWidenTheCellAndOffsetTheGlyph) {
    auto plain = Make(24);
    auto fx = Make(24);
    fx->SetShadow(true);
    fx->SetOutline(true);
    const auto a = plain->GetGlyph(0x82A0, 0xFFFFFF, 0x0000FF, 0x00FF00);  // あ = U+3042
    const auto b = fx->GetGlyph(0x82A0, 0xFFFFFF, 0x0000FF, 0x00FF00);
    ASSERT_FALSE(a.IsEmpty());
    ASSERT_FALSE(b.IsEmpty());
    EXPECT_EQ(b.GetRect().GetWidth(), a.GetRect().GetWidth() + 3);
    EXPECT_EQ(b.GetRect().GetHeight(), a.GetRect().GetHeight() + 3);
    // The glyph sits at (1, 1) past its plain place: its full pixel (21, 13) (level
    // (21 + 39 + 0x3042) mod 65 = 64) is the text colour there.
    const int x0 = 1, y0 = 5, w = 22, h = 14;
    EXPECT_EQ(At(a, x0, y0)[3], FakeAlpha(0, 0, 0x3042));
    EXPECT_EQ(At(a, x0 + 21, y0 + 13), (std::vector<int>{0xFF, 0xFF, 0xFF, 255}));
    EXPECT_EQ(At(b, 1 + x0 + 21, 1 + y0 + 13), (std::vector<int>{0xFF, 0xFF, 0xFF, 255}));
    // The shadow's last pixel lies beyond every outline neighbour: the outline pass (mask 0,
    // shadow on) still scales it by 255 >> 8.
    const int sa = FakeAlpha(w - 1, h - 1, 0x3042);
    EXPECT_EQ(At(b, 3 + x0 + w - 1, 3 + y0 + h - 1),
              (std::vector<int>{(0xFF * sa >> 8) * 255 >> 8, 0, 0, sa * 255 >> 8}));
    // Outline only at a neighbour of the last glyph pixel, outside the glyph: mask = its alpha.
    auto rim = Make(24);
    rim->SetOutline(true);
    const auto c = rim->GetGlyph(0x82A0, 0xFFFFFF, 0, 0x00FF00);
    const int last = FakeAlpha(w - 1, h - 1, 0x3042);
    EXPECT_EQ(At(c, x0 + w + 1, y0 + h + 1), (std::vector<int>{0, 0xFF * last >> 8, 0, last}));
}

TEST_F(FontRendererTest, GlyphOverOutlineTurnsBackToStraightColour) {
    auto r = Make(24);
    r->SetOutline(true);
    const auto cell = r->GetGlyph('A', 0x808080, 0, 0x0000FF);
    // Glyph pixel (1, 0) of 'A' has level 1 (alpha 4); the outline mask there comes from
    // its neighbours (0, 0) and (2, 0)/(0..2, 1): max of their alphas.
    const int a = FakeAlpha(1, 0, 'A');
    int m = 0;
    for (int dy = 0; dy <= 2; ++dy)
        for (int dx = 0; dx <= 2; ++dx) {
            const int sx = 1 + 1 - dx, sy = 0 + 1 - dy;  // source pixel whose neighbour is (1, 0) shifted by g = 1
            if ((dx == 1 && dy == 1) || sx < 0 || sy < 0 || sx >= 12 || sy >= 14) continue;
            m = std::max(m, FakeAlpha(sx, sy, 'A'));
        }
    const int oldBlue = 0xFF * m >> 8;
    const int total = (a + (m * (255 - a) >> 8)) & 0xFF;
    const std::vector<int> p = At(cell, 1 + 1 + 1, 5 + 0 + 1);
    EXPECT_EQ(p[3], total);
    EXPECT_EQ(p[0], int(((0x80 * a >> 8) + (oldBlue * (255 - a) >> 8)) / (total / 255.0)));
    EXPECT_EQ(p[1], int((0x80 * a >> 8) / (total / 255.0)));
}

TEST_F(FontRendererTest, CellsAreSharedAndKeyedByEveryColourAndFlag) {
    auto one = Make(24);
    auto two = Make(24);
    const auto a = one->GetGlyph(0x82A0, 0xFFFFFF, 0, 0);
    const auto b = two->GetGlyph(0x82A0, 0xFFFFFF, 0, 0);
    EXPECT_EQ(a.GetSurface(), b.GetSurface());
    EXPECT_TRUE(a.GetRect().IsEqual(b.GetRect()));
    EXPECT_EQ(Renders(), 1);
    // A new shadow colour is a new cell though shadow is off; so are bold and another height
    // of the same size class (which shares the page).
    const auto c = one->GetGlyph(0x82A0, 0xFFFFFF, 1, 0);
    EXPECT_FALSE(c.GetRect().IsEqual(a.GetRect()));
    auto bold = Make(24, 1);
    const auto d = bold->GetGlyph(0x82A0, 0xFFFFFF, 0, 0);
    auto smaller = Make(25);
    const auto e = smaller->GetGlyph(0x82A0, 0xFFFFFF, 0, 0);
    EXPECT_EQ(e.GetSurface(), a.GetSurface());
    EXPECT_EQ(Renders(), 4);
    EXPECT_EQ(CFontRenderer::GetCachedGlyphCount(), 4u);
    (void)d;
}

TEST_F(FontRendererTest, SpacesAreBlankCellsAndCarryTheirLines) {
    auto r = Make(24);
    const auto half = r->GetGlyph(32, 0xFFFFFF, 0, 0);
    const auto full = r->GetGlyph(0x8140, 0xFFFFFF, 0, 0);
    EXPECT_EQ(half.GetRect().GetWidth(), 12);
    EXPECT_EQ(full.GetRect().GetWidth(), 24);
    EXPECT_EQ(half.GetRect().GetHeight(), 24);
    EXPECT_EQ(At(half, 5, 20), (std::vector<int>{0, 0, 0, 0}));

    auto lined = Make(24, 4);
    lined->SetShadow(true);
    const auto cell = lined->GetGlyph(32, 0x0000FF, 0xFF0000, 0);
    ASSERT_EQ(cell.GetRect().GetWidth(), 13);
    // Underline row 20 in the text colour across the width; the shadow's at row 21 below it.
    for (int x : {0, 12}) {
        EXPECT_EQ(At(cell, x, 20), (std::vector<int>{0xFF, 0, 0, 255}));
        EXPECT_EQ(At(cell, x, 21), (std::vector<int>{0, 0, 0xFF, 255}));
        EXPECT_EQ(At(cell, x, 19)[3], 0);
    }
}

TEST_F(FontRendererTest, LinesStopAtTheCellEdge) {
    auto r = Make(5, 4 | 8);  // ascent 4: underline row 5 lies below the 5-row cell
    r->SetOutline(true);
    const auto cell = r->GetGlyph(32, 0xFFFFFF, 0, 0x00FF00);
    ASSERT_FALSE(cell.IsEmpty());
    ASSERT_EQ(cell.GetRect().GetHeight(), 7);
    // Strikeout row 4 - 1 = 3 (+1 for the glyph); the mask has rows 3 and 5; the underline
    // rows 5 + 1 = 6 (mask 5 and 7: 7 is skipped).
    EXPECT_EQ(At(cell, 0, 4), (std::vector<int>{0xFF, 0xFF, 0xFF, 255}));
    EXPECT_EQ(At(cell, 0, 6), (std::vector<int>{0xFF, 0xFF, 0xFF, 255}));
    EXPECT_EQ(At(cell, 0, 3), (std::vector<int>{0, 0xFE, 0, 255}));
    EXPECT_EQ(At(cell, 0, 0)[3], 0);
}

TEST_F(FontRendererTest, ThingsThatGiveNoCell) {
    missing = {0x6F22};
    auto r = Make(24);
    const size_t before = CFontRenderer::GetCachedGlyphCount();
    EXPECT_TRUE(r->GetGlyph(0, 0xFFFFFF, 0, 0).IsEmpty());
    EXPECT_TRUE(r->GetGlyph(0x8ABF, 0xFFFFFF, 0, 0).IsEmpty());  // 漢, which the face lacks
    EXPECT_TRUE(r->GetGlyph(0x85A0, 0xFFFFFF, 0, 0).IsEmpty());  // no character in code page 932
    EXPECT_EQ(CFontRenderer::GetCachedGlyphCount(), before);

    CFontRenderer closed(&surfaces, &loaders, &files);
    EXPECT_TRUE(closed.GetGlyph('A', 0xFFFFFF, 0, 0).IsEmpty());

    // EUC-JP text has no system glyphs: only the spaces, blank.
    auto euc = Make(24, 0, 1);
    const int rendered = Renders();
    EXPECT_TRUE(euc->GetGlyph('A', 0xFFFFFF, 0, 0).IsEmpty());
    EXPECT_EQ(euc->GetGlyph(32, 0xFFFFFF, 0, 0).GetRect().GetWidth(), 12);
    EXPECT_EQ(Renders(), rendered);

    // UTF-8: the ideographic space is not the full-width space code, so it has no cell.
    auto utf8 = Make(24, 0, 2);
    EXPECT_TRUE(utf8->GetGlyph(0x3000, 0xFFFFFF, 0, 0).IsEmpty());
    EXPECT_FALSE(utf8->GetGlyph(0x3042, 0xFFFFFF, 0, 0).IsEmpty());
}

TEST_F(FontRendererTest, HeightZeroNeverReachesTheFontService) {
    for (int height : {0, 256}) {
        SCOPED_TRACE(height);
        CFontRenderer r(&surfaces, &loaders, &files);
        EXPECT_FALSE(r.OpenFont(false, kGothic, 128, uint8_t(height), false, false, true, false));
        EXPECT_EQ(r.GetHeight(), 0);
        for (uint16_t code : {uint16_t('A'), uint16_t(32), uint16_t(0x8140)})
            EXPECT_TRUE(r.GetGlyph(code, 0xFFFFFF, 0, 0).IsEmpty());
    }
    EXPECT_TRUE(fakes.empty());
}

TEST_F(FontRendererTest, CharacterCodes) {
    const struct {
        int32_t charset;
        const char* text;
        int32_t code;
        // clang-format off
    } cases[] = {
        {0, "A", 0x41},           {0, "\x82\xA0x", 0x82A0},   {0, "\xB1", 0xB1},          {0, "\x82", 0x8200},
        {0, "", 0},               {1, "\xA4\xA2", 0xA4A2},    {1, "\x8E\xB1", 0x8EB1},    {2, "A", 0x41},
        {2, "\xE3\x81\x82", 0x3042}, {2, "\xF0\x9F\x98\x80", 0xF600}, {2, "\xC3\xA9", 0xE9}, {2, "\xE3\x81", 0xC1},
        {2, "\x80", 0x80},        {3, "A", 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.charset) + " " + c.text);
        CFontRenderer r(&surfaces, &loaders, &files);
        r.SetCharset(c.charset);
        EXPECT_EQ(r.GetCharCode(c.text), c.code);
    }
}

TEST_F(FontRendererTest, AtlasPacksRowsAndStartsNewPages) {
    CFontRenderer::CAtlas atlas(&surfaces, 10, 8);
    const auto first = atlas.Allocate(4, 3);
    const auto second = atlas.Allocate(4, 5);
    const auto wrapped = atlas.Allocate(3, 2);  // 8 + 3 > 10: next row, under the tallest
    EXPECT_TRUE(first.GetRect().IsEqual(CRect(0, 0, 4, 3, true)));
    EXPECT_TRUE(second.GetRect().IsEqual(CRect(4, 0, 4, 5, true)));
    EXPECT_TRUE(wrapped.GetRect().IsEqual(CRect(0, 5, 3, 2, true)));
    const auto next = atlas.Allocate(5, 4);  // 5 + 4 > 8: a new page
    EXPECT_NE(next.GetSurface(), first.GetSurface());
    EXPECT_TRUE(next.GetRect().IsEqual(CRect(0, 0, 5, 4, true)));
    EXPECT_EQ(atlas.GetPageCount(), 2);
    EXPECT_EQ(first.GetSurface()->GetWidth(), 10);  // the old page lives on with its cells
    EXPECT_TRUE(atlas.Allocate(11, 1).IsEmpty());
    EXPECT_TRUE(atlas.Allocate(1, 9).IsEmpty());
    EXPECT_EQ(atlas.GetPageCount(), 2);
}

TEST_F(FontRendererTest, EnumerateFontsFiltersAndSpeaksTheGameEncoding) {
    SPlatformServices services = PlatformServicesInEffect();
    services.textRasterizer = []() {
        auto f = std::make_unique<HeadlessTextRasterizer>(
            std::set<std::string>{"@Vertical", "Bitmap Mono", "DejaVu Sans", "IPAGothic", "ＭＳ ゴシック"});
        f->fixedPitch = {"@Vertical", "Bitmap Mono", "IPAGothic", "ＭＳ ゴシック"};
        f->japanese = {"@Vertical", "IPAGothic", "ＭＳ ゴシック"};
        f->bitmapOnly = {"Bitmap Mono"};
        return f;
    };
    PlatformServicesScope scope(services);
    const struct {
        bool vertical, trueType, fixed, sjis;
        std::vector<std::string> expected;
    } cases[] = {
        {false, false, false, false, {"@Vertical", "Bitmap Mono", "DejaVu Sans", "IPAGothic", kGothic}},
        {true, false, true, false, {"Bitmap Mono", "IPAGothic", kGothic}},
        {true, true, true, true, {"IPAGothic", kGothic}},
        {false, true, false, false, {"@Vertical", "DejaVu Sans", "IPAGothic", kGothic}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> list;
        EnumerateFonts(list, c.vertical, c.trueType, c.fixed, c.sjis);
        EXPECT_EQ(list, c.expected);
    }
    std::vector<std::string> list{"IPAGothic"};
    EnumerateFonts(list, true, false, true, false, 2);
    EXPECT_EQ(list, (std::vector<std::string>{"IPAGothic", "Bitmap Mono", "ＭＳ ゴシック"}));
}

TEST_F(FontRendererTest, HardwarePagesUploadOncePerFrame) {
    // A frame lays out its new glyphs, then draws every cell: each page uploads at most once.
    auto device = std::make_shared<HeadlessRenderDevice>(64, 48);
    auto dx = std::make_shared<CDxRenderer>(device);
    ASSERT_FALSE(dx->Init(1));
    CDxSurfaceFactory pages(dx);
    CFontRenderer r(&pages, &loaders, &files);
    ASSERT_FALSE(r.OpenFont(false, kGothic, 128, 60, false, false, false, false));
    r.SetCharset(2);
    uint16_t code = 0x4E00;
    for (int frame = 0; frame < 3; ++frame) {
        SCOPED_TRACE(frame);
        std::map<int, int32_t> before;
        for (const auto& t : device->GetTextures()) before[t.first] = t.second.uploads;
        std::vector<CFontRenderer::CClippedSurface> cells;
        for (int i = 0; i < 100; ++i) cells.push_back(r.GetGlyph(code++, 0xFFFFFF, 0, 0));
        for (auto& c : cells) {
            ASSERT_FALSE(c.IsEmpty());
            static_cast<CDxSurface*>(c.GetSurface().get())->GetTexture();
        }
        int touched = 0;
        for (const auto& t : device->GetTextures()) {
            const int32_t uploads = t.second.uploads - (before.count(t.first) ? before[t.first] : 0);
            EXPECT_LE(uploads, 1);
            touched += uploads;
        }
        EXPECT_GE(touched, 2);  // 100 cells of 60 x 60 fill more than one page
    }
    CFontRenderer::ResetCaches();
}
