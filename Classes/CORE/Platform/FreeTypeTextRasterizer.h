#pragma once
// The font service over FreeType, with faces found through fontconfig and the alias table.
#include <memory>
#include <unordered_map>
#include <vector>

#include "CORE/Platform/ITextRasterizer.h"

struct FT_FaceRec_;
struct FT_SizeRec_;

namespace kestrin {

class FreeTypeTextRasterizer : public ITextRasterizer {
public:
    FreeTypeTextRasterizer();
    ~FreeTypeTextRasterizer() override;

    bool Open(const std::string& family, int cellHeight) override;
    bool OpenFallback(int cellHeight) override;
    bool OpenCell(const std::string& family, int charset, int cellHeight, bool bold, bool italic) override;
    std::string GetFamily() const override { return m_family; }
    SMetrics GetMetrics() const override { return m_metrics; }
    bool RenderGlyph(uint32_t codePoint, SGlyph& out) override;
    void ListFamilies(std::vector<SFamily>& out) override;
    void DrawText(const std::string& utf8, uint32_t* pixels, int width, int height, int pitchPixels, int x, int y,
                  uint32_t colour) override;

    // The Windows face name's installed family, or null when the name has no alias.
    static const char* AliasOf(const std::string& family);

private:
    struct SLocated;
    bool Use(const SLocated& located, const std::string& family, int cellHeight, bool bold, bool italic);
    const SGlyph& CachedGlyph(uint32_t codePoint);
    void Close();

    // Shared face and size of the process-wide registry (not owned).
    FT_FaceRec_* m_face = nullptr;
    FT_SizeRec_* m_size = nullptr;
    bool m_bold = false;
    bool m_italic = false;
    std::string m_family;
    SMetrics m_metrics;
    std::unordered_map<uint32_t, SGlyph> m_glyphs;  // the log window's lines
};

}  // namespace kestrin
