#pragma once
// The glyph source of the message text. A font is opened by face, cell height and style
// (or as a pre-rendered ".rft" font); each glyph is drawn once, with its shadow, outline,
// underline and strikeout composed in, into a cell of a shared 512 x 512 atlas page, and
// kept for the life of the process. Pages are shared by every font of one size class
// (height / 8). System faces come from the font service (CORE/Platform/ITextRasterizer.h).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "GRAPHICS/CRect.h"

namespace kestrin {

class CFileFactory;
class CGraphicLoaders;
class ISurface;
class ISurfaceFactory;
class ITextRasterizer;
struct SGlyphLevels;  // a glyph's alpha levels in its cell, known only to the drawing code

class CFontRenderer {
public:
    enum Flags : uint8_t {
        kBold = 0x01,
        kItalic = 0x02,
        kUnderline = 0x04,
        kStrikeout = 0x08,
        kShadow = 0x10,
        kOutline = 0x20,
        kRendered = 0x80,
    };
    static constexpr int32_t kPageSize = 512;

    // A rectangle of an atlas page; no surface for an empty cell. Copies share the page.
    class CClippedSurface {
    public:
        CClippedSurface() = default;
        CClippedSurface(std::shared_ptr<ISurface> surface, const CRect& rect)
            : m_surface(std::move(surface)), m_rect(rect) {}
        CClippedSurface(const CClippedSurface&) = default;
        CClippedSurface& operator=(const CClippedSurface&) = default;
        virtual ~CClippedSurface() = default;

        const std::shared_ptr<ISurface>& GetSurface() const { return m_surface; }
        const CRect& GetRect() const { return m_rect; }
        bool IsEmpty() const { return !m_surface; }

    private:
        std::shared_ptr<ISurface> m_surface;
        CRect m_rect;
    };

    // Cells packed row by row, edge to edge, into pages of 32-bit pixels; a full page is
    // replaced by a new one (cells already handed out keep theirs).
    class CAtlas {
    public:
        CAtlas(ISurfaceFactory* factory, int32_t width, int32_t height);
        virtual ~CAtlas() = default;
        // A cell larger than a page cannot be had: the result is empty.
        CClippedSurface Allocate(int32_t width, int32_t height);
        int32_t GetPageCount() const { return m_pages; }
        // The table of atlases outlives the renderers: pages from now on come from this one.
        void SetFactory(ISurfaceFactory* factory) { m_factory = factory; }

    private:
        bool NewPage();

        ISurfaceFactory* m_factory;
        int32_t m_width;
        int32_t m_height;
        std::shared_ptr<ISurface> m_page;
        int32_t m_rowHeight = 0;
        int32_t m_x = 0;
        int32_t m_y = 0;
        int32_t m_pages = 0;
    };

    struct FontKey {
        std::string face;
        int32_t color;
        int32_t shadowColor;
        int32_t outlineColor;
        int32_t packed;  // flags << 24 | height << 16 | code
    };
    struct FontKeyHash {
        size_t operator()(const FontKey& key) const;
    };
    struct FontKeyEqual {
        bool operator()(const FontKey& a, const FontKey& b) const;
    };

    // None of the three is owned.
    CFontRenderer(ISurfaceFactory* surfaceFactory, CGraphicLoaders* loaders, CFileFactory* fileFactory);
    virtual ~CFontRenderer();
    CFontRenderer(const CFontRenderer&) = delete;
    CFontRenderer& operator=(const CFontRenderer&) = delete;

    // Text encoding of codes and face names: 0 Shift_JIS, 1 EUC-JP, 2 UTF-8.
    CFontRenderer* SetCharset(int32_t charset);
    int32_t GetCharset() const { return m_charset; }

    // True on failure. Closes the open font and clears every flag (shadow and outline too).
    bool OpenFont(bool rendered, const std::string& face, int32_t charset, uint8_t height, bool bold, bool italic,
                  bool underline, bool strikeout);
    bool OpenFontDefault(bool rendered, const std::string& face, int32_t charset, uint8_t height, bool bold,
                         bool italic, bool underline, bool strikeout);
    void CloseFont();
    void SetShadow(bool on);
    void SetOutline(bool on);

