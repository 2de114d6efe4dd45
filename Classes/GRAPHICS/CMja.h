#pragma once
// A ".mja" movie: JPEG frames (each optionally followed by a grey JPEG that becomes its alpha)
// after an 8-byte header ("MJA", flags, frames per second). The frames are decoded into an
// ordinary surface that a layer shows; the frame shown follows the engine's clock.
#include <cstdint>
#include <memory>

namespace kestrin {

class CFile;
class CJpg;
class ISurface;

class CMja {
public:
    CMja();
    virtual ~CMja();
    CMja(const CMja&) = delete;
    CMja& operator=(const CMja&) = delete;

    // Reads the header and shows frame 0 in target (not owned; it must outlive the movie).
    // True on failure: no magic, a short header, 0 frames per second, or no frame 0.
    virtual bool Open(ISurface* target, const std::shared_ptr<CFile>& file, bool loop);
    // Shows the frame the time since the first update calls for; at the end of the data the
    // movie starts again (loop) or stays on its last frame. True when a new frame was decoded.
    virtual bool Update();
    // Decodes frame n into the target. True when the data ended before it (or it could not be
    // decoded). Asking again for the frame shown last does nothing.
    bool ShowFrame(uint32_t n);
    // True when Update would show another frame now (or start the clock).
    bool IsFrameDue() const;

    bool IsPlaying() const { return m_frameTime > 0.0f; }
    float GetFrameTime() const { return m_frameTime; }
    int32_t GetFlags() const { return m_flags; }
    // The frame the target holds; -1 before the first (or after a failed decode).
    int64_t GetShownFrame() const { return m_shownFrame; }

    // Header flag bit 0: every frame has an alpha record.
    static constexpr int32_t kAlphaFlag = 1;

private:
    // Reads one record (count and bytes) into buffer, growing it. True at the end of the data.
    bool ReadRecord(std::unique_ptr<uint8_t[]>& buffer, uint32_t& bufferSize, uint32_t& length);
    // Skips one record by seeking past it. True at the end of the data.
    bool SkipRecord();
    // Bytes left after the current position (0 when unknown).
    uint32_t Remaining();

    std::shared_ptr<CJpg> m_decoder;
    ISurface* m_target = nullptr;
    std::shared_ptr<CFile> m_file;
    bool m_loop = false;
    int32_t m_flags = 0;
    float m_frameTime = 0.0f;
    uint32_t m_startTime = 0;
    bool m_started = false;
    std::unique_ptr<uint8_t[]> m_frameBuffer;
    uint32_t m_frameBufferSize = 0;
    std::unique_ptr<uint8_t[]> m_alphaBuffer;
    uint32_t m_alphaBufferSize = 0;
    uint32_t m_recordIndex = 0;
    int64_t m_shownFrame = -1;
    // The file stands right after the records of the shown frame.
    bool m_positioned = false;
};

}  // namespace kestrin
