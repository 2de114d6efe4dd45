#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "SOUND/CVorbis.h"
#include "SOUND/CWave.h"
#include "SoundTestSupport.h"
#include "support/TestSupport.h"

using namespace kestrin;
using namespace sound_test;
using kestrin_test::TempDir;
using kestrin_test::TestDataPath;

namespace {

std::string U16(uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string U32(uint32_t v) { return U16(v & 0xFFFF) + U16(static_cast<uint16_t>(v >> 16)); }
std::string Chunk(const std::string& id, const std::string& body) {
    return id + U32(static_cast<uint32_t>(body.size())) + body + ((body.size() & 1) ? std::string(1, '\0') : "");
}
std::string Riff(const std::string& chunks) {
    return "RIFF" + U32(static_cast<uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}
std::string Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, const std::string& extra = "") {
    const uint16_t block = static_cast<uint16_t>(channels * (bits / 8));
    return Chunk("fmt ", U16(tag) + U16(channels) + U32(rate) + U32(rate * block) + U16(block) + U16(bits) + extra);
}
// The tail of an extensible "fmt ": size 22, valid bits, channel mask, sub-format GUID.
std::string Extensible(uint16_t bits, uint16_t subFormat) {
    return U16(22) + U16(bits) + U32(4) + U16(subFormat) +
           std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
}

std::string Decode(const std::string& path, bool vorbis) { return vorbis ? OggdecRaw(path) : SoxRaw(path); }

std::unique_ptr<ISound> Open(const std::string& path, bool vorbis) {
    if (vorbis) return OpenSource<CVorbis>(path);
    return OpenSource<CWave>(path);
}

}  // namespace

TEST(CWave, FixturesDecodeAsSoxReadsThem) {
    struct Case {
        const char* file;
        uint32_t rate;
        uint16_t bits;
        uint16_t channels;
    } cases[] = {
        {"pcm8_mono.wav", 8000, 8, 1},      {"pcm16_stereo.wav", 11025, 16, 2}, {"pcm24_mono.wav", 16000, 24, 1},
        {"ext24_stereo.wav", 16000, 24, 2}, {"odd_chunks.wav", 8000, 8, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = TestDataPath(std::string("sound/") + c.file);
        const std::string expected = SoxRaw(path);
        ASSERT_FALSE(expected.empty());
        auto wave = OpenSource<CWave>(path);
        ASSERT_TRUE(wave);
        EXPECT_EQ(wave->GetSamplesPerSec(), c.rate);
        EXPECT_EQ(wave->GetBitsPerSample(), c.bits);
        EXPECT_EQ(wave->GetChannels(), c.channels);
        EXPECT_EQ(wave->GetDataSize(), expected.size());
        EXPECT_EQ(ReadAll(*wave, 7), expected);
        EXPECT_EQ(wave->Read(nullptr, 0), 0);
        wave->Rewind();
        EXPECT_EQ(ReadAll(*wave), expected);
    }
}

TEST(CWave, HeadersThatOpenAndHeadersThatFail) {
    const std::string pcm = "\x01\x02\x03\x04\x05\x06";
    const std::string data = Chunk("data", pcm);
    struct Case {
        const char* what;
        std::string bytes;
        bool opens;
    } cases[] = {
        {"plain", Riff(Fmt(1, 1, 8000, 16) + data), true},
        {"8-bit stereo", Riff(Fmt(1, 2, 8000, 8) + data), true},
        {"24-bit mono", Riff(Fmt(1, 1, 8000, 24) + data), true},
        {"fmt of 18 bytes", Riff(Fmt(1, 1, 8000, 16, U16(0)) + data), true},
        {"LIST before fmt, chunks between",
         Riff(Chunk("LIST", "INFOxyz") + Fmt(1, 1, 8000, 16) + Chunk("fact", "abcd") + data), true},
        {"extensible PCM", Riff(Fmt(0xFFFE, 2, 8000, 24, Extensible(24, 1)) + data), true},
        {"extensible float", Riff(Fmt(0xFFFE, 2, 8000, 32, Extensible(32, 3)) + data), false},
        {"extensible without its tail", Riff(Fmt(0xFFFE, 2, 8000, 16) + data), false},
        {"not RIFF", "RIFX" + Riff(Fmt(1, 1, 8000, 16) + data).substr(4), false},
        {"not WAVE", Riff(Fmt(1, 1, 8000, 16) + data).replace(8, 4, "AVI "), false},
        {"fmt shorter than 16", Riff(Chunk("fmt ", std::string(14, '\x01')) + data), false},
        {"float format", Riff(Fmt(3, 1, 8000, 32) + data), false},
        {"three channels", Riff(Fmt(1, 3, 8000, 16) + data), false},
        {"average bytes wrong", Riff(Chunk("fmt ", U16(1) + U16(1) + U32(8000) + U32(8001) + U16(2) + U16(16)) + data),
         false},
        {"block align wrong", Riff(Chunk("fmt ", U16(1) + U16(1) + U32(8000) + U32(16000) + U16(4) + U16(16)) + data),
         false},
        {"no data", Riff(Fmt(1, 1, 8000, 16)), false},
        {"no fmt", Riff(Chunk("LIST", "abcd") + data), false},
        {"chunk past the end before fmt", Riff("junk" + U32(1000) + "ab" + Fmt(1, 1, 8000, 16) + data), false},
        // A 32-bit position would wrap back to the start and walk the same chunks for ever.
        {"chunk size that wraps", Riff("junk" + U32(0xFFFFFFF4u) + Fmt(1, 1, 8000, 16) + data), false},
        {"odd chunk not padded", Riff("junk" + U32(3) + "abc" + Fmt(1, 1, 8000, 16) + data), false},
        {"empty", "", false},
        {"header only", "RIFF", false},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto wave = OpenSource<CWave>(dir.Write("x.wav", c.bytes));
        EXPECT_EQ(wave != nullptr, c.opens);
        if (wave) {
            EXPECT_EQ(ReadAll(*wave), pcm);
        }
    }
}

TEST(CWave, DataSizeIsClampedToWhatTheFileHolds) {
    TempDir dir;
    const std::string bytes = Riff(Fmt(1, 1, 8000, 16)) + "data" + U32(1000) + "0123456789";
    auto wave = OpenSource<CWave>(dir.Write("short.wav", bytes));
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->GetDataSize(), 10u);
    EXPECT_EQ(ReadAll(*wave), "0123456789");
}

TEST(CVorbis, FixturesDecodeAsOggdec) {
    struct Case {
        const char* file;
        uint32_t rate;
        uint16_t channels;
    } cases[] = {{"intro.ogg", 22050, 2}, {"loop.ogg", 22050, 2}, {"mono.ogg", 11025, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = TestDataPath(std::string("sound/") + c.file);
        const std::string expected = OggdecRaw(path);
        ASSERT_FALSE(expected.empty());
        auto vorbis = OpenSource<CVorbis>(path);
        ASSERT_TRUE(vorbis);
        EXPECT_EQ(vorbis->GetSamplesPerSec(), c.rate);
        EXPECT_EQ(vorbis->GetChannels(), c.channels);
        EXPECT_EQ(vorbis->GetBitsPerSample(), 16);
        EXPECT_EQ(vorbis->GetDataSize(), expected.size());
        EXPECT_TRUE(ReadAll(*vorbis, 1001) == expected);
        vorbis->Rewind();
        EXPECT_TRUE(ReadAll(*vorbis, 65536) == expected);
    }
}

TEST(CVorbis, DataTheDecoderRejectsFailsTheOpen) {
    const std::string ogg = Fixture("intro.ogg");
    ASSERT_GT(ogg.size(), 200u);
    std::string flipped = ogg;
    for (size_t i = 0; i < 64; ++i) flipped[i] = static_cast<char>(flipped[i] ^ 0x5A);
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"garbage", std::string(5000, 'x')},
        {"a WAVE file", Fixture("pcm16_stereo.wav")},
        {"headers cut short", ogg.substr(0, 100)},
        {"first page damaged", flipped},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::shared_ptr<CFile> file(CFileFactory().Create());
        ASSERT_FALSE(file->Open(dir.Write("x.ogg", c.bytes).c_str()));
        CVorbis vorbis;
        EXPECT_TRUE(vorbis.Open(file));
        char buffer[16];
        EXPECT_EQ(vorbis.Read(buffer, sizeof(buffer)), -1);
        vorbis.Rewind();
        EXPECT_EQ(vorbis.Read(buffer, sizeof(buffer)), -1);
    }
}

