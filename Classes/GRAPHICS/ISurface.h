#pragma once
// A rectangular pixel image. Formats (pixel bits): 0 one byte per pixel,
// 1 32-bit blue, green, red, spare, 2 32-bit blue, green, red, alpha.
#include <cstdint>

#include "CORE/IPoint.h"
#include "GRAPHICS/ISize.h"

namespace kestrin {

class ISurface : public ISize {
public:
    enum PIXEL_BITS : int32_t { kPixel8 = 0, kPixel32 = 1, kPixel32Alpha = 2 };
    // Flags bit 0: the renderer can draw into the surface.
    enum Flags : int32_t { kRenderTarget = 1 };

    ~ISurface() override = default;
    int32_t GetWidth() const override = 0;
    int32_t GetHeight() const override = 0;
    // True on failure (unsupported format or size).
    virtual bool Init(int32_t width, int32_t height, int32_t pixelBits, int32_t flags) = 0;
    virtual int32_t GetPixelBits() const = 0;
    virtual int32_t GetBytesPerPixel() const = 0;
    virtual int32_t GetPitch() const = 0;
    virtual int32_t GetBufferSize() const = 0;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    // Ends a lock in which the pixels were only read: nothing counts as changed.
    virtual void UnlockReadOnly() { Unlock(); }
    // First byte of row y (0 <= y < height; not range-checked); null without pixels.
    virtual uint8_t* GetLine(int32_t y) = 0;
    // The pixel value (8-bit: the byte; 32-bit: the whole word); -1 without pixels.
    virtual int32_t GetPixel(const IPoint& point) = 0;
    virtual void Fill(uint32_t value) = 0;
    virtual void Clear() = 0;
    virtual int32_t GetFlags() const = 0;
};

}  // namespace kestrin
