// The sound subsystem's costs against the budgets it is built for:
// - Vorbis decoding speed as a multiple of real time (budget: at least 300x), on ten
//   seconds of 44.1 kHz stereo encoded by oggenc at quality 4;
// - the most one frame's streaming update costs while halves of 5 s are refilled in
//   slices (budget: 2 ms), in thread CPU time and in wall time (which a loaded machine
//   inflates), next to what refilling a whole half at once would cost;
// - mixing sixteen voices, some resampled, as a share of one core (budget: 5 %).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "CORE/CFileFactory.h"
#include "SOUND/CDxSound.h"
#include "SOUND/CVorbis.h"
#include "SOUND/ISound.h"
#include "SOUND/AudioSystem.h"
#include "SOUND/Platform/PullAudioOutput.h"

using namespace kestrin;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// CPU time of this thread: what a frame costs, without the time a loaded machine takes
// the thread away.
double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void Put16(std::ofstream& out, uint32_t v) {
    const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    out.write(b, 2);
}
void Put32(std::ofstream& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// Ten seconds of music-like sound (chords, a beat, a little noise) encoded once per run.
const std::string& MusicOgg() {
    static const std::string path = [] {
        const std::filesystem::path dir = std::filesystem::temp_directory_path() / "kestrin_sound_bench";
        std::filesystem::create_directories(dir);
        const std::string wav = (dir / "music.wav").string(), ogg = (dir / "music.ogg").string();
        const uint32_t rate = 44100, frames = rate * 10;
        std::ofstream out(wav, std::ios::binary);
        out.write("RIFF", 4);
        Put32(out, 36 + frames * 4);
        out.write("WAVEfmt ", 8);
        Put32(out, 16);
        Put16(out, 1);
        Put16(out, 2);
        Put32(out, rate);
        Put32(out, rate * 4);
        Put16(out, 4);
        Put16(out, 16);
        out.write("data", 4);
        Put32(out, frames * 4);
        uint32_t noise = 12345;
        for (uint32_t i = 0; i < frames; ++i) {
            const double t = static_cast<double>(i) / rate;
            const double chord = std::sin(2 * M_PI * 220 * t) + 0.7 * std::sin(2 * M_PI * 277.2 * t) +
                                 0.5 * std::sin(2 * M_PI * 329.6 * t) +
                                 0.3 * std::sin(2 * M_PI * 880 * t * (1 + 0.01 * std::sin(t)));
            const double beat = std::exp(-std::fmod(t, 0.5) * 20) * std::sin(2 * M_PI * 60 * t);
            noise = noise * 1664525 + 1013904223;
            const double hiss = (static_cast<double>(noise >> 8) / (1 << 24) - 0.5) * 0.1;
            const double l = 0.2 * chord + 0.4 * beat + hiss, r = 0.2 * chord - 0.3 * beat + hiss;
            Put16(out, static_cast<uint16_t>(static_cast<int16_t>(l * 32767 * 0.8)));
            Put16(out, static_cast<uint16_t>(static_cast<int16_t>(r * 32767 * 0.8)));
        }
        out.close();
        const std::string command = "oggenc -Q -q 4 -o '" + ogg + "' '" + wav + "'";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "sound_bench: oggenc failed (tools/setup.sh installs vorbis-tools)\n");
            std::exit(1);
        }
        return ogg;
    }();
    return path;
}

std::unique_ptr<CVorbis> OpenMusic() {
    std::shared_ptr<CFile> file(CFileFactory().Create());
    if (file->Open(MusicOgg().c_str())) return nullptr;
    auto vorbis = std::make_unique<CVorbis>();
    if (vorbis->Open(file)) return nullptr;
    return vorbis;
}

PullAudioOutput& Output() {
    static PullAudioOutput* output = [] {
        auto made = std::make_unique<PullAudioOutput>();
        PullAudioOutput* raw = made.get();
        UseAudioOutput(std::move(made), 44100);
        return raw;
    }();
    return *output;
}

void BM_VorbisDecode(benchmark::State& state) {
    auto vorbis = OpenMusic();
    if (!vorbis) {
        state.SkipWithError("cannot open the music");
        return;
    }
    std::vector<char> buffer(65536);
    const double audioSeconds = static_cast<double>(vorbis->GetDataSize()) / (44100.0 * 4);
    double busy = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        vorbis->Rewind();
        while (vorbis->Read(buffer.data(), static_cast<uint32_t>(buffer.size())) > 0) {
        }
        busy += Seconds(Clock::now() - start);
    }
    state.counters["x_real_time"] = audioSeconds * static_cast<double>(state.iterations()) / busy;
}
BENCHMARK(BM_VorbisDecode)->Unit(benchmark::kMillisecond);

