// The PNG reader over arbitrary bytes: decoding never reads outside the input or the
// surface, and whatever decodes is written again and decodes to the same pixels.
#include "GRAPHICS/CPng.h"
#include "GRAPHICS/CSurface.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kestrin::CPng png;
    kestrin::CSurface surface;
    png.LoadFromMemory(nullptr, data, size);
    if (png.LoadFromMemory(&surface, data, size) || surface.GetBufferSize() >= (1 << 20)) return 0;
    kestrin::CPng::SOutputBuffer out;
    out.data = new uint8_t[256];
    out.capacity = 256;
    if (png.Save(&surface, out, 1)) std::abort();
    kestrin::CSurface again;
    if (png.LoadFromMemory(&again, out.data, out.length)) std::abort();
    delete[] out.data;
    if (again.GetWidth() != surface.GetWidth() || again.GetHeight() != surface.GetHeight() ||
        again.GetPixelBits() != surface.GetPixelBits())
        std::abort();
    const size_t rowBytes = size_t(surface.GetWidth()) * size_t(surface.GetBytesPerPixel());
    for (int32_t y = 0; y < surface.GetHeight(); ++y)
        if (std::memcmp(surface.GetLine(y), again.GetLine(y), rowBytes) != 0) std::abort();
    return 0;
}
