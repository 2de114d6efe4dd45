#pragma once
// A surface in main memory: rows contiguous, top row first, no padding.
#include <cstdint>
#include <memory>

#include "GRAPHICS/CPictureChanges.h"
#include "GRAPHICS/ISurface.h"

namespace kestrin {

class CSurface : public ISurface {
public:
    // Largest accepted width or height, and largest buffer: images beyond these are refused
    // before anything is allocated.
    static constexpr int32_t kMaxDimension = 32768;
    static constexpr int64_t kMaxBufferBytes = int64_t(512) << 20;

    CSurface() = default;
    ~CSurface() override = default;
    CSurface(const CSurface&) = delete;
    CSurface& operator=(const CSurface&) = delete;

    int32_t GetWidth() const override { return m_width; }
    int32_t GetHeight() const override { return m_height; }
    bool Init(int32_t width, int32_t height, int32_t pixelBits, int32_t flags) override;
    int32_t GetPixelBits() const override { return m_pixelBits; }
    int32_t GetBytesPerPixel() const override { return m_pixelBits != 0 ? 4 : 1; }
    int32_t GetPitch() const override { return GetBytesPerPixel() * m_width; }
    int32_t GetBufferSize() const override { return GetBytesPerPixel() * m_width * m_height; }
    void Lock() override {}
    // A write lock's end: the pixels may have changed, and with them the picture.
    void Unlock() override { CPictureChanges::Mark(); }
    void UnlockReadOnly() override {}
    uint8_t* GetLine(int32_t y) override;
    int32_t GetPixel(const IPoint& point) override;
    void Fill(uint32_t value) override;
    void Clear() override;
    int32_t GetFlags() const override { return m_flags; }

    // True when a size and format would be accepted by Init.
    static bool IsValidSize(int32_t width, int32_t height, int32_t pixelBits);

protected:
    std::unique_ptr<uint8_t[]> m_buffer;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_pixelBits = 2;
    int32_t m_flags = 0;
};

}  // namespace kestrin
