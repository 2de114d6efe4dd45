#pragma once
// Makes hardware layers (CDxLayer) and texture surfaces (CDxSurface) for one hardware renderer.
#include <memory>

#include "GRAPHICS/ILayerFactory.h"
#include "GRAPHICS/ISurfaceFactory.h"

namespace kestrin {

class CDxRenderer;

class CDxLayerFactory : public ILayerFactory {
public:
    explicit CDxLayerFactory(const std::shared_ptr<CDxRenderer>& renderer) : m_renderer(renderer) {}
    std::shared_ptr<ILayer> Create() override;

private:
    std::shared_ptr<CDxRenderer> m_renderer;
};

class CDxSurfaceFactory : public ISurfaceFactory {
public:
    explicit CDxSurfaceFactory(const std::shared_ptr<CDxRenderer>& renderer) : m_renderer(renderer) {}
    std::shared_ptr<ISurface> Create() override;

private:
    std::shared_ptr<CDxRenderer> m_renderer;
};

}  // namespace kestrin
