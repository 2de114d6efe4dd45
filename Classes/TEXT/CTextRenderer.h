#pragma once
// The text object of a message layer: lays the script's text out in lines of blocks of
// characters (ruby over its base, words kept whole, prohibited characters kept off line
// starts and ends), aligns the lines in the text area, places the click-wait glyph, runs
// the appearing and clearing tweens of the characters and draws every character as a
// layer cut out of the glyph atlas. The tree is renderer > lines > blocks > characters.
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "GRAPHICS/CDisplayObject.h"

namespace kestrin {

class CFontRenderer;
class ILayer;
class ILayerFactory;

class CTextRenderer : public CDisplayObject, public virtual IDisplayObject {
public:
    // Style bits of CProperty::style.
    enum Style : uint32_t {
        kStyleSingle = 0x01,
        kStyleShadow = 0x02,
        kStyleOutline = 0x04,
        kStyleBold = 0x08,
        kStyleItalic = 0x10,
        kStyleUnderline = 0x20,
        kStyleStrikeout = 0x40,
    };
    enum Align : int32_t { kAlignLeft = 0, kAlignCenter = 1, kAlignRight = 2, kAlignEqualize = 3 };

    // Everything one message layer draws its text with. Scales are 16.16 fixed point,
    // colours 0xRRGGBB, faces in the game's encoding.
    class CProperty {
    public:
        // "ＭＳ ゴシック" in Shift_JIS, the encoding scripts are written in.
        static constexpr const char* kDefaultFace = "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E";

        int32_t left = 0;
        int32_t top = 0;
        int32_t width = 640;
        int32_t height = 480;
        int32_t entireAnchorX = 0;
        int32_t entireAnchorY = 0;
        bool anchorCenter = true;
        int32_t entireAlpha = 255;
        int32_t entireXScale = 0x10000;
        int32_t entireYScale = 0x10000;
        int32_t entireRotate = 0;
        int32_t layerMode = 0;  // 0 normal, 1 add, 2 multiply, 3 colour key, 4 screen
        bool visible = true;
        int32_t alpha = 255;
        int32_t xScale = 0x10000;
        int32_t yScale = 0x10000;
        int32_t rotate = 0;
        std::string face = kDefaultFace;
        std::string rubyFace = kDefaultFace;
        uint8_t size = 24;
        uint8_t rubySize = 8;
        int32_t spaceTop = 0;
        int32_t spaceMiddle = 0;
        int32_t spaceBottom = 0;
        int32_t kerning = 0;
        int32_t rubyKerning = 0;
        uint32_t color = 0xFFFFFF;
        uint32_t shadowColor = 0;
        uint32_t outlineColor = 0;
        int32_t align = kAlignLeft;
        uint32_t style = 0;
        bool vertical = false;
        bool hung = true;
        bool rendered = false;

        bool operator==(const CProperty& other) const;
        bool operator!=(const CProperty& other) const { return !(*this == other); }
    };

    // One tween preset: which property moves, by how much, how long, and the delay between
    // consecutive characters (or blocks, for the entire forms).
    class CTweenInfo {
    public:
        enum Param : int32_t { kX = 0, kY = 1, kAlpha = 2, kXScale = 3, kYScale = 4, kRotate = 5 };
        int32_t param = 6;
        bool entire = false;
        int32_t ease = 31;
        int32_t diff = 0;
        int32_t msec = 0;
        int32_t delay = 0;
        bool randomDelay = false;
        int32_t yoyo = 0;
        bool leave = false;
    };

    class COneLine : public CDisplayObject, public virtual IDisplayObject {
    public:
        class COneBlock : public CDisplayObject, public virtual IDisplayObject {
        public:
            class COneChar : public CDisplayObject, public virtual IDisplayObject {
            public:
                COneChar(CTextRenderer& renderer, int32_t code, bool ruby);
                ~COneChar() override = default;
                void OnUpdate(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;
                void OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;
                virtual void Arrange();
                virtual int32_t GetAdvance() const { return m_advance; }

                int32_t m_serial = 0;
                int32_t m_x = 0;
                int32_t m_y = 0;
                std::shared_ptr<ILayer> m_glyphLayer;
                int32_t m_advance = 0;
                int32_t m_alpha = 255;
                int32_t m_xScale = 0x10000;
                int32_t m_yScale = 0x10000;
                int32_t m_rotate = 0;
            };

            // Makes the characters through the renderer's CreateChar.
            COneBlock(CTextRenderer& renderer, const char* text, const char* ruby);
            ~COneBlock() override;
            void OnUpdate(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;
            void OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;
            virtual void Arrange();
            virtual void StartTween(CTextRenderer& renderer, const CTweenInfo& preset, int32_t& counter,
                                    std::set<int32_t>& ids);
            virtual void SetGlyph(const std::shared_ptr<IDisplayObject>& glyph, bool atStart);
            virtual int32_t GetFirstCharIndex() const;
            virtual int32_t GetLastCharIndex() const;

            int32_t m_width = 0;
            int32_t m_height = 0;
            int32_t m_x = 0;
            int32_t m_y = 0;
            int32_t m_kinsoku = 0;
            std::vector<COneChar*> m_chars;
            std::vector<COneChar*> m_rubyChars;
            int32_t m_entireAlpha = 255;
            int32_t m_entireXScale = 0x10000;
            int32_t m_entireYScale = 0x10000;
            int32_t m_entireRotate = 0;
            uint32_t m_style = 0;
            std::shared_ptr<IDisplayObject> m_glyph;
        };
        using COneChar = COneBlock::COneChar;

