#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "CORE/CFrameDemand.h"
#include "SOUND/CDxSound.h"
#include "SOUND/CVorbis.h"
#include "SoundTestSupport.h"
#include "support/TestSupport.h"

using namespace kestrin;
using namespace sound_test;
using kestrin_test::TempDir;

namespace {

// A source over bytes made on demand; records what the player asks for.
class MemorySound : public ISound {
public:
    MemorySound(uint32_t rate, uint16_t bits, uint16_t channels, std::string pcm)
        : m_rate(rate),
          m_bits(bits),
          m_channels(channels),
          m_pcm(std::move(pcm)),
          m_size(static_cast<uint32_t>(m_pcm.size())) {}
    // size bytes, byte i being byteAt(i).
    MemorySound(uint32_t rate, uint16_t bits, uint16_t channels, uint32_t size, std::function<uint8_t(uint32_t)> byteAt)
        : m_rate(rate), m_bits(bits), m_channels(channels), m_size(size), m_byteAt(std::move(byteAt)) {}

    bool Open(std::shared_ptr<CFile>) override { return false; }
    int Read(void* buffer, uint32_t n) override {
        asks.push_back(n);
        if (failReads) return -1;
        const uint32_t count = std::min(n, m_size - m_position);
        auto* out = static_cast<uint8_t*>(buffer);
        for (uint32_t i = 0; i < count; ++i)
            out[i] = m_byteAt ? m_byteAt(m_position + i) : static_cast<uint8_t>(m_pcm[m_position + i]);
        m_position += count;
        return static_cast<int>(count);
    }
    void Rewind() override {
        ++rewinds;
        m_position = 0;
    }
    uint32_t GetSamplesPerSec() override { return m_rate; }
    uint16_t GetBitsPerSample() override { return m_bits; }
    uint16_t GetChannels() override { return m_channels; }
    uint32_t GetDataSize() override { return m_size; }