    uint8_t GetHeight() const { return m_height; }
    const std::string& GetFaceName() const { return m_face; }
    const std::string& GetRenderedFileName() const { return m_renderedFile; }
    uint8_t GetFlags() const { return m_flags; }
    bool IsBold() const { return m_flags & kBold; }
    bool IsItalic() const { return m_flags & kItalic; }
    bool IsUnderline() const { return m_flags & kUnderline; }
    bool IsStrikeout() const { return m_flags & kStrikeout; }
    bool IsShadow() const { return m_flags & kShadow; }
    bool IsRendered() const { return m_flags & kRendered; }
    bool IsColor32() const { return m_color32; }
    int32_t GetAscent() const { return m_ascent; }
    int32_t GetHalfSpace() const { return m_halfSpace; }
    int32_t GetFullSpace() const { return m_fullSpace; }
    int32_t GetUnderlineRow() const { return m_underlineRow; }
    int32_t GetUnderlineSize() const { return m_underlineSize; }
    int32_t GetStrikeoutRow() const { return m_strikeoutRow; }
    int32_t GetStrikeoutSize() const { return m_strikeoutSize; }

    // The code of the first character of zero-terminated text in the charset (Shift_JIS and
    // EUC-JP: lead byte x 256 + trail byte; UTF-8: the UTF-16 unit, kept to 16 bits).
    int32_t GetCharCode(const char* text) const;
    // The cell of a character in these colours (0xRRGGBB); empty when there is no glyph.
    CClippedSurface GetGlyph(uint16_t code, uint32_t color, uint32_t shadowColor, uint32_t outlineColor);

    // Drops every cached cell and atlas (tests and benchmarks start cold with it).
    static void ResetCaches();
    // Glyph cells cached so far, process-wide.
    static size_t GetCachedGlyphCount();

private:
    // Fills levels (alpha 0-255) and the placement of a system-font glyph; false for an
    // empty cell.
    bool SystemGlyph(uint16_t code, std::vector<uint8_t>& alpha, int32_t& w, int32_t& h, int32_t& x0, int32_t& y0,
                     int32_t& cellWidth, int32_t& cellHeight);
    std::string FaceNameUtf8() const;

    enum GlyphSource { kNoGlyph, kGlyphLevels, kFinishedCell };
    // The shared atlas of the open height's size class.
    CAtlas& AtlasOfSize();
    // A glyph of the pre-rendered font: its levels, or (a blank space, a finished colour image)
    // the finished cell, which is empty when the atlas has no room for it.
    GlyphSource RenderedGlyph(uint16_t code, CAtlas& atlas, int32_t extra, SGlyphLevels& levels,
                              CClippedSurface& finished);
    // Draws the glyph with its shadow, outline and lines into the cell.
    void DrawEffects(const CClippedSurface& cell, const SGlyphLevels& levels, uint32_t color, uint32_t shadowColor,
                     uint32_t outlineColor);

    ISurfaceFactory* m_surfaceFactory;
    CGraphicLoaders* m_loaders;
    CFileFactory* m_fileFactory;
    int32_t m_charset = 0;
    std::string m_face;
    std::string m_renderedFile;
    uint8_t m_height = 0;
    uint8_t m_flags = 0;
    std::unique_ptr<ITextRasterizer> m_raster;
    bool m_faceOpen = false;  // a system face is open at a height above 0
    int32_t m_halfSpace = 0;
    int32_t m_fullSpace = 0;
    int32_t m_ascent = 0;
    int32_t m_strikeoutSize = 0;
    int32_t m_strikeoutRow = 0;
    int32_t m_underlineSize = 0;
    int32_t m_underlineRow = 0;
    bool m_color32 = false;
};

// Appends to list every installed face that passes the switches and is not listed yet
// (names in the given text encoding; no vertical "@" faces exist here).
void EnumerateFonts(std::vector<std::string>& list, bool skipVertical, bool trueTypeOnly, bool fixedPitchOnly,
                    bool shiftJisOnly, int32_t encoding = 0);

}  // namespace kestrin
