// The sound tags' family on its own, with a fake interpreter: what the tags ask of the
// interpreter goes through the host, and the family releases its sounds before the player
// factory and the files they were made with.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "CORE/CFileFactory.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/ISoundTagHost.h"
#include "SCRIPT/tags/CSoundTags.h"
#include "SOUND/CSoundManager.h"
#include "SOUND/ISoundPlayerFactory.h"
#include "support/TestSupport.h"

using namespace kestrin;

namespace {

using ReleaseLog = std::vector<std::string>;

// A player that plays nothing and notes its release; players are numbered as made.
class LoggedPlayer : public ISoundPlayer {
public:
    LoggedPlayer(ReleaseLog& log, int number) : m_log(log), m_number(number) {}
    ~LoggedPlayer() override { m_log.push_back("player " + std::to_string(m_number)); }
    bool Open(ISound*, bool) override { return false; }
    void Release() override {}
    void Update() override {}
    bool Play(bool loop) override {
        m_state = loop ? 2 : 1;
        return false;
    }
    void Stop() override { m_state = 0; }
    int IsPlaying() override { return m_state; }
    int GetVolume() override { return m_volume; }
    void SetVolume(int perMille) override { m_volume = perMille; }

private:
    ReleaseLog& m_log;
    int m_number;
    int m_state = 0;
    int m_volume = 1000;
};

class LoggedPlayers : public ISoundPlayerFactory {
public:
    explicit LoggedPlayers(ReleaseLog& log) : m_log(log) {}
    ~LoggedPlayers() override { m_log.push_back("player factory"); }
    ISoundPlayer* Create() override { return new LoggedPlayer(m_log, ++m_made); }

private:
    ReleaseLog& m_log;
    int m_made = 0;
};

class LoggedFiles : public CFileFactory {
public:
    explicit LoggedFiles(ReleaseLog& log) : m_log(log) {}
    ~LoggedFiles() override { m_log.push_back("files"); }

private:
    ReleaseLog& m_log;
};

class FakeHost : public ISoundTagHost {
public:
    COruVariables& GetSoundVariables() override { return variables; }
    bool IsSkippingSounds() const override { return skipping; }
    CSaveData& GetSoundSaveData() override { return save; }
    void RecordVoiceBlock(const CScriptBlock& block) override { page.push_back(block.GetName()); }
    void TraceSoundTag(int level, const CScriptBlock& block, const char* format, va_list args) override {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        traces.push_back(std::to_string(level) + "@" + std::to_string(block.GetLine()) + ": " + text);
    }

    COruVariables variables;
    bool skipping = false;
    CSaveData save{nullptr, nullptr};
    std::vector<std::string> page;
    std::vector<std::string> traces;
};

// A RIFF WAVE file of 16-bit mono PCM at 8000 Hz, a tenth of a second of silence.
std::string Wave() {
    auto u32 = [](uint32_t v) {
        return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                           static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
    };
    const std::string data(1600, '\0');
    std::string fmt = std::string("\x01\x00\x01\x00", 4) + u32(8000) + u32(16000) + std::string("\x02\x00\x10\x00", 4);
    std::string body = "WAVEfmt " + u32(16) + fmt + "data" + u32(static_cast<uint32_t>(data.size())) + data;
    return "RIFF" + u32(static_cast<uint32_t>(body.size())) + body;
}

CScriptBlock Tag(const std::string& name, int line, std::vector<std::pair<std::string, std::string>> attributes) {
    CScriptBlock block(CScriptBlock::kTag, line, name);
    for (const auto& attribute : attributes) block.SetAttribute(attribute.first, attribute.second);
    return block;
}

class SoundTagsTest : public ::testing::Test {
protected:
    SoundTagsTest() : m_file(m_dir.Write("a.wav", Wave())) {}

