#pragma once
// Turns an image file into a surface.
#include <string>
#include <vector>

#include "GRAPHICS/ISurface.h"

namespace kestrin {

class CFile;

class IGraphicLoader {
public:
    virtual ~IGraphicLoader() = default;
    // Clears the list and fills it with the extensions this loader reads, without dots.
    virtual void GetExtensions(std::vector<std::string>& extensions) const = 0;
    // Reads the opened file from its beginning; true on failure.
    virtual bool Load(ISurface* surface, CFile* file) = 0;
    // Why the last Load refused a file in this loader's format that it does not read (a
    // 16-bit PNG, a CMYK JPEG, ...), with what it reads instead; empty after a success, a
    // file in another format or a broken one.
    virtual std::string GetRefusal() const { return std::string(); }
};

}  // namespace kestrin
