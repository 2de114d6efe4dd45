// The JPEG reader with an optional alpha JPEG over arbitrary bytes. The first byte says how
// the rest is split: bit 7 set means no alpha; otherwise the low 7 bits give the share (in
// 128ths) of the main image, the remainder being the alpha image.
#include "GRAPHICS/CJpg.h"
#include "GRAPHICS/CSurface.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t mode = data[0];
    // Exact-size copies, so that any read past the end is caught.
    std::vector<uint8_t> rest(data + 1, data + size);
    static kestrin::CJpg jpg;  // one loader across inputs: its alpha buffer is reused
    kestrin::CSurface surface;
    if (mode & 0x80) {
        jpg.Decode(&surface, rest.data(), rest.size(), nullptr, 0);
        return 0;
    }
    const size_t split = rest.size() * (mode & 0x7F) / 128;
    std::vector<uint8_t> main(rest.begin(), rest.begin() + long(split));
    std::vector<uint8_t> alpha(rest.begin() + long(split), rest.end());
    jpg.Decode(&surface, main.data(), main.size(), alpha.data(), alpha.size());
    return 0;
}
