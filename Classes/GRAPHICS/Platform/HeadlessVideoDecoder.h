#pragma once
// A headless decoder for tests: any path opens (unless told otherwise) as a movie of numbered
// pictures at a fixed rate; picture n is filled with HeadlessVideoDecoder::ColorOf(n).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "GRAPHICS/IVideoDecoder.h"

namespace kestrin {

class HeadlessVideoDecoder : public IVideoDecoder {
public:
    struct SMovie {
        int32_t width = 16;
        int32_t height = 8;
        uint32_t frames = 10;
        uint32_t fps = 10;
        bool openFails = false;
        // FrameAt fails from this picture on (never when beyond the movie).
        uint32_t errorAtFrame = 0xFFFFFFFFu;
        // Non-zero: the movie sounds this constant sample value on both sides for as long as
        // its pictures last.
        int16_t soundLevel = 0;
    };
    // What every fake made by the maker records: the paths opened and the times asked for.
    struct SLog {
        std::vector<std::string> opened;
        std::vector<uint32_t> times;
    };

    explicit HeadlessVideoDecoder(const SMovie& movie, std::shared_ptr<SLog> log = nullptr);

    bool Open(const std::string& path) override;
    int32_t GetWidth() const override { return m_open ? m_movie.width : 0; }
    int32_t GetHeight() const override { return m_open ? m_movie.height : 0; }
    EFrame FrameAt(uint32_t ms, uint8_t* pixels, int32_t pitch) override;
    const std::string& GetError() const override { return m_error; }
    size_t ReadSound(uint32_t rate, int16_t* stereo, size_t frames) override;

    // Opaque blue, green, red from the picture number.
    static uint32_t ColorOf(uint32_t frame) {
        return 0xFF000000u | ((frame * 40u + 20u) & 0xFFu) << 16 | 0x8000u | (frame & 0xFFu);
    }

private:
    SMovie m_movie;
    std::shared_ptr<SLog> m_log;
    std::string m_error;
    bool m_open = false;
    int64_t m_given = -1;
    uint64_t m_soundGiven = 0;
};

}  // namespace kestrin
