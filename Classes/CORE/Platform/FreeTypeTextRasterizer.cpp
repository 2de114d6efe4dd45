#include "CORE/Platform/FreeTypeTextRasterizer.h"

#include "CORE/DisplayText.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SIZES_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <strings.h>
#include <tuple>

namespace kestrin {

namespace {

// fontconfig knows no Windows Japanese face names: these map to the IPA faces. The pitch
// is the Windows face's, so that a search for fixed-pitch faces finds them.
struct SAlias {
    const char* name;
    const char* family;
    bool fixedPitch;
};
const SAlias kAliases[] = {
    {"ＭＳ ゴシック", "IPAGothic", true},      {"MS Gothic", "IPAGothic", true},
    {"ＭＳ Ｐゴシック", "IPAPGothic", false},  {"MS PGothic", "IPAPGothic", false},
    {"ＭＳ 明朝", "IPAMincho", true},          {"MS Mincho", "IPAMincho", true},
    {"ＭＳ Ｐ明朝", "IPAPMincho", false},      {"MS PMincho", "IPAPMincho", false},
    {"MS UI Gothic", "IPAPGothic", false},     {"メイリオ", "IPAPGothic", false},
    {"Meiryo", "IPAPGothic", false},           {"Meiryo UI", "IPAPGothic", false},
    {"MeiryoKe_Gothic", "IPAGothic", true},    {"MeiryoKe_Console", "IPAGothic", true},
    {"MeiryoKe_PGothic", "IPAPGothic", false}, {"MeiryoKe_UIGothic", "IPAPGothic", false},
};

bool HasFamily(FcPattern* font, const std::string& family) {
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
        if (strcasecmp(reinterpret_cast<const char*>(name), family.c_str()) == 0) return true;
    }
    return false;
}

bool HasKana(FcPattern* font) {
    FcCharSet* chars = nullptr;
    return FcPatternGetCharSet(font, FC_CHARSET, 0, &chars) == FcResultMatch && FcCharSetHasChar(chars, 0x3042);
}

// The process's faces: each font file is opened once, each cell height gets one size
// object on it. Everything lives until exit.
class CFaceRegistry {
public:
    struct SFace {
        FT_Face face = nullptr;
        std::map<int, FT_Size> sizes;
    };

    static CFaceRegistry& Get() {
        static CFaceRegistry registry;
        return registry;
    }
    ~CFaceRegistry() {
        for (auto& f : m_faces)
            if (f.second.face) FT_Done_Face(f.second.face);
        if (m_library) FT_Done_FreeType(m_library);
        if (m_fontconfig) FcFini();
    }

    // fontconfig is started once and shut down with the registry (it keeps memory otherwise).
    bool Fontconfig() {
        if (!m_fontconfig) m_fontconfig = FcInit() == FcTrue;
        return m_fontconfig;
    }

    SFace* Face(const std::string& file, int index) {
        auto key = std::make_pair(file, index);
        auto it = m_faces.find(key);
        if (it != m_faces.end()) return it->second.face ? &it->second : nullptr;
        SFace& entry = m_faces[key];  // a file that fails stays failed
        if (!m_library && FT_Init_FreeType(&m_library) != 0) {
            m_library = nullptr;
            return nullptr;
        }
        if (FT_New_Face(m_library, file.c_str(), index, &entry.face) != 0 || !FT_IS_SCALABLE(entry.face)) {
            if (entry.face) FT_Done_Face(entry.face);
            entry.face = nullptr;
            return nullptr;
        }
        FT_Select_Charmap(entry.face, FT_ENCODING_UNICODE);
        return &entry;
    }

    // The size object of a cell height: the em is scaled so that the Windows ascent and
    // descent together fill the cell.
    FT_Size Size(SFace& f, int cellHeight) {
        auto it = f.sizes.find(cellHeight);
        if (it != f.sizes.end()) return it->second;
        FT_Size size = nullptr;
        if (FT_New_Size(f.face, &size) != 0) return f.sizes[cellHeight] = nullptr;
        FT_Activate_Size(size);
        const long em = std::max(1L, std::lround(cellHeight * 64.0 * f.face->units_per_EM / CellUnits(f.face)));
        if (FT_Set_Char_Size(f.face, 0, em, 72, 72) != 0) {
            FT_Done_Size(size);
            size = nullptr;
        }
        return f.sizes[cellHeight] = size;
    }

