// kestrin-pngdiff: compares two PNG images pixel by pixel, for golden-image checks of whole
// games (tests/scripts). Exit 0 when both have the same size and format and no byte differs
// by more than the tolerance (default 2); 1 when they differ; 2 when one cannot be read.
// With "psnr:DB" instead of a tolerance, the colour channels must reach DB decibels of peak
// signal-to-noise ratio (for pictures of another renderer, which round and filter otherwise).
//   kestrin-pngdiff EXPECTED.png ACTUAL.png [TOLERANCE | psnr:DB]
#include <cmath>
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
    return bytes.empty() || png.LoadFromMemory(&surface, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: kestrin-pngdiff EXPECTED.png ACTUAL.png [TOLERANCE | psnr:DB]\n");
        return 2;
    }
    const std::string mode = argc == 4 ? argv[3] : "";
    const bool psnr = mode.compare(0, 5, "psnr:") == 0;
    const double minimumDb = psnr ? std::atof(mode.c_str() + 5) : 0.0;
    const int tolerance = argc == 4 && !psnr ? std::atoi(argv[3]) : 2;
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
    if (psnr) {
        const int bpp = expected.GetBytesPerPixel();
        double sum = 0, count = 0;
        for (int y = 0; y < expected.GetHeight(); ++y) {
            const uint8_t* a = expected.GetLine(y);
            const uint8_t* b = actual.GetLine(y);
            for (int i = 0; i < rowBytes; ++i) {
                if (bpp == 4 && i % 4 == 3) continue;  // alpha or spare
                const double d = double(a[i]) - double(b[i]);
                sum += d * d;
                count += 1;
            }
        }
        const double db = sum == 0 ? 999.0 : 10.0 * std::log10(255.0 * 255.0 * count / sum);
        if (db < minimumDb) {
            std::printf("%s and %s: PSNR %.1f dB, below %.1f dB\n", argv[1], argv[2], db, minimumDb);
            return 1;
        }
        std::printf("%s and %s: PSNR %.1f dB\n", argv[1], argv[2], db);
        return 0;
    }
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
