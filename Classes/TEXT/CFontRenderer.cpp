#include "TEXT/CFontRenderer.h"

#include <algorithm>
#include <functional>
#include <unordered_map>

#include "CORE/CIni.h"
#include "CORE/DisplayText.h"
#include "CORE/Platform/ITextRasterizer.h"
#include "CORE/StringHelpers.h"
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/ISurfaceFactory.h"
#include "TEXT/CRenderedFontFile.h"
#include "babel/babel.h"
#include "babel/code_table.h"

namespace kestrin {

// A glyph's alpha levels (w x h, placed at x0, y0) in a cell of cellWidth x cellHeight; the
// drawing code below reads them in place.
struct SGlyphLevels {
    std::vector<uint8_t> alpha;
    int32_t w = 0, h = 0, x0 = 0, y0 = 0, cellWidth = 0, cellHeight = 0;
    unsigned At(int32_t x, int32_t y) const { return alpha[size_t(y) * size_t(w) + size_t(x)]; }
};

namespace {

using GlyphCache = std::unordered_map<CFontRenderer::FontKey, CFontRenderer::CClippedSurface,
                                      CFontRenderer::FontKeyHash, CFontRenderer::FontKeyEqual>;
using AtlasTable = std::unordered_map<int32_t, std::shared_ptr<CFontRenderer::CAtlas>>;

// Process-wide and never destroyed: pages may belong to a renderer that is gone at exit.
GlyphCache& Glyphs() {
    static GlyphCache* cache = new GlyphCache(11);
    return *cache;
}
AtlasTable& Atlases() {
    static AtlasTable* table = new AtlasTable(11);
    return *table;
}

void HashCombine(size_t& seed, size_t value) { seed ^= value + 0x9e3779b9 + (seed << 6) + (seed >> 2); }

// A header larger than this is not a font header.
constexpr int32_t kMaxHeaderBytes = 1 << 20;

struct SColour {
    uint8_t b, g, r;
    explicit SColour(uint32_t c) : b(uint8_t(c)), g(uint8_t(c >> 8)), r(uint8_t(c >> 16)) {}
};

// The Unicode character of a Shift_JIS code; 0 when it has none.
uint32_t ShiftJisToUnicode(uint16_t code) {
    if (code < 0x80) return code;
    return uint32_t(babel::sjis_cp932_to_unicode_table.find(code)) & 0xFFFFu;
}

// One pixel of a page row: blue, green, red, alpha.
inline uint8_t* Pixel(ISurface& page, const CRect& cell, int32_t x, int32_t y) {
    return page.GetLine(cell.GetY() + y) + 4 * (cell.GetX() + x);
}

// Rows first, first + 1, ... (count of them) until one lies outside [0, limit).
template <class F>
void ForRows(int32_t first, int32_t count, int32_t limit, F fill) {
    for (int32_t i = 0; i < count; ++i) {
        const int32_t row = first + i;
        if (row < 0 || row >= limit) break;
        fill(row, i);
    }
}

}  // namespace

size_t CFontRenderer::FontKeyHash::operator()(const FontKey& key) const {
    size_t seed = std::hash<std::string>()(key.face);
    HashCombine(seed, std::hash<int32_t>()(key.color));
    HashCombine(seed, std::hash<int32_t>()(key.shadowColor));
    HashCombine(seed, std::hash<int32_t>()(key.outlineColor));
    HashCombine(seed, std::hash<int32_t>()(key.packed));
    return seed;
}

bool CFontRenderer::FontKeyEqual::operator()(const FontKey& a, const FontKey& b) const {
    return a.packed == b.packed && a.color == b.color && a.shadowColor == b.shadowColor &&
           a.outlineColor == b.outlineColor && a.face == b.face;
}

CFontRenderer::CAtlas::CAtlas(ISurfaceFactory* factory, int32_t width, int32_t height)
    : m_factory(factory), m_width(width), m_height(height) {
    NewPage();
}

bool CFontRenderer::CAtlas::NewPage() {
    std::shared_ptr<ISurface> page = m_factory ? m_factory->Create() : nullptr;
    if (!page || page->Init(m_width, m_height, ISurface::kPixel32Alpha, 0)) {
        m_page.reset();
        return false;
    }
    page->Clear();
    m_page = std::move(page);
    ++m_pages;
    return true;
}

CFontRenderer::CClippedSurface CFontRenderer::CAtlas::Allocate(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || width > m_width || height > m_height) return CClippedSurface();
    if (m_x + width > m_width) {
        m_x = 0;
        m_y += m_rowHeight;
        m_rowHeight = 0;
    }
    if (m_y + height > m_height || !m_page) {
        if (!NewPage()) return CClippedSurface();
        m_x = m_y = 0;
    }
    m_rowHeight = std::max(m_rowHeight, height);
    CClippedSurface cell(m_page, CRect(m_x, m_y, width, height, true));
    m_x += width;
    return cell;
}