    static double CellUnits(FT_Face face) {
        const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        if (os2 && os2->version != 0xFFFFu && os2->usWinAscent + os2->usWinDescent > 0)
            return double(os2->usWinAscent) + double(os2->usWinDescent);
        const double units = double(face->ascender) - double(face->descender);
        return units > 0 ? units : double(std::max<int>(1, face->units_per_EM));
    }

    // Where a family's face file is; remembered per request.
    bool Locate(const std::string& family, bool japanese, bool exact, std::string& file, int& index,
                std::string& found) {
        const auto key = std::make_tuple(family, japanese, exact);
        auto it = m_located.find(key);
        if (it == m_located.end()) {
            if (!Fontconfig()) return false;
            it = m_located.emplace(key, Search(family, japanese, exact)).first;
        }
        if (it->second.file.empty()) return false;
        file = it->second.file;
        index = it->second.index;
        found = it->second.family;
        return true;
    }

private:
    struct SFound {
        std::string file;
        int index = 0;
        std::string family;
    };

    static bool Take(FcPattern* font, SFound& out) {
        FcChar8* path = nullptr;
        if (FcPatternGetString(font, FC_FILE, 0, &path) != FcResultMatch) return false;
        out.file = reinterpret_cast<const char*>(path);
        out.index = 0;
        FcPatternGetInteger(font, FC_INDEX, 0, &out.index);
        FcChar8* name = nullptr;
        if (FcPatternGetString(font, FC_FAMILY, 0, &name) == FcResultMatch)
            out.family = reinterpret_cast<const char*>(name);
        return true;
    }

    static SFound Search(const std::string& family, bool japanese, bool exact) {
        SFound found;
        const char* alias = FreeTypeTextRasterizer::AliasOf(family);
        const std::string wanted = alias ? alias : family;
        FcPattern* pattern = FcPatternCreate();
        if (!wanted.empty()) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(wanted.c_str()));
        if (japanese) {
            FcLangSet* langs = FcLangSetCreate();
            FcLangSetAdd(langs, reinterpret_cast<const FcChar8*>("ja"));
            FcPatternAddLangSet(pattern, FC_LANG, langs);
            FcLangSetDestroy(langs);
        }
        FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcFontSet* set = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
        FcPatternDestroy(pattern);
        if (!set) return found;
        // fontconfig always substitutes something: the family itself first, then (when a
        // stand-in will do) the best face with kana for Japanese, else the best face.
        for (int pass = 0; pass < 3 && found.file.empty(); ++pass) {
            if (pass > 0 && exact) break;
            for (int i = 0; i < set->nfont && found.file.empty(); ++i) {
                FcPattern* font = set->fonts[i];
                if (pass == 0 && (wanted.empty() || !HasFamily(font, wanted))) continue;
                if (pass == 1 && (!japanese || !HasKana(font))) continue;
                if (!Take(font, found)) found = SFound();
            }
        }
        FcFontSetDestroy(set);
        return found;
    }

    FT_Library m_library = nullptr;
    bool m_fontconfig = false;
    std::map<std::pair<std::string, int>, SFace> m_faces;
    std::map<std::tuple<std::string, bool, bool>, SFound> m_located;
};

int32_t Scaled(double units, int cellHeight, double cellUnits) {
    return static_cast<int32_t>(std::lround(units * cellHeight / cellUnits));
}

}  // namespace

struct FreeTypeTextRasterizer::SLocated {
    std::string file;
    int index = 0;
};

const char* FreeTypeTextRasterizer::AliasOf(const std::string& family) {
    for (const SAlias& a : kAliases) {
        if (family == a.name) return a.family;
    }
    return nullptr;
}

FreeTypeTextRasterizer::FreeTypeTextRasterizer() = default;

FreeTypeTextRasterizer::~FreeTypeTextRasterizer() = default;

void FreeTypeTextRasterizer::Close() {
    m_face = nullptr;
    m_size = nullptr;
    m_bold = m_italic = false;
    m_glyphs.clear();
    m_family.clear();
    m_metrics = SMetrics();
}

