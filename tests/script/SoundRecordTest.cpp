// The sound tags' records in the save data: the music record (set by splay, sfadein and
// sxfade, cleared by sfadeout and sstop, its gain followed by sfade) and the looping-effect
// record per channel; replayed blocks record nothing and start their sounds again. Also the
// skippable effects, which the harness cannot reach (skipping needs a held key).
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "CORE/CSerializer.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/CSaveData.h"
#include "SOUND/CSoundManager.h"
#include "SOUND/AudioSystem.h"
#include "SOUND/Platform/PullAudioOutput.h"
#include "support/InterpreterFixture.h"

using kestrin::CMainScript;
using kestrin::CSaveData;

namespace {

// A RIFF WAVE file of 16-bit stereo PCM at 44100 Hz holding frames of a square wave.
std::string Wave(uint32_t frames) {
    std::string data;
    for (uint32_t i = 0; i < frames * 2; ++i) {
        int16_t v = (i / 40) % 2 ? 8000 : -8000;
        data += static_cast<char>(v & 0xFF);
        data += static_cast<char>((v >> 8) & 0xFF);
    }
    auto u32 = [](uint32_t v) {
        return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                           static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
    };
    std::string fmt =
        std::string("\x01\x00\x02\x00", 4) + u32(44100) + u32(44100 * 4) + std::string("\x04\x00\x10\x00", 4);
    std::string body = "WAVEfmt " + u32(16) + fmt + "data" + u32(static_cast<uint32_t>(data.size())) + data;
    return "RIFF" + u32(static_cast<uint32_t>(body.size())) + body;
}

class SoundRecordTest : public kestrin_test::InterpreterFixture {
protected:
    void SetUp() override {
        InterpreterFixture::SetUp();
        // Sound is mixed only when the test renders it: nothing depends on a device.
        auto output = std::make_unique<kestrin::PullAudioOutput>();
        m_output = output.get();
        kestrin::UseAudioOutput(std::move(output));
        m_dir.Write("se.wav", Wave(4410));
        m_dir.Write("bgm.wav", Wave(44100));
    }
    void TearDown() override {
        m_script.reset();
        kestrin::CloseAudioOutput();
        InterpreterFixture::TearDown();
    }
    void Run(const std::string& text) {
        m_dir.Write("main.iet", text + "[stop]\n");
        m_script.reset(new CMainScript(nullptr));
        ASSERT_FALSE(m_script->Start());
        for (int frame = 0; frame < 4; ++frame) {
            m_script->Update(m_now += 16);
            m_output->RenderTo(m_output->GetRenderedFrames() + 706);
        }
    }
    CSaveData& Save() { return m_script->GetSaveData(); }
    std::string MusicFile() { return Save().IsMusicRecorded() ? Save().GetMusicBlock().GetAttribute("file") : "-"; }
    // Channel ids of the looping-effect record, joined.
    std::string Loops() {
        std::string ids;
        for (const auto& entry : Save().GetSoundRecord())
            ids += entry.first + "=" + entry.second.GetAttribute("file") + ";";
        return ids;
    }

