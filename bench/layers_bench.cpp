// Layer drawing: the blend routines over a 1280x720 frame, bilinear resampling, and a frame of
// an opaque background, four sprites at 40 % and a message window.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>

#include "GRAPHICS/Blit.h"
#include "GRAPHICS/CLayer.h"
#include "GRAPHICS/CRect.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/IGraphicRenderer.h"

using namespace kestrin;

namespace {

constexpr int kW = 1280, kH = 720;

std::shared_ptr<CSurface> Noise(int w, int h, int bits, uint32_t seed) {
    auto s = std::make_shared<CSurface>();
    s->Init(w, h, bits, 0);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = s->GetLine(y);
        for (int x = 0; x < s->GetPitch(); ++x) row[x] = static_cast<uint8_t>(rng());
    }
    return s;
}

class Screen : public IGraphicRenderer {
public:
    Screen() : surface(Noise(kW, kH, 1, 1)) {}
    bool Init(Window) override { return false; }
    void RenderStart() override {}
    bool RenderEnd() override { return false; }
    void Clear() override {}
    int32_t GetWidth() const override { return kW; }
    int32_t GetHeight() const override { return kH; }
    ISurface* GetRenderTarget() override { return surface.get(); }
    void SetRenderTarget(ISurface*) override {}
    void CaptureScreen(ISurface*) override {}
    std::shared_ptr<CSurface> surface;
};

void BM_Blend(benchmark::State& state) {
    const auto kernel = static_cast<blit::Kernel>(state.range(0));
    auto target = Noise(kW, kH, 1, 1);
    auto source = Noise(kW, kH, 2, 2);
    for (auto _ : state) {
        for (int y = 0; y < kH; ++y) blit::BlendRow(kernel, target->GetLine(y), source->GetLine(y), kW, 102, 0xFF00FF);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_Blend)->DenseRange(0, blit::kKernelCount - 1)->ArgName("kernel");

// Bilinear resampling of a 1024x1024 image turned by 30 degrees and scaled by 1.25; the rate
// counts pixels of the transformed image.
void BM_RenderTransformedBilinear(benchmark::State& state) {
    auto screen = std::make_shared<Screen>();
    CLayer layer(screen);
    layer.SetSurface(Noise(1024, 1024, 2, 3));
    layer.SetRotate(30);
    layer.SetXScale(81920);
    layer.SetYScale(81920);
    CMatrix2D m;
    layer.ApplyTransform(m);
    int64_t pixels = 0;
    for (auto _ : state) {
        layer.RenderTransformed(m, CDisplayObject::kDirtyContent, true);
        const ISurface* t = layer.GetTransformedSurface();
        pixels += int64_t(t->GetWidth()) * t->GetHeight();
    }
    state.SetItemsProcessed(pixels);
}
BENCHMARK(BM_RenderTransformedBilinear)->Unit(benchmark::kMillisecond);

// One 1280x720 frame: opaque background, four 256x256 sprites with alpha at 40 %, and a
// 1200x200 message window with alpha. Layers are only moved, so nothing is resampled.
void BM_Frame(benchmark::State& state) {
    auto screen = std::make_shared<Screen>();
    CLayer background(screen), window(screen);
    background.SetSurface(Noise(kW, kH, 1, 4));
    window.SetSurface(Noise(1200, 200, 2, 5));
    window.SetX(40);
    window.SetY(500);
    std::unique_ptr<CLayer> sprites[4];
    for (int i = 0; i < 4; ++i) {
        sprites[i] = std::make_unique<CLayer>(screen);
        sprites[i]->SetSurface(Noise(256, 256, 2, 10 + i));
        sprites[i]->SetX(100 + i * 280);
        sprites[i]->SetY(150);
        sprites[i]->SetAlpha(102);
    }
    const CMatrix2D identity;
    for (auto _ : state) {
        background.Update(identity, 255.0f);
        background.Draw(identity, 255.0f);
        for (auto& s : sprites) {
            s->Update(identity, 255.0f);
            s->Draw(identity, 255.0f);
        }
        window.Update(identity, 255.0f);
        window.Draw(identity, 255.0f);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Frame)->Unit(benchmark::kMillisecond);

}  // namespace