bool FreeTypeTextRasterizer::Use(const SLocated& located, const std::string& family, int cellHeight, bool bold,
                                 bool italic) {
    Close();
    if (cellHeight <= 0) return true;
    CFaceRegistry& registry = CFaceRegistry::Get();
    CFaceRegistry::SFace* f = registry.Face(located.file, located.index);
    if (!f) return true;
    FT_Size size = registry.Size(*f, cellHeight);
    if (!size) return true;
    FT_Face face = f->face;
    m_face = face;
    m_size = size;
    m_bold = bold && !(face->style_flags & FT_STYLE_FLAG_BOLD);
    m_italic = italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);
    m_family = family;

    const double cell = CFaceRegistry::CellUnits(face);
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const TT_Postscript* post = static_cast<const TT_Postscript*>(FT_Get_Sfnt_Table(face, FT_SFNT_POST));
    const bool hasOs2 = os2 && os2->version != 0xFFFFu;
    SMetrics& m = m_metrics;
    if (hasOs2) {
        m.averageWidth = Scaled(os2->xAvgCharWidth, cellHeight, cell);
        m.ascent = Scaled(os2->usWinAscent, cellHeight, cell);
        m.descent = cellHeight - m.ascent;
        m.strikeoutSize = Scaled(os2->yStrikeoutSize, cellHeight, cell);
        m.strikeoutPosition = Scaled(os2->yStrikeoutPosition, cellHeight, cell);
    } else {
        m.averageWidth = Scaled(face->max_advance_width / 2.0, cellHeight, cell);
        m.ascent = Scaled(face->ascender, cellHeight, cell);
        m.descent = cellHeight - m.ascent;
        m.strikeoutSize = Scaled(face->underline_thickness, cellHeight, cell);
        m.strikeoutPosition = Scaled(face->ascender / 3.0, cellHeight, cell);
    }
    const double thickness = post ? post->underlineThickness : face->underline_thickness;
    const double position = post ? post->underlinePosition : face->underline_position;
    m.underlineSize = Scaled(thickness, cellHeight, cell);
    m.underlinePosition = Scaled(position, cellHeight, cell);
    m.strikeoutSize = std::max(1, m.strikeoutSize);
    m.underlineSize = std::max(1, m.underlineSize);
    return false;
}

bool FreeTypeTextRasterizer::Open(const std::string& family, int cellHeight) {
    std::string found;
    SLocated located;
    if (!CFaceRegistry::Get().Locate(family, false, true, located.file, located.index, found)) {
        Close();
        return true;
    }
    return Use(located, family, cellHeight, false, false);
}

bool FreeTypeTextRasterizer::OpenCell(const std::string& family, int charset, int cellHeight, bool bold, bool italic) {
    std::string found;
    SLocated located;
    if (cellHeight <= 0 ||
        !CFaceRegistry::Get().Locate(family, charset == kShiftJisCharset, false, located.file, located.index, found)) {
        Close();
        return true;
    }
    return Use(located, family, cellHeight, bold, italic);
}

bool FreeTypeTextRasterizer::OpenFallback(int cellHeight) {
    Close();
    if (!CFaceRegistry::Get().Fontconfig()) return true;
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
            if (pass == 0 && !HasKana(set->fonts[i])) continue;
            FcChar8* path = nullptr;
            if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &path) != FcResultMatch) continue;
            SLocated located;
            located.file = reinterpret_cast<const char*>(path);
            FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &located.index);
            FcChar8* name = nullptr;
            std::string family = "monospace";
            if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &name) == FcResultMatch)
                family = reinterpret_cast<const char*>(name);
            failed = Use(located, family, cellHeight, false, false);
        }
    }
    FcFontSetDestroy(set);
    return failed;
}

bool FreeTypeTextRasterizer::RenderGlyph(uint32_t codePoint, SGlyph& out) {
    out = SGlyph();
    if (!m_face || !m_size) return true;
    FT_Face face = m_face;
    const FT_UInt index = FT_Get_Char_Index(face, codePoint);
    if (index == 0) return true;
    FT_Activate_Size(m_size);
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP) != 0) return true;
    FT_GlyphSlot slot = face->glyph;
    if (m_italic) FT_GlyphSlot_Oblique(slot);
    if (m_bold) FT_GlyphSlot_Embolden(slot);
    if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return true;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.rows * bitmap.width != 0) return true;
    out.width = static_cast<int32_t>(bitmap.width);
    out.height = static_cast<int32_t>(bitmap.rows);
    out.originX = slot->bitmap_left;
    out.originY = slot->bitmap_top;
    out.advance = static_cast<int32_t>((slot->advance.x + 32) >> 6);
    out.levels.resize(size_t(out.width) * size_t(out.height));
    const int grays = std::max(2, int(bitmap.num_grays));
    for (int r = 0; r < out.height; ++r) {
        const unsigned char* src = bitmap.buffer + std::ptrdiff_t(r) * bitmap.pitch;
        uint8_t* dst = &out.levels[size_t(r) * size_t(out.width)];
        for (int c = 0; c < out.width; ++c) {
            const unsigned coverage = unsigned(src[c]) * 255u / unsigned(grays - 1);
            dst[c] = static_cast<uint8_t>((coverage * 64u + 127u) / 255u);  // 65 levels, rounded
        }
    }
    return false;
}

