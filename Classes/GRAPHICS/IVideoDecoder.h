#pragma once
// The movie decoder under the full-window player: opens a movie file, and gives the picture
// the movie shows at a given time since its start. The real one sits on FFmpeg; tests use a
// fake that makes numbered frames.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kestrin {

class IVideoDecoder {
public:
    enum class EFrame {
        kNew,    // another picture than the one given last: written into the pixels
        kSame,   // the picture given last is still the one shown
        kEnd,    // the time lies past the movie's last picture
        kError,  // the movie could not be decoded further (GetError says why)
    };

    virtual ~IVideoDecoder() = default;

    // Opens the first video stream of a movie (native path). True on failure (GetError says
    // why); a file without a video stream fails.
    virtual bool Open(const std::string& path) = 0;
    virtual int32_t GetWidth() const = 0;
    virtual int32_t GetHeight() const = 0;
    // The picture shown ms milliseconds after the start (time goes forward only), as rows of
    // width x 4 bytes (blue, green, red, 255) pitch bytes apart.
    virtual EFrame FrameAt(uint32_t ms, uint8_t* pixels, int32_t pitch) = 0;
    virtual const std::string& GetError() const = 0;
    // The movie's sound as interleaved 16-bit stereo at rate (the same rate on every call),
    // continuing where the last call stopped: up to frames frames, fewer once the sound has
    // ended; 0 for a movie without sound.
    virtual size_t ReadSound(uint32_t rate, int16_t* stereo, size_t frames) {
        (void)rate;
        (void)stereo;
        (void)frames;
        return 0;
    }
};

// The decoder new players get: FFmpeg by default; tests install their own maker (null
// restores the default).
using VideoDecoderMaker = std::function<std::unique_ptr<IVideoDecoder>()>;
void SetVideoDecoderMaker(VideoDecoderMaker maker);
std::unique_ptr<IVideoDecoder> CreateVideoDecoder();

}  // namespace kestrin
