#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CORE/CFileFactory.h"
#include "CORE/Platform/FreeTypeTextRasterizer.h"
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/CSurfaceFactory.h"
#include "TEXT/CFontRenderer.h"
#include "babel/babel.h"
#include "support/TestSupport.h"

using namespace kestrin;

namespace {

// The tables tools/gen_font_oracle.py wrote from FreeType (freetype-py) and fontTools.
struct SGlyphRow {
    std::string family;
    int height = 0;
    uint32_t code = 0;
    ITextRasterizer::SGlyph glyph;
};

std::vector<std::vector<std::string>> ReadTable(const std::string& name) {
    std::ifstream in(kestrin_test::TestDataPath("text/" + name));
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::vector<std::string> row;
        for (std::string f; fields >> f;) row.push_back(f);
        rows.push_back(row);
    }
    return rows;
}

std::vector<SGlyphRow> GlyphTable() {
    std::vector<SGlyphRow> out;
    for (const auto& r : ReadTable("glyphs.txt")) {
        SGlyphRow g;
        g.family = r.at(0);
        g.height = std::stoi(r.at(1));
        g.code = uint32_t(std::stoul(r.at(2), nullptr, 16));
        g.glyph.width = std::stoi(r.at(3));
        g.glyph.height = std::stoi(r.at(4));
        g.glyph.originX = std::stoi(r.at(5));
        g.glyph.originY = std::stoi(r.at(6));
        g.glyph.advance = std::stoi(r.at(7));
        if (r.at(8) != "-")
            for (char c : r.at(8)) g.glyph.levels.push_back(uint8_t(c - 48));
        out.push_back(g);
    }
    return out;
}

}  // namespace

TEST(FreeTypeTextRasterizer, GlyphsMatchFreeTypesOwnAnswers) {
    const auto table = GlyphTable();
    ASSERT_GT(table.size(), 100u);
    FreeTypeTextRasterizer font;
    for (const SGlyphRow& row : table) {
        SCOPED_TRACE(row.family + " " + std::to_string(row.height) + " U+" + std::to_string(row.code));
        ASSERT_FALSE(font.OpenCell(row.family, 128, row.height, false, false));
        ITextRasterizer::SGlyph g;
        ASSERT_FALSE(font.RenderGlyph(row.code, g));
        EXPECT_EQ(g.width, row.glyph.width);
        EXPECT_EQ(g.height, row.glyph.height);
        EXPECT_EQ(g.originX, row.glyph.originX);
        EXPECT_EQ(g.originY, row.glyph.originY);
        EXPECT_EQ(g.advance, row.glyph.advance);
        EXPECT_EQ(g.levels, row.glyph.levels);
    }
}

TEST(FreeTypeTextRasterizer, MetricsFollowTheOs2AndPostTables) {
    const auto table = ReadTable("face_metrics.txt");
    ASSERT_GE(table.size(), 12u);
    FreeTypeTextRasterizer font;
    for (const auto& r : table) {
        SCOPED_TRACE(r.at(0) + " " + r.at(1));
        ASSERT_FALSE(font.OpenCell(r.at(0), 0, std::stoi(r.at(1)), false, false));
        const auto m = font.GetMetrics();
        const std::vector<int> got{m.averageWidth,      m.ascent,        m.descent,          m.strikeoutSize,
                                   m.strikeoutPosition, m.underlineSize, m.underlinePosition};
        std::vector<int> expected;
        for (size_t i = 2; i < r.size(); ++i) expected.push_back(std::stoi(r[i]));
        EXPECT_EQ(got, expected);
    }
}

TEST(FreeTypeTextRasterizer, WindowsNamesAndStandIns) {
    FreeTypeTextRasterizer ipa, alias;
    ITextRasterizer::SGlyph a, b;
    ASSERT_FALSE(ipa.OpenCell("IPAGothic", 128, 24, false, false));
    ASSERT_FALSE(ipa.RenderGlyph(0x3042, a));
    for (const char* name : {"ＭＳ ゴシック", "MS Gothic", "MeiryoKe_Gothic"}) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(alias.Open(name, 24));
        EXPECT_EQ(alias.GetFamily(), name);
        ASSERT_FALSE(alias.RenderGlyph(0x3042, b));
        EXPECT_EQ(b.levels, a.levels);
    }
    ASSERT_FALSE(alias.OpenCell("ＭＳ 明朝", 128, 24, false, false));
    ASSERT_FALSE(alias.RenderGlyph(0x3042, b));
    EXPECT_NE(b.levels, a.levels);  // Mincho, not Gothic

    // An unknown name: the exact open fails, a cell font stands in with kana for Japanese.
    EXPECT_TRUE(alias.Open("No Such Face Anywhere", 24));
    ASSERT_FALSE(alias.OpenCell("No Such Face Anywhere", 128, 24, false, false));
    EXPECT_FALSE(alias.RenderGlyph(0x3042, b));
    EXPECT_FALSE(b.levels.empty());

    // A character the face lacks is a failure, not a box; a space is a glyph without pixels.
    EXPECT_TRUE(ipa.RenderGlyph(0x10FFFD, b));
    EXPECT_FALSE(ipa.RenderGlyph(0x20, b));
    EXPECT_TRUE(b.levels.empty());
    EXPECT_GT(b.advance, 0);
    EXPECT_TRUE(ipa.OpenCell("IPAGothic", 128, 0, false, false));
    EXPECT_TRUE(ipa.RenderGlyph('A', b));
}