    kestrin::PullAudioOutput* m_output = nullptr;
};

TEST_F(SoundRecordTest, MusicRecordFollowsTheMusicTags) {
    struct Case {
        const char* script;
        const char* music;  // the recorded block's file, "-" when nothing is recorded
        const char* gain;   // its "gain"
    } cases[] = {
        {"[splay file=bgm]", "bgm", ""},
        {"[sfadein file=bgm time=500 gain=700]", "bgm", "700"},
        {"[splay file=bgm][sxfade file=se time=300]", "se", ""},
        {"[splay file=bgm][sstop]", "-", ""},
        {"[splay file=bgm][sfadeout time=1000]", "-", ""},
        {"[splay file=bgm][sfade gain=300 time=100]", "bgm", "300"},
        // Without "gain" sfade records an empty gain (the music restarts at gain 0).
        {"[splay file=bgm gain=800][sfade]", "bgm", ""},
        // A missing file leaves the record as it was.
        {"[splay file=bgm][splay file=nosuch]", "bgm", ""},
        {"[splay file=bgm][sxfade file=nosuch time=100]", "bgm", ""},
        {"[sstop][sfade gain=300]", "-", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        ASSERT_NO_FATAL_FAILURE(Run(c.script));
        EXPECT_EQ(MusicFile(), c.music);
        if (Save().IsMusicRecorded()) EXPECT_EQ(Save().GetMusicBlock().GetAttribute("gain"), c.gain);
    }
}

TEST_F(SoundRecordTest, LoopingEffectRecordFollowsTheEffectTags) {
    struct Case {
        const char* script;
        const char* loops;
    } cases[] = {
        {"[seplay id=a file=se loop=1][seplay id=b file=se]", "a=se;"},
        {"[sefadein id=b file=se time=100 loop=1][seplay id=a file=se loop=1]", "a=se;b=se;"},
        // A one-shot start leaves the channel's earlier looping record.
        {"[seplay id=a file=bgm loop=1][seplay id=a file=se]", "a=bgm;"},
        {"[seplay id=a file=se loop=1][sestop id=a]", ""},
        {"[seplay id=a file=se loop=1][sefadeout id=a time=500]", ""},
        // A failed start stops the channel, which leaves the table a frame later; then
        // sefadeout keeps its record and sestop erases it.
        {"[seplay id=a file=se loop=1][seplay id=a file=nosuch loop=1][wait time=20][sefadeout id=a time=100]",
         "a=se;"},
        {"[seplay id=a file=se loop=1][seplay id=a file=nosuch loop=1][wait time=20][sestop id=a]", ""},
        {"[seplay id=a file=se loop=1][seplay id=b file=se loop=1][sestop id=b]", "a=se;"},
        {"[voice id=v file=se loop=1]", "v=se;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        ASSERT_NO_FATAL_FAILURE(Run(c.script));
        EXPECT_EQ(Loops(), c.loops);
    }
}

TEST_F(SoundRecordTest, SkippableEffectsAreLeftOutWhileSkipping) {
    struct Case {
        const char* skippable;
        bool skipping;
        bool plays;
    } cases[] = {{"1", true, false}, {"0", true, true}, {"1", false, true}, {"2", true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.skippable) + (c.skipping ? " skipping" : ""));
        ASSERT_NO_FATAL_FAILURE(Run("[seplay id=a file=se loop=1]"));
        const uint32_t before = m_script->GetSoundChannels().at("a");
        m_script->SetControlSkip(c.skipping, true);
        kestrin::CScriptBlock block(2, 1, "seplay");
        block.SetAttribute("id", "a");
        block.SetAttribute("file", "se");
        block.SetAttribute("skippable", c.skippable);
        m_script->ExecuteBlock(block, false);
        // Either way the channel's earlier sound has stopped.
        EXPECT_EQ(m_script->GetEffectsManager().IsPlaying(before), 0);
        const uint32_t after = m_script->GetSoundChannels().at("a");
        EXPECT_EQ(after != before && m_script->GetEffectsManager().IsPlaying(after) == 1, c.plays);
    }
}

TEST_F(SoundRecordTest, ReplayStartsTheRecordedSoundsWithoutRecordingAgain) {
    ASSERT_NO_FATAL_FAILURE(Run("[splay file=bgm][seplay id=a file=se loop=1][seplay id=b file=se]"));
    // Boot stops every sound and forgets the records; a restored game would bring them back.
    CSaveData::SoundRecord loops = Save().GetSoundRecord();
    kestrin::CScriptBlock music = Save().GetMusicBlock();
    ASSERT_FALSE(m_script->Start());
    EXPECT_TRUE(m_script->GetSoundChannels().empty());
    EXPECT_EQ(m_script->GetMusicHandle(), 0u);
    EXPECT_FALSE(Save().IsMusicRecorded());
    EXPECT_TRUE(Save().GetSoundRecord().empty());

    Save().GetSoundRecord() = loops;
    Save().RecordMusic(music);
    Save().ReplaySoundRecord();
    EXPECT_EQ(m_script->GetMusicManager().IsPlaying(m_script->GetMusicHandle()), 2);
    ASSERT_EQ(m_script->GetSoundChannels().size(), 1u);
    EXPECT_EQ(m_script->GetEffectsManager().IsPlaying(m_script->GetSoundChannels().at("a")), 2);
    EXPECT_EQ(Loops(), "a=se;");
    EXPECT_EQ(MusicFile(), "bgm");
}

TEST_F(SoundRecordTest, RecordsGoThroughAnArchive) {
    ASSERT_NO_FATAL_FAILURE(Run("[sfadein file=bgm time=100 gain=600][seplay id=z file=se loop=1]"));
    kestrin::CSerializer archive;
    Save().SaveSoundRecord(&archive, 53, 28, 29);
    kestrin::CBinaryStream::CMemoryInfo* image = archive.GetMemory();
    ASSERT_NE(image, nullptr);
    std::string bytes(reinterpret_cast<const char*>(image->data), image->size);

    ASSERT_NO_FATAL_FAILURE(Run("[sstop]"));
    kestrin::CSerializer reader;
    reader.Attach(bytes.data(), static_cast<unsigned>(bytes.size()));
    Save().LoadSoundRecord(&reader, 53, 28, 29);
    EXPECT_EQ(MusicFile(), "bgm");
    EXPECT_EQ(Save().GetMusicBlock().GetAttribute("gain"), "600");
    EXPECT_EQ(Loops(), "z=se;");

    // Without music the block is not written, and a loaded record without it clears ours.
    ASSERT_NO_FATAL_FAILURE(Run("[sstop]"));
    kestrin::CSerializer silent;
    Save().SaveSoundRecord(&silent, 53, 28, 29);
    kestrin::CBinaryStream::CMemoryInfo* none = silent.GetMemory();
    std::string quiet(reinterpret_cast<const char*>(none->data), none->size);
    ASSERT_NO_FATAL_FAILURE(Run("[splay file=bgm]"));
    kestrin::CSerializer back;
    back.Attach(quiet.data(), static_cast<unsigned>(quiet.size()));
    Save().LoadSoundRecord(&back, 53, 28, 29);
    EXPECT_FALSE(Save().IsMusicRecorded());
}

}  // namespace