TEST(CVorbis, CutOrDamagedStreamsReadAtMostTheirData) {
    const std::string ogg = Fixture("loop.ogg");
    const std::string full = OggdecRaw(TestDataPath("sound/loop.ogg"));
    ASSERT_FALSE(full.empty());
    TempDir dir;
    for (size_t keep : {ogg.size() - 1, ogg.size() - 300, ogg.size() - 700, ogg.size() / 2}) {
        SCOPED_TRACE(keep);
        auto vorbis = OpenSource<CVorbis>(dir.Write("cut.ogg", ogg.substr(0, keep)));
        if (!vorbis) continue;
        const std::string got = ReadAll(*vorbis, 777);
        EXPECT_LE(got.size(), full.size());
        EXPECT_TRUE(full.compare(0, got.size(), got) == 0);
    }
    // Damage inside the audio pages: holes are skipped, reads stay within the buffer.
    for (size_t at : {ogg.size() - 200, ogg.size() - 600, ogg.size() - 1000}) {
        SCOPED_TRACE(at);
        std::string damaged = ogg;
        for (size_t i = at; i < at + 40; ++i) damaged[i] = static_cast<char>(damaged[i] * 7 + 1);
        auto vorbis = OpenSource<CVorbis>(dir.Write("damaged.ogg", damaged));
        if (!vorbis) continue;
        EXPECT_LE(ReadAll(*vorbis, 777).size(), full.size() + 65536);
    }
}