TEST(FreeTypeTextRasterizer, SharedFacesKeepEachHeight) {
    // Two instances on one face at two heights: each keeps its own size however they interleave.
    FreeTypeTextRasterizer small, large, again;
    ASSERT_FALSE(small.OpenCell("IPAGothic", 128, 12, false, false));
    ASSERT_FALSE(large.OpenCell("IPAGothic", 128, 33, false, false));
    ITextRasterizer::SGlyph s1, l1, s2, l2;
    ASSERT_FALSE(small.RenderGlyph(0x6F22, s1));
    ASSERT_FALSE(large.RenderGlyph(0x6F22, l1));
    ASSERT_FALSE(small.RenderGlyph(0x6F22, s2));
    ASSERT_FALSE(again.OpenCell("IPAGothic", 128, 33, false, false));
    ASSERT_FALSE(again.RenderGlyph(0x6F22, l2));
    EXPECT_LT(s1.width, l1.width);
    EXPECT_EQ(s1.levels, s2.levels);
    EXPECT_EQ(l1.levels, l2.levels);
}

TEST(FreeTypeTextRasterizer, BoldAndItalicAreSynthesised) {
    FreeTypeTextRasterizer font;
    ITextRasterizer::SGlyph plain, bold, italic;
    ASSERT_FALSE(font.OpenCell("IPAGothic", 128, 24, false, false));
    ASSERT_FALSE(font.RenderGlyph('l', plain));
    ASSERT_FALSE(font.OpenCell("IPAGothic", 128, 24, true, false));
    ASSERT_FALSE(font.RenderGlyph('l', bold));
    ASSERT_FALSE(font.OpenCell("IPAGothic", 128, 24, false, true));
    ASSERT_FALSE(font.RenderGlyph('l', italic));
    EXPECT_GT(bold.width, plain.width);
    EXPECT_GT(italic.width, plain.width);  // slanted: the top leans right
    EXPECT_EQ(italic.height, plain.height);
}

TEST(FreeTypeTextRasterizer, FamiliesIncludeTheWindowsNames) {
    FreeTypeTextRasterizer font;
    std::vector<ITextRasterizer::SFamily> families;
    font.ListFamilies(families);
    auto find = [&](const std::string& name) -> const ITextRasterizer::SFamily* {
        for (const auto& f : families)
            if (f.name == name) return &f;
        return nullptr;
    };
    for (const char* name : {"IPAGothic", "ＭＳ ゴシック", "MeiryoKe_Gothic", "MS Mincho"}) {
        SCOPED_TRACE(name);
        const auto* f = find(name);
        ASSERT_NE(f, nullptr);
        EXPECT_TRUE(f->fixedPitch);
        EXPECT_TRUE(f->outline);
        EXPECT_TRUE(f->japanese);
    }
    ASSERT_NE(find("ＭＳ Ｐゴシック"), nullptr);
    EXPECT_FALSE(find("ＭＳ Ｐゴシック")->fixedPitch);
    for (const auto& f : families) EXPECT_NE(f.name[0], '@');

    // The log window's search finds its font; the game hears the names in Shift_JIS.
    std::vector<std::string> list;
    EnumerateFonts(list, true, false, true, false);
    EXPECT_NE(std::find(list.begin(), list.end(), "MeiryoKe_Gothic"), list.end());
    EXPECT_NE(std::find(list.begin(), list.end(), babel::utf8_to_sjis("ＭＳ ゴシック")), list.end());
}

TEST(FreeTypeTextRasterizer, RendererCellsCarryTheReferenceCoverage) {
    // あ of IPAGothic at 24 through the renderer: box, placement and 65-level alpha as FreeType drew them.
    CFontRenderer::ResetCaches();
    SGlyphRow ref;
    for (const auto& row : GlyphTable())
        if (row.family == "IPAGothic" && row.height == 24 && row.code == 0x3042) ref = row;
    ASSERT_EQ(ref.code, 0x3042u);
    CSurfaceFactory surfaces;
    CFileFactory files;
    CGraphicLoaders loaders(&files);
    CFontRenderer r(&surfaces, &loaders, &files);
    ASSERT_FALSE(r.OpenFont(false, babel::utf8_to_sjis("ＭＳ ゴシック"), 128, 24, false, false, false, false));
    EXPECT_EQ(r.GetAscent(), 20);
    const auto cell = r.GetGlyph(0x82A0, 0xFFFFFF, 0, 0);
    ASSERT_FALSE(cell.IsEmpty());
    const int x0 = std::max(0, ref.glyph.originX), y0 = std::max(0, 20 - ref.glyph.originY);
    EXPECT_EQ(cell.GetRect().GetWidth(), std::max(ref.glyph.advance, ref.glyph.width + x0));
    EXPECT_EQ(cell.GetRect().GetHeight(), std::max(24, ref.glyph.height + y0));
    for (int y = 0; y < ref.glyph.height; ++y) {
        for (int x = 0; x < ref.glyph.width; ++x) {
            const int v = ref.glyph.levels[size_t(y * ref.glyph.width + x)];
            const uint8_t* p =
                cell.GetSurface()->GetLine(cell.GetRect().GetY() + y0 + y) + 4 * (cell.GetRect().GetX() + x0 + x);
            ASSERT_EQ(p[3], v == 64 ? 255 : 4 * v) << x << "," << y;
        }
    }
    CFontRenderer::ResetCaches();
}
