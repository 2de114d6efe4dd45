#pragma once
// What the ruby, font and click-wait glyph tags need of the interpreter that runs them, and
// nothing more: the message layers' text, the current layer's name and page, the saved font
// default, glyph settings and caret flag, the caret's next block, the layer tree's root and the
// script diagnostics. The interpreter implements it; tests fake it.
#include <cstdarg>
#include <deque>
#include <map>
#include <string>

namespace kestrin {

class CFontProperty;
class CGlyphInfo;
class CLinkableTextRenderer;
class COruLayer;
class CScriptBlock;

class IMessageTagHost {
public:
    virtual ~IMessageTagHost() = default;
    // The text of the current message layer, or null (no screen, or no layer yet).
    virtual CLinkableTextRenderer* GetTextLayer() const = 0;
    // The text of the message layer of that name, or null when there is none such.
    virtual CLinkableTextRenderer* FindTextLayer(const std::string& name) const = 0;
    // The name of the current message layer (saved with the game; may be empty).
    virtual const std::string& GetTextLayerName() const = 0;
    // Whether the current message layer's page holds nothing yet (true without a layer).
    virtual bool IsTextPageEmpty() const = 0;
    // Adds the block to the current message layer's page record, from which the backlog and
    // a loaded game rebuild the page.
    virtual void RecordTextBlock(const CScriptBlock& block) = 0;
    // Stores in the save data the font stack the layer's page starts with.
    virtual void RecordPageFonts(const std::string& layer, const std::deque<CFontProperty>& stack) = 0;
    // The page is full: sets "s.overflowed" and queues a click wait, a page end and then
    // block, which so runs again at the top of the next page.
    virtual void BreakPageBefore(const CScriptBlock& block) = 0;
    // The font "fontinit" returns a layer to (saved with the game; "fontdefault" changes it).
    virtual CFontProperty& GetDefaultTextFont() = 0;
    // The click-wait glyph settings per message layer name (saved with the game).
    virtual std::map<std::string, CGlyphInfo>& GetClickGlyphs() = 0;
    // The caret's flag (saved) that its click wait's glyph counts as shown: a "wait" for
    // input sets it, so that no glyph shows; hiding the glyph clears it.
    virtual bool IsCaretGlyphShown() const = 0;
    virtual void ClearCaretGlyphShown() = 0;
    // Whether the caret's next block is "rp": its click wait then ends a page and shows the
    // page glyph. False when the wait is the last block of its file.
    virtual bool IsPageEndNext() = 0;
    // The root of the screen's layer tree, under which glyph layers are found by dotted id;
    // null without a screen.
    virtual COruLayer* GetGlyphRoot() const = 0;
    // A diagnostic at the block's line of the running script, as the interpreter writes its
    // own: the format is engine text (UTF-8), the arguments are in the game's encoding.
    // Nothing is formatted while the trace would drop the level.
    virtual void TraceTagAt(int level, const CScriptBlock& block, const char* format, va_list args) = 0;
};

}  // namespace kestrin