    std::vector<uint32_t> asks;
    int rewinds = 0;
    bool failReads = false;

private:
    uint32_t m_rate;
    uint16_t m_bits;
    uint16_t m_channels;
    std::string m_pcm;
    uint32_t m_size;
    std::function<uint8_t(uint32_t)> m_byteAt;
    uint32_t m_position = 0;
};

std::vector<int16_t> AsSamples(const std::string& pcm) {
    std::vector<int16_t> out(pcm.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<int16_t>(static_cast<uint8_t>(pcm[2 * i]) | (static_cast<uint8_t>(pcm[2 * i + 1]) << 8));
    return out;
}

// A stereo 16-bit pattern that never repeats within 32768 frames.
uint8_t PatternByte(uint32_t i) {
    const uint32_t frame = i / 4, sample = (i / 2) % 2;
    const uint16_t v = static_cast<uint16_t>(sample ? ~frame : frame * 3);
    return static_cast<uint8_t>(i % 2 ? v >> 8 : v & 0xFF);
}

// Plays frames of 1/60 s: render the frame's audio, then the player's per-frame update.
struct Clock {
    PullOutput& output;
    uint64_t frame = 0;
    void Step(ISoundPlayer& player, std::vector<int16_t>* out) {
        output->RenderToVideoFrame(++frame, out);
        player.Update();
    }
};

}  // namespace

TEST(CDxSound, PerMilleToHundredthsOfDecibel) {
    const int perMille[] = {1000, 900, 750, 500, 250, 100, 10, 2, 1, 0, 1500, -5};
    const int expected[] = {0, -91, -249, -602, -1204, -2000, -4000, -5397, -6000, -10000, 0, -10000};
    for (size_t i = 0; i < std::size(perMille); ++i)
        EXPECT_EQ(CDxSound::PerMilleToHundredthsOfDecibel(perMille[i]), expected[i]) << perMille[i];
}

TEST(CDxSound, VolumeIsStoredClamped) {
    CDxSound player;
    EXPECT_EQ(player.GetVolume(), 1000);
    const int set[] = {500, 1500, -5, 0, 999};
    const int stored[] = {500, 1000, 0, 0, 999};
    for (size_t i = 0; i < std::size(set); ++i) {
        player.SetVolume(set[i]);
        EXPECT_EQ(player.GetVolume(), stored[i]);
    }
}

TEST(CDxSound, HalfVolumeMeasuresMinusSixDecibels) {
    PullOutput output(44100);
    const std::string tone = Pcm16(Tone(1000, 44100, 22050, 2, 0.5));
    // Full volume, half volume, and half volume set before Open (which Open does not apply).
    struct Case {
        int before, after;
        double db;
    } cases[] = {{1000, 1000, 0.0}, {1000, 500, -6.0206}, {500, -1, 0.0}};
    double reference = 0;
    for (const Case& c : cases) {
        MemorySound source(44100, 16, 2, tone);
        CDxSound player;
        player.SetVolume(c.before);
        ASSERT_FALSE(player.Open(&source, true));
        if (c.after >= 0) player.SetVolume(c.after);
        ASSERT_FALSE(player.Play(false));
        std::vector<int16_t> out;
        output->Render(22050, &out);
        const double db = RmsDb(out.data() + 4410, out.size() - 8820);
        if (c.before == 1000 && c.after == 1000) reference = db;
        EXPECT_NEAR(db - reference, c.db, 0.01) << c.before << " " << c.after;
    }
}

TEST(CDxSound, WholeBufferPlaysOnceOrLoops) {
    PullOutput output(44100);
    const std::vector<int16_t> samples = Tone(441, 44100, 1000, 2, 0.8);
    for (bool loop : {false, true}) {
        SCOPED_TRACE(loop);
        MemorySound source(44100, 16, 2, Pcm16(samples));
        CDxSound player;
        ASSERT_FALSE(player.Open(&source, true));
        EXPECT_EQ(player.GetHalfSize(), 0u);
        ASSERT_FALSE(player.Play(loop));
        EXPECT_EQ(player.IsPlaying(), loop ? 2 : 1);
        std::vector<int16_t> out;
        output->Render(1000, &out);
        EXPECT_EQ(out, samples);
        EXPECT_EQ(player.IsPlaying(), loop ? 2 : 1);
        out.clear();
        output->Render(1000, &out);
        EXPECT_EQ(out, loop ? samples : std::vector<int16_t>(2000, 0));
        EXPECT_EQ(player.IsPlaying(), loop ? 2 : 0);
        player.Stop();
        EXPECT_EQ(player.IsPlaying(), 0);
    }
}

TEST(CDxSound, SampleFormatsReachTheMix) {
    PullOutput output(8000);
    struct Case {
        const char* what;
        uint16_t bits, channels;
        std::string pcm;
        std::vector<int16_t> expected;  // stereo
        // clang-format off
    } cases[] = {
        {"8-bit mono", 8, 1, std::string("\x80\xFF\x00\x40", 4), {0, 0, 32512, 32512, -32768, -32768, -16384, -16384}},
        {"16-bit mono", 16, 1, std::string("\x34\x12\x00\x80", 4), {0x1234, 0x1234, -32768, -32768}},
        {"24-bit stereo", 24, 2, std::string("\x00\x34\x12\xFF\xFF\x7F\x00\x00\x80\xC0\x00\x00", 12), {0x1234, 32767, -32768, 1}},
        {"32-bit mono", 32, 1, std::string("\x00\x00\x34\x12\x00\x00\x00\x80", 8), {0x1234, 0x1234, -32768, -32768}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemorySound source(8000, c.bits, c.channels, c.pcm);
        CDxSound player;
        ASSERT_FALSE(player.Open(&source, true));
        ASSERT_FALSE(player.Play(false));
        std::vector<int16_t> out;
        output->Render(c.expected.size() / 2, &out);
        EXPECT_EQ(out, c.expected);
    }
}

TEST(CDxSound, UnplayableFormatsFailTheOpen) {
    PullOutput output(44100);
    struct Case {
        const char* what;
        uint32_t rate;
        uint16_t bits, channels;
        uint32_t size;
        bool wholeBuffer;
        // clang-format off
    } cases[] = {
        {"no data", 44100, 16, 2, 0, true},    {"less than a frame", 44100, 16, 2, 3, true},
        {"three channels", 44100, 16, 3, 60, false}, {"12-bit", 44100, 12, 1, 60, true},
        {"rate 0", 0, 16, 2, 400, false},      {"no bytes per sample", 44100, 4, 2, 400, true},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemorySound source(c.rate, c.bits, c.channels, std::string(c.size, '\0'));
        CDxSound player;
        EXPECT_TRUE(player.Open(&source, c.wholeBuffer));
        EXPECT_TRUE(player.Play(false));
        EXPECT_EQ(player.IsPlaying(), 0);
        player.Update();
        player.Stop();
    }
}

TEST(CDxSound, ResampledSoundKeepsItsPitchAndLength) {
    PullOutput output(44100);
    MemorySound source(22050, 16, 1, Pcm16(Tone(1000, 22050, 4410, 1, 0.5)));
    CDxSound player;
    ASSERT_FALSE(player.Open(&source, true));
    ASSERT_FALSE(player.Play(false));
    std::vector<int16_t> out;
    while (player.IsPlaying() && out.size() < 44100 * 2) output->Render(64, &out);
    EXPECT_NEAR(static_cast<double>(out.size() / 2), 8820.0, 128.0);
    int crossings = 0;
    for (size_t i = 2 * 1000; i + 2 < 2 * 8000; i += 2)
        if ((out[i] < 0) != (out[i + 2] < 0)) ++crossings;
    // 7000 frames at 44.1 kHz hold 158.7 periods of 1 kHz: two crossings each.
    EXPECT_NEAR(crossings, 317, 3);
}

TEST(CDxSound, StreamedIntroLoopsSeamlesslyAtTheJoin) {
    TempDir dir;
    const std::string a = dir.Write("music_a.ogg", Fixture("intro.ogg"));
    const std::string b = dir.Write("music_b.ogg", Fixture("loop.ogg"));
    const std::vector<int16_t> decA = AsSamples(OggdecRaw(a)), decB = AsSamples(OggdecRaw(b));
    ASSERT_FALSE(decA.empty());
    ASSERT_FALSE(decB.empty());
    std::vector<int16_t> expected = decA;
    while (expected.size() < 2 * 22050 * 2) expected.insert(expected.end(), decB.begin(), decB.end());
    expected.resize(2 * 22050 * 2);

    PullOutput output(22050);
    auto source = OpenSource<CVorbis>(a);
    ASSERT_TRUE(source);
    CDxSound player;
    // Halves of 100 ms, so that the two files and their joins cross many halves.
    ASSERT_FALSE(player.Create(source.get(), false, 100));
    EXPECT_EQ(player.GetHalfSize(), 2205u * 4);
    ASSERT_FALSE(player.Play(true));
    std::vector<int16_t> out;
    Clock clock{output};
    while (out.size() < expected.size()) clock.Step(player, &out);
    out.resize(expected.size());
    EXPECT_TRUE(out == expected);
    EXPECT_EQ(player.IsPlaying(), 2);
}

TEST(CDxSound, StreamShorterThanAHalfPlaysOnceForTwoHalves) {
    // 5-second halves: the stream plays its 0.45 s, then silence, and reports playing until
    // both halves have played once, ten seconds after Play.
    PullOutput output(22050);
    const std::string path = kestrin_test::TestDataPath("sound/loop.ogg");
    const std::vector<int16_t> dec = AsSamples(OggdecRaw(path));
    auto source = OpenSource<CVorbis>(path);
    ASSERT_TRUE(source);
    CDxSound player;
    ASSERT_FALSE(player.Open(source.get(), false));
    EXPECT_EQ(player.GetHalfSize(), 22050u * 4 * 5);
    ASSERT_FALSE(player.Play(false));
    std::vector<int16_t> out;
    Clock clock{output};
    while (player.IsPlaying() == 1 && clock.frame < 1200) clock.Step(player, &out);
    EXPECT_EQ(player.IsPlaying(), 0);
    EXPECT_GE(clock.frame, 600u);
    EXPECT_LE(clock.frame, 602u);
    ASSERT_GE(out.size(), dec.size());
    EXPECT_TRUE(std::equal(dec.begin(), dec.end(), out.begin()));
    EXPECT_TRUE(std::all_of(out.begin() + static_cast<long>(dec.size()), out.end(), [](int16_t v) { return v == 0; }));
}

TEST(CDxSound, LoopedStreamShorterThanAHalfRepeatsWithoutAGap) {
    PullOutput output(44100);
    const std::vector<int16_t> samples = Tone(1000, 44100, 1323, 2, 0.5);  // 30 ms
    MemorySound source(44100, 16, 2, Pcm16(samples));
    CDxSound player;
    ASSERT_FALSE(player.Create(&source, false, 100));
    ASSERT_FALSE(player.Play(true));
    std::vector<int16_t> out;
    Clock clock{output};
    // Six halves of 100 ms hold twenty repeats of the 30 ms sound, back to back.
    while (out.size() < 2 * 4410 * 6) clock.Step(player, &out);
    for (size_t repeat = 0; repeat < 20; ++repeat) {
        SCOPED_TRACE(repeat);
        EXPECT_TRUE(
            std::equal(samples.begin(), samples.end(), out.begin() + static_cast<long>(repeat * samples.size())));
    }
    EXPECT_EQ(player.IsPlaying(), 2);
}

TEST(CDxSound, LoopedEmptyStreamPlaysSilence) {
    PullOutput output(44100);
    MemorySound source(44100, 16, 2, std::string());
    CDxSound player;
    ASSERT_FALSE(player.Create(&source, false, 100));
    ASSERT_FALSE(player.Play(true));
    std::vector<int16_t> out;
    Clock clock{output};
    while (out.size() < 2 * 4410 * 6) clock.Step(player, &out);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int16_t v) { return v == 0; }));
    EXPECT_EQ(player.IsPlaying(), 2);
}

