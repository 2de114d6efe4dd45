#include "GRAPHICS/CLayerFactory.h"

#include "GRAPHICS/CLayer.h"

namespace kestrin {

std::shared_ptr<ILayer> CLayerFactory::Create() { return std::make_shared<CLayer>(m_renderer); }

}  // namespace kestrin
