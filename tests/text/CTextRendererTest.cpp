// Message text layout: units, line breaks with prohibited characters, ruby, alignment,
// the page end, the click-wait glyph and the character tweens, over the fake font service
// whose cells have known widths.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CFileFactory.h"
#include "CORE/Platform/HeadlessTextRasterizer.h"
#include "GRAPHICS/CDisplayObject.h"
#include "GRAPHICS/CGdiRenderer.h"
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/CLayerFactory.h"
#include "GRAPHICS/CSurfaceFactory.h"
#include "GRAPHICS/TweenRegistry.h"
#include "TEXT/CFontRenderer.h"
#include "TEXT/CTextRenderer.h"
#include "babel/babel.h"

using namespace kestrin;

namespace {

using Block = CTextRenderer::COneBlock;

class TextRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        CFontRenderer::ResetCaches();
        SPlatformServices fakes = PlatformServicesInEffect();
        fakes.textRasterizer = []() {
            return std::make_unique<HeadlessTextRasterizer>(std::set<std::string>{"ＭＳ ゴシック"});
        };
        fontService.emplace(fakes);
        font = std::make_shared<CFontRenderer>(&surfaces, &loaders, &files);
    }
    void TearDown() override {
        ClearTweenRegistry();
        fontService.reset();
        CFontRenderer::ResetCaches();
    }
    std::unique_ptr<CTextRenderer> Make(int32_t charset = 0, int32_t width = 640, int32_t height = 480) {
        auto r = std::make_unique<CTextRenderer>(font, &layers);
        r->SetCharset(charset);
        CTextRenderer::CProperty& p = r->GetProperty();
        p.width = width;
        p.height = height;
        p.rubySize = 0;
        if (charset == 2) p.face = p.rubyFace = "ＭＳ ゴシック";
        return r;
    }
    // The cell advance of a character at a size in the renderer's charset (kerning 0).
    int32_t Advance(CTextRenderer& r, const std::string& ch, uint8_t size = 24) {
        font->SetCharset(r.GetCharset());
        font->OpenFont(false, r.GetProperty().face, 128, size, false, false, false, false);
        return font->GetGlyph(uint16_t(font->GetCharCode(ch.c_str())), 0xFFFFFF, 0, 0).GetRect().GetWidth();
    }
    // Per line: the base text of each block, "|" between blocks.
    static std::vector<std::string> Lines(const CTextRenderer& r) {
        std::vector<std::string> out;
        for (int32_t i = 0; i <= r.GetCurrentLineIndex(); ++i) {
            std::string line;
            for (const Block* b : r.GetLines()[size_t(i)]->m_blocks) {
                if (!line.empty()) line += "|";
                line += std::to_string(b->m_chars.size());
            }
            out.push_back(line);
        }
        return out;
    }

    CSurfaceFactory surfaces;
    CFileFactory files;
    CGraphicLoaders loaders{&files};
    std::shared_ptr<CGdiRenderer> gdi = std::make_shared<CGdiRenderer>();
    CLayerFactory layers{gdi};
    std::optional<PlatformServicesScope> fontService;
    std::shared_ptr<CFontRenderer> font;
};

TEST_F(TextRendererTest, TextIsCutIntoWordsAndSingleCharacters) {
    const std::string letters(1500, 'x');
    const struct {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"abc def", {"3|1|3"}},
        {"a1", {"1|1"}},
        {"x.y,Z", {"1|1|1|1|1"}},
        {letters, {"1023|477"}},
        {babel::utf8_to_sjis("漢字a"), {"1|1|1"}},
        // A lead byte at the terminator ends the text.
        {"ab\x82", {"2"}},
    };
    for (const auto& c : cases) {
        auto r = Make(0, 100000000);
        const int32_t count = r->AddTextSimple(c.text.c_str());
        EXPECT_EQ(count, r->GetCharCount()) << c.text.substr(0, 16);
        EXPECT_EQ(Lines(*r), c.lines) << c.text.substr(0, 16);
    }
}

