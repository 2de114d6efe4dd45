#pragma once
// Helpers of the sound tests: fixtures, the reference decoders, synthetic WAVE files and
// the pull output that plays by a virtual clock.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "SOUND/ISound.h"
#include "SOUND/Platform/PullAudioOutput.h"

namespace sound_test {

// Bytes of tests/data/sound/name.
std::string Fixture(const std::string& name);
// The PCM the reference tools decode: sox to raw samples in the file's own encoding,
// oggdec -R to signed 16-bit little-endian.
std::string SoxRaw(const std::string& path);
std::string OggdecRaw(const std::string& path);
// Everything a source reads, in reads of chunk bytes, until it returns 0 (or -1).
std::string ReadAll(kestrin::ISound& sound, uint32_t chunk = 4096);
// Opens a source of that kind on a file; null on failure.
template <typename T>
std::unique_ptr<T> OpenSource(const std::string& path);

struct SWaveSpec {
    uint16_t formatTag = 1;
    uint16_t channels = 1;
    uint32_t rate = 44100;
    uint16_t bits = 16;
    int64_t avgBytes = -1;    // -1: consistent
    int32_t blockAlign = -1;  // -1: consistent
};
// A RIFF WAVE file with a 16-byte "fmt " chunk and the given data.
std::string MakeWave(const SWaveSpec& spec, const std::string& pcm);
// Signed 16-bit little-endian samples.
std::string Pcm16(const std::vector<int16_t>& samples);
// A sine tone of frames frames, as 16-bit PCM (the same value on every channel).
std::vector<int16_t> Tone(double hz, uint32_t rate, uint32_t frames, uint16_t channels, double amplitude);
// RMS level of samples in decibels relative to full scale.
double RmsDb(const int16_t* samples, size_t count);

// Plays through a pull output at rate for the life of the object.
class PullOutput {
public:
    explicit PullOutput(uint32_t rate);
    ~PullOutput();
    kestrin::PullAudioOutput& operator*() { return *m_output; }
    kestrin::PullAudioOutput* operator->() { return m_output; }

private:
    kestrin::PullAudioOutput* m_output;
};

}  // namespace sound_test

#include "SOUND/CVorbis.h"
#include "SOUND/CWave.h"
#include "CORE/CFileFactory.h"

template <typename T>
std::unique_ptr<T> sound_test::OpenSource(const std::string& path) {
    std::shared_ptr<kestrin::CFile> file(kestrin::CFileFactory().Create());
    if (file->Open(path.c_str())) return nullptr;
    auto source = std::make_unique<T>();
    if (source->Open(file)) return nullptr;
    return source;
}
