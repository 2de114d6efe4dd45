// Links of message text: hit layers over the linked characters, the shared pulse of a
// pointed-at link, clicks that disable every link and run the handler once, and the page
// clear dropping links (also from inside a handler). Pointer events are raised through the
// hit layers' own handlers.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CFileFactory.h"
#include "CORE/Platform/HeadlessTextRasterizer.h"
#include "GRAPHICS/CGdiRenderer.h"
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/CLayerFactory.h"
#include "GRAPHICS/CMatrix2D.h"
#include "CORE/CPoint.h"
#include "GRAPHICS/CSurfaceFactory.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/ISurface.h"
#include "GRAPHICS/TweenRegistry.h"
#include "TEXT/CFontRenderer.h"
#include "TEXT/CLinkableTextRenderer.h"

using namespace kestrin;

namespace {

using Char = CLinkableTextRenderer::CLinkableOneChar;

class LinkableTextRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        CFontRenderer::ResetCaches();
        SPlatformServices fakes = PlatformServicesInEffect();
        fakes.textRasterizer = []() {
            return std::make_unique<HeadlessTextRasterizer>(std::set<std::string>{"ＭＳ ゴシック"});
        };
        fontService.emplace(fakes);
        font = std::make_shared<CFontRenderer>(&surfaces, &loaders, &files);
        r = std::make_unique<CLinkableTextRenderer>(font, &layers, &surfaces);
        r->GetProperty().spaceTop = 2;
        r->GetProperty().spaceMiddle = 3;
        r->GetProperty().spaceBottom = 4;
    }
    void TearDown() override {
        r.reset();
        ClearTweenRegistry();
        fontService.reset();
        CFontRenderer::ResetCaches();
    }
    void Frame() { r->Update(CMatrix2D(), 1.0f); }
    // Every character of the page in order, base before ruby.
    std::vector<Char*> Chars() {
        std::vector<Char*> out;
        for (auto* line : r->GetLines())
            for (auto* b : line->m_blocks) {
                for (auto* c : b->m_chars) out.push_back(static_cast<Char*>(c));
                for (auto* c : b->m_rubyChars) out.push_back(static_cast<Char*>(c));
            }
        return out;
    }
    static void Raise(const LayerEventHandler& handler) {
        ASSERT_TRUE(bool(handler));
        handler();
    }

    CSurfaceFactory surfaces;
    CFileFactory files;
    CGraphicLoaders loaders{&files};
    std::shared_ptr<CGdiRenderer> gdi = std::make_shared<CGdiRenderer>();
    CLayerFactory layers{gdi};
    std::optional<PlatformServicesScope> fontService;
    std::shared_ptr<CFontRenderer> font;
    std::unique_ptr<CLinkableTextRenderer> r;
};

TEST_F(LinkableTextRendererTest, LinkedCharactersCarryHitLayersOverTheirBand) {
    r->AddTextSimple("a");
    r->BeginLink([] {});
    r->AddChars("bc", "xyz");
    r->EndLink();
    r->AddTextSimple("d");
    const std::vector<Char*> chars = Chars();
    ASSERT_EQ(chars.size(), 7u);
    EXPECT_FALSE(chars[0]->m_hitLayer);
    EXPECT_FALSE(chars[6]->m_hitLayer);
    ASSERT_EQ(r->GetLinks().size(), 1u);
    EXPECT_EQ(r->GetLinks()[0]->m_chars, (std::vector<Char*>(chars.begin() + 1, chars.begin() + 6)));
    const struct {
        size_t index;
        int32_t height, y;
    } cases[] = {{1, 24 + 3 + 4, -3}, {3, 8 + 2, -2}};
    for (const auto& c : cases) {
        ASSERT_TRUE(chars[c.index]->m_hitLayer);
        ISurface* s = chars[c.index]->m_hitLayer->GetSurface();
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->GetWidth(), chars[c.index]->GetAdvance());
        EXPECT_EQ(s->GetHeight(), c.height);
        EXPECT_EQ(s->GetPixel(CPoint(0, 0)), -1);
        EXPECT_EQ(chars[c.index]->m_hitLayer->GetY(), c.y);
        EXPECT_EQ(chars[c.index]->m_hitLayer->GetAlpha(), 0);
        EXPECT_EQ(chars[c.index]->m_hitLayer->GetLayerMode(), 1);
    }
}

