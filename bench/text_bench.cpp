// The glyph renderer on the real font service (FreeType, IPAGothic through "ＭＳ ゴシック"):
// a cache hit, a miss at 24 px with shadow and outline, a cold page of 200 distinct kanji,
// the texture uploads a frame of new glyphs costs the hardware renderer per atlas page, a
// message page laid out, and a frame drawn with and without a full page.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CORE/CFileFactory.h"
#include "CORE/Platform/ITextRasterizer.h"
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/CSurfaceFactory.h"
#include "GRAPHICS/CDxLayerFactory.h"
#include "GRAPHICS/CDxRenderer.h"
#include "GRAPHICS/CDxSurface.h"
#include "GRAPHICS/Platform/HeadlessRenderDevice.h"
#include "TEXT/CFontRenderer.h"
#include "TEXT/CLinkableTextRenderer.h"
#include "CORE/CDynamicVariables.h"
#include "GRAPHICS/CGdiRenderer.h"
#include "GRAPHICS/CLayerFactory.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/Platform/HeadlessFramePresenter.h"

using namespace kestrin;

namespace {

const std::string kGothic = "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E";  // ＭＳ ゴシック

// Shift_JIS codes of the first n kanji of JIS level 1 (from 0x889F, trail bytes 0x40-0xFC without 0x7F).
std::vector<uint16_t> Kanji(size_t n) {
    std::vector<uint16_t> codes;
    for (unsigned lead = 0x88; codes.size() < n; ++lead)
        for (unsigned trail = lead == 0x88 ? 0x9F : 0x40; trail <= 0xFC && codes.size() < n; ++trail)
            if (trail != 0x7F) codes.push_back(uint16_t(lead << 8 | trail));
    return codes;
}

struct Fonts {
    CSurfaceFactory surfaces;
    CFileFactory files;
    CGraphicLoaders loaders{&files};
    CFontRenderer renderer{&surfaces, &loaders, &files};
    explicit Fonts(bool effects) {
        renderer.OpenFont(false, kGothic, 128, 24, false, false, false, false);
        renderer.SetShadow(effects);
        renderer.SetOutline(effects);
    }
};

void BM_GlyphCacheHit(benchmark::State& state) {
    CFontRenderer::ResetCaches();
    Fonts f(true);
    const std::vector<uint16_t> codes = Kanji(64);
    for (uint16_t c : codes) f.renderer.GetGlyph(c, 0xFFFFFF, 0, 0);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.renderer.GetGlyph(codes[i++ & 63], 0xFFFFFF, 0, 0));
    }
    CFontRenderer::ResetCaches();
}
BENCHMARK(BM_GlyphCacheHit);

void BM_GlyphMiss24ShadowOutline(benchmark::State& state) {
    CFontRenderer::ResetCaches();
    Fonts f(true);
    const std::vector<uint16_t> codes = Kanji(256);
    uint32_t n = 0;
    for (auto _ : state) {
        // A colour not seen yet makes every request a miss; the caches are dropped now and then.
        if ((++n & 4095) == 0) {
            state.PauseTiming();
            CFontRenderer::ResetCaches();
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(f.renderer.GetGlyph(codes[n & 255], n, 0x000000, 0x202020));
    }
    CFontRenderer::ResetCaches();
}
BENCHMARK(BM_GlyphMiss24ShadowOutline);

void BM_ColdPage200Kanji(benchmark::State& state) {
    Fonts f(true);
    const std::vector<uint16_t> codes = Kanji(200);
    for (auto _ : state) {
        state.PauseTiming();
        CFontRenderer::ResetCaches();
        state.ResumeTiming();
        for (uint16_t c : codes) benchmark::DoNotOptimize(f.renderer.GetGlyph(c, 0xFFFFFF, 0, 0x404040));
    }
    state.SetLabel(std::to_string(CFontRenderer::GetCachedGlyphCount()) + " cells");
    CFontRenderer::ResetCaches();
}
BENCHMARK(BM_ColdPage200Kanji)->Unit(benchmark::kMillisecond);

// One frame: 200 new glyphs are laid out, then every cell is drawn (each draw asks its page
// for its texture). Counts texture uploads per page and frame on the hardware renderer.
void BM_HardwareFrameOf200NewGlyphs(benchmark::State& state) {
    auto device = std::make_shared<HeadlessRenderDevice>(640, 480);
    auto dx = std::make_shared<CDxRenderer>(device);
    if (dx->Init(1)) {
        state.SkipWithError("no renderer");
        return;
    }
    CDxSurfaceFactory surfaces(dx);
    CFileFactory files;
    CGraphicLoaders loaders(&files);
    CFontRenderer renderer(&surfaces, &loaders, &files);
    renderer.OpenFont(false, kGothic, 128, 24, false, false, false, false);
    const std::vector<uint16_t> codes = Kanji(1000);
    uint32_t frame = 0;
    int32_t worst = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::map<int, int32_t> before;
        for (const auto& t : device->GetTextures()) before[t.first] = t.second.uploads;
        state.ResumeTiming();
        std::vector<CFontRenderer::CClippedSurface> cells;
        for (int i = 0; i < 200; ++i) cells.push_back(renderer.GetGlyph(codes[(frame * 200 + i) % 1000], frame, 0, 0));
        for (auto& c : cells)
            if (!c.IsEmpty()) benchmark::DoNotOptimize(static_cast<CDxSurface*>(c.GetSurface().get())->GetTexture());
        state.PauseTiming();
        for (const auto& t : device->GetTextures()) {
            auto it = before.find(t.first);
            worst = std::max(worst, t.second.uploads - (it == before.end() ? 0 : it->second));
        }
        if ((++frame & 15) == 0) CFontRenderer::ResetCaches();
        state.ResumeTiming();
    }
    state.counters["max_uploads_per_page_per_frame"] = worst;
    CFontRenderer::ResetCaches();
}
BENCHMARK(BM_HardwareFrameOf200NewGlyphs)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// The font service alone: one kanji rasterised at 24 px (the share FreeType has in a miss).
void BM_FreeTypeGlyph24(benchmark::State& state) {
    std::unique_ptr<ITextRasterizer> font = MakeTextRasterizer();
    font->OpenCell("ＭＳ ゴシック", ITextRasterizer::kShiftJisCharset, 24, false, false);
    ITextRasterizer::SGlyph glyph;
    uint32_t n = 0;
    for (auto _ : state) benchmark::DoNotOptimize(font->RenderGlyph(0x4E00 + (n++ & 255), glyph));
}
BENCHMARK(BM_FreeTypeGlyph24);

