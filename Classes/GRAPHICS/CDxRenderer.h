#pragma once
// The hardware renderer: draws through a graphics device (SDL_Renderer on OpenGL), with a back
// buffer of the window's size, render-target surfaces, screen capture, and the lost-device and
// reset protocol that re-creates render targets.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "GRAPHICS/IGraphicRenderer.h"
#include "GRAPHICS/Platform/IRenderDevice.h"

namespace kestrin {

class CDxRenderer : public IGraphicRenderer {
public:
    using Handler = std::function<void()>;
    using TextureId = IRenderDevice::TextureId;

    // Null device: the one CreateRenderDevice makes.
    explicit CDxRenderer(std::shared_ptr<IRenderDevice> device = nullptr);
    ~CDxRenderer() override;
    CDxRenderer(const CDxRenderer&) = delete;
    CDxRenderer& operator=(const CDxRenderer&) = delete;

    bool Init(Window window) override;
    void RenderStart() override;
    bool RenderEnd() override;
    void Clear() override;
    int32_t GetWidth() const override { return m_width; }
    int32_t GetHeight() const override { return m_height; }
    ISurface* GetRenderTarget() override { return m_renderTarget; }
    void SetRenderTarget(ISurface* surface) override;
    void CaptureScreen(ISurface* surface) override;

    // Releases what the device lost and re-creates it (render targets through their
    // handlers); true on failure.
    bool DeviceReset();
    // Follows a new client size or screen mode; pixel format 0, 1 or 2 for full screen.
    bool ChangeScreenMode(Window window, int32_t pixelFormat, bool windowed);
    // Handlers called before and after every reset, in key order; a key registers once (a
    // second registration replaces the first).
    void AddDeviceResetHandler(const void* key, Handler before, Handler after);
    void RemoveDeviceResetHandler(const void* key);
    void Release();

    IRenderDevice* GetDevice() const { return m_device.get(); }
    // A device that rasterises on the CPU (Mesa's llvmpipe, softpipe, swrast) costs more per
    // frame than the software renderer: Init refuses it unless accepted here.
    void SetAcceptSoftwareRasteriser(bool accept) { m_acceptSoftwareRasteriser = accept; }
    static bool IsSoftwareRasteriserName(const std::string& rendererName);
    bool IsDeviceLost() const { return m_lost; }
    const std::string& GetLastError() const { return m_lastError; }

    // For the layers: quads go to the current target. Drawing is skipped while no frame could
    // begin.
    bool DrawQuad(TextureId texture, const SQuadVertex corners[4], uint8_t opacity, EQuadBlend blend, bool linear);
    // Copies the w x h area at (x, y) of the image, times the alpha of the same area of the mask
    // when there is one (mask 0: none), over the whole of target, a render target of w x h;
    // true on failure.
    bool ComposeArea(TextureId target, TextureId image, int32_t imageWidth, int32_t imageHeight, TextureId mask,
                     int32_t maskWidth, int32_t maskHeight, int32_t x, int32_t y, int32_t w, int32_t h);
    // Sends quads to the surface's texture when it is the current target (a re-created target).
    void RefreshTarget();

    // "%s(%d): %s() %s - %s": where, which method, the result's name and its description.
    static std::string FormatError(const char* file, int line, const char* method, const char* code,
                                   const std::string& description);

private:
    void StoreError(int line, const char* method, const char* code, const char* description);
    bool CreateBackBuffer();
    void CallHandlers(bool after);

    std::string m_lastError;
    ISurface* m_renderTarget = nullptr;
    std::shared_ptr<IRenderDevice> m_device;
    TextureId m_backBuffer = 0;
    Window m_window = 0;
    int32_t m_width = 0, m_height = 0;
    bool m_acceptSoftwareRasteriser = false;
    int32_t m_fullScreenFormat = 1;
    bool m_open = false;
    bool m_lost = false;
    std::map<const void*, Handler> m_beforeReset;
    std::map<const void*, Handler> m_afterReset;
};

}  // namespace kestrin
