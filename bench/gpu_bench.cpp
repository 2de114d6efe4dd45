// The hardware renderer on OpenGL (headless: SDL's off-screen driver; on Mesa's llvmpipe where
// there is no GPU): the CPU cost of drawing 200 layers in one frame, and of whole frames.
// Skipped with a message when no OpenGL context can be made.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/Platform/HeadlessWindowSystem.h"
#include "CORE/WindowMessages.h"
#include "GRAPHICS/CDxLayer.h"
#include "GRAPHICS/CDxRenderer.h"
#include "GRAPHICS/CDxSurface.h"
#include "GRAPHICS/CMatrix2D.h"
#include "GRAPHICS/Platform/SdlRenderDevice.h"

using namespace kestrin;

namespace {

constexpr int kWidth = 1280, kHeight = 720, kLayers = 200;

struct Scene {
    std::shared_ptr<HeadlessWindowSystem> windows = std::make_shared<HeadlessWindowSystem>();
    std::optional<PlatformServicesScope> scope;
    std::shared_ptr<CDxRenderer> dx;
    std::vector<std::shared_ptr<CDxSurface>> images;
    std::vector<std::shared_ptr<CDxLayer>> layers;
    bool ok = false;

    Scene() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_RENDER_DRIVER", "opengl", 0);
        SPlatformServices services = PlatformServicesInEffect();
        services.windowSystem = windows;
        scope.emplace(services);
        SWindowDesc desc;
        desc.width = kWidth;
        desc.height = kHeight;
        const WindowHandle window = windows->CreateWindow(desc);
        dx = std::make_shared<CDxRenderer>(std::make_shared<SdlRenderDevice>(true));
        // Measured on whatever OpenGL there is, Mesa's software rasteriser included.
        dx->SetAcceptSoftwareRasteriser(true);
        if (dx->Init(window)) {
            std::fprintf(stderr, "gpu_bench: no OpenGL context here: %s\n", dx->GetLastError().c_str());
            return;
        }
        // Eight 96 x 96 sprites with alpha, shared by the layers as a game's would be.
        for (int i = 0; i < 8; ++i) {
            auto s = std::make_shared<CDxSurface>(dx);
            s->Init(96, 96, 2, 0);
            s->Lock();
            for (int y = 0; y < 96; ++y)
                for (int x = 0; x < 96; ++x) {
                    const uint32_t a = (x - 48) * (x - 48) + (y - 48) * (y - 48) < 2000 ? 255u : 0u;
                    const uint32_t v = a << 24 | uint32_t(i * 30) << 16 | uint32_t(x * 2) << 8 | uint32_t(y * 2);
                    std::memcpy(s->GetLine(y) + x * 4, &v, 4);
                }
            s->Unlock();
            images.push_back(s);
        }
        for (int i = 0; i < kLayers; ++i) {
            auto l = std::make_shared<CDxLayer>(dx);
            l->SetSurface(images[size_t(i) % images.size()]);
            l->SetX((i % 20) * 62);
            l->SetY((i / 20) * 70);
            l->SetAnchorX(48);
            l->SetAnchorY(48);
            l->SetLayerMode(i % 5 == 3 ? 0 : i % 5);
            if (i % 3 == 0) l->SetRotate(i * 7 % 360);
            if (i % 4 == 0) l->SetAlpha(160);
            layers.push_back(l);
        }
        ok = true;
    }
    ~Scene() {
        layers.clear();
        images.clear();
        dx.reset();
        scope.reset();
    }
    void DrawLayers() {
        const CMatrix2D identity;
        for (auto& l : layers) {
            l->Update(identity, 255.0f);
            l->Draw(identity, 255.0f);
        }
    }
};

Scene& TheScene() {
    static Scene scene;
    return scene;
}

// The draw pass alone: what the main thread spends handing 200 layers to the device, timed
// inside whole frames ("draw_pass_us"); the benchmark's own time is the whole frame. Pausing
// the clock around each present instead made the library run thousands of untimed presents.
void BM_Draw200Layers(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    using Clock = std::chrono::steady_clock;
    Clock::duration drawing{};
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        s.dx->RenderStart();
        s.DrawLayers();
        drawing += Clock::now() - start;
        s.dx->RenderEnd();
    }
    state.counters["draw_pass_us"] = benchmark::Counter(std::chrono::duration<double, std::micro>(drawing).count() /
                                                        double(std::max<int64_t>(state.iterations(), 1)));
    state.SetItemsProcessed(state.iterations() * kLayers);
}
BENCHMARK(BM_Draw200Layers)->Unit(benchmark::kMicrosecond);

// Whole frames: the draw pass, SDL's flush into OpenGL and the present (on llvmpipe this
// includes rasterising on the CPU).
void BM_Frame200Layers(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    for (auto _ : state) {
        s.dx->RenderStart();
        s.dx->Clear();
        s.DrawLayers();
        s.dx->RenderEnd();
    }
    state.SetItemsProcessed(state.iterations() * kLayers);
}
BENCHMARK(BM_Frame200Layers)->Unit(benchmark::kMicrosecond);

}  // namespace
