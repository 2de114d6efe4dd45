// The ruby, font and click-wait glyph tags with the state they keep (CMessageTags.h).
#include "SCRIPT/tags/CMessageTags.h"

#include <cstdarg>

#include "CORE/CPoint.h"
#include "GRAPHICS/COruLayer.h"
#include "SCRIPT/CScriptState.h"
#include "SCRIPT/IMessageTagHost.h"
#include "SCRIPT/tags/TagAttributes.h"
#include "SCRIPT/tags/TagMessages.h"
#include "TEXT/CLinkableTextRenderer.h"

namespace kestrin {

CMessageTags::CMessageTags(IMessageTagHost& host) : m_host(host) {}

CMessageTags::~CMessageTags() = default;

void CMessageTags::TraceAt(int level, const CScriptBlock& block, const char* format, ...) {
    va_list args;
    va_start(args, format);
    m_host.TraceTagAt(level, block, format, args);
    va_end(args);
}

void CMessageTags::Reset() {
    m_rubyCollecting = false;
    m_rubyBase.clear();
    m_rubyText.clear();
    m_fontStacks.clear();
}

// --- Fonts ---

void CMessageTags::EnsureFontStack(const std::string& layer) {
    if (m_fontStacks.count(layer)) return;
    CFontProperty property;
    if (CLinkableTextRenderer* renderer = m_host.FindTextLayer(layer))
        property = CFontProperty(renderer->GetProperty());
    auto& stack = m_fontStacks[layer];
    stack.push_back(property);
    m_host.RecordPageFonts(layer, stack);
}

std::deque<CFontProperty>& CMessageTags::CurrentFontStack() {
    const std::string& layer = m_host.GetTextLayerName();
    EnsureFontStack(layer);
    return m_fontStacks[layer];
}

bool CMessageTags::TagFont(CScriptBlock block, bool replay) {
    CLinkableTextRenderer* layer = m_host.GetTextLayer();
    auto& stack = CurrentFontStack();
    CFontProperty property = layer           ? CFontProperty(layer->GetProperty())
                             : stack.empty() ? CFontProperty()
                                             : stack.back();
    property.SetParams(block.GetAttributes());
    if (layer) layer->GetProperty() = property;
    if (stack.empty() || !block.HasAttribute("stack") || block.GetAttribute("stack") != "0") {
        stack.push_back(property);
    } else {
        stack.back() = property;
    }
    if (!replay) m_host.RecordTextBlock(block);
    return false;
}

bool CMessageTags::TagFontEnd(CScriptBlock block, bool replay) {
    auto& stack = CurrentFontStack();
    if (stack.size() <= 1) {
        TraceAt(3, block, tagmsg::kFontUnpaired, block.GetName().c_str());
        return false;
    }
    stack.pop_back();
    if (CLinkableTextRenderer* layer = m_host.GetTextLayer()) layer->GetProperty() = stack.back();
    if (!replay) m_host.RecordTextBlock(block);
    return false;
}

bool CMessageTags::TagFontinit(CScriptBlock block, bool replay) {
    const CFontProperty& font = m_host.GetDefaultTextFont();
    if (CLinkableTextRenderer* layer = m_host.GetTextLayer()) layer->GetProperty() = font;
    auto& stack = CurrentFontStack();
    stack.clear();
    stack.push_back(font);
    if (!replay) m_host.RecordTextBlock(block);
    return false;
}

bool CMessageTags::TagFontdefault(CScriptBlock block, bool replay) {
    (void)replay;
    m_host.GetDefaultTextFont().SetParams(block.GetAttributes());
    return false;
}

// --- Ruby ---

bool CMessageTags::AddToRuby(const std::string& text) {
    if (!m_rubyCollecting) return false;
    m_rubyBase += text;
    return true;
}

bool CMessageTags::TagRuby(CScriptBlock block, bool replay) {
    if (m_rubyCollecting) {
        TraceAt(1, block, tagmsg::kRubyNested, block.GetName().c_str());
    } else {
        m_rubyCollecting = true;
        m_rubyBase.clear();
        m_rubyText = block.GetAttribute("text");
    }
    if (!replay) m_host.RecordTextBlock(block);
    return false;
}

bool CMessageTags::TagRubyEnd(CScriptBlock block, bool replay) {
    if (!m_rubyCollecting) {
        TraceAt(1, block, tagmsg::kRubyUnpaired, block.GetName().c_str());
        return false;
    }
    CLinkableTextRenderer* layer = m_host.GetTextLayer();
    const bool emptyPage = m_host.IsTextPageEmpty();
    int32_t result = layer ? layer->AddChars(m_rubyBase.c_str(), m_rubyText.c_str()) : 0;
    // A block that does not fit an empty page never will: retrying it would page forever.
    if (result == CTextRenderer::kPageFull && emptyPage) result = CTextRenderer::kTooWide;
    if (result == CTextRenderer::kPageFull) {
        // The run stays open: the queued "/ruby" lays it out at the top of the next page.
        TraceAt(2, block, tagmsg::kMessageLayerOverflow, m_rubyBase.c_str());
        m_host.BreakPageBefore(block);
        return false;
    }
    if (result == CTextRenderer::kTooWide) {
        TraceAt(2, block, tagmsg::kBlockTooWide, m_rubyBase.c_str());
    }
    m_rubyCollecting = false;
    if (!replay) m_host.RecordTextBlock(block);
    return false;
}

// --- The click-wait glyph ---

bool CMessageTags::TagGlyph(CScriptBlock block, bool replay) {
    (void)replay;
    CGlyphInfo& info = m_host.GetClickGlyphs()[m_host.GetTextLayerName()];
    std::string value;
    if (block.LacksAttribute("layer", value)) {
        info.lineGlyphSet = false;
    } else {
        info.lineGlyphSet = true;
        info.lineGlyphLayer = value;
        SetLayerVisible(value, false);
    }
    if (block.HasAttribute("left")) info.linePosition.SetX(TagInt(block, "left"));
    if (block.HasAttribute("top")) info.linePosition.SetY(TagInt(block, "top"));
    if (block.LacksAttribute("rplayer", value)) {
        info.pageGlyphSet = info.lineGlyphSet;
        info.pageGlyphLayer = info.lineGlyphLayer;
        info.pagePosition = info.linePosition;
    } else {
        info.pageGlyphSet = true;
        info.pageGlyphLayer = value;
        if (block.HasAttribute("rpleft")) info.pagePosition.SetX(TagInt(block, "rpleft"));
        if (block.HasAttribute("rptop")) info.pagePosition.SetY(TagInt(block, "rptop"));
        SetLayerVisible(value, false);
    }
    if (block.HasAttribute("homing")) info.homing = TagFlag(block, "homing");
    return false;
}

void CMessageTags::ShowGlyph() {
    if (m_host.IsCaretGlyphShown() || !m_shownGlyph.empty()) return;
    const bool pageWait = m_host.IsPageEndNext();
    auto& settings = m_host.GetClickGlyphs();
    auto it = settings.find(m_host.GetTextLayerName());
    if (it == settings.end()) return;
    const CGlyphInfo& info = it->second;
    bool set = pageWait ? info.pageGlyphSet : info.lineGlyphSet;
    const std::string& layer = pageWait ? info.pageGlyphLayer : info.lineGlyphLayer;
    if (!set || layer.empty()) return;
    m_shownGlyph = layer;
    ShowGlyphLayer(layer, pageWait ? info.pagePosition : info.linePosition, info.homing);
}

void CMessageTags::HideGlyph() {
    m_host.ClearCaretGlyphShown();
    if (m_shownGlyph.empty()) return;
    HideGlyphLayer(m_shownGlyph);
    m_shownGlyph.clear();
}

void CMessageTags::HideGlyphLayers() {
    for (const auto& glyph : m_host.GetClickGlyphs()) {
        if (!glyph.second.lineGlyphLayer.empty()) SetLayerVisible(glyph.second.lineGlyphLayer, false);
        if (!glyph.second.pageGlyphLayer.empty()) SetLayerVisible(glyph.second.pageGlyphLayer, false);
    }
}

std::shared_ptr<COruLayer> CMessageTags::FindGlyphLayer(const std::string& id) const {
    std::shared_ptr<COruLayer> node;
    COruLayer* root = m_host.GetGlyphRoot();
    if (!root || id.empty()) return node;
    if (root->FindLayer(id, node)) node.reset();
    return node;
}

void CMessageTags::SetLayerVisible(const std::string& id, bool visible) {
    if (auto node = FindGlyphLayer(id)) node->SetVisible(visible);
}

// A homing glyph leaves the root layer for the holder and is drawn by the message layer right
// after its last character; without a message layer it shows at its own place.
void CMessageTags::ShowGlyphLayer(const std::string& id, const CPoint& position, bool homing) {
    CLinkableTextRenderer* layer = m_host.GetTextLayer();
    if (!homing || !layer) {
        SetLayerVisible(id, true);
        return;
    }
    std::shared_ptr<COruLayer> node = FindGlyphLayer(id);
    if (!node) return;
    COruLayer* root = m_host.GetGlyphRoot();
    node->SetX(position.GetX());
    node->SetY(position.GetY());
    node->SetVisible(true);
    if (!m_glyphHolder) m_glyphHolder = std::make_shared<COruLayer>(root->GetSurfaceManager());
    m_glyphHolder->AddChild("", node);
    m_glyphHolder->Commit();
    layer->SetGlyph(node);
    root->AddChild(id, nullptr);
    root->Commit();
}

// A homing glyph goes back under the root layer at its id, hidden.
void CMessageTags::HideGlyphLayer(const std::string& id) {
    std::shared_ptr<COruLayer> node;
    if (m_glyphHolder) {
        node = std::dynamic_pointer_cast<COruLayer>(
            m_glyphHolder->GetChildren().count("") ? m_glyphHolder->GetChildren().at("") : nullptr);
    }
    if (!node) {
        SetLayerVisible(id, false);
        return;
    }
    node->SetVisible(false);
    m_glyphHolder->AddChild("", nullptr);
    m_glyphHolder->Commit();
    if (CLinkableTextRenderer* layer = m_host.GetTextLayer()) layer->SetGlyph(nullptr);
    if (COruLayer* root = m_host.GetGlyphRoot()) root->AddChild(id, node);
}

}  // namespace kestrin
