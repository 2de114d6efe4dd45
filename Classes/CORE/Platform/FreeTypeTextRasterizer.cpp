#include "CORE/Platform/FreeTypeTextRasterizer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstring>
#include <strings.h>

namespace kestrin {

namespace {

// fontconfig knows no Windows Japanese face names: these map to the IPA fonts.
const char* AliasOf(const std::string& family) {
    static const char* const kAliases[][2] = {
        {"ＭＳ ゴシック", "IPAGothic"}, {"MS Gothic", "IPAGothic"},   {"ＭＳ Ｐゴシック", "IPAPGothic"},
        {"MS PGothic", "IPAPGothic"},   {"ＭＳ 明朝", "IPAMincho"},   {"MS Mincho", "IPAMincho"},
        {"MS UI Gothic", "IPAPGothic"},
    };
    for (const auto& a : kAliases) {
        if (family == a[0]) return a[1];
    }
    return nullptr;
}

bool HasFamily(FcPattern* font, const std::string& family) {
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
        if (strcasecmp(reinterpret_cast<const char*>(name), family.c_str()) == 0) return true;
    }
    return false;
}

bool FileOf(FcPattern* font, std::string& file, int& index) {
    FcChar8* path = nullptr;
    if (FcPatternGetString(font, FC_FILE, 0, &path) != FcResultMatch) return false;
    file = reinterpret_cast<const char*>(path);
    index = 0;
    FcPatternGetInteger(font, FC_INDEX, 0, &index);
    return true;
}

// Decodes one UTF-8 character; malformed bytes read as U+FFFD.
uint32_t NextCodePoint(const std::string& s, size_t& i) {
    const unsigned char c = static_cast<unsigned char>(s[i++]);
    if (c < 0x80) return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
    if (extra < 0) return 0xFFFD;
    uint32_t cp = c & (0x3Fu >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3Fu);
    }
    return cp;
}

}  // namespace

struct FreeTypeTextRasterizer::SState {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

FreeTypeTextRasterizer::FreeTypeTextRasterizer() : m_state(new SState) {}

FreeTypeTextRasterizer::~FreeTypeTextRasterizer() {
    Close();
    if (m_state->library) FT_Done_FreeType(m_state->library);
}

void FreeTypeTextRasterizer::Close() {
    if (m_state->face) FT_Done_Face(m_state->face);
    m_state->face = nullptr;
    m_glyphs.clear();
    m_family.clear();
}

bool FreeTypeTextRasterizer::LoadFace(const std::string& file, int index, const std::string& family, int pixelHeight) {
    Close();
    if (!m_state->library && FT_Init_FreeType(&m_state->library) != 0) return true;
    if (FT_New_Face(m_state->library, file.c_str(), index, &m_state->face) != 0) {
        m_state->face = nullptr;
        return true;
    }
    if (FT_Set_Pixel_Sizes(m_state->face, 0, static_cast<FT_UInt>(pixelHeight > 0 ? pixelHeight : 12)) != 0) {
        Close();
        return true;
    }
    m_ascent = static_cast<int>(m_state->face->size->metrics.ascender >> 6);
    m_family = family;
    return false;
}

bool FreeTypeTextRasterizer::Open(const std::string& family, int pixelHeight) {
    if (!FcInit()) return true;
    const char* alias = AliasOf(family);
    const std::string wanted = alias ? alias : family;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(wanted.c_str()));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* font = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    bool failed = true;
    std::string file;
    int index = 0;
    // fontconfig always substitutes something: only the family itself counts.
    if (font && HasFamily(font, wanted) && FileOf(font, file, index)) failed = LoadFace(file, index, family, pixelHeight);
    if (font) FcPatternDestroy(font);
    return failed;
}

bool FreeTypeTextRasterizer::OpenFallback(int pixelHeight) {
    if (!FcInit()) return true;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("monospace:lang=ja"));
    if (!pattern) return true;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* set = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
    FcPatternDestroy(pattern);
    if (!set) return true;
    bool failed = true;
    // The first font that has kana, else the best monospace match.
    for (int pass = 0; pass < 2 && failed; ++pass) {
        for (int i = 0; i < set->nfont && failed; ++i) {
            FcCharSet* chars = nullptr;
            if (pass == 0 && (FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &chars) != FcResultMatch ||
                              !FcCharSetHasChar(chars, 0x3042)))
                continue;
            std::string file;
            int index = 0;
            FcChar8* name = nullptr;
            std::string family = "monospace";
            if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &name) == FcResultMatch)
                family = reinterpret_cast<const char*>(name);
            if (FileOf(set->fonts[i], file, index)) failed = LoadFace(file, index, family, pixelHeight);
        }
    }
    FcFontSetDestroy(set);
    return failed;
}

const FreeTypeTextRasterizer::SGlyph& FreeTypeTextRasterizer::Glyph(uint32_t codePoint) {
    auto it = m_glyphs.find(codePoint);
    if (it != m_glyphs.end()) return it->second;
    // The cache is small: a log shows few distinct characters, but a hostile one could show many.
    if (m_glyphs.size() > 4096) m_glyphs.clear();
    SGlyph& g = m_glyphs[codePoint];
    FT_Face face = m_state->face;
    if (FT_Load_Char(face, codePoint, FT_LOAD_RENDER) != 0) return g;
    const FT_GlyphSlot slot = face->glyph;
    if (slot->bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) {
        g.advance = static_cast<int>(slot->advance.x >> 6);
        return g;
    }
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = static_cast<int>(slot->bitmap.width);
    g.rows = static_cast<int>(slot->bitmap.rows);
    g.advance = static_cast<int>(slot->advance.x >> 6);
    g.coverage.resize(static_cast<size_t>(g.width) * static_cast<size_t>(g.rows));
    for (int r = 0; r < g.rows; ++r) {
        std::memcpy(&g.coverage[static_cast<size_t>(r) * g.width], slot->bitmap.buffer + r * slot->bitmap.pitch,
                    static_cast<size_t>(g.width));
    }
    return g;
}

void FreeTypeTextRasterizer::DrawText(const std::string& utf8, uint32_t* pixels, int width, int height,
                                      int pitchPixels, int x, int y, uint32_t colour) {
    if (!m_state->face || !pixels) return;
    const int baseline = y + m_ascent;
    int penX = x;
    size_t i = 0;
    while (i < utf8.size() && penX < width) {
        uint32_t cp = NextCodePoint(utf8, i);
        if (cp == '\t') cp = ' ';
        const SGlyph& g = Glyph(cp);
        for (int r = 0; r < g.rows; ++r) {
            const int py = baseline - g.top + r;
            if (py < 0 || py >= height) continue;
            uint32_t* row = pixels + static_cast<size_t>(py) * pitchPixels;
            for (int c = 0; c < g.width; ++c) {
                const int px = penX + g.left + c;
                if (px < 0 || px >= width) continue;
                const unsigned a = g.coverage[static_cast<size_t>(r) * g.width + c];
                if (a == 0) continue;
                const uint32_t d = row[px];
                uint32_t out = 0;
                for (int shift = 0; shift <= 16; shift += 8) {
                    const unsigned s = (colour >> shift) & 0xFFu;
                    const unsigned t = (d >> shift) & 0xFFu;
                    out |= ((s * a + t * (255u - a) + 127u) / 255u) << shift;
                }
                row[px] = out;
            }
        }
        penX += g.advance;
    }
}

}  // namespace kestrin
