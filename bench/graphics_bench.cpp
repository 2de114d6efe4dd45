// Graphics benchmarks: image decoding against bare libpng / libjpeg loops on the same bytes,
// the per-frame tween pass, and surface-cache hits.
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/CJpg.h"
#include "GRAPHICS/CPng.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/CSurfaceFactory.h"
#include "GRAPHICS/CSurfaceManager.h"
#include "GRAPHICS/TTween.h"
#include "GRAPHICS/TweenRegistry.h"

#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <random>
#include <string>
#include <vector>

using namespace kestrin;

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

// A picture with smooth areas, edges and some noise, like a game background.
void Paint(CSurface& s, int32_t bits) {
    s.Init(kWidth, kHeight, bits, 0);
    std::mt19937 rng(7);
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* row = s.GetLine(y);
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* p = row + 4 * x;
            const int noise = int(rng() % 9);
            p[0] = uint8_t((x / 4 + noise) & 255);
            p[1] = uint8_t(((y / 3) ^ (x / 64 * 40)) & 255);
            p[2] = uint8_t((x * y / 512 + noise) & 255);
            p[3] = uint8_t(bits == 2 ? (x + y) & 255 : 255);
        }
    }
}

const std::vector<uint8_t>& PngBytes() {
    static const std::vector<uint8_t> bytes = [] {
        CSurface s;
        Paint(s, 2);
        CPng png;
        CPng::SOutputBuffer out;
        out.data = new uint8_t[1 << 20];
        out.capacity = 1 << 20;
        png.Save(&s, out, 6);
        std::vector<uint8_t> v(out.data, out.data + out.length);
        delete[] out.data;
        return v;
    }();
    return bytes;
}

const std::vector<uint8_t>& JpegBytes() {
    static const std::vector<uint8_t> bytes = [] {
        CSurface s;
        Paint(s, 1);
        jpeg_compress_struct c;
        jpeg_error_mgr err;
        c.err = jpeg_std_error(&err);
        jpeg_create_compress(&c);
        unsigned char* mem = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&c, &mem, &size);
        c.image_width = kWidth;
        c.image_height = kHeight;
        c.input_components = 4;
        c.in_color_space = JCS_EXT_BGRX;
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, 90, TRUE);
        jpeg_start_compress(&c, TRUE);
        while (c.next_scanline < c.image_height) {
            JSAMPROW row = s.GetLine(int(c.next_scanline));
            jpeg_write_scanlines(&c, &row, 1);
        }
        jpeg_finish_compress(&c);
        jpeg_destroy_compress(&c);
        std::vector<uint8_t> v(mem, mem + size);
        free(mem);
        return v;
    }();
    return bytes;
}

struct MemReader {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

void ReadMem(png_structp png, png_bytep out, size_t n) {
    auto* r = static_cast<MemReader*>(png_get_io_ptr(png));
    if (n > r->size - r->pos) png_error(png, "eof");
    std::memcpy(out, r->data + r->pos, n);
    r->pos += n;
}

// The bare libpng loop: same transforms, same destination layout.
void BM_PngBareLibpng(benchmark::State& state) {
    const auto& bytes = PngBytes();
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4);
    std::vector<png_bytep> rows(kHeight);
    for (int y = 0; y < kHeight; ++y) rows[size_t(y)] = pixels.data() + size_t(y) * kWidth * 4;
    for (auto _ : state) {
        MemReader r{bytes.data(), bytes.size(), 0};
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png))) {
            png_destroy_read_struct(&png, &info, nullptr);
            state.SkipWithError("libpng failed");
            break;
        }
        png_set_read_fn(png, &r, ReadMem);
        png_read_info(png, info);
        png_set_bgr(png);
        png_read_update_info(png, info);
        png_read_image(png, rows.data());
        png_read_end(png, nullptr);
        png_destroy_read_struct(&png, &info, nullptr);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 4);
}
BENCHMARK(BM_PngBareLibpng)->Unit(benchmark::kMillisecond);

