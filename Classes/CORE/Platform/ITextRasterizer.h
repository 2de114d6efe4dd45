#pragma once
// Draws lines of UTF-8 text into 32-bit pixels with one chosen font (the log window).
#include <cstdint>
#include <string>

namespace kestrin {

class ITextRasterizer {
public:
    virtual ~ITextRasterizer() = default;
    // Takes the installed family of that name (or its alias); true when there is none.
    virtual bool Open(const std::string& family, int pixelHeight) = 0;
    // Takes a monospace font that has Japanese glyphs, else any monospace font; true when none.
    virtual bool OpenFallback(int pixelHeight) = 0;
    virtual std::string GetFamily() const = 0;
    // Draws one line with its top at y, clipped to the buffer; colour 0xRRGGBB.
    virtual void DrawText(const std::string& utf8, uint32_t* pixels, int width, int height, int pitchPixels, int x,
                          int y, uint32_t colour) = 0;
};

}  // namespace kestrin
