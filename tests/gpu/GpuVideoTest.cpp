// A full-window movie on both renderers (the hardware one on OpenGL through SDL's off-screen
// driver, skipped without a context): the picture due on the engine's clock fills the
// letterboxed game area, the bars stay black, and the movie stops at its end.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "Application/PlatformServicesScope.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/CGameWindow.h"
#include "CORE/CWindow.h"
#include "CORE/Platform/HeadlessClock.h"
#include "CORE/WindowMessages.h"
#include "GRAPHICS/CDsVideo.h"
#include "GRAPHICS/CMainScreen.h"
#include "CORE/CPoint.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/IVideoDecoder.h"
#include "GRAPHICS/Platform/HeadlessVideoDecoder.h"
#include "support/TestSupport.h"

using namespace kestrin;

namespace {

// Each colour channel within 3 (the renderers resample the picture).
::testing::AssertionResult Near(uint32_t actual, uint32_t expected) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = int(actual >> shift & 0xFF), e = int(expected >> shift & 0xFF);
        if (a - e > 3 || e - a > 3)
            return ::testing::AssertionFailure() << std::hex << actual << " is not near " << expected;
    }
    return ::testing::AssertionSuccess();
}

class VideoScreenTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        HeadlessVideoDecoder::SMovie movie;
        SPlatformServices services = PlatformServicesInEffect();
        services.clock = clock;
        services.videoDecoder = [movie]() { return std::make_unique<HeadlessVideoDecoder>(movie); };
        scope.emplace(services);
    }
    void TearDown() override {
        screen.reset();
        if (window) window->Destroy();
        window.reset();
        CDynamicVariables::ReleaseInstance();
        scope.reset();
    }

    // A logical 64 x 48 screen in a 128 x 64 client area: bars left and right.
    bool Open(bool software) {
        CDynamicVariables* v = CDynamicVariables::GetInstance();
        v->SetMap("ApplicationArguments",
                  software ? CDynamicVariables::StringMap{{"fsr", ""}} : CDynamicVariables::StringMap{});
        v->SetInt("ini.Width", 64);
        v->SetInt("ini.Height", 48);
        window = std::make_unique<CGameWindow>();
        if (window->Create(0, 0, 128, 64, "KestrinVideoTest", "", kWsPopup, kSwShow, 0)) return false;
        screen = std::make_unique<CMainScreen>(window.get());
        // Mesa stays loaded to the end of the process (the off-screen driver loads it for either
        // renderer), so that the leak check can tell its process-lifetime allocations from ours.
        static const bool pinned = SDL_GL_LoadLibrary(nullptr) == 0;
        (void)pinned;
        return screen->IsReady() && screen->IsSoftware() == software && screen->GetVideo();
    }

    uint32_t Pixel(int x, int y) {
        screen->Update();
        screen->Draw();
        screen->TakeScreenshot();
        return static_cast<uint32_t>(screen->GetScreenshotSurface()->GetPixel(CPoint(x, y))) & 0xFFFFFFu;
    }

    std::shared_ptr<HeadlessClock> clock = std::make_shared<HeadlessClock>(5000);
    kestrin_test::TempDir dir;
    std::optional<PlatformServicesScope> scope;
    std::unique_ptr<CGameWindow> window;
    std::unique_ptr<CMainScreen> screen;
};

}  // namespace

TEST_P(VideoScreenTest, ThePictureDueFillsTheGameAreaBetweenTheBars) {
    if (!Open(GetParam())) GTEST_SKIP() << "the hardware renderer did not start here (no OpenGL context)";
    CDsVideo* video = screen->GetVideo();
    video->Play(dir.Write("movie.mp4", "fake"));
    ASSERT_TRUE(video->IsPlaying());
    // Scale 64 / 48 = 4/3: the game area runs from x = 21.3 to 106.7.
    const uint32_t first = HeadlessVideoDecoder::ColorOf(0) & 0xFFFFFFu;
    EXPECT_TRUE(Near(Pixel(64, 32), first));
    EXPECT_TRUE(Near(Pixel(24, 2), first));
    EXPECT_TRUE(Near(Pixel(104, 61), first));
    EXPECT_EQ(Pixel(10, 32), 0u);
    EXPECT_EQ(Pixel(120, 32), 0u);
    clock->Advance(350);
    EXPECT_TRUE(Near(Pixel(64, 32), HeadlessVideoDecoder::ColorOf(3) & 0xFFFFFFu));
    clock->Advance(650);
    screen->Update();
    EXPECT_FALSE(video->IsPlaying());
}

INSTANTIATE_TEST_SUITE_P(Renderers, VideoScreenTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("Software") : std::string("Hardware");
                         });