TEST_F(TextRendererTest, TruncatedUtf8EndsTheText) {
    auto r = Make(2, 1000);
    EXPECT_EQ(r->AddTextSimple("a\xE3\x81"), 1);
    EXPECT_EQ(Lines(*r), (std::vector<std::string>{"1"}));
}

TEST_F(TextRendererTest, TooWideAndPageFullReturnTheRest) {
    auto r = Make(0, 60, 48);
    const int32_t a = Advance(*r, "a");
    r->GetProperty().width = 6 * a;
    // A word wider than the area is refused whole.
    const char* text = "ab abcdefghi";
    const char* rest = nullptr;
    EXPECT_EQ(r->AddText(text, &rest), CTextRenderer::kTooWide);
    EXPECT_EQ(rest, text + 3);
    EXPECT_EQ(r->GetCharCount(), 3);
    // Two lines of 24 fit in 48: the third line's first unit comes back.
    r->Clear();
    const char* page = "aaaaa bbbbb ccccc";
    EXPECT_EQ(r->AddText(page, &rest), CTextRenderer::kPageFull);
    EXPECT_EQ(rest, page + 12);
    EXPECT_EQ(r->GetCurrentLineIndex(), 1);
    EXPECT_EQ(Lines(*r), (std::vector<std::string>{"5|1", "5|1"}));
    r->Clear();
    EXPECT_EQ(r->AddText(rest, nullptr), 5);
    EXPECT_EQ(Lines(*r), (std::vector<std::string>{"5"}));
}

TEST_F(TextRendererTest, LinesAlignInTheArea) {
    auto r = Make(0, 0);
    const int32_t a = Advance(*r, "a");
    const struct {
        int32_t align;
        std::vector<const char*> blocks;
        std::vector<int32_t> xs;
    } cases[] = {
        {CTextRenderer::kAlignLeft, {"ab", "c"}, {0, 2 * a}},
        {CTextRenderer::kAlignCenter, {"ab", "c"}, {(301 - 3 * a) / 2, (301 - 3 * a) / 2 + 2 * a}},
        {CTextRenderer::kAlignRight, {"ab", "c"}, {301 - 3 * a, 301 - a}},
        // Equalize: the last block ends at the right edge; with one block it is left.
        {CTextRenderer::kAlignEqualize, {"a", "b", "c"}, {0, a + (301 - 3 * a) / 2, 301 - a}},
        {CTextRenderer::kAlignEqualize, {"abcd"}, {0}},
    };
    for (const auto& c : cases) {
        r->Clear();
        r->GetProperty().width = 301;
        r->GetProperty().align = c.align;
        for (const char* b : c.blocks) ASSERT_GT(r->AddChars(b, ""), 0);
        r->Layout();
        std::vector<int32_t> xs;
        for (const Block* b : r->GetLines()[0]->m_blocks) xs.push_back(b->m_x);
        EXPECT_EQ(xs, c.xs) << c.align;
    }
}

TEST_F(TextRendererTest, AnchorCentreFollowsTheAlignment) {
    auto r = Make(0, 300);
    const int32_t a = Advance(*r, "a");
    const struct { int32_t align, anchorX; } cases[] = {{0, 2 * a}, {1, 150}, {2, 300 - 2 * a}, {3, 150}};
    for (const auto& c : cases) {
        r->Clear();
        r->GetProperty().align = c.align;
        r->AddTextSimple("abcd");
        r->Layout();
        EXPECT_EQ(r->GetProperty().entireAnchorX, c.anchorX) << c.align;
        EXPECT_EQ(r->GetProperty().entireAnchorY, 12);
    }
}

