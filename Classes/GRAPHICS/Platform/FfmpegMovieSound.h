#pragma once
// The sound of a movie on FFmpeg (libavformat, libavcodec, libswresample): the first sound
// stream of the file, read through its own demuxer so that the pictures never wait for it,
// converted to interleaved 16-bit stereo at the mixer's rate.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;

namespace kestrin {

struct FfmpegLibrary;

class FfmpegMovieSound {
public:
    FfmpegMovieSound() = default;
    ~FfmpegMovieSound();
    FfmpegMovieSound(const FfmpegMovieSound&) = delete;
    FfmpegMovieSound& operator=(const FfmpegMovieSound&) = delete;

    // True when the file has no sound stream that can be decoded (GetError says why). The
    // sound is placed against the pictures, whose first one is due startSeconds into the
    // file: a sound that starts later begins with silence, one that starts earlier is cut.
    bool Open(const std::string& path, uint32_t rate, double startSeconds = 0.0);
    // Up to frames stereo frames following those given before; fewer once the sound ended
    // (or failed: GetError says why).
    size_t Read(int16_t* stereo, size_t frames);
    const std::string& GetError() const { return m_error; }

private:
    void Close();
    // Decodes and converts the next frame of sound into the queue; false at the end.
    bool Refill();
    bool Convert(AVFrame* frame);
    bool Fail(const std::string& what, int code);

    std::string m_error;
    const FfmpegLibrary* m_av = nullptr;  // set by the first Open that finds FFmpeg
    uint32_t m_rate = 0;
    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_codec = nullptr;
    SwrContext* m_swr = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    int m_stream = -1;
    // What the converter was set up for: format, rate and channel count of the source.
    int m_swrFormat = -1;
    int m_swrRate = 0;
    int m_swrChannels = 0;
    std::vector<int16_t> m_queue;  // converted stereo samples not given yet
    size_t m_queueStart = 0;
    double m_startSeconds = 0.0;
    bool m_placed = false;
    uint64_t m_skipFrames = 0;  // frames before the first picture, still to be dropped
    bool m_flushing = false;
    bool m_ended = false;
};

}  // namespace kestrin