CFontRenderer::CFontRenderer(ISurfaceFactory* surfaceFactory, CGraphicLoaders* loaders, CFileFactory* fileFactory)
    : m_surfaceFactory(surfaceFactory), m_loaders(loaders), m_fileFactory(fileFactory) {}

CFontRenderer::~CFontRenderer() = default;

CFontRenderer* CFontRenderer::SetCharset(int32_t charset) {
    m_charset = charset;
    return this;
}

void CFontRenderer::SetShadow(bool on) { m_flags = on ? (m_flags | kShadow) : (m_flags & ~kShadow); }
void CFontRenderer::SetOutline(bool on) { m_flags = on ? (m_flags | kOutline) : (m_flags & ~kOutline); }

void CFontRenderer::CloseFont() {
    m_faceOpen = false;
    m_height = 0;
    m_flags = 0;
    m_halfSpace = m_fullSpace = 0;
    m_ascent = 0;
    m_strikeoutSize = m_strikeoutRow = m_underlineSize = m_underlineRow = 0;
    m_color32 = false;
    m_face.clear();
    m_renderedFile.clear();
}

std::string CFontRenderer::FaceNameUtf8() const {
    if (m_charset == kEncodingUtf8) return m_face;
    if (m_charset == kEncodingEucJp && !IsValidUtf8(m_face)) return babel::euc_to_utf8(m_face);
    return GameTextToUtf8(m_face);
}

bool CFontRenderer::OpenFontDefault(bool rendered, const std::string& face, int32_t charset, uint8_t height, bool bold,
                                    bool italic, bool underline, bool strikeout) {
    return OpenFont(rendered, face, charset, height, bold, italic, underline, strikeout);
}

bool CFontRenderer::OpenFont(bool rendered, const std::string& face, int32_t charset, uint8_t height, bool bold,
                             bool italic, bool underline, bool strikeout) {
    CloseFont();
    m_face = face;
    m_height = height;
    m_flags = uint8_t((bold ? kBold : 0) | (italic ? kItalic : 0) | (underline ? kUnderline : 0) |
                      (strikeout ? kStrikeout : 0));
    if (!rendered) {
        // Height 0 opens no face: the font service is never asked for it.
        if (height == 0 || face.empty()) return false;
        if (!m_raster) m_raster = MakeTextRasterizer();
        if (!m_raster || m_raster->OpenCell(FaceNameUtf8(), charset, height, bold, italic)) return false;
        const ITextRasterizer::SMetrics m = m_raster->GetMetrics();
        m_faceOpen = true;
        m_halfSpace = m.averageWidth;
        m_fullSpace = 2 * m.averageWidth;
        m_ascent = m.ascent;
        m_strikeoutSize = m.strikeoutSize;
        m_strikeoutRow = m_ascent - m.strikeoutPosition;
        m_underlineSize = m.underlineSize;
        m_underlineRow = m_ascent - m.underlinePosition;
        return false;
    }

    m_renderedFile = face + "_" + IntToString(height) + ".rft";
    m_flags |= kRendered;
    CRenderedFontFile file(m_fileFactory);
    if (!file.OpenGlyph(m_renderedFile, 0)) {
        const int32_t size = file.GetSize();
        if (size < 0 || size > kMaxHeaderBytes) {
            CloseFont();
            return true;
        }
        std::vector<char> text(size_t(size) + 1, '\0');
        if (file.Read(text.data(), unsigned(size)) != size) {
            CloseFont();
            return true;
        }
        CIni ini;
        ini.Parse(text.data(), size_t(size));
        m_color32 = ini.GetBool("FONT", "COLOR_32");
        m_strikeoutSize = ini.GetInt("FONT", "STRIKEOUT_SIZE");
        m_strikeoutRow = ini.GetInt("FONT", "STRIKEOUT_POSITION");
        m_underlineSize = ini.GetInt("FONT", "UNDERSCORE_SIZE");
        m_underlineRow = ini.GetInt("FONT", "UNDERSCORE_POSITION");
        return false;
    }
    if (!file.OpenGlyph(m_renderedFile, 65)) {
        m_color32 = file.IsColor32();
        return false;
    }
    CloseFont();
    return true;
}