TEST_F(LinkableTextRendererTest, PointingPulsesTheWholeLinkAndEndsAtZero) {
    r->BeginLink([] {});
    r->AddTextSimple("ab");
    r->AddTextSimple(",");
    Frame();
    const std::vector<Char*> chars = Chars();
    ASSERT_EQ(chars.size(), 3u);
    Raise(chars[0]->m_hitLayer->GetOnRollOver());
    Frame();
    std::vector<int32_t> ids;
    for (Char* c : chars) {
        EXPECT_TRUE(IsTweenRegistered(c->m_highlight));
        ids.push_back(c->m_highlight);
    }
    // Moving to the next character of the same link in one frame keeps the pulse.
    Raise(chars[0]->m_hitLayer->GetOnRollOut());
    Raise(chars[1]->m_hitLayer->GetOnRollOver());
    Frame();
    for (size_t i = 0; i < chars.size(); ++i) EXPECT_EQ(chars[i]->m_highlight, ids[i]);
    UpdateTweens(1000);
    UpdateTweens(1250);
    EXPECT_EQ(chars[2]->m_hitLayer->GetAlpha(), 64);
    Raise(chars[1]->m_hitLayer->GetOnRollOut());
    Frame();
    EXPECT_FALSE(r->GetLinks()[0]->m_hovered);
    // The swing up finishes, one swing back remains, then the pulse is over at 0.
    UpdateTweens(1500);
    UpdateTweens(2000);
    UpdateTweens(2001);
    for (Char* c : chars) {
        EXPECT_FALSE(IsTweenRegistered(c->m_highlight));
        EXPECT_EQ(c->m_hitLayer->GetAlpha(), 0);
    }
}

TEST_F(LinkableTextRendererTest, AClickRunsTheHandlerOnceAndDisablesEveryLink) {
    int first = 0, second = 0;
    r->BeginLink([&] { ++first; });
    r->AddTextSimple("ab");
    // Opening a link closes the open one.
    r->BeginLink([&] { ++second; });
    r->AddTextSimple("c");
    ASSERT_EQ(r->GetLinks().size(), 2u);
    EXPECT_EQ(r->GetLinks()[0]->m_chars.size(), 2u);
    EXPECT_EQ(r->GetLinks()[1]->m_chars.size(), 1u);
    Frame();
    EXPECT_FALSE(r->IsLinkOpen());  // layout closes links
    const std::vector<Char*> chars = Chars();
    Raise(chars[0]->m_hitLayer->GetOnClick());
    Raise(chars[1]->m_hitLayer->GetOnClick());
    Frame();
    Frame();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    for (Char* c : chars) EXPECT_FALSE(bool(c->m_hitLayer->GetOnClick()));
    r->EnableLinks();
    Raise(chars[2]->m_hitLayer->GetOnClick());
    Frame();
    EXPECT_EQ(second, 1);
}

TEST_F(LinkableTextRendererTest, ClearDropsLinksEvenFromInsideAHandler) {
    int second = 0;
    r->BeginLink([&] { r->Clear(); });
    r->AddTextSimple("ab");
    r->BeginLink([&] { ++second; });
    r->AddTextSimple("c");
    Frame();
    std::vector<Char*> chars = Chars();
    Raise(chars[0]->m_hitLayer->GetOnRollOver());
    Frame();
    Raise(chars[0]->m_hitLayer->GetOnClick());
    Frame();
    EXPECT_TRUE(r->GetLinks().empty());
    EXPECT_EQ(r->GetCharCount(), 0);
    EXPECT_EQ(second, 0);
    UpdateTweens(1000);
    r->AddTextSimple("d");
    ASSERT_EQ(Chars().size(), 1u);
    EXPECT_FALSE(Chars()[0]->m_hitLayer);
    EXPECT_TRUE(r->GetLinks().empty());
}

}  // namespace