// A 400-character Shift_JIS page with ruby every 40 characters and a prohibited character
// at most line ends, laid out with a warm glyph cache (the layout figure).
const std::string& PageText() {
    static const std::string text = [] {
        std::string line;
        const std::vector<uint16_t> kanji = Kanji(30);
        for (int i = 0; i < 38; ++i) {
            const uint16_t c = kanji[size_t(i) % kanji.size()];
            line += char(c >> 8);
            line += char(c & 0xFF);
        }
        line += "\x81\x42";  // 。
        return line;
    }();
    return text;
}

void FillPage(CTextRenderer& r) {
    for (int i = 0; i < 10; ++i) {
        r.AddChars("\x8A\xBF\x8E\x9A", "\x82\xA9\x82\xF1\x82\xB6");  // 漢字 / かんじ
        r.AddTextSimple(PageText().c_str());
    }
}

struct Page {
    CSurfaceFactory surfaces;
    CFileFactory files;
    CGraphicLoaders loaders{&files};
    std::shared_ptr<CGdiRenderer> gdi = std::make_shared<CGdiRenderer>();
    CLayerFactory layers{gdi};
    std::shared_ptr<CFontRenderer> font = std::make_shared<CFontRenderer>(&surfaces, &loaders, &files);
    CLinkableTextRenderer text{font, &layers, &surfaces};
    Page() {
        text.GetProperty().width = 1200;
        text.GetProperty().height = 700;
    }
};

void BM_LayoutPage400(benchmark::State& state) {
    Page page;
    FillPage(page.text);  // warms the glyph cache
    for (auto _ : state) {
        page.text.Clear();
        FillPage(page.text);
        page.text.Layout();
        benchmark::DoNotOptimize(page.text.GetTextHeight());
    }
    state.SetItemsProcessed(state.iterations() * page.text.GetCharCount());
}
BENCHMARK(BM_LayoutPage400)->Unit(benchmark::kMillisecond);

// One software frame at 1280 x 720 with and without a full message page; the difference is
// the page's per-frame update and draw.
void ScreenFrame(benchmark::State& state, bool withText) {
    CDynamicVariables::GetInstance()->SetInt("ini.Width", 1280);
    CDynamicVariables::GetInstance()->SetInt("ini.Height", 720);
    auto presenter = std::make_shared<HeadlessFramePresenter>(0, 1280, 720);
    CMainScreen screen(nullptr, presenter);
    if (!screen.IsReady()) {
        state.SkipWithError("no renderer");
        return;
    }
    CLinkableTextRenderer::ServeMessageLayers(screen);
    screen.ChangeMessageLayer("", 1);
    CLinkableTextRenderer* text = CLinkableTextRenderer::Of(screen.GetCurrentMessageLayer());
    if (!text) {
        state.SkipWithError("no message layer");
        return;
    }
    text->GetProperty().width = 1200;
    text->GetProperty().height = 700;
    if (withText) FillPage(*text);
    screen.Flip();
    for (auto _ : state) {
        screen.Update();
        benchmark::DoNotOptimize(screen.Draw());
    }
    CDynamicVariables::ReleaseInstance();
}
void BM_FrameEmptyPage(benchmark::State& state) { ScreenFrame(state, false); }
void BM_FrameFullPage(benchmark::State& state) { ScreenFrame(state, true); }
BENCHMARK(BM_FrameEmptyPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameFullPage)->Unit(benchmark::kMillisecond);

}  // namespace
