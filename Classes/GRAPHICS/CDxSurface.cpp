#include "GRAPHICS/CDxSurface.h"

#include <vector>

#include "CORE/CLogWindow.h"
#include "GRAPHICS/CDxRenderer.h"

namespace kestrin {

namespace {

constexpr const char* kFile = "Classes/GRAPHICS/CDxSurface";

// c x a / 255, rounded.
inline uint8_t Premultiply(uint32_t c, uint32_t a) {
    const uint32_t t = c * a + 128;
    return static_cast<uint8_t>((t + (t >> 8)) >> 8);
}

}  // namespace

CDxSurface::CDxSurface(std::shared_ptr<CDxRenderer> renderer) : m_renderer(std::move(renderer)) {}

CDxSurface::~CDxSurface() {
    if (m_registered && m_renderer) m_renderer->RemoveDeviceResetHandler(this);
    // Never leave the renderer drawing into a surface that is gone.
    if (m_renderer && m_renderer->GetRenderTarget() == this) m_renderer->SetRenderTarget(nullptr);
    Release();
}

void CDxSurface::Release() {
    if (m_texture && m_renderer && m_renderer->GetDevice()) m_renderer->GetDevice()->DestroyTexture(m_texture);
    m_texture = 0;
}

bool CDxSurface::CreateTexture() {
    IRenderDevice* device = m_renderer ? m_renderer->GetDevice() : nullptr;
    if (!device) return true;
    m_texture = device->CreateTexture(m_width, m_height, IsRenderTarget());
    if (!m_texture) {
        m_lastError =
            CDxRenderer::FormatError(kFile, __LINE__, "kestrin::CDxSurface::Init", "RENDERERR_OUTOFVIDEOMEMORY",
                                     "The device has no room for the texture: " + device->GetError());
        LogPrintf("%s", m_lastError.c_str());
        return true;
    }
    return false;
}

bool CDxSurface::Init(int32_t width, int32_t height, int32_t pixelBits, int32_t flags) {
    Release();
    if (m_registered && m_renderer) {
        m_renderer->RemoveDeviceResetHandler(this);
        m_registered = false;
    }
    m_dirty = true;
    ++m_version;
    if (!IsValidSize(width, height, pixelBits)) return CSurface::Init(width, height, pixelBits, flags);
    if ((flags & kRenderTarget) != 0) {
        // Pixels live on the device only: the extent without a buffer.
        CSurface::Init(0, 0, pixelBits, flags);
        m_width = width;
        m_height = height;
    } else if (CSurface::Init(width, height, pixelBits, flags)) {
        return true;
    }
    if (width == 0 || height == 0) return false;
    if (CreateTexture()) {
        // No texture: the surface stays empty.
        CSurface::Init(0, 0, pixelBits, flags);
        return true;
    }
    if (IsRenderTarget() && m_renderer) {
        // Re-made (same size, format and flags) after every reset; contents start opaque black.
        m_renderer->AddDeviceResetHandler(
            this, [this]() { Release(); },
            [this, width, height, pixelBits, flags]() {
                if (!Init(width, height, pixelBits, flags)) Fill(0);
            });
        m_registered = true;
    }
    return false;
}

void CDxSurface::Lock() { ++m_locks; }

void CDxSurface::Unlock() {
    if (m_locks > 0) --m_locks;
    // Like a lock of a managed texture: the device copy is refreshed before the next draw.
    m_dirty = true;
    ++m_version;
    CPictureChanges::Mark();
}

void CDxSurface::UnlockReadOnly() {
    if (m_locks > 0) --m_locks;
}

uint8_t* CDxSurface::GetLine(int32_t y) {
    if (IsRenderTarget()) return nullptr;
    if (m_locks == 0) {
        m_dirty = true;
        ++m_version;
    }
    return CSurface::GetLine(y);
}

void CDxSurface::Fill(uint32_t value) {
    if (!IsRenderTarget()) {
        CSurface::Fill(value);
        return;
    }
    if (!m_texture || !m_renderer) return;
    m_renderer->SetRenderTarget(this);
    // A target without alpha stays opaque.
    const uint32_t colour = m_pixelBits == kPixel32 ? (value | 0xFF000000u) : value;
    m_renderer->GetDevice()->Clear(colour);
}

IRenderDevice::TextureId CDxSurface::GetTexture() {
    IRenderDevice* device = m_renderer ? m_renderer->GetDevice() : nullptr;
    if (!device || m_width <= 0 || m_height <= 0) return 0;
    if (IsRenderTarget()) return m_texture && device->IsTextureValid(m_texture) ? m_texture : 0;
    if (!m_texture || !device->IsTextureValid(m_texture)) {
        // A device reset took it: make it again from the pixels kept here.
        m_texture = 0;
        if (CreateTexture()) return 0;
        m_dirty = true;
    }
    if (!m_dirty) return m_texture;
    const int32_t w = m_width, h = m_height;
    std::vector<uint8_t> upload(size_t(w) * size_t(h) * 4);
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* src = CSurface::GetLine(y);
        uint8_t* dst = &upload[size_t(y) * w * 4];
        if (!src) return 0;
        if (m_pixelBits == kPixel8) {
            for (int32_t x = 0; x < w; ++x, dst += 4) {
                dst[0] = dst[1] = dst[2] = 0;
                dst[3] = src[x];
            }
        } else if (m_pixelBits == kPixel32) {
            for (int32_t x = 0; x < w; ++x, src += 4, dst += 4) {
                dst[0] = src[0];
                dst[1] = src[1];
                dst[2] = src[2];
                dst[3] = 255;
            }
        } else {
            for (int32_t x = 0; x < w; ++x, src += 4, dst += 4) {
                const uint32_t a = src[3];
                dst[0] = Premultiply(src[0], a);
                dst[1] = Premultiply(src[1], a);
                dst[2] = Premultiply(src[2], a);
                dst[3] = static_cast<uint8_t>(a);
            }
        }
    }
    if (device->UpdateTexture(m_texture, upload.data(), w * 4)) return 0;
    m_dirty = false;
    return m_texture;
}

}  // namespace kestrin
