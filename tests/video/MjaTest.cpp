// ".mja" movies: frames written by kmja from JPEG fixtures decode to djpeg's pixels (alpha
// records included), the clock picks the frame, skipped frames are sought past, not decoded,
// and damaged files end the movie instead of reading or allocating past the data.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CFile.h"
#include "CORE/Platform/HeadlessClock.h"
#include "GRAPHICS/CMja.h"
#include "GRAPHICS/CSurface.h"
#include "VideoTestSupport.h"
#include "support/TestSupport.h"

using namespace kestrin;
using namespace kestrin_video_test;
using kestrin_test::TempDir;

namespace {

std::string Kmja() { return std::string(KESTRIN_BINARY_DIR) + "/tools/kmja"; }

// Runs kmja over fixture frames 0 to count-1 (with their alpha JPEGs); the movie's path.
std::string WriteMovie(const TempDir& dir, bool alpha, int count, uint32_t fps) {
    const std::string path = dir.Path() + "/movie.mja";
    std::string command = Kmja() + (alpha ? " -a " : " ") + std::to_string(fps) + " " + path;
    for (int n = 0; n < count; ++n) {
        command += " " + VideoData("mja/f" + std::to_string(n) + ".jpg");
        if (alpha) command += " " + VideoData("mja/a" + std::to_string(n) + ".jpg");
    }
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return path;
}

std::shared_ptr<CFile> OpenFile(const std::string& path) {
    auto file = std::make_shared<CFile>();
    EXPECT_FALSE(file->Open(path.c_str())) << path;
    return file;
}

std::string Jpeg(int n, char kind = 'f') {
    return ReadBytes(VideoData("mja/" + std::string(1, kind) + std::to_string(n) + ".jpg"));
}

class MjaClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        SPlatformServices services = PlatformServicesInEffect();
        services.clock = clock;
        scope.emplace(services);
    }
    void TearDown() override { scope.reset(); }
    std::shared_ptr<HeadlessClock> clock = std::make_shared<HeadlessClock>(1000);
    std::optional<PlatformServicesScope> scope;
};

}  // namespace