        COneLine() = default;
        ~COneLine() override;
        void OnUpdate(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;
        void OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;
        virtual void Arrange(const CProperty& property);
        virtual void StartTween(CTextRenderer& renderer, int32_t fromSerial, const CTweenInfo& preset, int32_t& counter,
                                std::set<int32_t>& ids);
        virtual void PushBlock(COneBlock* block);
        virtual COneBlock* PopBlock();
        virtual void Align(const CProperty& property);
        virtual void SetGlyph(const std::shared_ptr<IDisplayObject>& glyph);

        int32_t m_width = 0;
        int32_t m_height = 0;
        std::vector<COneBlock*> m_blocks;
        std::shared_ptr<IDisplayObject> m_glyph;
    };
    using COneBlock = COneLine::COneBlock;
    using COneChar = COneLine::COneBlock::COneChar;

    // Results of AddText and AddChars besides the character count.
    enum AddResult : int32_t { kTooWide = -1, kPageFull = -2 };

    // Neither is owned by the renderer alone: the font renderer is shared with clones, the
    // layer factory belongs to the screen.
    CTextRenderer(std::shared_ptr<CFontRenderer> fontRenderer, ILayerFactory* layerFactory);
    ~CTextRenderer() override;
    CTextRenderer(const CTextRenderer&) = delete;
    CTextRenderer& operator=(const CTextRenderer&) = delete;

    void OnUpdate(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;
    void OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;
    // A new, empty renderer over the same font renderer and layer factory.
    IDisplayObject* Clone(bool copyState) const override;

    // Empty sets take the defaults of the current encoding.
    virtual void SetProhibitChars(const std::set<std::string>& head, const std::set<std::string>& foot);
    virtual void ResetProhibitChars();
    virtual int32_t GetCharset() const { return m_charset; }
    virtual void SetCharset(int32_t charset);
    // True when the page is full (the block is then destroyed).
    virtual bool AddBlock(COneBlock* block);
    // Zero-terminated text in the charset. The character count, or kTooWide / kPageFull with
    // *rest (when given) at the first byte not laid out.
    virtual int32_t AddText(const char* text, const char** rest);
    virtual int32_t AddTextSimple(const char* text) { return AddText(text, nullptr); }
    virtual int32_t AddChars(const char* text, const char* ruby);
    virtual void NewLine();
    virtual void ClearWithTweens(const std::vector<CTweenInfo>& presets);
    virtual void Clear() { ClearWithTweens({}); }
    virtual void StartTweens(const std::vector<CTweenInfo>& presets, bool continued);
    virtual void FinishTweens();
    virtual void CompleteTweens();
    virtual int32_t GetCurrentLineIndex() const { return m_currentLine; }
    virtual int32_t GetCurrentLineBlockCount() const;
    virtual int32_t GetTextWidth() const;
    virtual int32_t GetTextHeight() const;
    virtual void SetGlyph(const std::shared_ptr<IDisplayObject>& glyph);
    virtual bool IsTweenDone() const;
    virtual bool IsClearTweenDone() const;
    virtual COneLine* CreateLine();
    virtual COneBlock* CreateBlock(const char* text, const char* ruby);
    virtual COneChar* CreateChar(int32_t code, bool ruby);
    virtual void Layout();

    // The registry counts ids from 0, so "no tween" needs its own value.
    static constexpr int32_t kNoTween = -1;
    // One registered tween of a preset on an object; kNoTween when the preset moves nothing.
    int32_t MakeCharTween(IDisplayObject* object, const CTweenInfo& preset, int32_t delay);
    // The delay of one tween: random below delay when asked for and delay is positive.
    int32_t PickDelay(const CTweenInfo& preset, int32_t counter);

    CProperty& GetProperty() { return m_property; }
    const CProperty& GetProperty() const { return m_property; }
    const std::set<std::string>& GetHeadSet() const { return m_headSet; }
    const std::set<std::string>& GetFootSet() const { return m_footSet; }
    int32_t GetCharCount() const { return m_charCount; }
    const std::vector<COneLine*>& GetLines() const { return m_lines; }
    const std::vector<COneLine*>& GetFadingLines() const { return m_fadingLines; }
    ILayerFactory* GetLayerFactory() const { return m_layerFactory; }
    // Bytes of the character at text in the charset: 0 at the terminator and for a multibyte
    // character cut short by it.
    static size_t CharLength(const char* text, int32_t charset);

protected:
    std::shared_ptr<CFontRenderer> m_fontRenderer;
    ILayerFactory* m_layerFactory;
    CProperty m_property;
    std::set<std::string> m_headSet;
    std::set<std::string> m_footSet;
    int32_t m_charset = 0;
    bool m_layoutValid = false;
    bool m_afterNewLine = false;
    bool m_carried = false;
    int32_t m_currentLine = 0;
    int32_t m_finishedHeight = 0;
    int32_t m_charCount = 0;
    int32_t m_firstUntweened = 0;
    std::vector<COneLine*> m_lines;
    std::vector<COneLine*> m_fadingLines;
    std::set<int32_t> m_tweenIds;
    std::set<int32_t> m_clearTweenIds;
    uint32_t m_random = 0x2545F491u;
    // The click-wait glyph placed last and its own position, to which its place is added.
    std::shared_ptr<IDisplayObject> m_glyph;
    int32_t m_glyphOwnX = 0;
    int32_t m_glyphOwnY = 0;

private:
    // The default height of an empty line with the property's font.
    static int32_t EmptyLineHeight(const CProperty& property);
    static void DestroyLines(std::vector<COneLine*>& lines);
    void FinishClearTweens();
    friend class COneLine::COneBlock;
};

}  // namespace kestrin
