// The interpreter on a real screen (software renderer, SDL dummy driver): the layer tree at
// boot, the click-wait glyph and layer fades.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/ILayerFactory.h"
#include "GRAPHICS/ISurface.h"
#include "GRAPHICS/ISurfaceFactory.h"
#include "GRAPHICS/TweenRegistry.h"
#include "SCRIPT/CMainScript.h"
#include "TEXT/CLinkableTextRenderer.h"
#include "support/InterpreterFixture.h"
#include "support/TestSupport.h"

using namespace kestrin;

namespace {

class InterpreterScreenTest : public kestrin_test::InterpreterFixture {
protected:
    void SetUp() override {
        InterpreterFixture::SetUp();
        ASSERT_NO_FATAL_FAILURE(OpenScreen(64, 48));
    }

    // A visible image layer node under the root, committed.
    std::shared_ptr<COruLayer> AddRootLayer(const std::string& name, bool visible) {
        auto node = std::make_shared<COruLayer>(m_screen->GetSurfaceManager(), m_screen->GetLayerFactory()->Create());
        node->SetVisible(visible);
        m_screen->GetRootLayer()->AddChild(name, node);
        m_screen->GetRootLayer()->Commit();
        return node;
    }

    // A 64 x 48 picture of one colour.
    std::shared_ptr<ISurface> Filled(uint32_t argb) {
        std::shared_ptr<ISurface> surface = m_screen->GetSurfaceFactory()->Create();
        EXPECT_FALSE(surface->Init(64, 48, ISurface::kPixel32, 0));
        surface->Fill(argb);
        return surface;
    }

    // The colour in the middle of the window after drawing a frame.
    uint32_t MiddlePixel() {
        m_screen->Update();
        m_screen->Draw();
        m_screen->TakeScreenshot();
        uint32_t pixel = 0;
        std::memcpy(&pixel, m_screen->GetScreenshotSurface()->GetLine(24) + 32 * 4, 4);
        return pixel & 0xFFFFFFu;
    }

