#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "GRAPHICS/TTween.h"
#include "SOUND/CDxSoundFactory.h"
#include "SOUND/CSoundLoaders.h"
#include "SOUND/CSoundManager.h"
#include "SOUND/CVorbisLoader.h"
#include "SOUND/CWaveLoader.h"
#include "SoundTestSupport.h"
#include "support/TestSupport.h"

using namespace kestrin;
using namespace sound_test;
using kestrin_test::TempDir;

namespace {

// A player that records what the manager asks of it.
struct FakePlayerLog {
    int created = 0;
    int destroyed = 0;
    bool failOpen = false;
    bool failPlay = false;
};

class FakePlayer : public ISoundPlayer {
public:
    explicit FakePlayer(FakePlayerLog* log) : m_log(log) { ++log->created; }
    ~FakePlayer() override { ++m_log->destroyed; }
    bool Open(ISound* source, bool wholeBuffer) override {
        this->source = source;
        this->wholeBuffer = wholeBuffer;
        return m_log->failOpen;
    }
    void Release() override {}
    void Update() override { ++updates; }
    bool Play(bool loop) override {
        state = loop ? 2 : 1;
        return m_log->failPlay;
    }
    void Stop() override { state = 0; }
    int IsPlaying() override { return state; }
    int GetVolume() override { return volume; }
    void SetVolume(int perMille) override { volume = perMille; }

    ISound* source = nullptr;
    bool wholeBuffer = false;
    int state = 0;
    int volume = -12345;
    int updates = 0;

private:
    FakePlayerLog* m_log;
};

class FakeFactory : public ISoundPlayerFactory {
public:
    ISoundPlayer* Create() override {
        players.push_back(new FakePlayer(&log));
        return players.back();
    }
    FakePlayerLog log;
    std::vector<FakePlayer*> players;  // not owned
};

class SoundManagerTest : public ::testing::Test {
protected:
    SoundManagerTest() {
        loaders.AddLoader(new CVorbisLoader());
        loaders.AddLoader(new CWaveLoader());
        dir.Write("se.wav", Fixture("pcm16_stereo.wav"));
        dir.Write("bgm.ogg", Fixture("mono.ogg"));
    }
    std::string Name(const std::string& n) { return dir.Path() + "/" + n; }

    TempDir dir;
    CFileFactory files;
    CSoundLoaders loaders{&files};
    FakeFactory factory;
    CSoundManager manager{&factory, &loaders};
};

}  // namespace

TEST(CSoundManagerVolume, MasterTimesOwnOverAThousand) {
    struct Case {
        int master, volume, expected;
    } cases[] = {
        {1000, 500, 500}, {500, 500, 250}, {0, 800, 0},  {1000, 1500, 1500},          {-1000, 500, -500},
        {999, 999, 998},  {3, 333, 0},     {-3, 333, 0}, {INT_MAX, INT_MAX, INT_MAX}, {INT_MAX, INT_MIN, INT_MIN},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CSoundManager::CombineVolume(c.master, c.volume), c.expected) << c.master << " " << c.volume;
}

TEST_F(SoundManagerTest, HandlesStartAtOneAndCountOnlySuccesses) {
    EXPECT_EQ(manager.Play(Name("missing"), true, false, 1000), 0u);
    EXPECT_EQ(factory.log.created, 0);
    EXPECT_EQ(manager.Play(Name("se"), true, false, 1000), 1u);
    factory.log.failOpen = true;
    EXPECT_EQ(manager.Play(Name("se"), true, false, 1000), 0u);
    factory.log.failOpen = false;
    factory.log.failPlay = true;
    EXPECT_EQ(manager.Play(Name("se"), true, false, 1000), 0u);
    factory.log.failPlay = false;
    // The failed players are gone, and so are their sources.
    EXPECT_EQ(factory.log.destroyed, 2);
    EXPECT_EQ(manager.Play(Name("bgm"), false, true, 700), 2u);
    EXPECT_EQ(manager.Play(Name("bgm"), false, true, 700), 3u);  // a second, independent sound
    EXPECT_TRUE(factory.players.back()->source != factory.players[factory.players.size() - 2]->source);
    EXPECT_FALSE(factory.players.back()->wholeBuffer);
    EXPECT_EQ(manager.IsPlaying(2), 2);
    EXPECT_EQ(manager.IsPlaying(1), 1);
}

TEST_F(SoundManagerTest, UnknownHandles) {
    for (uint32_t handle : {0u, 1u, 99u}) {
        EXPECT_EQ(manager.GetVolume(handle), -1);
        EXPECT_EQ(manager.IsPlaying(handle), 0);
        manager.Stop(handle);
        manager.SetVolume(handle, 10);
    }
}

