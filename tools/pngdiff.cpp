// kestrin-pngdiff: compares two PNG images pixel by pixel, for golden-image checks of whole
// games (tests/scripts). Exit 0 when both have the same size and format and no byte differs
// by more than the tolerance (default 2); 1 when they differ; 2 when one cannot be read.
//   kestrin-pngdiff EXPECTED.png ACTUAL.png [TOLERANCE]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "GRAPHICS/CPng.h"
#include "GRAPHICS/CSurface.h"

namespace {

bool Load(const char* path, kestrin::CSurface& surface) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return true;
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    kestrin::CPng png;
    return bytes.empty() ||
           png.LoadFromMemory(&surface, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: kestrin-pngdiff EXPECTED.png ACTUAL.png [TOLERANCE]\n");
        return 2;
    }
    const int tolerance = argc == 4 ? std::atoi(argv[3]) : 2;
    kestrin::CSurface expected, actual;
    if (Load(argv[1], expected)) {
        std::fprintf(stderr, "kestrin-pngdiff: cannot read %s\n", argv[1]);
        return 2;
    }
    if (Load(argv[2], actual)) {
        std::fprintf(stderr, "kestrin-pngdiff: cannot read %s\n", argv[2]);
        return 2;
    }
    if (expected.GetWidth() != actual.GetWidth() || expected.GetHeight() != actual.GetHeight() ||
        expected.GetPixelBits() != actual.GetPixelBits()) {
        std::printf("%s: %dx%d, %s: %dx%d (or another pixel format)\n", argv[1], expected.GetWidth(),
                    expected.GetHeight(), argv[2], actual.GetWidth(), actual.GetHeight());
        return 1;
    }
    const int rowBytes = expected.GetWidth() * expected.GetBytesPerPixel();
    long differing = 0;
    int largest = 0;
    for (int y = 0; y < expected.GetHeight(); ++y) {
        const uint8_t* a = expected.GetLine(y);
        const uint8_t* b = actual.GetLine(y);
        for (int i = 0; i < rowBytes; ++i) {
            const int d = std::abs(int(a[i]) - int(b[i]));
            if (d > largest) largest = d;
            if (d > tolerance) ++differing;
        }
    }
    if (differing != 0) {
        std::printf("%s and %s: %ld bytes differ by more than %d (at most %d)\n", argv[1], argv[2], differing,
                    tolerance, largest);
        return 1;
    }
    return 0;
}