int32_t CFontRenderer::GetCharCode(const char* text) const {
    if (!text) return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    switch (m_charset) {
        case kEncodingShiftJis:
        case kEncodingEucJp:
            if (IsLeadByte(p[0], nullptr, m_charset)) return p[0] * 256 + p[1];
            return p[0];
        case kEncodingUtf8: {
            int ones = 0;
            while (ones < 8 && (p[0] & (0x80 >> ones))) ++ones;
            if (ones < 2 || ones > 4) return p[0];
            uint32_t cp = p[0] & (0xFFu >> (ones + 1));
            // A sequence cut by the end of the text keeps what it has.
            for (int i = 1; i < ones && p[i] != 0; ++i) cp = (cp << 6) | (p[i] & 0x3Fu);
            return int32_t(cp & 0xFFFFu);
        }
        default: return 0;
    }
}

bool CFontRenderer::SystemGlyph(uint16_t code, std::vector<uint8_t>& alpha, int32_t& w, int32_t& h, int32_t& x0,
                                int32_t& y0, int32_t& cellWidth, int32_t& cellHeight) {
    ITextRasterizer::SGlyph glyph;
    bool failed = true;
    if (m_faceOpen && m_charset != kEncodingEucJp) {
        const uint32_t codePoint = m_charset == kEncodingShiftJis ? ShiftJisToUnicode(code) : code;
        if (codePoint != 0) failed = m_raster->RenderGlyph(codePoint, glyph);
    }
    if (failed || glyph.levels.empty()) {
        // Nothing drawn: only the two spaces have a cell, as wide as their advance.
        glyph = ITextRasterizer::SGlyph();
        if (code == 32) {
            glyph.advance = m_halfSpace;
        } else if (code == 0x8140) {
            glyph.advance = m_fullSpace;
        } else {
            return false;
        }
    }
    x0 = std::max(0, glyph.originX);
    y0 = std::max(0, m_ascent - glyph.originY);
    w = glyph.width;
    h = glyph.height;
    cellWidth = std::max(glyph.advance, w + x0);
    cellHeight = std::max<int32_t>(m_height, h + y0);
    if (cellWidth < 1 || cellHeight < 1) return false;
    alpha.resize(glyph.levels.size());
    for (size_t i = 0; i < alpha.size(); ++i) {
        const unsigned v = std::min<unsigned>(glyph.levels[i], 64);
        alpha[i] = v == 64 ? 255 : uint8_t(v * 4);
    }
    return true;
}

