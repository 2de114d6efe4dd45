#pragma once
// A named block of memory shared between processes, mapped for reading and writing.
// Destroying the object unmaps it (and, for the side that created it, removes the name).
#include <cstddef>
#include <cstdint>

namespace kestrin {

class ISharedMapping {
public:
    virtual ~ISharedMapping() = default;
    virtual uint8_t* Data() = 0;
    virtual size_t Size() const = 0;
};

}  // namespace kestrin
