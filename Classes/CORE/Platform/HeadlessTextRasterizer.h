#pragma once
// Test double: knows the families it is told and draws every character as a patterned
// box whose size follows from the cell height, so tests can predict each pixel.
#include <set>
#include <vector>

#include "CORE/Platform/ITextRasterizer.h"

namespace kestrin {

class HeadlessTextRasterizer : public ITextRasterizer {
public:
    static constexpr int kCellWidth = 6;

    explicit HeadlessTextRasterizer(std::set<std::string> installed = {}) : m_installed(std::move(installed)) {}
    bool Open(const std::string& family, int pixelHeight) override {
        if (!m_installed.count(family) || pixelHeight <= 0) return true;
        m_family = family;
        m_height = pixelHeight;
        return false;
    }
    bool OpenFallback(int pixelHeight) override {
        if (m_noFallback) return true;
        m_family = "fallback";
        m_height = pixelHeight;
        return false;
    }
    // Unknown families stand in as "fallback" unless there is none.
    bool OpenCell(const std::string& family, int, int cellHeight, bool bold, bool italic) override {
        ++opens;
        if (cellHeight <= 0) return true;
        if (Open(family, cellHeight) && OpenFallback(cellHeight)) return true;
        m_bold = bold;
        m_italic = italic;
        return false;
    }
    std::string GetFamily() const override { return m_family; }
    // Average width h/2, ascent 4h/5, strikeout 1 row at h/3, underline 1 row 1 below the baseline.
    SMetrics GetMetrics() const override {
        SMetrics m;
        m.averageWidth = m_height / 2;
        m.ascent = m_height * 4 / 5;
        m.descent = m_height - m.ascent;
        m.strikeoutSize = 1;
        m.strikeoutPosition = m_height / 3;
        m.underlineSize = 1;
        m.underlinePosition = -1;
        return m;
    }
    // U+0020 and U+3000 are blank; the code points in missing fail; every other one is a
    // box (h/2 wide below U+0100, else h - 2; 3h/5 high; bold one column wider) whose top
    // sits 3h/5 above the baseline, one column right of the pen, with level
    // (x + 3y + code) mod 65.
    bool RenderGlyph(uint32_t codePoint, SGlyph& out) override {
        ++renders;
        out = SGlyph();
        if (m_height <= 0 || missing.count(codePoint)) return true;
        out.advance = codePoint < 0x100 ? m_height / 2 : m_height;
        if (codePoint == 0x20 || codePoint == 0x3000) return false;
        out.width = (codePoint < 0x100 ? m_height / 2 : m_height - 2) + (m_bold ? 1 : 0);
        out.height = m_height * 3 / 5;
        out.originX = 1;
        out.originY = out.height;
        out.levels.resize(size_t(out.width) * size_t(out.height));
        for (int y = 0; y < out.height; ++y)
            for (int x = 0; x < out.width; ++x)
                out.levels[size_t(y) * out.width + x] = uint8_t((x + 3 * y + codePoint) % 65);
        return false;
    }
    void ListFamilies(std::vector<SFamily>& out) override {
        out.clear();
        for (const std::string& name : m_installed) {
            SFamily f;
            f.name = name;
            f.fixedPitch = fixedPitch.count(name) != 0;
            f.outline = !bitmapOnly.count(name);
            f.japanese = japanese.count(name) != 0;
            out.push_back(f);
        }
    }
    void DrawText(const std::string& utf8, uint32_t* pixels, int width, int height, int pitchPixels, int x, int y,
                  uint32_t colour) override {
        drawn.push_back(utf8);
        int cx = x;
        for (unsigned char c : utf8) {
            if ((c & 0xC0) == 0x80) continue;  // one cell per character
            for (int row = y; row < y + m_height - 2 && row < height; ++row) {
                for (int col = cx; col < cx + kCellWidth - 1 && col < width; ++col) {
                    if (row >= 0 && col >= 0) pixels[row * pitchPixels + col] = colour;
                }
            }
            cx += kCellWidth;
        }
    }
    void SetNoFallback(bool none) { m_noFallback = none; }
    int GetHeight() const { return m_height; }
    bool IsBold() const { return m_bold; }
    bool IsItalic() const { return m_italic; }
    std::vector<std::string> drawn;
    std::set<uint32_t> missing;
    std::set<std::string> fixedPitch, bitmapOnly, japanese;
    int renders = 0;
    int opens = 0;

private:
    std::set<std::string> m_installed;
    std::string m_family;
    int m_height = 0;
    bool m_bold = false;
    bool m_italic = false;
    bool m_noFallback = false;
};

}  // namespace kestrin