// The intro-and-loop pair, for both kinds of source.
class Continuation : public ::testing::TestWithParam<bool> {
protected:
    bool Vorbis() const { return GetParam(); }
    std::string Ext() const { return Vorbis() ? "ogg" : "wav"; }
    std::string Intro() const { return Vorbis() ? "intro.ogg" : "intro.wav"; }
    std::string Loop() const { return Vorbis() ? "loop.ogg" : "loop.wav"; }
    std::string Put(const std::string& name, const std::string& fixture) { return dir.Write(name, Fixture(fixture)); }
    TempDir dir;
};

TEST_P(Continuation, IntroContinuesWithItsLoopWithoutAGap) {
    const std::string a = Put("music_a." + Ext(), Intro());
    const std::string b = Put("music_b." + Ext(), Loop());
    const std::string decA = Decode(a, Vorbis()), decB = Decode(b, Vorbis());
    ASSERT_FALSE(decA.empty());
    ASSERT_FALSE(decB.empty());
    auto source = Open(a, Vorbis());
    ASSERT_TRUE(source);
    EXPECT_EQ(source->GetDataSize(), decA.size());
    // The read that crosses the join returns its full count.
    std::string head(decA.size() - 100, '\0');
    ASSERT_EQ(source->Read(&head[0], static_cast<uint32_t>(head.size())), static_cast<int>(head.size()));
    std::string cross(1000, '\0');
    ASSERT_EQ(source->Read(&cross[0], 1000), 1000);
    EXPECT_TRUE(head + cross == (decA + decB).substr(0, head.size() + 1000));
    EXPECT_TRUE(ReadAll(*source) == decB.substr(900));
    // From now on the source is the loop.
    EXPECT_EQ(source->GetDataSize(), decB.size());
    source->Rewind();
    EXPECT_TRUE(ReadAll(*source) == decB);
}

TEST_P(Continuation, NamesWithoutAPartnerEnd) {
    // No "_b" file; a capital "_A" never continues; "_b" files never continue.
    const std::string names[] = {"solo_a." + Ext(), "big_A." + Ext(), "tail_b." + Ext()};
    Put("big_B." + Ext(), Loop());
    Put("big_b." + Ext(), Loop());
    Put("tail_c." + Ext(), Loop());
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string path = Put(name, Intro());
        auto source = Open(path, Vorbis());
        ASSERT_TRUE(source);
        EXPECT_TRUE(ReadAll(*source) == Decode(path, Vorbis()));
        char buffer[64];
        EXPECT_EQ(source->Read(buffer, sizeof(buffer)), 0);
    }
}

TEST_P(Continuation, PartnerOfAnotherKindEndsTheIntroOnce) {
    // The partner opens as a file but not as this kind of sound: the intro ends and is not
    // played again from its start.
    const std::string a = Put("mix_a." + Ext(), Intro());
    Put("mix_b." + Ext(), Vorbis() ? "loop.wav" : "loop.ogg");
    const std::string decA = Decode(a, Vorbis());
    auto source = Open(a, Vorbis());
    ASSERT_TRUE(source);
    EXPECT_TRUE(ReadAll(*source) == decA);
    char buffer[64];
    EXPECT_EQ(source->Read(buffer, sizeof(buffer)), 0);
    EXPECT_EQ(source->Read(buffer, sizeof(buffer)), 0);
    source->Rewind();
    EXPECT_TRUE(ReadAll(*source) == decA);
}

INSTANTIATE_TEST_SUITE_P(Sources, Continuation, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Vorbis" : "Wave"; });
