#pragma once
// Test double: knows the families it is told, draws each character as a solid cell.
#include <set>
#include <vector>

#include "CORE/Platform/ITextRasterizer.h"

namespace kestrin {

class FakeTextRasterizer : public ITextRasterizer {
public:
    static constexpr int kCellWidth = 6;

    explicit FakeTextRasterizer(std::set<std::string> installed = {}) : m_installed(std::move(installed)) {}
    bool Open(const std::string& family, int pixelHeight) override {
        if (!m_installed.count(family)) return true;
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
    std::string GetFamily() const override { return m_family; }
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
    std::vector<std::string> drawn;

private:
    std::set<std::string> m_installed;
    std::string m_family;
    int m_height = 0;
    bool m_noFallback = false;
};

}  // namespace kestrin