    kestrin_test::TempDir m_dir;
    const std::string m_file;
    ReleaseLog m_log;
    FakeHost m_host;
};

// The managers go first (effects, then music: each stops its players), then the player
// factory the players came from, then the files the loaders read through. Fades under way
// must not outlive the family either.
TEST_F(SoundTagsTest, SoundsGoBeforeThePlayerFactoryAndTheFiles) {
    {
        CSoundTags sounds(m_host, std::make_shared<LoggedFiles>(m_log), std::make_shared<LoggedPlayers>(m_log));
        sounds.TagSplay(Tag("sfadein", 1, {{"file", m_file}, {"time", "5000"}}), false);
        sounds.TagSeplay(Tag("sefadein", 2, {{"id", "a"}, {"file", m_file}, {"time", "5000"}, {"loop", "1"}}), false);
        ASSERT_EQ(sounds.GetMusicManager().IsPlaying(sounds.GetMusicHandle()), 2);
        ASSERT_TRUE(sounds.IsChannelPlaying("a"));
        EXPECT_TRUE(m_log.empty());
    }
    EXPECT_EQ(m_log, (ReleaseLog{"player 2", "player 1", "player factory", "files"}));
    EXPECT_TRUE(m_host.traces.empty());
}

// Reset keeps the factory and the files and releases only the sounds.
TEST_F(SoundTagsTest, ResetReleasesTheSoundsOnly) {
    CSoundTags sounds(m_host, std::make_shared<LoggedFiles>(m_log), std::make_shared<LoggedPlayers>(m_log));
    sounds.TagSplay(Tag("splay", 1, {{"file", m_file}}), false);
    sounds.TagSeplay(Tag("seplay", 2, {{"id", "a"}, {"file", m_file}}), false);
    sounds.Reset();
    EXPECT_EQ(m_log, (ReleaseLog{"player 2", "player 1"}));
    EXPECT_EQ(sounds.GetMusicHandle(), 0u);
    EXPECT_TRUE(sounds.GetChannels().empty());
    sounds.TagSplay(Tag("splay", 3, {{"file", m_file}}), false);
    EXPECT_EQ(sounds.GetMusicManager().IsPlaying(sounds.GetMusicHandle()), 2);
}

// What each tag asks of the interpreter: the page record, the skip state, the diagnostics.
TEST_F(SoundTagsTest, TagsReachTheInterpreterThroughTheHost) {
    struct Case {
        const char* what;
        CScriptBlock block;
        bool replay;
        bool skipping;
        std::vector<std::string> page;
        bool plays;  // on channel "v"
        std::vector<std::string> traces;
    };
    const std::string missing = m_dir.Path() + "/none.wav";
    const Case cases[] = {
        {"voice", Tag("voice", 3, {{"id", "v"}, {"file", m_file}}), false, false, {"voice"}, true, {}},
        {"replayed voice", Tag("voice", 3, {{"id", "v"}, {"file", m_file}}), true, false, {}, true, {}},
        {"voice end", Tag("/voice", 4, {}), false, false, {"/voice"}, false, {}},
        {"skippable while skipping",
         Tag("seplay", 5, {{"id", "v"}, {"file", m_file}, {"skippable", "1"}}),
         false,
         true,
         {},
         false,
         {}},
        {"skippable, not skipping",
         Tag("seplay", 5, {{"id", "v"}, {"file", m_file}, {"skippable", "1"}}),
         false,
         false,
         {},
         true,
         {}},
        {"missing file",
         Tag("seplay", 7, {{"id", "v"}, {"file", missing}}),
         false,
         false,
         {},
         false,
         {"1@7: [seplay file=\"" + missing + "\"] 指定されたファイルは見つからないか、非対応形式です。"}},
    };
    for (const Case& c : cases) {
        FakeHost host;
        host.skipping = c.skipping;
        CSoundTags sounds(host, std::make_shared<CFileFactory>(), std::make_shared<LoggedPlayers>(m_log));
        const std::string name = c.block.GetName();
        if (name == "voice") {
            sounds.TagVoice(c.block, c.replay);
        } else if (name == "/voice") {
            sounds.TagVoiceEnd(c.block, c.replay);
        } else {
            sounds.TagSeplay(c.block, c.replay);
        }
        EXPECT_EQ(host.page, c.page) << c.what;
        EXPECT_EQ(sounds.IsChannelPlaying("v"), c.plays) << c.what;
        EXPECT_EQ(host.traces, c.traces) << c.what;
    }
}

}  // namespace
