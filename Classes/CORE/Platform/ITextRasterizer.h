#pragma once
// The one font service of the engine: faces found by name (Windows Japanese names through
// an alias table to the installed IPA faces, any other name through the system's font
// configuration), glyphs rasterised as 65 coverage levels with the metrics the text layout
// needs, the list of installed families, and lines of text for the log window. Names are
// UTF-8. Faces are opened once per process and shared by every instance.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace kestrin {

class ITextRasterizer {
public:
    // Character set that asks for a face with Japanese glyphs.
    static constexpr int kShiftJisCharset = 128;

    // Pixel metrics of an open face at its cell height.
    struct SMetrics {
        int32_t averageWidth = 0;
        int32_t ascent = 0;
        int32_t descent = 0;
        int32_t strikeoutSize = 0;
        int32_t strikeoutPosition = 0;  // top of the stroke, above the baseline
        int32_t underlineSize = 0;
        int32_t underlinePosition = 0;  // above the baseline (negative: below)
    };
    // One glyph: width x height levels 0 (empty) to 64 (full), top row first, no padding.
    struct SGlyph {
        int32_t width = 0;
        int32_t height = 0;
        int32_t originX = 0;  // left edge right of the pen
        int32_t originY = 0;  // top edge above the baseline
        int32_t advance = 0;
        std::vector<uint8_t> levels;
    };
    struct SFamily {
        std::string name;
        bool fixedPitch = false;
        bool outline = false;   // scalable outlines (TrueType or OpenType)
        bool japanese = false;  // covers the Japanese character set
    };

    virtual ~ITextRasterizer() = default;

    // Takes the installed family of that name (or its alias) with that cell height; true
    // when there is none.
    virtual bool Open(const std::string& family, int cellHeight) = 0;
    // Takes a monospace font that has Japanese glyphs, else any monospace font; true when none.
    virtual bool OpenFallback(int cellHeight) = 0;
    // As Open, but a family that is not installed is replaced by the closest installed one
    // (one with Japanese glyphs for kShiftJisCharset); bold and italic are synthesised when
    // the face has no such style. True when no face at all can be had. A cell height of 0
    // opens nothing and fails.
    virtual bool OpenCell(const std::string& family, int charset, int cellHeight, bool bold, bool italic) = 0;
    virtual std::string GetFamily() const = 0;
    virtual SMetrics GetMetrics() const = 0;
    // The glyph of a Unicode code point; true when nothing is open or the face lacks it.
    virtual bool RenderGlyph(uint32_t codePoint, SGlyph& out) = 0;
    // Every installed family and every alias name whose face is installed, once each.
    virtual void ListFamilies(std::vector<SFamily>& out) = 0;

    // Draws one line with its top at y, clipped to the buffer; colour 0xRRGGBB.
    virtual void DrawText(const std::string& utf8, uint32_t* pixels, int width, int height, int pitchPixels, int x,
                          int y, uint32_t colour) = 0;
};

// The width DrawText gives a line of UTF-8 text, at most 1 << 30: the advances of its
// characters, a tab as a space and a character the face lacks as nothing. advances, when
// given, keeps each character's advance for this font, so that long lines are measured
// without rendering every glyph again.
int TextWidth(ITextRasterizer& font, const std::string& utf8, std::unordered_map<uint32_t, int>* advances = nullptr);

// A new instance of the process's font service (FreeType unless a test chose another).
std::unique_ptr<ITextRasterizer> MakeTextRasterizer();
// Chooses what MakeTextRasterizer makes; null goes back to FreeType.
void SetTextRasterizerFactory(std::function<std::unique_ptr<ITextRasterizer>()> factory);

}  // namespace kestrin
