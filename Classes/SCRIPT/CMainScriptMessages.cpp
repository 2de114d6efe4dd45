// The interpreter's side of the ruby, font and click-wait glyph tags (tags/CMessageTags.cpp
// holds them and their state): the handlers the tag table names and the glyph calls of the
// frame loop forward to the family, which reaches the interpreter through IMessageTagHost.
#include <utility>

#include "GRAPHICS/CMainScreen.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/tags/CMessageTags.h"
#include "TEXT/CLinkableTextRenderer.h"

namespace kestrin {

bool CMainScript::TagGlyph(CScriptBlock block, bool replay) { return m_messages->TagGlyph(std::move(block), replay); }
bool CMainScript::TagFont(CScriptBlock block, bool replay) { return m_messages->TagFont(std::move(block), replay); }
bool CMainScript::TagFontEnd(CScriptBlock block, bool replay) {
    return m_messages->TagFontEnd(std::move(block), replay);
}

void CMainScript::ShowGlyph() { m_messages->ShowGlyph(); }
void CMainScript::HideGlyph() { m_messages->HideGlyph(); }
void CMainScript::HideGlyphLayers() { m_messages->HideGlyphLayers(); }
CMainScript::FontStackMap& CMainScript::GetLayerFontStacks() { return m_messages->GetFontStacks(); }

CLinkableTextRenderer* CMainScript::GetTextLayer() const { return GetMessageLayer(); }

CLinkableTextRenderer* CMainScript::FindTextLayer(const std::string& name) const {
    if (!m_screen) return nullptr;
    auto it = m_screen->GetMessageLayers().find(name);
    return it != m_screen->GetMessageLayers().end() ? CLinkableTextRenderer::Of(it->second.renderer.get()) : nullptr;
}

const std::string& CMainScript::GetTextLayerName() const { return m_state.messageLayerName; }
bool CMainScript::IsTextPageEmpty() const { return IsMessagePageEmpty(); }
void CMainScript::RecordTextBlock(const CScriptBlock& block) { RecordPageBlock(block); }

void CMainScript::RecordPageFonts(const std::string& layer, const std::deque<CFontProperty>& stack) {
    GetSaveData().GetFontStacks()[layer] = stack;
}

void CMainScript::BreakPageBefore(const CScriptBlock& block) {
    m_variables->SetInt("s.overflowed", 1);
    m_state.caret.queue.emplace_back(CScriptBlock::kTag, 0, "@");
    m_state.caret.queue.emplace_back(CScriptBlock::kTag, 0, "rp");
    m_state.caret.queue.push_back(block);
}

CFontProperty& CMainScript::GetDefaultTextFont() { return m_state.defaultFont; }
std::map<std::string, CGlyphInfo>& CMainScript::GetClickGlyphs() { return m_state.glyphSettings; }
bool CMainScript::IsCaretGlyphShown() const { return m_state.caret.glyphShown; }
void CMainScript::ClearCaretGlyphShown() { m_state.caret.glyphShown = false; }

// The "@" may be the last block of its file: then there is no next block to look at.
bool CMainScript::IsPageEndNext() {
    BlockList& blocks = GetScriptBlocks(m_state.caret.file);
    return m_state.caret.index >= 0 && blocks.HasBlock(static_cast<size_t>(m_state.caret.index)) &&
           blocks[m_state.caret.index]->GetName() == "rp";
}

COruLayer* CMainScript::GetGlyphRoot() const { return m_screen ? m_screen->GetRootLayer() : nullptr; }

}  // namespace kestrin