TEST_F(TextRendererTest, RubySpreadsTheNarrowerRow) {
    auto r = Make(0, 600);
    CTextRenderer::CProperty& p = r->GetProperty();
    p.rubySize = 24;
    p.size = 12;
    p.spaceTop = 3;
    const int32_t base = Advance(*r, "a", 12), ruby = Advance(*r, "b", 24);
    ASSERT_GT(r->AddChars("aa", "bbbb"), 0);
    const Block* b = r->GetLines()[0]->m_blocks[0];
    EXPECT_EQ(b->m_width, 4 * ruby);
    const double gap = double(4 * ruby - 2 * base) / 3;
    EXPECT_EQ(b->m_chars[0]->m_x, int32_t(gap));
    EXPECT_EQ(b->m_chars[1]->m_x, int32_t(gap + base + gap));
    EXPECT_EQ(b->m_rubyChars[3]->m_x, 3 * ruby);
    EXPECT_EQ(b->m_chars[0]->m_y, 24 + 3);
    EXPECT_EQ(b->m_rubyChars[0]->m_y, 3);
    EXPECT_EQ(b->m_height, 24 + 3 + 12);
    // Base characters take their serials before the ruby.
    EXPECT_EQ(b->GetFirstCharIndex(), 0);
    EXPECT_EQ(b->GetLastCharIndex(), 5);
    EXPECT_EQ(b->m_rubyChars[0]->m_serial, 2);

    // A wider base spreads its ruby over the base width.
    r->Clear();
    p.rubySize = 8;
    p.size = 24;
    const int32_t wide = Advance(*r, "a", 24), small = Advance(*r, "b", 8);
    ASSERT_GT(r->AddChars("aaa", "b"), 0);
    const Block* w = r->GetLines()[0]->m_blocks[0];
    EXPECT_EQ(w->m_width, 3 * wide);
    EXPECT_EQ(w->m_rubyChars[0]->m_x, int32_t(double(3 * wide - small) / 2));
}

// Shift_JIS and UTF-8 spellings of the same text, for the line-break table.
struct BreakCase {
    const char* name;
    std::string text;  // UTF-8; converted for Shift_JIS
    int32_t widthChars;
    bool hung;
    std::vector<std::string> lines;
};

TEST_F(TextRendererTest, ProhibitedCharactersHangCarryAndHold) {
    const BreakCase cases[] = {
        {"closing mark hangs", "あいう。え", 3, true, {"1|1|1|1", "1"}},
        {"without hanging it pulls the last character down", "あいう。え", 3, false, {"1|1", "1|1|1"}},
        {"opening mark moves down with the next", "あい「う", 3, true, {"1|1", "1|1"}},
        {"a line of only an opening mark keeps it", "「あいう", 3, true, {"1|1|1", "1"}},
        // The second cannot hang past a hanging line: both marks carry the last character down.
        {"two closing marks", "あいう。、", 3, true, {"1|1", "1|1|1"}},
    };
    for (int charset : {0, 2}) {
        for (const auto& c : cases) {
            auto r = Make(charset, 0, 1000);
            r->GetProperty().width = c.widthChars * Advance(*r, charset == 0 ? babel::utf8_to_sjis("あ") : "あ");
            r->GetProperty().hung = c.hung;
            const std::string text = charset == 0 ? babel::utf8_to_sjis(c.text) : c.text;
            // ASCII letters would form one word: add them one by one.
            for (size_t i = 0; i < text.size();) {
                const size_t n = CTextRenderer::CharLength(text.c_str() + i, charset);
                ASSERT_GT(r->AddChars(text.substr(i, n).c_str(), ""), 0);
                i += n;
            }
            std::vector<std::string> lines = Lines(*r);
            EXPECT_EQ(lines, c.lines) << c.name << " charset " << charset;
        }
    }
}

TEST_F(TextRendererTest, NewLineKeepsTheNextCharacterAndAdvancesByTheFont) {
    auto r = Make(0, 48, 1000);
    r->GetProperty().rubySize = 8;
    r->GetProperty().spaceBottom = 2;
    r->GetProperty().style = CTextRenderer::kStyleOutline;
    r->NewLine();
    EXPECT_EQ(r->GetTextHeight(), 24 + 8 + 2 + 4);
    r->AddTextSimple(babel::utf8_to_sjis("あ").c_str());
    r->NewLine();
    const std::string comma = babel::utf8_to_sjis("、");
    ASSERT_GT(r->AddTextSimple(comma.c_str()), 0);
    EXPECT_EQ(r->GetLines()[2]->m_blocks[0]->m_kinsoku, 0);
    EXPECT_EQ(r->GetCurrentLineIndex(), 2);
    ASSERT_GT(r->AddTextSimple(comma.c_str()), 0);
    EXPECT_EQ(r->GetLines()[2]->m_blocks[1]->m_kinsoku, 1);
}

