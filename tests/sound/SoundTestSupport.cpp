#include "SoundTestSupport.h"

#include <cmath>
#include <cstdio>

#include "SOUND/AudioSystem.h"
#include "support/TestSupport.h"

namespace sound_test {

namespace {

std::string Run(const std::string& command) {
    std::string out;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

void Put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

}  // namespace

std::string Fixture(const std::string& name) {
    return kestrin_test::ReadFileBytes(kestrin_test::TestDataPath("sound/" + name));
}

std::string SoxRaw(const std::string& path) { return Run("sox '" + path + "' -t raw - 2>/dev/null"); }

std::string OggdecRaw(const std::string& path) { return Run("oggdec -Q -R -o - '" + path + "' 2>/dev/null"); }

std::string ReadAll(kestrin::ISound& sound, uint32_t chunk) {
    std::string out;
    std::vector<char> buffer(chunk);
    for (int i = 0; i < 1000000; ++i) {
        const int got = sound.Read(buffer.data(), chunk);
        if (got <= 0) break;
        out.append(buffer.data(), static_cast<size_t>(got));
    }
    return out;
}

std::string MakeWave(const SWaveSpec& spec, const std::string& pcm) {
    const uint32_t block =
        spec.blockAlign >= 0 ? static_cast<uint32_t>(spec.blockAlign) : spec.channels * (spec.bits / 8u);
    const uint32_t avg =
        spec.avgBytes >= 0 ? static_cast<uint32_t>(spec.avgBytes) : spec.channels * spec.rate * (spec.bits / 8u);
    std::string fmt;
    Put16(fmt, spec.formatTag);
    Put16(fmt, spec.channels);
    Put32(fmt, spec.rate);
    Put32(fmt, avg);
    Put16(fmt, block);
    Put16(fmt, spec.bits);
    std::string body = "WAVEfmt ";
    Put32(body, 16);
    body += fmt;
    body += "data";
    Put32(body, static_cast<uint32_t>(pcm.size()));
    body += pcm;
    if (pcm.size() & 1) body += '\0';
    std::string out = "RIFF";
    Put32(out, static_cast<uint32_t>(body.size()));
    return out + body;
}

std::string Pcm16(const std::vector<int16_t>& samples) {
    std::string out;
    for (int16_t v : samples) Put16(out, static_cast<uint16_t>(v));
    return out;
}

std::vector<int16_t> Tone(double hz, uint32_t rate, uint32_t frames, uint16_t channels, double amplitude) {
    std::vector<int16_t> out;
    for (uint32_t i = 0; i < frames; ++i) {
        const double v = std::sin(2 * M_PI * hz * i / rate) * amplitude * 32767.0;
        for (uint16_t c = 0; c < channels; ++c) out.push_back(static_cast<int16_t>(std::lround(v)));
    }
    return out;
}

double RmsDb(const int16_t* samples, size_t count) {
    double sum = 0;
    for (size_t i = 0; i < count; ++i) sum += static_cast<double>(samples[i]) * samples[i];
    const double rms = std::sqrt(sum / static_cast<double>(count ? count : 1)) / 32768.0;
    return rms > 0 ? 20 * std::log10(rms) : -1000.0;
}

PullOutput::PullOutput(uint32_t rate) {
    auto output = std::make_unique<kestrin::PullAudioOutput>();
    m_output = output.get();
    kestrin::UseAudioOutput(std::move(output), rate);
}

PullOutput::~PullOutput() { kestrin::CloseAudioOutput(); }

}  // namespace sound_test
