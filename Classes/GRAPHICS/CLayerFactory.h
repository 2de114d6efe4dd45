#pragma once
// Makes software layers (CLayer) that draw into the given renderer's render target.
#include <memory>

#include "GRAPHICS/ILayerFactory.h"

namespace kestrin {

class IGraphicRenderer;

class CLayerFactory : public ILayerFactory {
public:
    explicit CLayerFactory(const std::shared_ptr<IGraphicRenderer>& renderer) : m_renderer(renderer) {}
    ~CLayerFactory() override = default;
    std::shared_ptr<ILayer> Create() override;

private:
    std::shared_ptr<IGraphicRenderer> m_renderer;
};

}  // namespace kestrin