TEST_F(TextRendererTest, KinsokuKindFollowsTheEncoding) {
    const std::string paren = "）";  // UTF-8 bytes of the full-width parenthesis
    const struct {
        int charset;
        std::string text;
        int32_t kind;
    } cases[] = {
        {2, paren, 1},
        {0, paren, 0},  // UTF-8 bytes are not a Shift_JIS character of the set
        {0, babel::utf8_to_sjis("）"), 1},
        {0, babel::utf8_to_sjis("「"), 2},
        {1, babel::utf8_to_euc("。"), 0},  // EUC-JP has only the ASCII defaults
        {1, "!", 1},
        {1, "(", 2},
        {2, "ab", 0},
    };
    for (const auto& c : cases) {
        auto r = Make(c.charset);
        std::unique_ptr<Block> b(r->CreateBlock(c.text.c_str(), ""));
        EXPECT_EQ(b->m_kinsoku, c.kind) << c.charset << " " << c.text;
    }
    // A given set replaces the defaults.
    auto r = Make(0);
    r->SetProhibitChars({"x"}, {});
    std::unique_ptr<Block> bang(r->CreateBlock("!", ""));
    std::unique_ptr<Block> x(r->CreateBlock("x", ""));
    EXPECT_EQ(bang->m_kinsoku, 0);
    EXPECT_EQ(x->m_kinsoku, 1);
}

TEST_F(TextRendererTest, DefaultSetsMatchTheCharacterListsInEachEncoding) {
    const char* head = "、。，．・：；！？」』）｝〕］】";
    const char* foot = "「『（｛〔［【";
    auto expect = [](const std::string& utf8, int charset, std::set<std::string> set) {
        for (size_t i = 0; i < utf8.size(); i += 3) {
            const std::string ch = utf8.substr(i, 3);
            set.insert(charset == 0 ? babel::utf8_to_sjis(ch) : ch);
        }
        return set;
    };
    const std::set<std::string> headAscii{"!", "?", "%", ")", "]", "}", ",", ".", ":", ";"};
    const std::set<std::string> footAscii{"(", "[", "{"};
    for (int charset : {0, 1, 2}) {
        auto r = Make(charset);
        EXPECT_EQ(r->GetHeadSet(), charset == 1 ? headAscii : expect(head, charset, headAscii)) << charset;
        EXPECT_EQ(r->GetFootSet(), charset == 1 ? footAscii : expect(foot, charset, footAscii)) << charset;
    }
}

TEST_F(TextRendererTest, DefaultFacesFollowTheEncoding) {
    CTextRenderer r(font, &layers);
    r.GetProperty().rubyFace = "IPAGothic";
    r.SetCharset(2);
    EXPECT_EQ(r.GetProperty().face, "ＭＳ ゴシック");
    EXPECT_EQ(r.GetProperty().rubyFace, "IPAGothic");  // a chosen face stays
    r.SetCharset(1);
    EXPECT_EQ(r.GetProperty().face, babel::utf8_to_euc("ＭＳ ゴシック"));
    r.SetCharset(0);
    EXPECT_EQ(r.GetProperty().face, CTextRenderer::CProperty::kDefaultFace);
}

