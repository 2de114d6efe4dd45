#include "GRAPHICS/CSurface.h"

#include <cstddef>
#include <cstring>
#include <new>

namespace kestrin {

bool CSurface::IsValidSize(int32_t width, int32_t height, int32_t pixelBits) {
    if (pixelBits < 0 || pixelBits > 2) return false;
    if (width < 0 || height < 0 || width > kMaxDimension || height > kMaxDimension) return false;
    const int64_t bytes = int64_t(width) * height * (pixelBits != 0 ? 4 : 1);
    return bytes <= kMaxBufferBytes;
}

bool CSurface::Init(int32_t width, int32_t height, int32_t pixelBits, int32_t flags) {
    CPictureChanges::Mark();
    m_buffer.reset();
    m_width = width;
    m_height = height;
    m_pixelBits = pixelBits;
    m_flags = flags;
    if (!IsValidSize(width, height, pixelBits)) {
        // Keep the object consistent: no pixels, no extent.
        m_width = 0;
        m_height = 0;
        return true;
    }
    const size_t bytes = size_t(width) * size_t(height) * size_t(GetBytesPerPixel());
    m_buffer.reset(new (std::nothrow) uint8_t[bytes == 0 ? 1 : bytes]);
    if (!m_buffer) {
        m_width = 0;
        m_height = 0;
        return true;
    }
    return false;
}

uint8_t* CSurface::GetLine(int32_t y) {
    if (!m_buffer || m_pixelBits < 0 || m_pixelBits > 2) return nullptr;
    return m_buffer.get() + ptrdiff_t(y) * GetPitch();
}

int32_t CSurface::GetPixel(const IPoint& point) {
    Lock();
    const uint8_t* row = GetLine(point.GetY());
    int32_t value = -1;
    if (row) {
        uint32_t word = 0;
        std::memcpy(&word, row + ptrdiff_t(point.GetX()) * GetBytesPerPixel(), size_t(GetBytesPerPixel()));
        value = static_cast<int32_t>(word);
    }
    UnlockReadOnly();
    return value;
}

void CSurface::Fill(uint32_t value) {
    Lock();
    for (int32_t y = 0; y < GetHeight(); ++y) {
        uint8_t* row = GetLine(y);
        if (!row) break;
        if (GetPixelBits() == 0) {
            std::memset(row, static_cast<int>(value & 0xFF), size_t(GetWidth()));
        } else {
            for (int32_t x = 0; x < GetWidth(); ++x) std::memcpy(row + 4 * ptrdiff_t(x), &value, 4);
        }
    }
    Unlock();
}

void CSurface::Clear() {
    Lock();
    for (int32_t y = 0; y < GetHeight(); ++y) {
        uint8_t* row = GetLine(y);
        if (!row) break;
        std::memset(row, 0, size_t(GetWidth()) * size_t(GetBytesPerPixel()));
    }
    Unlock();
}

}  // namespace kestrin
