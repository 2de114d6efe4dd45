#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "CORE/CLogWindow.h"
#include "SOUND/CDxSound.h"
#include "SOUND/CWave.h"
#include "SOUND/AudioSystem.h"
#include "SoundTestSupport.h"
#include "support/TestSupport.h"

using namespace kestrin;
using namespace sound_test;

namespace {

// Plays 50 ms once through the process's default output and waits for its end.
void PlaysToItsEnd() {
    kestrin_test::TempDir dir;
    auto wave =
        OpenSource<CWave>(dir.Write("beep.wav", MakeWave({1, 2, 44100, 16}, Pcm16(Tone(880, 44100, 2205, 2, 0.3)))));
    ASSERT_TRUE(wave);
    CDxSound player;
    ASSERT_FALSE(player.Open(wave.get(), true));
    ASSERT_FALSE(player.Play(false));
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (player.IsPlaying() != 0 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(player.IsPlaying(), 0);
}

struct DefaultOutput {
    explicit DefaultOutput(const char* driver) {
        setenv("SDL_AUDIODRIVER", driver, 1);
        CloseAudioOutput();
        CLogWindow::SetLineSink([this](const std::string& line) { lines.push_back(line); });
    }
    ~DefaultOutput() {
        CLogWindow::SetLineSink(nullptr);
        CloseAudioOutput();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    std::vector<std::string> lines;
};

}  // namespace

TEST(AudioOutput, SoundDevicePlaysSoundsInRealTime) {
    DefaultOutput output("dummy");
    ASSERT_TRUE(GetAudioMixer());
    EXPECT_TRUE(output.lines.empty());
    PlaysToItsEnd();
}

TEST(AudioOutput, WithoutADeviceTheGameRunsSilent) {
    DefaultOutput output("kestrin-no-such-driver");
    ASSERT_TRUE(GetAudioMixer());
    ASSERT_EQ(output.lines.size(), 1u);
    EXPECT_NE(output.lines[0].find("no audio device"), std::string::npos) << output.lines[0];
    // Sounds still end: the silent output keeps time by the wall clock.
    PlaysToItsEnd();
    GetAudioMixer();
    EXPECT_EQ(output.lines.size(), 1u);
}
