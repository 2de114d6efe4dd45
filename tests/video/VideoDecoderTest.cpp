// The FFmpeg decoder over clips that the ffmpeg command made from its test source: the picture
// due at a time equals the frame ffmpeg extracts (same conversion to 32-bit pixels), pictures
// follow the asked time, the movie ends after its last picture's time, and files that are no
// movies are refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GRAPHICS/CPng.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/Platform/FfmpegVideoDecoder.h"
#include "VideoTestSupport.h"
#include "support/TestSupport.h"

using namespace kestrin;
using namespace kestrin_video_test;

namespace {

constexpr int kWidth = 160, kHeight = 120;

std::string PngPixels(const std::string& path) {
    const std::string bytes = ReadBytes(path);
    CSurface surface;
    CPng png;
    EXPECT_FALSE(png.LoadFromMemory(&surface, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) << path;
    return SurfacePixels(surface);
}

}  // namespace

TEST(VideoDecoder, PicturesEqualWhatFfmpegExtractsByTable) {
    const char* const clips[] = {"h264.mp4", "vp9.webm", "mpeg4.avi"};
    // Times (ms) and the frame then due; the clips hold ten frames at 10 fps.
    const std::pair<uint32_t, int> times[] = {{0, 0}, {450, 4}, {999, 9}};
    for (const char* clip : clips) {
        SCOPED_TRACE(clip);
        FfmpegVideoDecoder decoder(1);
        ASSERT_FALSE(decoder.Open(VideoData(std::string("clips/") + clip))) << decoder.GetError();
        ASSERT_EQ(decoder.GetWidth(), kWidth);
        ASSERT_EQ(decoder.GetHeight(), kHeight);
        std::string base(clip);
        base = base.substr(0, base.find('.'));
        for (const auto& t : times) {
            std::string pixels(size_t(kWidth) * kHeight * 4, '\0');
            ASSERT_EQ(decoder.FrameAt(t.first, reinterpret_cast<uint8_t*>(&pixels[0]), kWidth * 4),
                      IVideoDecoder::EFrame::kNew)
                << t.first;
            EXPECT_TRUE(pixels == PngPixels(VideoData("clips/" + base + "-" + std::to_string(t.second) + ".png")))
                << "frame " << t.second;
        }
        std::string pixels(size_t(kWidth) * kHeight * 4, '\0');
        EXPECT_EQ(decoder.FrameAt(1000, reinterpret_cast<uint8_t*>(&pixels[0]), kWidth * 4),
                  IVideoDecoder::EFrame::kEnd);
    }
}

TEST(VideoDecoder, PicturesFollowTheAskedTime) {
    FfmpegVideoDecoder decoder;
    ASSERT_FALSE(decoder.Open(VideoData("clips/h264.mp4"))) << decoder.GetError();
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4);
    using F = IVideoDecoder::EFrame;
    const std::pair<uint32_t, F> steps[] = {{0, F::kNew},   {99, F::kSame},  {100, F::kNew},  {101, F::kSame},
                                            {850, F::kNew}, {860, F::kSame}, {2000, F::kEnd}, {3000, F::kEnd}};
    for (const auto& step : steps)
        EXPECT_EQ(decoder.FrameAt(step.first, pixels.data(), kWidth * 4), step.second) << step.first;
}

// Picture n of a 30 fps movie is due at n x 1000 / 30 ms, exactly: asked at the first whole
// millisecond from then on (100 ms for picture 3), it is there.
TEST(VideoDecoder, EveryPictureIsDueAtItsOwnTime) {
    FfmpegVideoDecoder decoder;
    ASSERT_FALSE(decoder.Open(VideoData("clips/h264-30fps.mp4"))) << decoder.GetError();
    std::vector<uint8_t> pixels(size_t(decoder.GetWidth()) * decoder.GetHeight() * 4);
    for (uint32_t n = 0; n < 6; ++n) {
        const uint32_t due = (n * 1000 + 29) / 30;
        if (n > 0) {
            EXPECT_EQ(decoder.FrameAt(due - 1, pixels.data(), decoder.GetWidth() * 4), IVideoDecoder::EFrame::kSame)
                << n;
        }
        EXPECT_EQ(decoder.FrameAt(due, pixels.data(), decoder.GetWidth() * 4), IVideoDecoder::EFrame::kNew) << n;
    }
    EXPECT_EQ(decoder.FrameAt(199, pixels.data(), decoder.GetWidth() * 4), IVideoDecoder::EFrame::kSame);
    EXPECT_EQ(decoder.FrameAt(200, pixels.data(), decoder.GetWidth() * 4), IVideoDecoder::EFrame::kEnd);
}

TEST(VideoDecoder, FilesThatAreNoMoviesAreRefused) {
    kestrin_test::TempDir dir;
    const struct {
        const char* name;
        std::string path;
    } cases[] = {
        {"missing", dir.Path() + "/missing.mp4"},
        {"no video stream", VideoData("clips/audio.wav")},
        {"not a movie", dir.Write("text.mp4", std::string(4000, 'k'))},
        {"empty", dir.Write("empty.avi", "")},
    };
    for (const auto& c : cases) {
        FfmpegVideoDecoder decoder;
        EXPECT_TRUE(decoder.Open(c.path)) << c.name;
        EXPECT_FALSE(decoder.GetError().empty()) << c.name;
        uint8_t pixel[4];
        EXPECT_EQ(decoder.FrameAt(0, pixel, 4), IVideoDecoder::EFrame::kError) << c.name;
    }
}

TEST(VideoDecoder, ATruncatedMovieEndsOrFailsWithoutReadingPastIt) {
    kestrin_test::TempDir dir;
    const std::string clip = ReadBytes(VideoData("clips/mpeg4.avi"));
    for (size_t keep : {clip.size() / 2, clip.size() * 3 / 4, clip.size() - 7}) {
        const std::string path = dir.Write("cut" + std::to_string(keep) + ".avi", clip.substr(0, keep));
        FfmpegVideoDecoder decoder;
        if (decoder.Open(path)) continue;
        std::vector<uint8_t> pixels(size_t(decoder.GetWidth()) * decoder.GetHeight() * 4);
        IVideoDecoder::EFrame last = IVideoDecoder::EFrame::kNew;
        uint32_t ms = 0;
        for (; ms < 5000 && (last == IVideoDecoder::EFrame::kNew || last == IVideoDecoder::EFrame::kSame); ms += 50)
            last = decoder.FrameAt(ms, pixels.data(), decoder.GetWidth() * 4);
        EXPECT_LT(ms, 5000u) << keep;
    }
}
