#include "GRAPHICS/CDxLayerFactory.h"

#include "GRAPHICS/CDxLayer.h"
#include "GRAPHICS/CDxRenderer.h"
#include "GRAPHICS/CDxSurface.h"

namespace kestrin {

std::shared_ptr<ILayer> CDxLayerFactory::Create() { return std::make_shared<CDxLayer>(m_renderer); }

std::shared_ptr<ISurface> CDxSurfaceFactory::Create() { return std::make_shared<CDxSurface>(m_renderer); }

}  // namespace kestrin