TEST_F(TextRendererTest, ShiftJisAndUtf8LayOutAlike) {
    const std::string text = "吾輩は猫である。名前はまだ無い。（どこで生れたか）とんと見当がつかぬ。Hello, world!";
    std::vector<std::vector<int32_t>> layouts;
    for (int charset : {0, 2}) {
        auto r = Make(charset, 24 * 7, 1000);
        const std::string t = charset == 0 ? babel::utf8_to_sjis(text) : text;
        ASSERT_GT(r->AddTextSimple(t.c_str()), 0);
        r->Layout();
        std::vector<int32_t> layout;
        for (int32_t i = 0; i <= r->GetCurrentLineIndex(); ++i) {
            const auto* line = r->GetLines()[size_t(i)];
            layout.push_back(-line->GetY());
            for (const Block* b : line->m_blocks) layout.push_back(b->m_x), layout.push_back(b->m_width);
        }
        layouts.push_back(layout);
    }
    EXPECT_EQ(layouts[0], layouts[1]);
}

TEST_F(TextRendererTest, PageFullKeepsHeldAndCarriedBlocks) {
    // "「" ends a full last line: the next line does not fit, so nothing moves.
    auto r = Make(0, 0, 24);
    const std::string text = babel::utf8_to_sjis("あい「う");
    r->GetProperty().width = 3 * Advance(*r, babel::utf8_to_sjis("あ"));
    const char* rest = nullptr;
    EXPECT_EQ(r->AddText(text.c_str(), &rest), CTextRenderer::kPageFull);
    EXPECT_EQ(std::string(rest), babel::utf8_to_sjis("う"));
    EXPECT_EQ(Lines(*r), (std::vector<std::string>{"1|1|1"}));
    EXPECT_EQ(r->GetCharCount(), 3);
}

class WideGlyph : public CDisplayObject {
public:
    int32_t GetWidth() const override { return 10; }
};

TEST_F(TextRendererTest, GlyphFollowsTheLastCharacterOrStartsTheNextLine) {
    auto glyph = std::make_shared<WideGlyph>();
    auto r = Make(0);
    const std::string two = babel::utf8_to_sjis("あい"), one = babel::utf8_to_sjis("う");
    const int32_t w = Advance(*r, one);
    r->GetProperty().width = 3 * w;
    r->SetGlyph(glyph);
    EXPECT_EQ(r->GetLines()[0]->m_glyph, glyph);
    r->AddTextSimple(two.c_str());
    r->SetGlyph(glyph);
    EXPECT_EQ(r->GetLines()[0]->m_glyph, nullptr);
    EXPECT_EQ(r->GetLines()[0]->m_blocks[1]->m_glyph, glyph);
    EXPECT_EQ(glyph->GetX(), w);
    // A line ending at the right edge: hung keeps it at the end, otherwise the next line.
    r->AddTextSimple(one.c_str());
    for (bool hung : {true, false}) {
        r->GetProperty().hung = hung;
        r->SetGlyph(glyph);
        const auto& blocks = r->GetLines()[0]->m_blocks;
        EXPECT_EQ(blocks[2]->m_glyph != nullptr, hung);
        EXPECT_EQ(blocks[0]->m_glyph != nullptr, !hung);
        EXPECT_EQ(glyph->GetY(), hung ? 0 : 24);
    }
    r->SetGlyph(nullptr);
    for (const Block* b : r->GetLines()[0]->m_blocks) EXPECT_EQ(b->m_glyph, nullptr);
}

// The place the renderer picks is added to the glyph's own position (its left and top), and
// placing it again starts from that position, not from the last place; removed, it is back there.
TEST_F(TextRendererTest, GlyphPlaceIsAddedToItsOwnPosition) {
    auto glyph = std::make_shared<WideGlyph>();
    glyph->SetX(5);
    glyph->SetY(22);
    auto r = Make(0, 0, 24);
    const std::string one = babel::utf8_to_sjis("あ");
    const int32_t w = Advance(*r, one);
    r->GetProperty().width = 2 * w;
    r->GetProperty().hung = false;
    struct {
        const char* text;  // added before the glyph is placed again
        int32_t x, y;
    } const cases[] = {
        {"", 5, 22},         // empty line: its origin
        {"あ", w + 5, 22},   // after the last character
        {"", w + 5, 22},     // placed twice: no drift
        {"あ", 5, 24 + 22},  // no room left: the start of the next line
    };
    for (const auto& c : cases) {
        if (*c.text) r->AddTextSimple(babel::utf8_to_sjis(c.text).c_str());
        r->SetGlyph(glyph);
        EXPECT_EQ(glyph->GetX(), c.x) << r->GetCharCount();
        EXPECT_EQ(glyph->GetY(), c.y) << r->GetCharCount();
    }
    r->SetGlyph(nullptr);
    EXPECT_EQ(glyph->GetX(), 5);
    EXPECT_EQ(glyph->GetY(), 22);
}