TEST(CDxSound, RefillsComeInSlicesAndKeepAheadOfPlayback) {
    PullOutput output(44100);
    const uint32_t size = 44100 * 4 * 16;  // 16 s
    MemorySound source(44100, 16, 2, size, PatternByte);
    CDxSound player;
    ASSERT_FALSE(player.Open(&source, false));
    ASSERT_FALSE(player.Play(false));
    std::vector<int16_t> out;
    Clock clock{output};
    int refillingFrames = 0;
    while (clock.frame < 60 * 14) {
        CFrameDemand::Take(0);
        clock.Step(player, &out);
        if (player.IsRefilling()) ++refillingFrames;
        // A refill runs on every frame; between them the loop may rest a little.
        ASSERT_EQ(CFrameDemand::Take(10000), player.IsRefilling() ? 0 : CDxSound::kRefillSliceMilliseconds)
            << clock.frame;
    }
    const uint32_t slice = 44100 * 4 * CDxSound::kRefillSliceMilliseconds / 1000;
    for (uint32_t ask : source.asks) EXPECT_LE(ask, slice);
    EXPECT_GT(refillingFrames, 40);  // three halves, each over many frames
    ASSERT_EQ(out.size(), 2u * 44100 * 14);
    for (size_t i = 0; i < out.size(); ++i) {
        const uint32_t byte = static_cast<uint32_t>(2 * i);
        const int16_t expected = static_cast<int16_t>(PatternByte(byte) | (PatternByte(byte + 1) << 8));
        if (out[i] != expected) {
            ADD_FAILURE() << "sample " << i << " is " << out[i] << ", expected " << expected;
            break;
        }
    }
    EXPECT_EQ(player.IsPlaying(), 1);
}

