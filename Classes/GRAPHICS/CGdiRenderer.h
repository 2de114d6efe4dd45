#pragma once
// The software renderer: it is itself the 32-bit back-buffer surface (blue, green, red,
// spare), drawn by our own compositor and presented through the frame presenter.
#include <cstdint>
#include <memory>

#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/IGraphicRenderer.h"
#include "GRAPHICS/IRect.h"
#include "GRAPHICS/Platform/IFramePresenter.h"

namespace kestrin {

class CGdiRenderer : public CSurface, public IGraphicRenderer {
public:
    // Null presenter: the one CreateFramePresenter makes.
    explicit CGdiRenderer(std::shared_ptr<IFramePresenter> presenter = nullptr);
    ~CGdiRenderer() override;

    // Shows the whole back buffer; true on failure.
    bool Present();
    // Shows the source area of the back buffer at the destination area, both clipped to the
    // back buffer; true when nothing remains to show.
    bool PresentRect(const IRect& destination, const IRect& source);

    // The back buffer is sized to the window's client area; binding again replaces it.
    bool Init(Window window) override;
    using CSurface::Init;
    void RenderStart() override {}
    bool RenderEnd() override { return Present(); }
    void Clear() override { CSurface::Clear(); }
    int32_t GetWidth() const override { return CSurface::GetWidth(); }
    int32_t GetHeight() const override { return CSurface::GetHeight(); }
    ISurface* GetRenderTarget() override { return m_renderTarget; }
    void SetRenderTarget(ISurface* surface) override;
    void CaptureScreen(ISurface* surface) override;

private:
    std::shared_ptr<IFramePresenter> m_presenter;
    Window m_window = 0;
    ISurface* m_renderTarget;
};

}  // namespace kestrin