CFontRenderer::CClippedSurface CFontRenderer::GetGlyph(uint16_t code, uint32_t color, uint32_t shadowColor,
                                                       uint32_t outlineColor) {
    if (m_face.empty() || code == 0) return CClippedSurface();
    FontKey key{m_face, int32_t(color), int32_t(shadowColor), int32_t(outlineColor),
                int32_t((uint32_t(m_flags) << 24) | (uint32_t(m_height) << 16) | code)};
    GlyphCache& cache = Glyphs();
    auto hit = cache.find(key);
    if (hit != cache.end()) return hit->second;

    CAtlas& atlas = AtlasOfSize();
    const int32_t extra = ((m_flags & kShadow) ? 1 : 0) + ((m_flags & kOutline) ? 2 : 0);
    SGlyphLevels levels;
    if (!IsRendered()) {
        if (!SystemGlyph(code, levels.alpha, levels.w, levels.h, levels.x0, levels.y0, levels.cellWidth,
                         levels.cellHeight))
            return CClippedSurface();
    } else {
        CClippedSurface finished;
        switch (RenderedGlyph(code, atlas, extra, levels, finished)) {
            case kNoGlyph: return CClippedSurface();
            case kFinishedCell:
                if (finished.IsEmpty()) return finished;
                return cache[key] = finished;
            case kGlyphLevels: break;
        }
    }

    CClippedSurface cell = atlas.Allocate(levels.cellWidth + extra, levels.cellHeight + extra);
    if (cell.IsEmpty()) return cell;  // larger than a page: nothing cached
    const bool lines = m_flags & (kUnderline | kStrikeout);
    if (IsRendered() || (code != 32 && code != 0x8140) || lines)
        DrawEffects(cell, levels, color, shadowColor, outlineColor);
    return cache[key] = cell;
}

CFontRenderer::CAtlas& CFontRenderer::AtlasOfSize() {
    std::shared_ptr<CAtlas>& atlas = Atlases()[m_height >> 3];
    if (!atlas) {
        atlas = std::make_shared<CAtlas>(m_surfaceFactory, kPageSize, kPageSize);
    } else {
        atlas->SetFactory(m_surfaceFactory);  // the renderer that made it may be gone
    }
    return *atlas;
}

CFontRenderer::GlyphSource CFontRenderer::RenderedGlyph(uint16_t code, CAtlas& atlas, int32_t extra,
                                                        SGlyphLevels& levels, CClippedSurface& finished) {
    CRenderedFontFile file(m_fileFactory);
    if (file.OpenGlyph(m_renderedFile, code)) {
        int32_t blankWidth = 0;
        if (code == 0x8140) {
            blankWidth = m_height + extra;
        } else if (code == 32) {
            blankWidth = (m_height + 1) / 2 + extra;
        } else {
            return kNoGlyph;
        }
        finished = atlas.Allocate(blankWidth, m_height + extra);
        return kFinishedCell;
    }
    CSurface image;
    if (!m_loaders || m_loaders->Load(&image, &file)) return kNoGlyph;
    if (m_color32) {
        // A finished image: copied as it is, no colours or effects.
        if (image.GetPixelBits() != ISurface::kPixel32Alpha) return kNoGlyph;
        finished = atlas.Allocate(image.GetWidth(), image.GetHeight());
        if (finished.IsEmpty()) return kFinishedCell;
        ISurface& page = *finished.GetSurface();
        page.Lock();
        for (int32_t y = 0; y < image.GetHeight(); ++y)
            std::copy_n(image.GetLine(y), 4 * image.GetWidth(), Pixel(page, finished.GetRect(), 0, y));
        page.Unlock();
        return kFinishedCell;
    }
    if (image.GetPixelBits() != ISurface::kPixel8) return kNoGlyph;
    const int32_t w = image.GetWidth(), h = image.GetHeight();
    levels.w = levels.cellWidth = w;
    levels.h = levels.cellHeight = h;
    levels.alpha.resize(size_t(w) * size_t(h));
    for (int32_t y = 0; y < h; ++y) std::copy_n(image.GetLine(y), w, &levels.alpha[size_t(y) * size_t(w)]);
    return kGlyphLevels;
}

