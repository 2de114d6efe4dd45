// The full-window player over the fake decoder: the picture follows the engine's clock, the
// end of the movie and a decoding failure stop it, and a movie that cannot start leaves the
// player stopped with a log line; the movie's sound plays through the mixer from Play until
// the movie stops or ends.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CLogWindow.h"
#include "CORE/Platform/HeadlessClock.h"
#include "GRAPHICS/CDsVideo.h"
#include "GRAPHICS/CLayerFactory.h"
#include "CORE/CPoint.h"
#include "GRAPHICS/CSurfaceFactory.h"
#include "GRAPHICS/ISurface.h"
#include "GRAPHICS/IVideoDecoder.h"
#include "GRAPHICS/Platform/HeadlessVideoDecoder.h"
#include "SOUND/AudioSystem.h"
#include "SOUND/Platform/PullAudioOutput.h"
#include "support/TestSupport.h"

using namespace kestrin;

namespace {

class DsVideoTest : public ::testing::Test {
protected:
    void SetUp() override {
        SPlatformServices services = PlatformServicesInEffect();
        services.clock = clock;
        clockScope.emplace(services);
        auto pull = std::make_unique<PullAudioOutput>();
        audio = pull.get();
        UseAudioOutput(std::move(pull), kDefaultAudioRate);
        CLogWindow::SetLineSink([this](const std::string& line) { lines.push_back(line); });
        Use(HeadlessVideoDecoder::SMovie());
    }
    void TearDown() override {
        video.reset();
        movieScope.reset();
        CloseAudioOutput();
        CLogWindow::SetLineSink(nullptr);
        clockScope.reset();
    }
    void Use(const HeadlessVideoDecoder::SMovie& movie) {
        auto log = this->log;
        movieScope.reset();
        SPlatformServices services = PlatformServicesInEffect();
        services.videoDecoder = [movie, log]() { return std::make_unique<HeadlessVideoDecoder>(movie, log); };
        movieScope.emplace(services);
    }
    uint32_t Shown() { return uint32_t(video->GetSurface()->GetPixel(CPoint(3, 2))); }
    bool Logged(const std::string& text) const {
        for (const auto& line : lines)
            if (line.find(text) != std::string::npos) return true;
        return false;
    }

    // The mix of the next ms milliseconds: how many samples hold the level, how many are silent.
    std::pair<size_t, size_t> Mix(uint32_t ms, int16_t level) {
        std::vector<int16_t> samples;
        audio->Render(size_t(ms) * audio->GetRate() / 1000, &samples);
        std::pair<size_t, size_t> counts{0, 0};
        for (int16_t v : samples) {
            if (v == 0)
                ++counts.second;
            else if (v == level)
                ++counts.first;
        }
        return counts;
    }

    PullAudioOutput* audio = nullptr;
    std::shared_ptr<HeadlessClock> clock = std::make_shared<HeadlessClock>(7000);
    std::shared_ptr<HeadlessVideoDecoder::SLog> log = std::make_shared<HeadlessVideoDecoder::SLog>();
    std::vector<std::string> lines;
    // The movie's scope is inside the clock's: a test's next movie keeps the clock.
    std::optional<PlatformServicesScope> clockScope;
    std::optional<PlatformServicesScope> movieScope;
    kestrin_test::TempDir dir;
    CSurfaceFactory surfaces;
    CLayerFactory layers{nullptr};
    std::unique_ptr<CDsVideo> video = std::make_unique<CDsVideo>(&surfaces, &layers);
};

}  // namespace

TEST_F(DsVideoTest, ThePictureFollowsTheClockUntilTheEnd) {
    video->Play(dir.Write("a.mp4", "x"));
    ASSERT_TRUE(video->IsPlaying());
    EXPECT_EQ(video->GetSurface()->GetWidth(), 16);
    EXPECT_EQ(Shown(), HeadlessVideoDecoder::ColorOf(0));
    // However the frames come, the picture is the one due at the time since Play.
    for (uint32_t step : {16u, 17u, 400u, 16u, 300u}) {
        clock->Advance(step);
        video->Update();
        const uint32_t since = clock->Now() - 7000;
        EXPECT_EQ(log->times.back(), since);
        EXPECT_EQ(Shown(), HeadlessVideoDecoder::ColorOf(since / 100)) << since;
    }
    clock->Advance(1000);
    video->Update();
    EXPECT_FALSE(video->IsPlaying());
    EXPECT_EQ(video->GetSurface(), nullptr);
}

TEST_F(DsVideoTest, PlayingAgainStartsFromTheBeginning) {
    const std::string path = dir.Write("a.mp4", "x");
    video->Play(path);
    clock->Advance(550);
    video->Update();
    video->Play(path);
    ASSERT_TRUE(video->IsPlaying());
    EXPECT_EQ(Shown(), HeadlessVideoDecoder::ColorOf(0));
    EXPECT_EQ(log->opened.size(), 2u);
    video->Stop();
    EXPECT_FALSE(video->IsPlaying());
}

TEST_F(DsVideoTest, MoviesThatCannotStartOrGoOnByTable) {
    struct Case {
        const char* name;
        bool exists;
        bool openFails;
        uint32_t errorAtFrame;
        uint32_t runMs;  // then updated after this long
        bool playingAtFirst;
        const char* logged;
    };
    const Case cases[] = {
        {"missing", false, false, 99, 0, false, "Movie \"%s\" not found"},
        {"refused", true, true, 99, 0, false, "cannot be played: cannot open"},
        {"first picture broken", true, false, 0, 0, false, "cannot be decoded: damaged picture"},
        {"later picture broken", true, false, 4, 450, true, "cannot be decoded: damaged picture"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lines.clear();
        HeadlessVideoDecoder::SMovie movie;
        movie.openFails = c.openFails;
        movie.errorAtFrame = c.errorAtFrame;
        Use(movie);
        const std::string path = c.exists ? dir.Write("m.mp4", "x") : dir.Path() + "/none.mp4";
        video->Play(path);
        EXPECT_EQ(video->IsPlaying(), c.playingAtFirst);
        clock->Advance(c.runMs);
        video->Update();
        EXPECT_FALSE(video->IsPlaying());
        char expected[512];
        std::snprintf(expected, sizeof expected, c.logged, path.c_str());
        EXPECT_TRUE(Logged(expected)) << expected;
    }
}

TEST_F(DsVideoTest, TheSoundPlaysFromPlayUntilTheMovieStopsOrEndsByTable) {
    struct Case {
        const char* name;
        int16_t level;   // 0: a movie without sound
        uint32_t runMs;  // played this long (in steps of 100 ms) before the stop
        bool stopped;    // stopped by Stop, else by its end after one second
    };
    const Case cases[] = {
        {"stopped", 1000, 300, true},
        {"ended", -700, 1000, false},
        {"silent movie", 0, 300, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeadlessVideoDecoder::SMovie movie;
        movie.soundLevel = c.level;
        Use(movie);
        video->Play(dir.Write("s.mp4", "x"));
        ASSERT_TRUE(video->IsPlaying());
        const size_t per100 = size_t(audio->GetRate()) / 10 * 2;
        for (uint32_t ms = 0; ms < c.runMs; ms += 100) {
            // Every sample of the movie's time is its sound (both sides, unchanged).
            const auto counts = Mix(100, c.level);
            EXPECT_EQ(c.level ? counts.first : counts.second, per100) << ms;
            clock->Advance(100);
            video->Update();
        }
        if (c.stopped) video->Stop();
        EXPECT_FALSE(video->IsPlaying());
        EXPECT_EQ(Mix(600, c.level).second, per100 * 6);
    }
}
