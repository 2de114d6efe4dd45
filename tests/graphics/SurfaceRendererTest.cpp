#include "GRAPHICS/CGdiRenderer.h"
#include "Application/PlatformServicesScope.h"
#include "CORE/CPoint.h"
#include "GRAPHICS/CGraphicRenderer.h"
#include "GRAPHICS/CRect.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/CSurfaceFactory.h"
#include "GRAPHICS/Platform/HeadlessFramePresenter.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace kestrin;

TEST(CSurface, FormatsSizesAndPixelAccess) {
    CSurface s;
    EXPECT_EQ(s.GetLine(0), nullptr);
    EXPECT_EQ(s.GetPixel(CPoint(0, 0)), -1);
    ASSERT_FALSE(s.Init(3, 5, 0, 0));
    EXPECT_EQ(s.GetPitch(), 3);
    EXPECT_EQ(s.GetBufferSize(), 15);
    s.Fill(0xFF000000u);
    EXPECT_EQ(s.GetPixel(CPoint(2, 4)), 0);
    s.Fill(0x1234u);
    EXPECT_EQ(s.GetPixel(CPoint(1, 1)), 0x34);

    ASSERT_FALSE(s.Init(3, 5, 2, 0));
    EXPECT_EQ(s.GetPitch(), 12);
    EXPECT_EQ(s.GetBufferSize(), 60);
    EXPECT_EQ(s.GetLine(2) - s.GetLine(0), 24);
    s.Fill(0xFF000000u);
    EXPECT_EQ(static_cast<uint32_t>(s.GetPixel(CPoint(2, 4))), 0xFF000000u);
    const uint8_t bgra[4] = {1, 2, 3, 4};
    std::memcpy(s.GetLine(1) + 4, bgra, 4);
    EXPECT_EQ(s.GetPixel(CPoint(1, 1)), 0x04030201);
    s.Clear();
    EXPECT_EQ(s.GetPixel(CPoint(1, 1)), 0);

    // Refused before anything is allocated: unknown formats, negative or huge sizes.
    for (auto args : std::vector<std::vector<int32_t>>{{3, 5, 3},
                                                       {3, 5, -1},
                                                       {-1, 5, 1},
                                                       {5, -1, 0},
                                                       {1 << 16, 1 << 16, 2},
                                                       {32768, 32768, 1},
                                                       {0x7fffffff, 2, 0}}) {
        CSurface bad;
        EXPECT_TRUE(bad.Init(args[0], args[1], args[2], 0)) << args[0] << "x" << args[1] << " bits " << args[2];
        EXPECT_EQ(bad.GetLine(0), nullptr);
        EXPECT_EQ(bad.GetBufferSize(), 0);
        bad.Fill(1);  // nothing to fill, no crash
    }
    CSurface empty;
    EXPECT_FALSE(empty.Init(0, 0, 1, 0));
    empty.Fill(5);

    CSurfaceFactory factory;
    auto made = factory.Create();
    ASSERT_TRUE(made);
    EXPECT_EQ(made->GetWidth(), 0);
}

namespace {

class StubRenderer : public IGraphicRenderer {
public:
    explicit StubRenderer(bool fails) : m_fails(fails) {}
    bool Init(Window) override {
        ++inits;
        return m_fails;
    }
    void RenderStart() override { ++starts; }
    bool RenderEnd() override { return false; }
    void Clear() override {}
    int32_t GetWidth() const override { return 640; }
    int32_t GetHeight() const override { return 480; }
    ISurface* GetRenderTarget() override { return nullptr; }
    void SetRenderTarget(ISurface*) override {}
    void CaptureScreen(ISurface*) override {}
    int inits = 0;
    int starts = 0;

private:
    bool m_fails;
};

class StubLayerFactory : public ILayerFactory {
public:
    std::shared_ptr<ILayer> Create() override { return nullptr; }
};

}  // namespace

TEST(CGraphicRenderer, SelectsTheFirstRendererThatStarts) {
    CGraphicRenderer front;
    EXPECT_EQ(front.GetSelectedIndex(), -1);
    EXPECT_EQ(front.GetWidth(), 0);
    EXPECT_EQ(front.GetRenderTarget(), nullptr);
    EXPECT_EQ(front.GetSurfaceFactory(), nullptr);
    EXPECT_TRUE(front.RenderEnd());
    front.RenderStart();

    auto failing = std::make_shared<StubRenderer>(true);
    auto working = std::make_shared<StubRenderer>(false);
    EXPECT_TRUE(front.AddRenderer(failing, nullptr, std::make_unique<CSurfaceFactory>()));
    EXPECT_TRUE(front.AddRenderer(nullptr, std::make_unique<StubLayerFactory>(), std::make_unique<CSurfaceFactory>()));
    EXPECT_FALSE(front.AddRenderer(failing, std::make_unique<StubLayerFactory>(), std::make_unique<CSurfaceFactory>()));
    EXPECT_FALSE(front.AddRenderer(failing, std::make_unique<StubLayerFactory>(), std::make_unique<CSurfaceFactory>()));
    auto workingFactory = std::make_unique<CSurfaceFactory>();
    ISurfaceFactory* expected = workingFactory.get();
    EXPECT_FALSE(front.AddRenderer(working, std::make_unique<StubLayerFactory>(), std::move(workingFactory)));

    EXPECT_FALSE(front.Init(7));
    EXPECT_EQ(failing->inits, 1);  // listed once
    EXPECT_EQ(front.GetSelectedIndex(), 1);
    EXPECT_EQ(front.GetRenderer(), working);
    EXPECT_EQ(front.GetSurfaceFactory(), expected);
    EXPECT_EQ(front.GetWidth(), 640);
    front.RenderStart();
    EXPECT_EQ(working->starts, 1);
    EXPECT_EQ(failing->starts, 0);

    CGraphicRenderer none;
    none.AddRenderer(failing, std::make_unique<StubLayerFactory>(), std::make_unique<CSurfaceFactory>());
    EXPECT_TRUE(none.Init(7));
    EXPECT_EQ(none.GetSelectedIndex(), -1);
    EXPECT_EQ(none.GetRenderer(), nullptr);
}