TEST_F(TextRendererTest, ClearOnAnEmptyPageChangesNothing) {
    auto r = Make(0);
    r->GetProperty().align = 1;
    const auto* line = r->GetLines()[0];
    r->Clear();
    EXPECT_EQ(r->GetLines()[0], line);
    r->AddTextSimple("ab");
    r->Clear();
    EXPECT_EQ(r->GetCharCount(), 0);
    EXPECT_EQ(r->GetTextHeight(), 0);
}

CTextRenderer::CTweenInfo AlphaIn(int32_t delay, bool entire = false) {
    CTextRenderer::CTweenInfo t;
    t.param = CTextRenderer::CTweenInfo::kAlpha;
    t.ease = 0;
    t.diff = -255;
    t.msec = 300;
    t.delay = delay;
    t.entire = entire;
    return t;
}

std::vector<int32_t> Alphas(const CTextRenderer& r, bool ruby = false) {
    std::vector<int32_t> out;
    for (const auto* line : r.GetLines())
        for (const Block* b : line->m_blocks)
            for (const auto* c : ruby ? b->m_rubyChars : b->m_chars) out.push_back(c->GetAlpha());
    return out;
}

TEST_F(TextRendererTest, TweenPresetsHaveTheirDefaults) {
    const CTextRenderer::CTweenInfo t;
    EXPECT_EQ(t.param, 6);
    EXPECT_EQ(t.ease, 31);
    EXPECT_FALSE(t.entire || t.randomDelay || t.leave);
    EXPECT_EQ(t.diff + t.msec + t.delay + t.yoyo, 0);
}