TEST_F(SoundManagerTest, VolumesCombineWithTheMaster) {
    const uint32_t a = manager.Play(Name("se"), true, false, 500);
    const uint32_t b = manager.Play(Name("bgm"), false, true, 1000);
    FakePlayer* pa = factory.players[0];
    FakePlayer* pb = factory.players[1];
    EXPECT_EQ(pa->volume, 500);
    manager.SetMasterVolume(500);
    EXPECT_EQ(pa->volume, 250);
    EXPECT_EQ(pb->volume, 500);
    // Silenced by the master, each sound keeps its own volume.
    manager.SetMasterVolume(0);
    EXPECT_EQ(pa->volume, 0);
    EXPECT_EQ(manager.GetVolume(a), 500);
    EXPECT_EQ(manager.GetVolume(b), 1000);
    manager.SetMasterVolume(800);
    manager.SetVolume(b, 250);
    EXPECT_EQ(pb->volume, 200);
    EXPECT_EQ(manager.GetVolume(b), 250);
    EXPECT_EQ(manager.GetMasterVolume(), 800);
    // A new sound starts at the current master.
    manager.Play(Name("se"), true, false, 500);
    EXPECT_EQ(factory.players.back()->volume, 400);
}

TEST_F(SoundManagerTest, EndedSoundsAreDroppedByTheNextPlay) {
    const uint32_t once = manager.Play(Name("se"), true, false, 600);
    const uint32_t looped = manager.Play(Name("bgm"), false, true, 1000);
    factory.players[0]->state = 0;  // it ended
    EXPECT_EQ(manager.IsPlaying(once), 0);
    EXPECT_EQ(manager.GetVolume(once), 600);
    manager.Update();
    EXPECT_EQ(factory.players[0]->updates, 1);
    EXPECT_EQ(factory.log.destroyed, 0);
    manager.Play(Name("se"), true, false, 1000);
    EXPECT_EQ(factory.log.destroyed, 1);
    EXPECT_EQ(manager.GetVolume(once), -1);
    EXPECT_EQ(manager.IsPlaying(looped), 2);
    manager.Stop(looped);
    EXPECT_EQ(factory.log.destroyed, 2);
    EXPECT_EQ(manager.IsPlaying(looped), 0);
}

TEST(CSoundManagerPlayback, FadeOutReachesSilenceAtTheTimeAsked) {
    // Music faded out over 1500 ms by a tween (easein_sine, down to 1 per mille) whose end
    // stops it, frame by frame at 60 frames a second, as the script engine does.
    PullOutput output(44100);
    TempDir dir;
    std::vector<int16_t> tone;
    for (int i = 0; i < 4; ++i) {
        const std::vector<int16_t> second = Tone(1000, 44100, 44100, 2, 0.5);
        tone.insert(tone.end(), second.begin(), second.end());
    }
    dir.Write("tone.wav", MakeWave({1, 2, 44100, 16}, Pcm16(tone)));
    CFileFactory files;
    CSoundLoaders loaders(&files);
    loaders.AddLoader(new CVorbisLoader());
    loaders.AddLoader(new CWaveLoader());
    CDxSoundFactory players(0);
    CSoundManager manager(&players, &loaders);
    const uint32_t handle = manager.Play(dir.Path() + "/tone", false, true, 1000);
    ASSERT_EQ(handle, 1u);

    const uint32_t fadeStart = 500, fadeTime = 1500;
    TTween<int32_t> fade([&](int32_t v) { manager.SetVolume(handle, v); }, 1000, 1, fadeTime, 0);
    fade.SetEase(19);
    fade.SetOnFinish([&] { manager.Stop(handle); });
    std::vector<int16_t> out;
    for (uint64_t frame = 1; frame <= 150; ++frame) {
        manager.Update();
        const uint32_t now = static_cast<uint32_t>(frame * 1000 / 60);
        if (now >= fadeStart) fade.Update(now - fadeStart + 1);
        output->RenderToVideoFrame(frame, &out);
    }
    auto level = [&](double fromSeconds, double toSeconds) {
        const size_t from = static_cast<size_t>(fromSeconds * 44100) * 2,
                     to = static_cast<size_t>(toSeconds * 44100) * 2;
        return RmsDb(out.data() + from, to - from);
    };
    const double full = level(0.1, 0.5);
    EXPECT_NEAR(full, 20 * std::log10(0.5 / std::sqrt(2.0)), 0.05);
    // Half way through an easein_sine fade the volume is 1 - cos(pi/4) down: 0.29 of the way.
    EXPECT_NEAR(level(1.24, 1.26) - full, 20 * std::log10(1 - 0.999 * (1 - std::cos(M_PI / 4))), 0.3);
    // The last frame before the end plays near 1 per mille; from the end on, silence.
    EXPECT_LT(level(1.95, 1.98) - full, -30.0);
    EXPECT_EQ(manager.IsPlaying(handle), 0);
    EXPECT_EQ(manager.GetVolume(handle), -1);
    const size_t endSample = static_cast<size_t>((fadeStart + fadeTime) * 44100 / 1000) + 44100 / 60;
    for (size_t i = 2 * endSample; i < out.size(); ++i) {
        if (out[i] != 0) {
            ADD_FAILURE() << "sound at frame " << i / 2 << " after the fade ended";
            break;
        }
    }
}
