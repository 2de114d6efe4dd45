#include "GRAPHICS/CGraphicRenderer.h"

#include <algorithm>

namespace kestrin {

CGraphicRenderer::~CGraphicRenderer() {
    m_layerFactories.clear();
    m_surfaceFactories.clear();
    m_renderers.clear();
}

bool CGraphicRenderer::AddRenderer(std::shared_ptr<IGraphicRenderer> renderer,
                                   std::unique_ptr<ILayerFactory> layerFactory,
                                   std::unique_ptr<ISurfaceFactory> surfaceFactory) {
    if (!renderer || !layerFactory || !surfaceFactory) return true;
    if (std::find(m_renderers.begin(), m_renderers.end(), renderer) != m_renderers.end()) return false;
    m_renderers.push_back(std::move(renderer));
    m_layerFactories.push_back(std::move(layerFactory));
    m_surfaceFactories.push_back(std::move(surfaceFactory));
    return false;
}

IGraphicRenderer* CGraphicRenderer::Selected() const {
    return m_selected >= 0 ? m_renderers[size_t(m_selected)].get() : nullptr;
}

std::shared_ptr<IGraphicRenderer> CGraphicRenderer::GetRenderer() const {
    return m_selected >= 0 ? m_renderers[size_t(m_selected)] : nullptr;
}

ILayerFactory* CGraphicRenderer::GetLayerFactory() const {
    return m_selected >= 0 ? m_layerFactories[size_t(m_selected)].get() : nullptr;
}

ISurfaceFactory* CGraphicRenderer::GetSurfaceFactory() const {
    return m_selected >= 0 ? m_surfaceFactories[size_t(m_selected)].get() : nullptr;
}

bool CGraphicRenderer::Init(Window window) {
    m_selected = -1;
    for (size_t i = 0; i < m_renderers.size(); ++i) {
        if (!m_renderers[i]->Init(window)) {
            m_selected = static_cast<int32_t>(i);
            return false;
        }
    }
    return true;
}

void CGraphicRenderer::RenderStart() {
    if (IGraphicRenderer* r = Selected()) r->RenderStart();
}

bool CGraphicRenderer::RenderEnd() {
    IGraphicRenderer* r = Selected();
    return r ? r->RenderEnd() : true;
}

void CGraphicRenderer::Clear() {
    if (IGraphicRenderer* r = Selected()) r->Clear();
}

int32_t CGraphicRenderer::GetWidth() const {
    IGraphicRenderer* r = Selected();
    return r ? r->GetWidth() : 0;
}

int32_t CGraphicRenderer::GetHeight() const {
    IGraphicRenderer* r = Selected();
    return r ? r->GetHeight() : 0;
}

ISurface* CGraphicRenderer::GetRenderTarget() {
    IGraphicRenderer* r = Selected();
    return r ? r->GetRenderTarget() : nullptr;
}

void CGraphicRenderer::SetRenderTarget(ISurface* surface) {
    if (IGraphicRenderer* r = Selected()) r->SetRenderTarget(surface);
}

void CGraphicRenderer::CaptureScreen(ISurface* surface) {
    if (IGraphicRenderer* r = Selected()) r->CaptureScreen(surface);
}

}  // namespace kestrin
