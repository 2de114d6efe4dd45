// Idle frames: while nothing drawn changes, the screen neither draws nor presents, the window
// keeps its picture and captures read it; every kind of change brings one frame back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/Platform/HeadlessClock.h"
#include "GRAPHICS/CAnimationLayer.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/ILayerFactory.h"
#include "GRAPHICS/ISurface.h"
#include "GRAPHICS/ISurfaceFactory.h"
#include "GRAPHICS/Platform/HeadlessFramePresenter.h"

using namespace kestrin;

namespace {

class IdleFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        SPlatformServices services = PlatformServicesInEffect();
        services.clock = clock;
        scope.emplace(services);
        CDynamicVariables* v = CDynamicVariables::GetInstance();
        v->SetMap("ApplicationArguments", CDynamicVariables::StringMap{{"fsr", ""}});
        v->SetInt("ini.Width", 32);
        v->SetInt("ini.Height", 24);
        screen = std::make_unique<CMainScreen>(nullptr, presenter);
        ASSERT_TRUE(screen->IsReady());
        image = screen->GetSurfaceFactory()->Create();
        ASSERT_FALSE(image->Init(8, 8, ISurface::kPixel32, 0));
        image->Fill(0xFF3060C0u);
        layer = screen->GetLayerFactory()->Create();
        layer->SetSurface(image);
        layer->SetX(4);
        screen->GetRootLayer()->AddChild("a", COruLayer::COruLayerWithLayer(screen->GetSurfaceManager(), layer));
        screen->Flip();
        // The first frames clear the back buffer: run until the screen idles.
        for (int i = 0; i < 4; ++i) Frame();
    }
    void TearDown() override {
        screen.reset();
        CDynamicVariables::ReleaseInstance();
        scope.reset();
    }

    // One frame of the game loop; true when it presented.
    bool Frame() {
        const int32_t before = presenter->GetPresentCount();
        clock->Advance(16);
        screen->Update();
        EXPECT_FALSE(screen->Draw());
        return presenter->GetPresentCount() != before;
    }

    std::vector<uint8_t> Screenshot() {
        screen->TakeScreenshot();
        CSurface* shot = screen->GetScreenshotSurface().get();
        std::vector<uint8_t> pixels;
        for (int y = 0; y < shot->GetHeight(); ++y)
            pixels.insert(pixels.end(), shot->GetLine(y), shot->GetLine(y) + shot->GetPitch());
        return pixels;
    }

    std::shared_ptr<HeadlessClock> clock = std::make_shared<HeadlessClock>(1000);
    std::shared_ptr<HeadlessFramePresenter> presenter = std::make_shared<HeadlessFramePresenter>(0, 32, 24);
    std::unique_ptr<CMainScreen> screen;
    std::shared_ptr<ISurface> image;
    std::shared_ptr<ILayer> layer;
    std::optional<PlatformServicesScope> scope;
};

}  // namespace

TEST_F(IdleFrameTest, IdleFramesKeepThePictureAndAreCounted) {
    const std::vector<uint8_t> shown = presenter->GetShownFrame();
    const std::vector<uint8_t> shot = Screenshot();
    const uint64_t skipped = screen->GetSkippedFrames();
    for (int i = 0; i < 10; ++i) EXPECT_FALSE(Frame()) << i;
    EXPECT_EQ(screen->GetSkippedFrames(), skipped + 10);
    EXPECT_EQ(presenter->GetShownFrame(), shown);
    EXPECT_EQ(Screenshot(), shot);
    // The picture is the layer's: blue at x 4..11, black elsewhere.
    EXPECT_EQ(shown[(2 * 32 + 5) * 4], 0xC0);
    EXPECT_EQ(shown[(2 * 32 + 1) * 4], 0x00);
}

TEST_F(IdleFrameTest, EveryChangeDrawsOneFrameAgain) {
    std::shared_ptr<CAnimationLayer> animation;
    struct Case {
        const char* what;
        std::function<void()> change;
    } cases[] = {
        {"a move", [&] { layer->SetX(6); }},
        {"an opacity", [&] { layer->SetAlpha(128); }},
        {"hiding", [&] { layer->SetVisible(false); }},
        {"pixels written",
         [&] {
             image->Lock();
             std::memset(image->GetLine(0), 0xFF, 8);
             image->Unlock();
         }},
        {"a layer added",
         [&] {
             std::shared_ptr<ILayer> second = screen->GetLayerFactory()->Create();
             second->SetSurface(image);
             screen->GetRootLayer()->AddChild("b", COruLayer::COruLayerWithLayer(screen->GetSurfaceManager(), second));
             screen->Flip();
         }},
        {"a layer deleted", [&] { screen->DeleteLayer("a"); }},
        {"a transition threshold", [&] { screen->SetRuleThreshold(100); }},
        {"an expose", [&] { screen->Invalidate(); }},
        {"an animation made",
         [&] {
             animation = std::make_shared<CAnimationLayer>();
             animation->SetFrame(layer);
             animation->AddFrame(nullptr, 1000);
             screen->GetRootLayer()->AddChild("anim",
                                              COruLayer::COruLayerWithObject(screen->GetSurfaceManager(), animation));
             screen->Flip();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.change();
        EXPECT_TRUE(Frame());
        EXPECT_FALSE(Frame());
        // Setting what is already there changes nothing.
        layer->SetX(layer->GetX());
        layer->SetVisible(layer->IsVisible());
        EXPECT_FALSE(Frame());
    }
}

TEST_F(IdleFrameTest, AnAnimationDrawsWhenItsFrameChangesOnly) {
    std::vector<int> drawn;
    struct Probe : CDisplayObject {
        Probe(int i, std::vector<int>* l) : id(i), log(l) {}
        void OnDraw(const CMatrix2D&, float, int32_t) override { log->push_back(id); }
        int id;
        std::vector<int>* log;
    };
    auto animation = std::make_shared<CAnimationLayer>();
    animation->SetFrame(std::make_shared<Probe>(1, &drawn));
    animation->AddFrame(std::make_shared<Probe>(2, &drawn), 100);
    animation->AddFrame(nullptr, 200);
    screen->GetRootLayer()->AddChild("anim", COruLayer::COruLayerWithObject(screen->GetSurfaceManager(), animation));
    screen->Flip();
    // Frames of 16 ms: the picture changes at 100 ms and at the loop's end, 200 ms.
    int presents = 0;
    for (int i = 0; i < 25; ++i) presents += Frame();
    EXPECT_GE(presents, 3);
    EXPECT_LE(presents, 5);
    EXPECT_EQ(drawn.front(), 1);
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), 2), drawn.end());
}