// Sixty seconds of streamed music at 60 frames a second: each frame renders its audio
// (not timed) and then runs the player's update (timed).
void BM_StreamUpdatePerFrame(benchmark::State& state) {
    PullAudioOutput& output = Output();
    double worst = 0, worstCpu = 0, total = 0, wholeHalf = 0;
    int64_t frames = 0;
    for (auto _ : state) {
        auto vorbis = OpenMusic();
        CDxSound player;
        if (!vorbis || player.Open(vorbis.get(), false) || player.Play(true)) {
            state.SkipWithError("cannot stream the music");
            return;
        }
        const uint64_t base = output.GetRenderedFrames();
        for (uint64_t frame = 1; frame <= 3600; ++frame) {
            output.RenderTo(base + frame * 44100 / 60);
            const auto start = Clock::now();
            const double startCpu = ThreadCpuSeconds();
            player.Update();
            const double spent = Seconds(Clock::now() - start);
            worstCpu = std::max(worstCpu, ThreadCpuSeconds() - startCpu);
            worst = std::max(worst, spent);
            total += spent;
            ++frames;
        }
        state.SetIterationTime(total);
        // What the refill of one whole half (5 s) costs when done in a single frame.
        std::vector<char> half(player.GetHalfSize());
        vorbis->Rewind();
        const auto start = Clock::now();
        vorbis->Read(half.data(), static_cast<uint32_t>(half.size()));
        wholeHalf = std::max(wholeHalf, Seconds(Clock::now() - start));
    }
    state.counters["worst_frame_ms"] = worst * 1000;
    state.counters["worst_frame_cpu_ms"] = worstCpu * 1000;
    state.counters["mean_frame_ms"] = total / static_cast<double>(frames) * 1000;
    state.counters["whole_half_ms"] = wholeHalf * 1000;
}
BENCHMARK(BM_StreamUpdatePerFrame)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// A looping tone of one second in memory.
class ToneSound : public ISound {
public:
    ToneSound(uint32_t rate, uint16_t bits, uint16_t channels, double hz)
        : m_rate(rate), m_bits(bits), m_channels(channels) {
        const uint32_t block = channels * (bits / 8u);
        m_pcm.resize(static_cast<size_t>(rate) * block);
        for (uint32_t i = 0; i < rate; ++i) {
            const double v = std::sin(2 * M_PI * hz * i / rate) * 0.1;
            for (uint16_t c = 0; c < channels; ++c) {
                uint8_t* p = &m_pcm[i * block + c * (bits / 8u)];
                if (bits == 8) {
                    p[0] = static_cast<uint8_t>(128 + std::lround(v * 127));
                } else {
                    const int32_t s = static_cast<int32_t>(std::lround(v * 32767)) << (bits - 16);
                    for (int k = 0; k < bits / 8; ++k) p[k] = static_cast<uint8_t>(s >> (8 * k));
                }
            }
        }
    }
    bool Open(std::shared_ptr<CFile>) override { return false; }
    int Read(void* buffer, uint32_t n) override {
        const uint32_t count = std::min<uint32_t>(n, static_cast<uint32_t>(m_pcm.size()) - m_position);
        std::copy(m_pcm.begin() + m_position, m_pcm.begin() + m_position + count, static_cast<uint8_t*>(buffer));
        m_position += count;
        return static_cast<int>(count);
    }
    void Rewind() override { m_position = 0; }
    uint32_t GetSamplesPerSec() override { return m_rate; }
    uint16_t GetBitsPerSample() override { return m_bits; }
    uint16_t GetChannels() override { return m_channels; }
    uint32_t GetDataSize() override { return static_cast<uint32_t>(m_pcm.size()); }

private:
    uint32_t m_rate;
    uint16_t m_bits, m_channels;
    std::vector<uint8_t> m_pcm;
    uint32_t m_position = 0;
};

// Sixteen looping voices: ten at the output rate, six resampled (22.05, 32 and 48 kHz),
// in 8, 16 and 24 bits, mono and stereo. Each iteration mixes one second.
void BM_MixSixteenVoices(benchmark::State& state) {
    PullAudioOutput& output = Output();
    std::vector<std::unique_ptr<ToneSound>> sounds;
    std::vector<std::unique_ptr<CDxSound>> players;
    const struct {
        uint32_t rate;
        uint16_t bits, channels;
    } voices[] = {
        {44100, 16, 2}, {44100, 16, 2}, {44100, 16, 2}, {44100, 16, 1}, {44100, 16, 1}, {44100, 8, 1},
        {44100, 8, 2},  {44100, 24, 2}, {44100, 16, 2}, {44100, 16, 2}, {22050, 16, 1}, {22050, 16, 2},
        {32000, 16, 2}, {48000, 16, 2}, {48000, 24, 2}, {22050, 8, 1},
    };
    int index = 0;
    for (const auto& v : voices) {
        sounds.push_back(std::make_unique<ToneSound>(v.rate, v.bits, v.channels, 200 + 50 * index++));
        players.push_back(std::make_unique<CDxSound>());
        if (players.back()->Open(sounds.back().get(), true) || players.back()->Play(true)) {
            state.SkipWithError("cannot play a voice");
            return;
        }
        players.back()->SetVolume(800);
    }
    double busy = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        output.Render(44100);
        busy += Seconds(Clock::now() - start);
    }
    state.counters["core_percent"] = busy / static_cast<double>(state.iterations()) * 100;
}
BENCHMARK(BM_MixSixteenVoices)->Unit(benchmark::kMillisecond);

}  // namespace