TEST(CDxSound, LateFramesCompleteTheRefillBeforePlaybackReachesIt) {
    // Frames that come late (a hitch while loading) must not let playback run into bytes a
    // sliced refill has not written yet.
    PullOutput output(44100);
    MemorySound source(44100, 16, 2, 44100 * 4 * 12, PatternByte);
    CDxSound player;
    ASSERT_FALSE(player.Open(&source, false));
    ASSERT_FALSE(player.Play(false));
    std::vector<int16_t> out;
    output->Render(44100 * 190 / 1000, &out);  // 190 ms without a frame
    player.Update();
    EXPECT_FALSE(player.IsRefilling());
    output->Render(44100 * 300 / 1000, &out);  // and 300 ms more
    Clock clock{output};
    clock.frame = 30;
    while (out.size() < 2u * 44100 * 11) clock.Step(player, &out);
    for (size_t i = 0; i < out.size(); ++i) {
        const uint32_t byte = static_cast<uint32_t>(2 * i);
        const int16_t expected = static_cast<int16_t>(PatternByte(byte) | (PatternByte(byte + 1) << 8));
        if (out[i] != expected) {
            ADD_FAILURE() << "sample " << i << " is " << out[i] << ", expected " << expected;
            break;
        }
    }
}

TEST(CDxSound, SourceThatFailsStopsTheStream) {
    PullOutput output(44100);
    MemorySound source(44100, 16, 2, std::string(44100 * 4, '\1'));
    CDxSound player;
    ASSERT_FALSE(player.Create(&source, false, 100));
    ASSERT_FALSE(player.Play(false));
    source.failReads = true;
    std::vector<int16_t> out;
    Clock clock{output};
    for (int i = 0; i < 3; ++i) clock.Step(player, &out);
    EXPECT_EQ(player.IsPlaying(), 0);
    out.clear();
    clock.Step(player, &out);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int16_t v) { return v == 0; }));
}
