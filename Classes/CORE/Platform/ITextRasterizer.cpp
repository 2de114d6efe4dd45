#include "CORE/Platform/ITextRasterizer.h"

#include <algorithm>

#include "CORE/DisplayText.h"

namespace kestrin {

int TextWidth(ITextRasterizer& font, const std::string& utf8, std::unordered_map<uint32_t, int>* advances) {
    int64_t width = 0;
    ITextRasterizer::SGlyph glyph;
    for (size_t i = 0; i < utf8.size();) {
        uint32_t cp = NextUtf8CodePoint(utf8, i);
        if (cp == '\t') cp = ' ';
        if (!advances) {
            width += font.RenderGlyph(cp, glyph) ? 0 : glyph.advance;
            continue;
        }
        auto known = advances->find(cp);
        if (known == advances->end())
            known = advances->emplace(cp, font.RenderGlyph(cp, glyph) ? 0 : glyph.advance).first;
        width += known->second;
    }
    return static_cast<int>(std::min<int64_t>(width, 1 << 30));
}

}  // namespace kestrin