void FreeTypeTextRasterizer::ListFamilies(std::vector<SFamily>& out) {
    out.clear();
    if (!CFaceRegistry::Get().Fontconfig()) return;
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_SPACING, FC_OUTLINE, FC_LANG, nullptr);
    FcFontSet* set = FcFontList(nullptr, pattern, objects);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    std::map<std::string, SFamily> families;
    std::set<std::string> lowerNames;
    if (set) {
        for (int i = 0; i < set->nfont; ++i) {
            FcPattern* font = set->fonts[i];
            SFamily info;
            int spacing = FC_PROPORTIONAL;
            FcPatternGetInteger(font, FC_SPACING, 0, &spacing);
            info.fixedPitch = spacing >= FC_DUAL;
            FcBool outline = FcFalse;
            FcPatternGetBool(font, FC_OUTLINE, 0, &outline);
            info.outline = outline == FcTrue;
            FcLangSet* langs = nullptr;
            info.japanese = FcPatternGetLangSet(font, FC_LANG, 0, &langs) == FcResultMatch &&
                            FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ja")) == FcLangEqual;
            FcChar8* name = nullptr;
            for (int k = 0; FcPatternGetString(font, FC_FAMILY, k, &name) == FcResultMatch; ++k) {
                info.name = reinterpret_cast<const char*>(name);
                families.emplace(info.name, info);
                std::string lower = info.name;
                for (char& ch : lower) ch = char(std::tolower(static_cast<unsigned char>(ch)));
                lowerNames.insert(lower);
            }
        }
        FcFontSetDestroy(set);
    }
    for (const SAlias& a : kAliases) {
        std::string target = a.family;
        for (char& ch : target) ch = char(std::tolower(static_cast<unsigned char>(ch)));
        if (!lowerNames.count(target)) continue;
        SFamily info;
        info.name = a.name;
        info.fixedPitch = a.fixedPitch;
        info.outline = true;
        info.japanese = true;
        families.emplace(info.name, info);
    }
    for (auto& f : families) out.push_back(std::move(f.second));
}

const ITextRasterizer::SGlyph& FreeTypeTextRasterizer::CachedGlyph(uint32_t codePoint) {
    auto it = m_glyphs.find(codePoint);
    if (it != m_glyphs.end()) return it->second;
    // The cache is small: a log shows few distinct characters, but a hostile one could show many.
    if (m_glyphs.size() > 4096) m_glyphs.clear();
    SGlyph& g = m_glyphs[codePoint];
    RenderGlyph(codePoint, g);
    return g;
}

void FreeTypeTextRasterizer::DrawText(const std::string& utf8, uint32_t* pixels, int width, int height, int pitchPixels,
                                      int x, int y, uint32_t colour) {
    if (!m_face || !pixels) return;
    const int baseline = y + m_metrics.ascent;
    int penX = x;
    size_t i = 0;
    while (i < utf8.size() && penX < width) {
        uint32_t cp = NextUtf8CodePoint(utf8, i);
        if (cp == '\t') cp = ' ';
        const SGlyph& g = CachedGlyph(cp);
        for (int r = 0; r < g.height; ++r) {
            const int py = baseline - g.originY + r;
            if (py < 0 || py >= height) continue;
            uint32_t* row = pixels + static_cast<size_t>(py) * pitchPixels;
            for (int c = 0; c < g.width; ++c) {
                const int px = penX + g.originX + c;
                if (px < 0 || px >= width) continue;
                const unsigned level = g.levels[static_cast<size_t>(r) * g.width + c];
                if (level == 0) continue;
                const unsigned a = level >= 64 ? 255u : level * 4u;
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

namespace {
std::function<std::unique_ptr<ITextRasterizer>()>& Factory() {
    static std::function<std::unique_ptr<ITextRasterizer>()> factory;
    return factory;
}
}  // namespace

std::unique_ptr<ITextRasterizer> MakeTextRasterizer() {
    return Factory() ? Factory()() : std::make_unique<FreeTypeTextRasterizer>();
}

void SetTextRasterizerFactory(std::function<std::unique_ptr<ITextRasterizer>()> factory) {
    Factory() = std::move(factory);
}

}  // namespace kestrin
