#pragma once
// A named block of memory shared between processes. It is read and written by copying,
// never through a pointer into it: another process may shrink the object at any moment,
// and an access past its new end must fail rather than raise SIGBUS. Destroying the object
// closes it (and, for the side that created it, removes the name).
#include <cstddef>
#include <cstdint>

namespace kestrin {

class ISharedMapping {
public:
    virtual ~ISharedMapping() = default;
    // The size the object had when it was made or opened; accesses stay within it.
    virtual size_t Size() const = 0;
    // Copies size bytes from offset into out; true on failure (past Size(), or the object
    // no longer holds them).
    virtual bool Read(size_t offset, void* out, size_t size) = 0;
    // Copies size bytes to offset; true on failure, as Read.
    virtual bool Write(size_t offset, const void* data, size_t size) = 0;
};

}  // namespace kestrin
