#include "GRAPHICS/CSurfaceFactory.h"

#include "GRAPHICS/CSurface.h"

namespace kestrin {

std::shared_ptr<ISurface> CSurfaceFactory::Create() { return std::make_shared<CSurface>(); }

}  // namespace kestrin
