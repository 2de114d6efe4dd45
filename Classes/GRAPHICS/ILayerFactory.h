#pragma once
// Makes the layers of one renderer: software layers for the software renderer, texture layers
// for the hardware one. Registered with its renderer in the renderer front.
#include <memory>

namespace kestrin {

class ILayer;

class ILayerFactory {
public:
    virtual ~ILayerFactory() = default;
    // A new empty layer on the factory's renderer.
    virtual std::shared_ptr<ILayer> Create() = 0;
};

}  // namespace kestrin