TEST_F(TextRendererTest, AppearingCharactersStartOneDelayApart) {
    auto r = Make(0);
    EXPECT_TRUE(r->IsTweenDone());
    r->AddTextSimple("a,b,");
    r->StartTweens({AlphaIn(50)}, false);
    EXPECT_EQ(Alphas(*r), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_FALSE(r->IsTweenDone());
    UpdateTweens(1000);
    UpdateTweens(1300);
    // Started at 0, 50, 100 and 150 ms, 300 ms long.
    EXPECT_EQ(Alphas(*r), (std::vector<int32_t>{255, 212, 170, 127}));
    UpdateTweens(1450);
    EXPECT_EQ(Alphas(*r), (std::vector<int32_t>{255, 255, 255, 255}));
    UpdateTweens(1451);
    EXPECT_TRUE(r->IsTweenDone());

    // Leaving: the text fades out from its alpha.
    CTextRenderer::CTweenInfo out = AlphaIn(0);
    out.leave = true;
    r->StartTweens({out}, false);
    EXPECT_EQ(Alphas(*r), (std::vector<int32_t>{255, 255, 255, 255}));
    UpdateTweens(2000);
    UpdateTweens(2150);
    EXPECT_EQ(Alphas(*r), (std::vector<int32_t>{127, 127, 127, 127}));
    // Completing writes the laid-out values back at the next layout.
    r->CompleteTweens();
    EXPECT_TRUE(r->IsTweenDone());
    r->Layout();
    EXPECT_EQ(Alphas(*r), (std::vector<int32_t>{255, 255, 255, 255}));
}

TEST_F(TextRendererTest, RubyAndEntireTweensShareTheBaseTimeSpan) {
    auto r = Make(0);
    r->GetProperty().rubySize = 8;
    r->AddChars("abcd", "xy");
    r->AddChars("efg", "");
    r->StartTweens({AlphaIn(50)}, false);
    UpdateTweens(1000);
    UpdateTweens(1060);
    // Ruby delays 0 and 100 over base delays 0, 50, 100, 150; the next block goes on at 200.
    EXPECT_EQ(Alphas(*r, true), (std::vector<int32_t>{51, 0}));
    UpdateTweens(1160);
    EXPECT_EQ(Alphas(*r, true), (std::vector<int32_t>{136, 51}));
    r->FinishTweens();

    // Entire presets move blocks; a block of 3 characters with delay 40 holds the next for 120.
    r->Clear();
    r->AddChars("abc", "");
    r->AddChars("d", "");
    r->StartTweens({AlphaIn(40, true)}, false);
    const auto& blocks = r->GetLines()[0]->m_blocks;
    EXPECT_EQ(blocks[0]->GetAlpha(), 0);
    UpdateTweens(3000);
    UpdateTweens(3119);
    EXPECT_GT(blocks[0]->GetAlpha(), 0);
    EXPECT_EQ(blocks[1]->GetAlpha(), 0);
    UpdateTweens(3150);
    EXPECT_GT(blocks[1]->GetAlpha(), 0);
}

TEST_F(TextRendererTest, ContinuedTweensReachOnlyNewText) {
    auto r = Make(0);
    r->AddTextSimple("a,");
    r->StartTweens({AlphaIn(50)}, false);
    r->CompleteTweens();
    r->AddTextSimple("b");
    r->StartTweens({AlphaIn(50)}, true);
    r->Layout();
    EXPECT_EQ(Alphas(*r), (std::vector<int32_t>{255, 255, 0}));
    UpdateTweens(1000);
    UpdateTweens(1030);
    EXPECT_EQ(Alphas(*r), (std::vector<int32_t>{255, 255, 25}));  // the first new one waits for nothing
}

TEST_F(TextRendererTest, OddPresetsAndRandomDelays) {
    auto r = Make(0);
    r->AddTextSimple("abc,");
    CTextRenderer::CTweenInfo none;
    none.param = 7;
    r->StartTweens({none}, false);
    EXPECT_TRUE(r->IsTweenDone());
    // A random delay of 0 counts like the plain case.
    CTextRenderer::CTweenInfo zero = AlphaIn(0);
    zero.randomDelay = true;
    r->StartTweens({zero}, false);
    UpdateTweens(1000);
    UpdateTweens(1150);
    EXPECT_EQ(Alphas(*r), (std::vector<int32_t>{127, 127, 127, 127}));
    // Random delays stay below the delay.
    CTextRenderer::CTweenInfo random = AlphaIn(100);
    random.randomDelay = true;
    r->CompleteTweens();
    r->Clear();
    r->AddTextSimple(std::string(20, ',').c_str());
    r->StartTweens({random}, false);
    UpdateTweens(2000);
    UpdateTweens(2399);
    for (int32_t alpha : Alphas(*r)) EXPECT_EQ(alpha, 255);
}

TEST_F(TextRendererTest, ClearTweensRunOnTheOldPageUntilDone) {
    auto r = Make(0);
    r->AddTextSimple("ab,");
    CTextRenderer::CTweenInfo out = AlphaIn(0);
    out.leave = true;
    r->ClearWithTweens({out});
    EXPECT_EQ(r->GetCharCount(), 0);
    ASSERT_EQ(r->GetFadingLines().size(), 1u);
    EXPECT_FALSE(r->IsClearTweenDone());
    UpdateTweens(1000);
    UpdateTweens(1301);
    UpdateTweens(1302);
    EXPECT_TRUE(r->IsClearTweenDone());
    // A renderer destroyed mid-tween finishes both sets first.
    r->AddTextSimple("cd,");
    r->StartTweens({AlphaIn(10)}, false);
    r->ClearWithTweens({out});
    r->AddTextSimple("e");
    r->StartTweens({AlphaIn(10)}, false);
    UpdateTweens(5000);
    r.reset();
    UpdateTweens(5100);
}

}  // namespace
