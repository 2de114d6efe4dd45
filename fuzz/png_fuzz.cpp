// The PNG reader over arbitrary bytes: decoding never reads outside the input or the
// surface, and whatever decodes can be written again.
#include "GRAPHICS/CPng.h"
#include "GRAPHICS/CSurface.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kestrin::CPng png;
    kestrin::CSurface surface;
    png.LoadFromMemory(nullptr, data, size);
    if (!png.LoadFromMemory(&surface, data, size) && surface.GetBufferSize() < (1 << 20)) {
        kestrin::CPng::SOutputBuffer out;
        png.Save(&surface, out, 1);  // counting mode: no buffer
    }
    return 0;
}