TEST(CGdiRenderer, BackBufferCaptureAndPresentation) {
    auto presenter = std::make_shared<HeadlessFramePresenter>(9, 8, 6);
    CGdiRenderer gdi(presenter);
    EXPECT_TRUE(gdi.Init(10));  // unknown window
    ASSERT_FALSE(gdi.Init(9));
    EXPECT_EQ(gdi.GetWidth(), 8);
    EXPECT_EQ(gdi.GetHeight(), 6);
    EXPECT_EQ(gdi.GetPixelBits(), 1);
    EXPECT_EQ(gdi.GetRenderTarget(), static_cast<ISurface*>(&gdi));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            const uint32_t v = 0xFF000000u | uint32_t(y * 40) << 16 | uint32_t(x * 30) << 8 | uint32_t(x + y);
            std::memcpy(gdi.GetLine(y) + 4 * x, &v, 4);
        }

    CSurface capture;
    gdi.CaptureScreen(&capture);
    ASSERT_EQ(capture.GetWidth(), 8);
    EXPECT_EQ(capture.GetPixelBits(), 1);
    for (int y = 0; y < 6; ++y) EXPECT_EQ(std::memcmp(capture.GetLine(y), gdi.GetLine(y), 32), 0);

    CSurface other;
    other.Init(2, 2, 2, 0);
    gdi.SetRenderTarget(&other);
    EXPECT_EQ(gdi.GetRenderTarget(), &other);
    gdi.SetRenderTarget(nullptr);
    EXPECT_EQ(gdi.GetRenderTarget(), static_cast<ISurface*>(&gdi));

    gdi.RenderStart();
    EXPECT_FALSE(gdi.RenderEnd());
    EXPECT_EQ(presenter->GetShownFrame(), std::vector<uint8_t>(gdi.GetLine(0), gdi.GetLine(0) + 8 * 6 * 4));

    // A partial present: the source area lands at the destination, clipped to the buffer.
    presenter->Resize(8, 6);
    EXPECT_FALSE(gdi.PresentRect(CRect(6, 4, 4, 4, true), CRect(1, 1, 4, 4, true)));
    const auto& shown = presenter->GetShownFrame();
    EXPECT_EQ(std::memcmp(&shown[(4 * 8 + 6) * 4], gdi.GetLine(1) + 4, 8), 0);
    EXPECT_EQ(shown[(3 * 8 + 6) * 4], 0);
    EXPECT_TRUE(gdi.PresentRect(CRect(20, 20, 4, 4, true), CRect(0, 0, 4, 4, true)));

    gdi.Clear();
    EXPECT_EQ(gdi.GetPixel(CPoint(7, 5)), 0);
}

TEST(CGdiRenderer, PresentsThroughTheSdlWindowSurface) {
    // Runs under SDL's dummy video driver: the window surface is plain memory.
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_Window* window = SDL_CreateWindow("t", 0, 0, 40, 30, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    {
        CGdiRenderer gdi;
        ASSERT_FALSE(gdi.Init(SDL_GetWindowID(window)));
        ASSERT_EQ(gdi.GetWidth(), 40);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                uint8_t* p = gdi.GetLine(y) + 4 * x;
                p[0] = uint8_t(x * 6);
                p[1] = uint8_t(y * 8);
                p[2] = uint8_t(x ^ y);
                p[3] = 0x5A;
            }
        ASSERT_FALSE(gdi.RenderEnd());
        SDL_Surface* shown = SDL_ConvertSurfaceFormat(SDL_GetWindowSurface(window), SDL_PIXELFORMAT_RGB888, 0);
        ASSERT_NE(shown, nullptr);
        int mismatches = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                const uint8_t* s = static_cast<uint8_t*>(shown->pixels) + y * shown->pitch + 4 * x;
                const uint8_t* b = gdi.GetLine(y) + 4 * x;
                mismatches += (s[0] != b[0] || s[1] != b[1] || s[2] != b[2]);
            }
        EXPECT_EQ(mismatches, 0);
        SDL_FreeSurface(shown);
    }
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

TEST(CGdiRenderer, TakesItsPresenterFromTheFactory) {
    auto presenter = std::make_shared<HeadlessFramePresenter>(9, 8, 6);
    int made = 0;
    SPlatformServices services = PlatformServicesInEffect();
    services.framePresenter = [&]() {
        ++made;
        return presenter;
    };
    PlatformServicesScope scope(services);
    {
        CGdiRenderer gdi;
        EXPECT_EQ(made, 1);
        ASSERT_FALSE(gdi.Init(9));
        EXPECT_EQ(gdi.GetWidth(), 8);
        EXPECT_EQ(gdi.GetHeight(), 6);
        EXPECT_FALSE(gdi.Present());
        EXPECT_EQ(presenter->GetPresentCount(), 1);
    }
}