namespace {

// The rows of one cell of an atlas page, 4 bytes a pixel.
struct CellPixels {
    std::vector<uint8_t*> rows;
    int32_t cw = 0, ch = 0;
    uint8_t* At(int32_t x, int32_t y) const { return rows[size_t(y)] + 4 * x; }
};

// The underline and strikeout, as rows of the cell (each drawn when its flag is set).
struct RuleLines {
    bool underline, strikeout;
    int32_t underlineRow, underlineSize, strikeoutRow, strikeoutSize;
};

void DrawLines(const CellPixels& cell, const RuleLines& lines, int32_t offset, const SColour& c) {
    auto solidRow = [&](int32_t row, int32_t) {
        for (int32_t x = 0; x < cell.cw; ++x) {
            uint8_t* p = cell.At(x, row);
            p[0] = c.b, p[1] = c.g, p[2] = c.r, p[3] = 255;
        }
    };
    if (lines.underline) ForRows(lines.underlineRow + offset, lines.underlineSize, cell.ch, solidRow);
    if (lines.strikeout) ForRows(lines.strikeoutRow + offset, lines.strikeoutSize, cell.ch, solidRow);
}

// The glyph in the shadow colour, moved s pixels right and down.
void DrawShadow(const CellPixels& cell, const SGlyphLevels& g, int32_t s, const SColour& shade) {
    for (int32_t y = 0; y < g.h && g.y0 + y + s < cell.ch; ++y) {
        for (int32_t x = 0; x < g.w && g.x0 + x + s < cell.cw; ++x) {
            const unsigned a = g.At(x, y);
            uint8_t* p = cell.At(g.x0 + x + s, g.y0 + y + s);
            p[0] = uint8_t(shade.b * a >> 8), p[1] = uint8_t(shade.g * a >> 8), p[2] = uint8_t(shade.r * a >> 8);
            p[3] = uint8_t(a);
        }
    }
}

// The rim: the glyph's eight neighbours one pixel around (the glyph drawn one pixel in),
// laid over the shadow when there is one.
void DrawOutline(const CellPixels& cell, const SGlyphLevels& g, const RuleLines& lines, const SColour& rim,
                 bool shadow) {
    const int32_t cw = cell.cw, ch = cell.ch;
    std::vector<uint8_t> mask(size_t(cw) * size_t(ch), 0);
    for (int32_t y = 0; y < g.h; ++y) {
        for (int32_t x = 0; x < g.w; ++x) {
            const uint8_t a = uint8_t(g.At(x, y));
            if (a == 0) continue;
            for (int32_t dy = 0; dy <= 2; ++dy) {
                const int32_t my = g.y0 + y + dy;
                if (my >= ch) break;
                uint8_t* maskRow = &mask[size_t(my) * size_t(cw)];
                for (int32_t dx = 0; dx <= 2; ++dx) {
                    const int32_t mx = g.x0 + x + dx;
                    if (mx >= cw) break;
                    if (dx == 1 && dy == 1) continue;
                    maskRow[mx] = std::max(maskRow[mx], a);
                }
            }
        }
    }
    auto maskLines = [&](int32_t first, int32_t count) {
        ForRows(first, count, ch, [&](int32_t row, int32_t) {
            std::fill_n(&mask[size_t(row) * size_t(cw)], cw, uint8_t(255));
            if (row + 2 < ch) std::fill_n(&mask[size_t(row + 2) * size_t(cw)], cw, uint8_t(255));
        });
    };
    if (lines.underline) maskLines(lines.underlineRow, lines.underlineSize);
    if (lines.strikeout) maskLines(lines.strikeoutRow, lines.strikeoutSize);
    for (int32_t y = 0; y < ch; ++y) {
        const uint8_t* maskRow = &mask[size_t(y) * size_t(cw)];
        uint8_t* p = cell.rows[size_t(y)];
        for (int32_t x = 0; x < cw; ++x, p += 4) {
            const unsigned m = maskRow[x];
            if (shadow) {
                p[0] = uint8_t((rim.b * m >> 8) + (p[0] * (255 - m) >> 8));
                p[1] = uint8_t((rim.g * m >> 8) + (p[1] * (255 - m) >> 8));
                p[2] = uint8_t((rim.r * m >> 8) + (p[2] * (255 - m) >> 8));
                p[3] = uint8_t(m + (p[3] * (255 - m) >> 8));
            } else {
                p[0] = uint8_t(rim.b * m >> 8), p[1] = uint8_t(rim.g * m >> 8), p[2] = uint8_t(rim.r * m >> 8);
                p[3] = uint8_t(m);
            }
        }
    }
}

// The glyph itself in the text colour, moved o pixels; over a shadow or rim it is blended.
void DrawFace(const CellPixels& cell, const SGlyphLevels& g, int32_t o, const SColour& text, bool over) {
    const uint8_t tc[3] = {text.b, text.g, text.r};
    for (int32_t y = 0; y < g.h && g.y0 + y + o < cell.ch; ++y) {
        for (int32_t x = 0; x < g.w && g.x0 + x + o < cell.cw; ++x) {
            const unsigned a = g.At(x, y);
            uint8_t* p = cell.At(g.x0 + x + o, g.y0 + y + o);
            if (!over) {
                p[0] = text.b, p[1] = text.g, p[2] = text.r, p[3] = uint8_t(a);
                continue;
            }
            const unsigned total = (a + (p[3] * (255 - a) >> 8)) & 0xFFu;
            if (total == 255) {
                p[0] = text.b, p[1] = text.g, p[2] = text.r;
            } else if (total != 0) {
                // Back to straight colour from the premultiplied sum.
                const double scale = total / 255.0;
                for (int k = 0; k < 3; ++k) {
                    const double v = ((tc[k] * a >> 8) + (p[k] * (255 - a) >> 8)) / scale;
                    p[k] = uint8_t(std::min(255.0, v));
                }
            }
            p[3] = uint8_t(total);
        }
    }
}

}  // namespace