    void Frame() {
        m_now += 16;
        UpdateTweens(m_now);
        m_script->Update(m_now);
    }
};

TEST_F(InterpreterScreenTest, BootEmptiesTheLayerTreeAndMakesTheBacklogAndUnnamedMessageLayers) {
    m_dir.Write("main.iet", "@\n");
    m_script = std::make_unique<CMainScript>(m_screen.get());
    AddRootLayer("old", true);
    ASSERT_FALSE(m_script->Start());
    EXPECT_TRUE(m_screen->GetRootLayer()->GetChildren().empty());
    EXPECT_TRUE(m_screen->GetRootLayer()->GetNextChildren().empty());
    EXPECT_EQ(m_screen->GetMessageLayers().size(), 2u);
    EXPECT_TRUE(m_screen->GetMessageLayers().count("backlog"));
    EXPECT_TRUE(m_screen->GetMessageLayers().count(""));
    EXPECT_EQ(m_screen->GetTextEncoding(), 2u);
}

TEST_F(InterpreterScreenTest, ClickWaitGlyphShowsDuringTheWaitAndHidesAfterIt) {
    m_dir.Write("main.iet", "@\n@\n");
    m_script = std::make_unique<CMainScript>(m_screen.get());
    ASSERT_FALSE(m_script->Start());
    auto icon = AddRootLayer("icon", false);
    auto& glyph = m_script->GetGlyphSettings()[""];
    glyph.lineGlyphSet = true;
    glyph.lineGlyphLayer = "icon";
    Frame();
    EXPECT_EQ(m_script->GetState(), CMainScript::STAT_CLICK);
    // The wait shows its glyph from the next frame's wait check on.
    EXPECT_FALSE(icon->IsVisible());
    Frame();
    EXPECT_TRUE(icon->IsVisible());
    m_script->HideGlyph();
    EXPECT_FALSE(icon->IsVisible());
}

// A homing glyph leaves the root layer and follows the end of the text; afterwards it is back
// under the root, hidden. Without homing, or without text, nothing moves.
TEST_F(InterpreterScreenTest, HomingGlyphFollowsTheEndOfTheText) {
    m_dir.Write("main.iet", "@\n@\n");
    m_script = std::make_unique<CMainScript>(m_screen.get());
    ASSERT_FALSE(m_script->Start());
    auto icon = AddRootLayer("icon", false);
    auto& glyph = m_script->GetGlyphSettings()[""];
    glyph.lineGlyphSet = true;
    glyph.lineGlyphLayer = "icon";
    glyph.homing = true;
    CScriptBlock line(CScriptBlock::kText, 0, "abc");
    m_script->ExecuteBlock(line, false);
    Frame();
    Frame();
    ASSERT_EQ(m_script->GetState(), CMainScript::STAT_CLICK);
    CLinkableTextRenderer* text = CLinkableTextRenderer::Of(m_screen->GetCurrentMessageLayer());
    ASSERT_NE(text, nullptr);
    ASSERT_EQ(text->GetLines().size(), 1u) << text->GetCharCount();
    ASSERT_EQ(text->GetCharCount(), 3);
    const auto& blocks = text->GetLines()[0]->m_blocks;
    ASSERT_FALSE(blocks.empty());
    EXPECT_EQ(blocks.back()->m_glyph, icon);  // right after the last character
    EXPECT_EQ(icon->GetX(), blocks.back()->m_width);
    EXPECT_TRUE(icon->IsVisible());
    EXPECT_FALSE(m_screen->GetRootLayer()->GetChildren().count("icon"));

    m_script->HideGlyph();
    EXPECT_EQ(blocks.back()->m_glyph, nullptr);
    EXPECT_FALSE(icon->IsVisible());
    EXPECT_EQ(m_screen->GetRootLayer()->GetNextChildren().at("icon"), icon);

    // Without homing the same icon shows where it is.
    m_screen->GetRootLayer()->Commit();
    glyph.homing = false;
    m_script->ShowGlyph();
    EXPECT_TRUE(icon->IsVisible());
    EXPECT_EQ(blocks.back()->m_glyph, nullptr);
    EXPECT_TRUE(m_screen->GetRootLayer()->GetChildren().count("icon"));
}

TEST_F(InterpreterScreenTest, FadesRunOverASecondAndSkipHiddenLayers) {
    m_dir.Write("main.iet", "@\n");
    m_script = std::make_unique<CMainScript>(m_screen.get());
    ASSERT_FALSE(m_script->Start());
    auto shown = AddRootLayer("shown", true);
    auto hidden = AddRootLayer("hidden", false);
    m_script->FadeOutLayer("shown");
    m_script->FadeOutLayer("hidden");
    m_script->FadeInLayer("missing");
    EXPECT_EQ(shown->GetTweenIds().size(), 1u);
    EXPECT_TRUE(hidden->GetTweenIds().empty());
    for (int i = 0; i < 70; ++i) Frame();
    EXPECT_EQ(shown->GetAlpha(), 0);
    EXPECT_TRUE(shown->IsVisible());
    m_script->FadeInLayer("shown");
    EXPECT_EQ(shown->GetAlpha(), 0);
    for (int i = 0; i < 70; ++i) Frame();
    EXPECT_EQ(shown->GetAlpha(), 255);

    // A layer the script made half transparent comes back half transparent.
    CScriptBlock lyprop(CScriptBlock::kTag, 0, "lyprop");
    lyprop.SetAttribute("id", "shown");
    lyprop.SetAttribute("alpha", "128");
    m_script->ExecuteBlock(lyprop, false);
    EXPECT_EQ(shown->GetOwnAlpha(), 128);
    m_script->FadeOutLayer("shown");
    for (int i = 0; i < 70; ++i) Frame();
    EXPECT_EQ(shown->GetAlpha(), 0);
    m_script->FadeInLayer("shown");
    for (int i = 0; i < 70; ++i) Frame();
    EXPECT_EQ(shown->GetAlpha(), 128);
}

// "reset" starts the game again behind the last picture, which stays on the screen for the
// reset's second; then the new game shows, at full opacity, and its script runs. The new game
// may move a layer of its own meanwhile: the held picture stays all the same.
TEST_F(InterpreterScreenTest, ResetHoldsTheLastPictureForItsSecond) {
    for (const bool newGameMoves : {false, true}) {
        SCOPED_TRACE(newGameMoves ? "the new game moves a layer" : "the new game is still");
        m_dir.Write("main.iet", "@\n");
        m_script = std::make_unique<CMainScript>(m_screen.get());
        ASSERT_FALSE(m_script->Start());
        Frame();
        AddRootLayer("bg", true)->SetSurface(Filled(0xFFFF0000u));
        ASSERT_EQ(MiddlePixel(), 0xFF0000u);

        m_script->ExecuteBlock(CScriptBlock(CScriptBlock::kTag, 0, "reset"), false);
        EXPECT_TRUE(m_screen->GetRootLayer()->GetChildren().empty());
        if (newGameMoves) {
            auto moving =
                std::make_shared<COruLayer>(m_screen->GetSurfaceManager(), m_screen->GetLayerFactory()->Create());
            moving->SetSurface(Filled(0xFF0000FFu));
            m_screen->GetRootLayer()->AddChild("moving", moving);
            ILayer* layer = moving.get();
            moving->AddTween(
                RegisterTween(new TTween<int32_t>([layer](int32_t x) { layer->SetX(x); }, 0, 1, 100000, 0)));
            ASSERT_TRUE(m_screen->GetRootLayer()->IsTweening());
        }
        int frames = 0;
        while (m_script->GetState() == CMainScript::STAT_TRANSITION && frames < 600) {
            ASSERT_EQ(MiddlePixel(), 0xFF0000u) << "frame " << frames;
            Frame();
            ++frames;
        }
        EXPECT_GE(frames * 16, 1000 - 16);
        EXPECT_LE(frames * 16, 1000 + 32);
        EXPECT_EQ(MiddlePixel(), newGameMoves ? 0x0000FFu : 0u);
        EXPECT_FALSE(m_screen->IsInTransition());
        EXPECT_EQ(m_screen->GetRootLayer()->GetAlpha(), 255);
        EXPECT_EQ(m_script->GetState(), CMainScript::STAT_CLICK);
        m_script.reset();
    }
}

}  // namespace
