#pragma once
// The renderer front: a list of renderers, each registered with the factories that make
// its layers and surfaces; forwards every operation to the first renderer that started.
#include <cstdint>
#include <memory>
#include <vector>

#include "GRAPHICS/IGraphicRenderer.h"
#include "GRAPHICS/ILayerFactory.h"
#include "GRAPHICS/ISurfaceFactory.h"

namespace kestrin {

class CGraphicRenderer : public IGraphicRenderer {
public:
    CGraphicRenderer() = default;
    ~CGraphicRenderer() override;
    CGraphicRenderer(const CGraphicRenderer&) = delete;
    CGraphicRenderer& operator=(const CGraphicRenderer&) = delete;

    // True (nothing added) when any of the three is missing; false without change when the
    // renderer is already listed (the factories given are then dropped); else appended.
    // The front owns the factories.
    bool AddRenderer(std::shared_ptr<IGraphicRenderer> renderer, std::unique_ptr<ILayerFactory> layerFactory,
                     std::unique_ptr<ISurfaceFactory> surfaceFactory);
    // -1 when no renderer started.
    int32_t GetSelectedIndex() const { return m_selected; }
    std::shared_ptr<IGraphicRenderer> GetRenderer() const;
    ILayerFactory* GetLayerFactory() const;
    ISurfaceFactory* GetSurfaceFactory() const;

    // Tries the renderers in registration order; the first that starts is selected.
    bool Init(Window window) override;
    void RenderStart() override;
    bool RenderEnd() override;
    void Clear() override;
    int32_t GetWidth() const override;
    int32_t GetHeight() const override;
    ISurface* GetRenderTarget() override;
    void SetRenderTarget(ISurface* surface) override;
    void CaptureScreen(ISurface* surface) override;

private:
    IGraphicRenderer* Selected() const;

    // Declared first so that the factories go before the renderers they work for.
    std::vector<std::shared_ptr<IGraphicRenderer>> m_renderers;
    std::vector<std::unique_ptr<ILayerFactory>> m_layerFactories;
    std::vector<std::unique_ptr<ISurfaceFactory>> m_surfaceFactories;
    int32_t m_selected = -1;
};

}  // namespace kestrin
