#pragma once
// A surface held in a texture of the hardware renderer. Ordinary surfaces keep a lockable copy
// of their pixels in memory, uploaded premultiplied when drawn after a change (the 8-bit format
// becomes black with the byte as alpha); render targets live only on the device, cannot be
// locked, and are made again after a device reset.
#include <cstdint>
#include <memory>
#include <string>

#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/Platform/IRenderDevice.h"

namespace kestrin {

class CDxRenderer;

class CDxSurface : public CSurface {
public:
    explicit CDxSurface(std::shared_ptr<CDxRenderer> renderer);
    ~CDxSurface() override;

    // Width, height, pixel bits and flags are the inherited ones; a render target has no
    // pixel buffer.
    bool Init(int32_t width, int32_t height, int32_t pixelBits, int32_t flags) override;
    int32_t GetPitch() const override { return IsRenderTarget() ? 0 : CSurface::GetPitch(); }
    void Lock() override;
    void Unlock() override;
    void UnlockReadOnly() override;
    uint8_t* GetLine(int32_t y) override;
    void Fill(uint32_t value) override;
    void Clear() override { Fill(0); }

    int32_t GetTextureWidth() const { return m_texture ? m_width : 0; }
    int32_t GetTextureHeight() const { return m_texture ? m_height : 0; }
    bool IsRenderTarget() const { return (m_flags & kRenderTarget) != 0; }
    // The texture to draw from, uploaded first when the pixels changed or a device reset
    // took it; 0 when there is none.
    IRenderDevice::TextureId GetTexture();
    // The texture quads are drawn into (render targets only).
    IRenderDevice::TextureId GetTargetTexture() const { return IsRenderTarget() ? m_texture : 0; }
    // Counts changes of the pixels (each unlock), for copies made from them.
    uint32_t GetVersion() const { return m_version; }
    const std::string& GetLastError() const { return m_lastError; }
    void Release();

private:
    bool CreateTexture();

    std::string m_lastError;
    std::shared_ptr<CDxRenderer> m_renderer;
    IRenderDevice::TextureId m_texture = 0;
    int32_t m_locks = 0;
    bool m_dirty = false;
    uint32_t m_version = 0;
    bool m_registered = false;
};

}  // namespace kestrin
