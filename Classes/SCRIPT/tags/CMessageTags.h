#pragma once
// The message tags that keep state of their own: the open ruby run, the font stacks of the
// message layers and the click-wait glyph on show.
//
// Ruby: "ruby" opens a run that gathers the text up to "/ruby", which lays it out with the
// ruby text above it (a run that does not fit the page waits for the next one). Fonts: each
// message layer has a stack whose top is its text property; "font" pushes a changed copy (or
// changes the top with stack=0), "/font" pops, "fontinit" starts again from the default font
// "fontdefault" sets. Glyph: "glyph" sets the current layer's line and page glyphs; the frame
// loop shows the one due while the caret waits for a click and hides it when the wait ends.
// A homing glyph leaves the layer tree for the time it shows and is drawn by the message
// layer right after its last character.
//
// The other message layer tags (layer changes, line and page ends, the backlog, links,
// prohibited characters, text tweens) keep nothing but the saved state and stay with the
// interpreter. Everything else of the interpreter is reached through IMessageTagHost.
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "SCRIPT/CScriptBlock.h"
#include "TEXT/CFontProperty.h"

namespace kestrin {

class COruLayer;
class CPoint;
class IMessageTagHost;

class CMessageTags {
public:
    // Per message layer name: the font stack whose top is the layer's text property.
    using FontStackMap = std::map<std::string, std::deque<CFontProperty>>;

    // The host outlives the family.
    explicit CMessageTags(IMessageTagHost& host);
    ~CMessageTags();
    CMessageTags(const CMessageTags&) = delete;
    CMessageTags& operator=(const CMessageTags&) = delete;

    // The handlers, in the interpreter's handler form (false: the script goes on).
    bool TagGlyph(CScriptBlock block, bool replay);
    bool TagFont(CScriptBlock block, bool replay);
    bool TagFontEnd(CScriptBlock block, bool replay);
    bool TagFontinit(CScriptBlock block, bool replay);
    bool TagFontdefault(CScriptBlock block, bool replay);
    bool TagRuby(CScriptBlock block, bool replay);
    bool TagRubyEnd(CScriptBlock block, bool replay);

    // A boot: an open ruby run is dropped and every font stack forgotten (the glyph goes
    // with HideGlyph).
    void Reset();
    // While a ruby run is open, text goes to its base instead of the layer: true then.
    bool AddToRuby(const std::string& text);

    // Gives a message layer its font stack (one copy of its text property) and the page
    // start copy of it, the first time the layer is current.
    void EnsureFontStack(const std::string& layer);
    // The current layer's font stack (made when missing).
    std::deque<CFontProperty>& CurrentFontStack();
    FontStackMap& GetFontStacks() { return m_fontStacks; }

    // Shows the current layer's line or page glyph (the page one when the caret's next block
    // ends the page), unless one shows or the caret's wait shows none.
    void ShowGlyph();
    // Hides the glyph on show and clears the caret's glyph flag.
    void HideGlyph();
    // Hides every glyph layer of the glyph settings (a restored game waits without them).
    void HideGlyphLayers();

private:
    // The node at a dotted id under the layer tree's root, or null.
    std::shared_ptr<COruLayer> FindGlyphLayer(const std::string& id) const;
    void SetLayerVisible(const std::string& id, bool visible);
    void ShowGlyphLayer(const std::string& id, const CPoint& position, bool homing);
    void HideGlyphLayer(const std::string& id);
    void TraceAt(int level, const CScriptBlock& block, const char* format, ...) __attribute__((format(printf, 4, 5)));

    IMessageTagHost& m_host;
    bool m_rubyCollecting = false;
    std::string m_rubyBase;
    std::string m_rubyText;
    FontStackMap m_fontStacks;
    std::string m_shownGlyph;
    std::shared_ptr<COruLayer> m_glyphHolder;  // keeps a homing glyph while the text draws it
};

}  // namespace kestrin