void CFontRenderer::DrawEffects(const CClippedSurface& cell, const SGlyphLevels& levels, uint32_t color,
                                uint32_t shadowColor, uint32_t outlineColor) {
    const bool shadow = m_flags & kShadow;
    const bool outline = m_flags & kOutline;
    const RuleLines lines{bool(m_flags & kUnderline),
                          bool(m_flags & kStrikeout),
                          m_underlineRow,
                          m_underlineSize,
                          m_strikeoutRow,
                          m_strikeoutSize};
    ISurface& page = *cell.GetSurface();
    const CRect& rect = cell.GetRect();
    CellPixels pixels;
    pixels.cw = rect.GetWidth();
    pixels.ch = rect.GetHeight();
    page.Lock();
    pixels.rows.resize(static_cast<size_t>(pixels.ch));
    for (int32_t y = 0; y < pixels.ch; ++y) pixels.rows[size_t(y)] = page.GetLine(rect.GetY() + y) + 4 * rect.GetX();
    if (shadow) {
        const int32_t s = outline ? 3 : 1;
        const SColour shade(shadowColor);
        DrawShadow(pixels, levels, s, shade);
        DrawLines(pixels, lines, s, shade);
    }
    if (outline) DrawOutline(pixels, levels, lines, SColour(outlineColor), shadow);
    const int32_t o = outline ? 1 : 0;
    const SColour text(color);
    DrawFace(pixels, levels, o, text, shadow || outline);
    DrawLines(pixels, lines, o, text);
    page.Unlock();
}

void CFontRenderer::ResetCaches() {
    Glyphs().clear();
    Atlases().clear();
}

size_t CFontRenderer::GetCachedGlyphCount() { return Glyphs().size(); }

void EnumerateFonts(std::vector<std::string>& list, bool skipVertical, bool trueTypeOnly, bool fixedPitchOnly,
                    bool shiftJisOnly, int32_t encoding) {
    std::unique_ptr<ITextRasterizer> service = MakeTextRasterizer();
    if (!service) return;
    std::vector<ITextRasterizer::SFamily> families;
    service->ListFamilies(families);
    for (const ITextRasterizer::SFamily& f : families) {
        if (skipVertical && !f.name.empty() && f.name[0] == '@') continue;
        if ((trueTypeOnly && !f.outline) || (fixedPitchOnly && !f.fixedPitch) || (shiftJisOnly && !f.japanese))
            continue;
        std::string name = f.name;
        if (encoding == kEncodingShiftJis) {
            name = babel::utf8_to_sjis(f.name);
        } else if (encoding == kEncodingEucJp) {
            name = babel::utf8_to_euc(f.name);
        }
        // A name the encoding cannot spell could never be asked for.
        if (encoding != kEncodingUtf8 &&
            babel::unicode_to_utf8(encoding == kEncodingShiftJis ? babel::sjis_cp932_to_unicode(name)
                                                                 : babel::euc_to_unicode(name)) != f.name)
            continue;
        if (std::find(list.begin(), list.end(), name) == list.end()) list.push_back(name);
    }
}

}  // namespace kestrin
