// A whole frame through the screen and the software renderer: a 1280x720 opaque background,
// four sprites at 40 % opacity moving one pixel a frame, and a message window (a plain
// translucent layer standing in for it), updated, drawn and presented; and an idle frame over
// 5,000 still layers, which should cost next to nothing.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "CORE/CDynamicVariables.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/ILayerFactory.h"
#include "GRAPHICS/ISurface.h"
#include "GRAPHICS/ISurfaceFactory.h"
#include "GRAPHICS/Platform/HeadlessFramePresenter.h"

using namespace kestrin;

namespace {

constexpr int kW = 1280, kH = 720;

std::shared_ptr<ISurface> Noise(CMainScreen& screen, int w, int h, int bits, uint32_t seed, int alpha) {
    std::shared_ptr<ISurface> s = screen.GetSurfaceFactory()->Create();
    s->Init(w, h, bits, 0);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = s->GetLine(y);
        for (int x = 0; x < w; ++x) {
            const uint32_t v = rng();
            std::memcpy(row + 4 * x, &v, 4);
            if (alpha >= 0) row[4 * x + 3] = static_cast<uint8_t>(alpha);
        }
    }
    return s;
}

std::shared_ptr<ILayer> Add(CMainScreen& screen, const std::string& name, const std::shared_ptr<ISurface>& image, int x,
                            int y, int alpha) {
    std::shared_ptr<ILayer> layer = screen.GetLayerFactory()->Create();
    layer->SetSurface(image);
    layer->SetX(x);
    layer->SetY(y);
    layer->SetAlpha(alpha);
    screen.GetRootLayer()->AddChild(name, std::make_shared<COruLayer>(screen.GetSurfaceManager(), layer));
    return layer;
}

void BM_ScreenFrame(benchmark::State& state) {
    CDynamicVariables::GetInstance()->SetInt("ini.Width", kW);
    CDynamicVariables::GetInstance()->SetInt("ini.Height", kH);
    auto presenter = std::make_shared<HeadlessFramePresenter>(0, kW, kH);
    CMainScreen screen(nullptr, presenter);
    if (!screen.IsReady()) {
        state.SkipWithError("no renderer");
        return;
    }
    Add(screen, "0bg", Noise(screen, kW, kH, ISurface::kPixel32, 1, -1), 0, 0, 255);
    std::shared_ptr<ILayer> sprites[4];
    for (int i = 0; i < 4; ++i)
        sprites[i] = Add(screen, "1chara" + std::to_string(i),
                         Noise(screen, 320, 480, ISurface::kPixel32Alpha, 10 + i, 200), 40 + i * 300, 120, 102);
    Add(screen, "2message", Noise(screen, 1200, 200, ISurface::kPixel32Alpha, 99, 160), 40, 500, 255);
    screen.Flip();
    int frame = 0;
    for (auto _ : state) {
        ++frame;
        for (int i = 0; i < 4; ++i)
            screen.GetRootLayer()->GetChild("1chara" + std::to_string(i))->SetX(40 + i * 300 + (frame & 15));
        screen.Update();
        benchmark::DoNotOptimize(screen.Draw());
    }
    state.SetItemsProcessed(state.iterations());
    CDynamicVariables::ReleaseInstance();
}
BENCHMARK(BM_ScreenFrame)->Unit(benchmark::kMillisecond);

// 5,000 small layers that do not change (a game's many buttons, icons and hidden pages), all under
// the root or in groups of 100: a frame updates the tree and finds nothing to draw.
void BM_IdleFrame5000StillLayers(benchmark::State& state) {
    CDynamicVariables::GetInstance()->SetInt("ini.Width", kW);
    CDynamicVariables::GetInstance()->SetInt("ini.Height", kH);
    auto presenter = std::make_shared<HeadlessFramePresenter>(0, kW, kH);
    CMainScreen screen(nullptr, presenter);
    if (!screen.IsReady()) {
        state.SkipWithError("no renderer");
        return;
    }
    const std::shared_ptr<ISurface> icon = Noise(screen, 16, 16, ISurface::kPixel32Alpha, 5, 255);
    const int groups = static_cast<int>(state.range(0));
    for (int i = 0; i < 5000; ++i) {
        const std::string name = "icon" + std::to_string(i);
        Add(screen, groups > 1 ? "g" + std::to_string(i % groups) + "." + name : name, icon, (i * 12) % kW,
            (i / 100) * 14, 255);
    }
    screen.Flip();
    screen.Update();
    screen.Draw();
    for (auto _ : state) {
        screen.Update();
        benchmark::DoNotOptimize(screen.Draw());
    }
    state.SetItemsProcessed(state.iterations());
    CDynamicVariables::ReleaseInstance();
}
BENCHMARK(BM_IdleFrame5000StillLayers)->ArgName("groups")->Arg(1)->Arg(50)->Unit(benchmark::kMicrosecond);

}  // namespace
