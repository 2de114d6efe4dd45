#pragma once
// The movie decoder on FFmpeg (libavformat, libavcodec, libswscale): the first video stream of
// any file FFmpeg reads, decoded forward to the picture due at the asked time; only that
// picture is converted to 32-bit pixels, so a late player skips conversions, not decoding.
// The sound is read by its own reader over the same file; other streams are discarded.
#include <cstdint>
#include <memory>
#include <string>

#include "GRAPHICS/IVideoDecoder.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace kestrin {

struct FfmpegLibrary;

class FfmpegMovieSound;

class FfmpegVideoDecoder : public IVideoDecoder {
public:
    // threads: decoding threads (0: as many as FFmpeg sees fit).
    explicit FfmpegVideoDecoder(int threads = 0);
    ~FfmpegVideoDecoder() override;
    FfmpegVideoDecoder(const FfmpegVideoDecoder&) = delete;
    FfmpegVideoDecoder& operator=(const FfmpegVideoDecoder&) = delete;

    bool Open(const std::string& path) override;
    int32_t GetWidth() const override { return m_width; }
    int32_t GetHeight() const override { return m_height; }
    EFrame FrameAt(uint32_t ms, uint8_t* pixels, int32_t pitch) override;
    const std::string& GetError() const override { return m_error; }
    size_t ReadSound(uint32_t rate, int16_t* stereo, size_t frames) override;

private:
    enum class EDecode { kFrame, kEnd, kError };
    void Close();
    EDecode DecodeNext(AVFrame* frame);
    // Milliseconds from the first picture; pictures without a time follow the one before.
    double TimeOf(AVFrame* frame);
    bool Convert(AVFrame* frame, uint8_t* pixels, int32_t pitch);
    bool Fail(const std::string& what, int code);

    int m_threads;
    const FfmpegLibrary* m_av = nullptr;  // set by the first Open that finds FFmpeg
    std::string m_error;
    std::string m_path;
    std::unique_ptr<FfmpegMovieSound> m_sound;
    bool m_soundTried = false;
    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_codec = nullptr;
    SwsContext* m_sws = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_current = nullptr;
    AVFrame* m_pending = nullptr;
    int m_stream = -1;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int m_timeBase[2] = {0, 1};  // seconds per timestamp tick, as a fraction
    double m_frameMs = 40.0;
    int64_t m_firstTimestamp = 0;
    bool m_haveFirst = false;
    double m_lastMs = 0.0;
    double m_currentMs = 0.0;
    double m_pendingMs = 0.0;
    bool m_haveCurrent = false;
    bool m_havePending = false;
    bool m_given = false;
    bool m_flushing = false;
    bool m_drained = false;
    bool m_ended = false;
};

}  // namespace kestrin