void BM_PngDecode(benchmark::State& state) {
    const auto& bytes = PngBytes();
    CPng png;
    CSurface s;
    for (auto _ : state) {
        if (png.LoadFromMemory(&s, bytes.data(), bytes.size())) {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(s.GetLine(0));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 4);
}
BENCHMARK(BM_PngDecode)->Unit(benchmark::kMillisecond);

// The bare libjpeg loop with the loader's settings.
void BM_JpegBareLibjpeg(benchmark::State& state) {
    const auto& bytes = JpegBytes();
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4);
    for (auto _ : state) {
        jpeg_decompress_struct d;
        jpeg_error_mgr err;
        d.err = jpeg_std_error(&err);
        jpeg_create_decompress(&d);
        jpeg_mem_src(&d, bytes.data(), bytes.size());
        jpeg_read_header(&d, TRUE);
        d.dct_method = JDCT_IFAST;
        d.do_fancy_upsampling = FALSE;
        d.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&d);
        while (d.output_scanline < d.output_height) {
            JSAMPROW row = pixels.data() + size_t(d.output_scanline) * kWidth * 4;
            jpeg_read_scanlines(&d, &row, 1);
        }
        jpeg_finish_decompress(&d);
        jpeg_destroy_decompress(&d);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 4);
}
BENCHMARK(BM_JpegBareLibjpeg)->Unit(benchmark::kMillisecond);

void BM_JpegDecode(benchmark::State& state) {
    const auto& bytes = JpegBytes();
    CJpg jpg;
    CSurface s;
    for (auto _ : state) {
        if (jpg.Decode(&s, bytes.data(), bytes.size(), nullptr, 0)) {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(s.GetLine(0));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 4);
}
BENCHMARK(BM_JpegDecode)->Unit(benchmark::kMillisecond);

// One frame's pass over 1,000 running tweens of mixed curves.
void BM_UpdateTweens1000(benchmark::State& state) {
    ClearTweenRegistry();
    static int32_t sink[1000];
    for (int i = 0; i < 1000; ++i) {
        auto* t = new TTween<int32_t>([i](int32_t v) { sink[i] = v; }, 0, 1000 + i, 600000, 0);
        t->SetEase(i % 31).SetYoyo(-1);
        RegisterTween(t);
    }
    uint32_t now = 1;
    for (auto _ : state) {
        UpdateTweens(now);
        now += 16;
    }
    benchmark::DoNotOptimize(sink);
    ClearTweenRegistry();
}
BENCHMARK(BM_UpdateTweens1000)->Unit(benchmark::kMicrosecond);

class NamedLoaders : public CGraphicLoaders {
public:
    NamedLoaders() : CGraphicLoaders(nullptr) {}
    bool LoadFile(ISurface* surface, const std::string&) override { return surface->Init(64, 64, 2, 0); }
};

// A hit on an image in use: one more user, then one fewer.
void BM_SurfaceCacheHitInUse(benchmark::State& state) {
    CSurfaceFactory factory;
    NamedLoaders loaders;
    CSurfaceManager manager(&factory, &loaders, 64 << 20);
    for (int i = 0; i < 200; ++i) manager.GetSurface("image\\bg" + std::to_string(i) + ".png");
    const std::string name = "image\\bg123.png";
    for (auto _ : state) {
        auto s = manager.GetSurface(name);
        manager.ReleaseSurface(s.get());
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_SurfaceCacheHitInUse);

// A hit on a released image kept in the cache: back to use, then cached again.
void BM_SurfaceCacheHitCached(benchmark::State& state) {
    CSurfaceFactory factory;
    NamedLoaders loaders;
    CSurfaceManager manager(&factory, &loaders, 64 << 20);
    for (int i = 0; i < 200; ++i) {
        auto s = manager.GetSurface("image\\bg" + std::to_string(i) + ".png");
        manager.ReleaseSurface(s.get());
    }
    const std::string name = "image\\bg123.png";
    for (auto _ : state) {
        auto s = manager.GetSurface(name);
        manager.ReleaseSurface(s.get());
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_SurfaceCacheHitCached);

}  // namespace
