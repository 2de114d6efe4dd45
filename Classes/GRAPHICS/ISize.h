#pragma once
// Read access to an integer extent.
#include <cstdint>

namespace kestrin {

class ISize {
public:
    virtual ~ISize() = default;
    virtual int32_t GetWidth() const = 0;
    virtual int32_t GetHeight() const = 0;
};

}  // namespace kestrin
