// Movie benchmarks. A 1280x720 ".mja" frame with its alpha record: decoded into a surface of
// the software renderer, and decoded into a surface of the hardware renderer and uploaded to
// its texture (skipped without an OpenGL context). A 1280x720 H.264 movie (made by the ffmpeg
// command at start: 5 Mbit/s with some grain, as a game's opening movie) decoded on one thread,
// every picture converted: the "realtime" counter is movie seconds per second of decoding.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "CORE/CDynamicVariables.h"
#include "CORE/CFile.h"
#include "CORE/CGameWindow.h"
#include "CORE/RuntimeConfiguration.h"
#include "CORE/CWindow.h"
#include "CORE/WindowMessages.h"
#include "GRAPHICS/CDxSurface.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/CMja.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/ISurfaceFactory.h"
#include "GRAPHICS/Platform/FfmpegVideoDecoder.h"

using namespace kestrin;

namespace {

constexpr int kWidth = 1280, kHeight = 720;

// JPEG of a picture with smooth areas, edges and noise; grey: the alpha of a soft shape.
std::string Jpeg(int frame, bool grey) {
    std::mt19937 rng(uint32_t(frame * 2 + grey));
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * (grey ? 1 : 3));
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const int noise = int(rng() % 9);
            if (grey) {
                const int dx = x - kWidth / 2 - frame * 8, dy = y - kHeight / 2;
                pixels[size_t(y) * kWidth + x] = uint8_t(dx * dx + dy * dy < 300 * 300 ? 255 : (x + y + noise) & 127);
            } else {
                uint8_t* p = &pixels[(size_t(y) * kWidth + x) * 3];
                p[0] = uint8_t((x / 4 + noise + frame * 10) & 255);
                p[1] = uint8_t(((y / 3) ^ (x / 64 * 40)) & 255);
                p[2] = uint8_t((x * y / 512 + noise) & 255);
            }
        }
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = kWidth;
    c.image_height = kHeight;
    c.input_components = grey ? 1 : 3;
    c.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 85, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = &pixels[size_t(c.next_scanline) * kWidth * (grey ? 1 : 3)];
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::string bytes(reinterpret_cast<char*>(mem), size);
    free(mem);
    return bytes;
}

// A two-frame ".mja" with alpha records, written to a scratch file once.
const std::string& MjaPath() {
    static const std::string path = [] {
        std::string out = "MJA";
        out += '\1';
        const uint32_t fps = 30;
        out.append(reinterpret_cast<const char*>(&fps), 4);
        for (int frame = 0; frame < 2; ++frame)
            for (bool grey : {false, true}) {
                const std::string jpeg = Jpeg(frame, grey);
                const uint32_t size = uint32_t(jpeg.size());
                out.append(reinterpret_cast<const char*>(&size), 4);
                out += jpeg;
            }
        const std::string p = "/tmp/kestrin-video-bench.mja";
        std::FILE* f = std::fopen(p.c_str(), "wb");
        std::fwrite(out.data(), 1, out.size(), f);
        std::fclose(f);
        return p;
    }();
    return path;
}

std::shared_ptr<CFile> OpenMja() {
    auto file = std::make_shared<CFile>();
    file->Open(MjaPath().c_str());
    return file;
}

void BM_MjaFrame720pAlphaSoftware(benchmark::State& state) {
    CSurface target;
    CMja movie;
    if (movie.Open(&target, OpenMja(), true)) {
        state.SkipWithError("the movie did not open");
        return;
    }
    uint32_t n = 0;
    for (auto _ : state) {
        n ^= 1;
        if (movie.ShowFrame(n)) state.SkipWithError("a frame failed");
    }
}
BENCHMARK(BM_MjaFrame720pAlphaSoftware)->Unit(benchmark::kMillisecond);

// The frame decoded into a texture surface of the hardware renderer and uploaded to its
// texture (as drawing it does first).
void BM_MjaFrame720pAlphaHardware(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_RENDER_DRIVER", "opengl", 1);
    RuntimeConfiguration configuration;
    configuration.hardwareRender = true;
    SetRuntimeConfiguration(configuration);
    CDynamicVariables* v = CDynamicVariables::GetInstance();
    v->SetMap("ApplicationArguments", {});
    v->SetInt("ini.Width", kWidth);
    v->SetInt("ini.Height", kHeight);
    CGameWindow window;
    // The off-screen driver's desktop is smaller than the game: the screen scales it down.
    if (window.Create(0, 0, kWidth * 3 / 4, kHeight * 3 / 4, "KestrinVideoBench", "", kWsPopup, kSwShow, 0)) {
        state.SkipWithError("no window");
        return;
    }
    {
        CMainScreen screen(&window);
        std::shared_ptr<ISurface> surface = screen.IsReady() ? screen.GetSurfaceFactory()->Create() : nullptr;
        auto* texture = dynamic_cast<CDxSurface*>(surface.get());
        CMja movie;
        if (screen.IsSoftware() || !texture) {
            state.SkipWithError("no OpenGL context here: the hardware renderer did not start");
        } else if (movie.Open(surface.get(), OpenMja(), true) || !texture->GetTexture()) {
            state.SkipWithError("the movie did not open");
        } else {
            uint32_t n = 0;
            for (auto _ : state) {
                n ^= 1;
                if (movie.ShowFrame(n) || !texture->GetTexture()) state.SkipWithError("a frame failed");
            }
        }
    }
    window.Destroy();
    CDynamicVariables::ReleaseInstance();
}
BENCHMARK(BM_MjaFrame720pAlphaHardware)->Unit(benchmark::kMillisecond)->UseRealTime();

const std::string& H264Path() {
    static const std::string path = [] {
        const std::string p = "/tmp/kestrin-video-bench-720p-5M.mp4";
        const std::string command =
            "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi "
            "-i testsrc2=size=1280x720:rate=30:duration=4 -vf noise=alls=6:allf=t "
            "-c:v libx264 -preset medium -b:v 5M -maxrate 5M -bufsize 10M -pix_fmt yuv420p " +
            p;
        return std::system(command.c_str()) == 0 ? p : std::string();
    }();
    return path;
}

void BM_H264Decode720pOneThread(benchmark::State& state) {
    if (H264Path().empty()) {
        state.SkipWithError("the ffmpeg command could not make the movie");
        return;
    }
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4);
    int64_t pictures = 0;
    double movieSeconds = 0;
    for (auto _ : state) {
        FfmpegVideoDecoder decoder(1);
        if (decoder.Open(H264Path())) {
            state.SkipWithError(decoder.GetError().c_str());
            return;
        }
        // Every picture of the 30 fps movie is asked for and converted.
        uint32_t ms = 0;
        for (uint32_t i = 0;; ++i) {
            ms = (i * 1000 + 29) / 30;
            const IVideoDecoder::EFrame r = decoder.FrameAt(ms, pixels.data(), kWidth * 4);
            if (r == IVideoDecoder::EFrame::kNew)
                ++pictures;
            else if (r != IVideoDecoder::EFrame::kSame)
                break;
        }
        movieSeconds += ms / 1000.0;
    }
    state.counters["pictures"] = benchmark::Counter(double(pictures), benchmark::Counter::kAvgIterations);
    state.counters["realtime"] = benchmark::Counter(movieSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_H264Decode720pOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
