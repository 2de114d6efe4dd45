#include "GRAPHICS/Platform/CDxLayerFactory.h"

#include "GRAPHICS/Platform/CDxLayer.h"
#include "GRAPHICS/Platform/CDxRenderer.h"
#include "GRAPHICS/Platform/CDxSurface.h"

namespace kestrin {

std::shared_ptr<ILayer> CDxLayerFactory::Create() { return std::make_shared<CDxLayer>(m_renderer); }

std::shared_ptr<ISurface> CDxSurfaceFactory::Create() { return std::make_shared<CDxSurface>(m_renderer); }

}  // namespace kestrin
