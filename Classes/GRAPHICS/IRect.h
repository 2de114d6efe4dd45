#pragma once
// Read access to a rectangle with inclusive right and bottom edges.
#include <cstdint>

#include "CORE/IPoint.h"
#include "GRAPHICS/ISize.h"

namespace kestrin {

class IRect : public IPoint, public ISize {
public:
    ~IRect() override = default;
    int32_t GetX() const override = 0;
    int32_t GetY() const override = 0;
    virtual int32_t GetRight() const = 0;
    virtual int32_t GetBottom() const = 0;
};

}  // namespace kestrin
