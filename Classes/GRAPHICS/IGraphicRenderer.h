#pragma once
// A renderer owns the window's back buffer: it begins and ends frames, clears,
// switches the render target between the screen and a surface, and captures the screen.
#include <cstdint>

#include "CORE/Platform/IWindowSystem.h"
#include "GRAPHICS/ISurface.h"

namespace kestrin {

class IGraphicRenderer {
public:
    // The window system's identifier of a window (0: none).
    using Window = WindowHandle;

    virtual ~IGraphicRenderer() = default;
    // Binds to the window; true on failure.
    virtual bool Init(Window window) = 0;
    virtual void RenderStart() = 0;
    // Ends the frame and shows it; true when nothing could be shown.
    virtual bool RenderEnd() = 0;
    // Clears the screen's back buffer to black.
    virtual void Clear() = 0;
    virtual int32_t GetWidth() const = 0;
    virtual int32_t GetHeight() const = 0;
    // The surface drawing goes to; null means the screen for renderers that cannot
    // expose their back buffer as a surface.
    virtual ISurface* GetRenderTarget() = 0;
    // Null: back to the screen.
    virtual void SetRenderTarget(ISurface* surface) = 0;
    // Copies the back buffer into the surface (made 32-bit without alpha).
    virtual void CaptureScreen(ISurface* surface) = 0;
};

}  // namespace kestrin
