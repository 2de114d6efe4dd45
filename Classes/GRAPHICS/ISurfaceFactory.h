#pragma once
// Makes the surfaces of one renderer, so that loaders and layers work on every back-end.
#include <memory>

#include "GRAPHICS/ISurface.h"

namespace kestrin {

class ISurfaceFactory {
public:
    virtual ~ISurfaceFactory() = default;
    // A new surface, not initialised (0 x 0).
    virtual std::shared_ptr<ISurface> Create() = 0;
};

}  // namespace kestrin
