#pragma once
// Read access to an integer position.
#include <cstdint>

namespace kestrin {

class IPoint {
public:
    virtual ~IPoint() = default;
    virtual int32_t GetX() const = 0;
    virtual int32_t GetY() const = 0;
};

}  // namespace kestrin
