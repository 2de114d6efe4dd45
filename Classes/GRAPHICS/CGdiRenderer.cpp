#include "GRAPHICS/CGdiRenderer.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "GRAPHICS/CRect.h"

namespace kestrin {

CGdiRenderer::CGdiRenderer(std::shared_ptr<IFramePresenter> presenter)
    : m_presenter(presenter ? std::move(presenter) : CreateFramePresenter()), m_renderTarget(this) {
    CSurface::Init(0, 0, kPixel32, 0);
}

CGdiRenderer::~CGdiRenderer() = default;

bool CGdiRenderer::Init(Window window) {
    int32_t width = 0, height = 0;
    if (m_presenter->GetClientSize(window, width, height)) return true;
    m_window = window;
    m_renderTarget = this;
    // Rows top-down, 4 bytes per pixel: the layout the presenter copies from.
    if (CSurface::Init(width, height, kPixel32, 0)) return true;
    CSurface::Clear();
    return false;
}

bool CGdiRenderer::Present() {
    if (CSurface::GetWidth() <= 0 || CSurface::GetHeight() <= 0) return true;
    return m_presenter->Present(m_window, GetLine(0), GetPitch(), 0, 0, 0, 0, CSurface::GetWidth(),
                                CSurface::GetHeight());
}

bool CGdiRenderer::PresentRect(const IRect& destination, const IRect& source) {
    const CRect bounds(0, 0, CSurface::GetWidth(), CSurface::GetHeight(), true);
    CRect dst(destination.GetX(), destination.GetY(), destination.GetRight(), destination.GetBottom(), false);
    CRect src(source.GetX(), source.GetY(), source.GetRight(), source.GetBottom(), false);
    // Clip both areas to the back buffer, moving the other area's origin along.
    auto clip = [&](CRect& a, CRect& b) {
        if (a.GetX() < 0) {
            b.SetLeftEx(b.GetX() - a.GetX(), false);
            a.SetLeft(0);
        }
        if (a.GetY() < 0) {
            b.SetTopEx(b.GetY() - a.GetY(), false);
            a.SetTop(0);
        }
        if (a.GetRight() > bounds.GetRight()) a.SetRight(bounds.GetRight());
        if (a.GetBottom() > bounds.GetBottom()) a.SetBottom(bounds.GetBottom());
    };
    clip(dst, src);
    clip(src, dst);
    const int32_t width = std::min(dst.GetWidth(), src.GetWidth());
    const int32_t height = std::min(dst.GetHeight(), src.GetHeight());
    if (width <= 0 || height <= 0) return true;
    return m_presenter->Present(m_window, GetLine(0), GetPitch(), src.GetX(), src.GetY(), dst.GetX(), dst.GetY(), width,
                                height);
}

void CGdiRenderer::SetRenderTarget(ISurface* surface) { m_renderTarget = surface ? surface : this; }

void CGdiRenderer::CaptureScreen(ISurface* surface) {
    if (!surface || surface == this) return;
    const int32_t width = CSurface::GetWidth(), height = CSurface::GetHeight();
    if (surface->Init(width, height, kPixel32, 0)) return;
    surface->Lock();
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* dst = surface->GetLine(y);
        if (!dst) break;
        std::memcpy(dst, GetLine(y), size_t(width) * 4);
    }
    surface->Unlock();
}

}  // namespace kestrin
