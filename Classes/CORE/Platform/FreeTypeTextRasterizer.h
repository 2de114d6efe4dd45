#pragma once
// Lines of text drawn with FreeType from a font that fontconfig finds.
#include <memory>
#include <unordered_map>
#include <vector>

#include "CORE/Platform/ITextRasterizer.h"

namespace kestrin {

class FreeTypeTextRasterizer : public ITextRasterizer {
public:
    FreeTypeTextRasterizer();
    ~FreeTypeTextRasterizer() override;

    bool Open(const std::string& family, int pixelHeight) override;
    bool OpenFallback(int pixelHeight) override;
    std::string GetFamily() const override { return m_family; }
    void DrawText(const std::string& utf8, uint32_t* pixels, int width, int height, int pitchPixels, int x, int y,
                  uint32_t colour) override;

private:
    struct SGlyph {
        int left = 0, top = 0, width = 0, rows = 0, advance = 0;
        std::vector<unsigned char> coverage;
    };
    bool LoadFace(const std::string& file, int index, const std::string& family, int pixelHeight);
    const SGlyph& Glyph(uint32_t codePoint);
    void Close();

    struct SState;
    std::unique_ptr<SState> m_state;
    std::string m_family;
    int m_ascent = 0;
    std::unordered_map<uint32_t, SGlyph> m_glyphs;
};

}  // namespace kestrin