TEST(Mja, FramesEqualTheDecodedRecordsByTable) {
    struct Case {
        bool alpha;
        std::vector<int> asked;     // frames asked for, in order
        std::vector<int> expected;  // the frame then shown, -1 for the end of the data
    };
    const Case cases[] = {
        {false, {1, 2, 3}, {1, 2, 3}},
        {true, {1, 2, 3}, {1, 2, 3}},
        {true, {3, 1, 0, 2}, {3, 1, 0, 2}},  // backwards starts from the first record
        {true, {2, 4}, {2, -1}},
        {false, {9}, {-1}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        CSurface target;
        CMja movie;
        ASSERT_FALSE(movie.Open(&target, OpenFile(WriteMovie(dir, c.alpha, 4, 25)), false));
        EXPECT_EQ(target.GetPixelBits(), c.alpha ? ISurface::kPixel32Alpha : ISurface::kPixel32);
        EXPECT_EQ(SurfacePixels(target), ExpectedMjaFrame(0, c.alpha));
        for (size_t i = 0; i < c.asked.size(); ++i) {
            const bool ended = movie.ShowFrame(uint32_t(c.asked[i]));
            EXPECT_EQ(ended, c.expected[i] < 0) << "alpha " << c.alpha << " step " << i;
            if (c.expected[i] >= 0) {
                EXPECT_EQ(SurfacePixels(target), ExpectedMjaFrame(c.expected[i], c.alpha))
                    << "alpha " << c.alpha << " step " << i;
            }
        }
    }
}

TEST(Mja, ThreeAlphaFramesAreSixRecordsAfterTheHeader) {
    TempDir dir;
    const std::string bytes = ReadBytes(WriteMovie(dir, true, 3, 25));
    std::string expected = MjaBytes(1, 25, {Jpeg(0), Jpeg(0, 'a'), Jpeg(1), Jpeg(1, 'a'), Jpeg(2), Jpeg(2, 'a')});
    EXPECT_EQ(bytes, expected);
}

TEST(Mja, WriterRefusesUnpairedAlphaAndBadArguments) {
    TempDir dir;
    for (const std::string& args :
         {" -a 10 " + dir.Path() + "/x.mja " + VideoData("mja/f0.jpg"),
          " ten " + dir.Path() + "/x.mja " + VideoData("mja/f0.jpg"), " 10 " + dir.Path() + "/x.mja"}) {
        const std::string command = Kmja() + args + " 2>/dev/null";
        EXPECT_NE(std::system(command.c_str()), 0) << command;
    }
}

TEST(Mja, SkippedFramesAreSoughtPastNotDecoded) {
    // Frames 1 and 2 are no JPEG at all: showing frame 3 must not decode them.
    auto file = std::make_shared<MemoryFile>(
        MjaBytes(0, 25, {Jpeg(0), std::string(5000, 'x'), std::string(7000, 'y'), Jpeg(3)}));
    CSurface target;
    CMja movie;
    ASSERT_FALSE(movie.Open(&target, file, false));
    const size_t before = file->bytesRead;
    EXPECT_FALSE(movie.ShowFrame(3));
    EXPECT_EQ(SurfacePixels(target), ExpectedMjaFrame(3, false));
    // Two counts of the skipped records, then frame 3's count and bytes.
    EXPECT_EQ(file->bytesRead - before, 4 + 4 + 4 + Jpeg(3).size());
}

TEST(Mja, AskingAgainForTheShownFrameReadsNothing) {
    auto file = std::make_shared<MemoryFile>(MjaBytes(0, 10, {Jpeg(0), Jpeg(1), Jpeg(2)}));
    CSurface target;
    CMja movie;
    ASSERT_FALSE(movie.Open(&target, file, false));
    ASSERT_FALSE(movie.ShowFrame(1));
    const size_t before = file->bytesRead;
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(movie.ShowFrame(1));
    EXPECT_EQ(file->bytesRead, before);
    EXPECT_EQ(SurfacePixels(target), ExpectedMjaFrame(1, false));
    EXPECT_FALSE(movie.ShowFrame(2));
    EXPECT_EQ(SurfacePixels(target), ExpectedMjaFrame(2, false));
}

TEST(Mja, DamagedFilesByTable) {
    struct Case {
        const char* name;
        std::string bytes;
        bool openFails;
        uint32_t ask;  // then this frame is asked for
        bool ends;     // and reports the end of the data
    };
    const std::string f0 = Jpeg(0), f1 = Jpeg(1);
    std::string huge = MjaBytes(0, 10, {f0});
    huge += std::string("\xf0\xff\xff\xff", 4) + f1;  // a count far beyond the file
    std::string truncated = MjaBytes(0, 10, {f0, f1});
    truncated.resize(truncated.size() - 10);
    std::string skippedHuge = MjaBytes(0, 10, {f0});
    skippedHuge += std::string("\x00\x00\x00\x7f", 4) + f1;
    const Case cases[] = {
        {"no magic", "MJB" + MjaBytes(0, 10, {f0}).substr(3), true, 0, false},
        {"short header", std::string("MJA\0\x0a\0\0", 7), true, 0, false},
        {"zero fps", MjaBytes(0, 0, {f0, f1}), true, 0, false},
        {"no frame 0", MjaBytes(0, 10, {}), true, 0, false},
        {"frame 0 not a JPEG", MjaBytes(0, 10, {"notjpeg"}), true, 0, false},
        {"alpha record missing", MjaBytes(1, 10, {f0}), true, 0, false},
        {"whole file", MjaBytes(0, 10, {f0, f1}), false, 1, false},
        {"count beyond the data", huge, false, 1, true},
        {"skipped count beyond the data", skippedHuge, false, 2, true},
        {"truncated record", truncated, false, 1, true},
        {"zero-length record", MjaBytes(0, 10, {f0, ""}), false, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSurface target;
        CMja movie;
        EXPECT_EQ(movie.Open(&target, std::make_shared<MemoryFile>(c.bytes), false), c.openFails);
        if (c.openFails) continue;
        EXPECT_EQ(movie.ShowFrame(c.ask), c.ends);
        // The target keeps the last good frame.
        EXPECT_EQ(SurfacePixels(target), ExpectedMjaFrame(c.ends ? 0 : 1, false));
    }
}

TEST_F(MjaClockTest, TheClockPicksTheFrame) {
    TempDir dir;
    CSurface target;
    CMja movie;
    ASSERT_FALSE(movie.Open(&target, OpenFile(WriteMovie(dir, false, 4, 25)), false));
    EXPECT_FLOAT_EQ(movie.GetFrameTime(), 40.0f);
    EXPECT_FALSE(movie.Update());  // starts the clock
    clock->Advance(39);
    EXPECT_FALSE(movie.Update());
    EXPECT_EQ(movie.GetShownFrame(), 0);
    clock->Advance(130 - 39);
    EXPECT_TRUE(movie.Update());
    EXPECT_EQ(movie.GetShownFrame(), 3);
    EXPECT_EQ(SurfacePixels(target), ExpectedMjaFrame(3, false));
    // Past the last frame: stopped on it.
    clock->Advance(40);
    EXPECT_FALSE(movie.Update());
    EXPECT_FALSE(movie.IsPlaying());
    EXPECT_EQ(SurfacePixels(target), ExpectedMjaFrame(3, false));
    clock->Advance(1000);
    EXPECT_FALSE(movie.Update());
    EXPECT_EQ(movie.GetShownFrame(), 3);
}

TEST_F(MjaClockTest, ALoopingMovieRestartsItsClockAtTheEnd) {
    TempDir dir;
    CSurface target;
    CMja movie;
    ASSERT_FALSE(movie.Open(&target, OpenFile(WriteMovie(dir, true, 4, 10)), true));
    movie.Update();
    clock->Advance(250);
    movie.Update();
    EXPECT_EQ(movie.GetShownFrame(), 2);
    clock->Advance(200);  // 450 ms: frame 4 does not exist
    movie.Update();
    EXPECT_TRUE(movie.IsPlaying());
    EXPECT_EQ(movie.GetShownFrame(), 0);
    EXPECT_EQ(SurfacePixels(target), ExpectedMjaFrame(0, true));
    clock->Advance(120);  // 120 ms after the restart
    EXPECT_TRUE(movie.Update());
    EXPECT_EQ(movie.GetShownFrame(), 1);
    EXPECT_EQ(SurfacePixels(target), ExpectedMjaFrame(1, true));
}
