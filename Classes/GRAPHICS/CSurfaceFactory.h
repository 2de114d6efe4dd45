#pragma once
// Makes main-memory surfaces for the software renderer.
#include <memory>

#include "GRAPHICS/ISurfaceFactory.h"

namespace kestrin {

class CSurfaceFactory : public ISurfaceFactory {
public:
    std::shared_ptr<ISurface> Create() override;
};

}  // namespace kestrin
