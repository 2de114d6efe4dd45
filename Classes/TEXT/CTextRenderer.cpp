#include "TEXT/CTextRenderer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <tuple>

#include "CORE/StringHelpers.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/ILayerFactory.h"
#include "GRAPHICS/TweenRegistry.h"
#include "TEXT/CFontRenderer.h"
#include "babel/babel.h"

namespace kestrin {

namespace {
auto Fields(const CTextRenderer::CProperty& p) {
    return std::tie(p.left, p.top, p.width, p.height, p.entireAnchorX, p.entireAnchorY, p.anchorCenter, p.entireAlpha,
                    p.entireXScale, p.entireYScale, p.entireRotate, p.layerMode, p.visible, p.alpha, p.xScale, p.yScale,
                    p.rotate, p.face, p.rubyFace, p.size, p.rubySize, p.spaceTop, p.spaceMiddle, p.spaceBottom,
                    p.kerning, p.rubyKerning, p.color, p.shadowColor, p.outlineColor, p.align, p.style, p.vertical,
                    p.hung, p.rendered);
}
}  // namespace

bool CTextRenderer::CProperty::operator==(const CProperty& other) const { return Fields(*this) == Fields(other); }

namespace {

// Prohibited characters of every encoding, then the full-width ones as Shift_JIS and UTF-8
// bytes (tools/gen_prohibit_chars.sh writes these lines from the character lists).
const char* const kHeadAscii[] = {"!", "?", "%", ")", "]", "}", ",", ".", ":", ";"};
const char* const kFootAscii[] = {"(", "[", "{"};
#include "TEXT/ProhibitChars.inc"

template <typename T>
void DeleteAll(std::vector<T*>& items) {
    for (T* item : items) delete item;
    items.clear();
}

}  // namespace

size_t CTextRenderer::CharLength(const char* text, int32_t charset) {
    if (!text || !*text) return 0;
    int trail = 0;
    if (!IsLeadByte(static_cast<unsigned char>(text[0]), &trail, charset)) return 1;
    for (int i = 1; i <= trail; ++i) {
        if (!text[i]) return 0;
    }
    return size_t(trail) + 1;
}

// ---- characters ----

CTextRenderer::COneLine::COneBlock::COneChar::COneChar(CTextRenderer& renderer, int32_t code, bool ruby) {
    const CProperty& p = renderer.m_property;
    m_serial = renderer.m_charCount;
    m_alpha = p.alpha;
    m_xScale = p.xScale;
    m_yScale = p.yScale;
    m_rotate = p.rotate;
    CFontRenderer::CClippedSurface cell =
        renderer.m_fontRenderer->GetGlyph(uint16_t(code), p.color, p.shadowColor, p.outlineColor);
    if (!cell.IsEmpty() && renderer.m_layerFactory) {
        m_glyphLayer = renderer.m_layerFactory->Create();
    }
    if (m_glyphLayer) {
        m_glyphLayer->SetSurface(cell.GetSurface());
        m_glyphLayer->SetClip(cell.GetRect());
        SetAnchorX(cell.GetRect().GetWidth() / 2);
        SetAnchorY(cell.GetRect().GetHeight() / 2);
        m_glyphLayer->SetLayerMode(p.layerMode);
        m_advance = cell.GetRect().GetWidth() + (ruby ? p.rubyKerning : p.kerning);
    }
    ++renderer.m_charCount;
}

void CTextRenderer::COneChar::Arrange() {
    SetX(m_x);
    SetY(m_y);
    SetAlpha(m_alpha);
    SetXScale(m_xScale);
    SetYScale(m_yScale);
    SetRotate(m_rotate);
}

void CTextRenderer::COneChar::OnUpdate(const CMatrix2D& worldMatrix, float alpha, int32_t) {
    if (m_glyphLayer) m_glyphLayer->Update(worldMatrix, alpha);
}

void CTextRenderer::COneChar::OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t) {
    if (m_glyphLayer) m_glyphLayer->Draw(worldMatrix, alpha);
}

// ---- blocks ----

namespace {

// Places a row at running sums, or spread with equal gaps over a wider span.
void PlaceRow(std::vector<CTextRenderer::COneChar*>& row, double gap) {
    double position = gap;
    for (CTextRenderer::COneChar* c : row) {
        c->m_x = int32_t(std::floor(position));
        position += c->GetAdvance() + gap;
    }
}

}  // namespace

CTextRenderer::COneLine::COneBlock::COneBlock(CTextRenderer& renderer, const char* text, const char* ruby) {
    const CProperty& p = renderer.m_property;
    m_entireAlpha = p.entireAlpha;
    m_entireXScale = p.entireXScale;
    m_entireYScale = p.entireYScale;
    m_entireRotate = p.entireRotate;
    m_style = p.style;
    if (!text) text = "";
    if (!ruby) ruby = "";
    if (renderer.m_afterNewLine) {
        renderer.m_afterNewLine = false;
    } else {
        const size_t n = CharLength(text, renderer.m_charset);
        if (n && !text[n]) {
            const std::string one(text, n);
            if (renderer.m_footSet.count(one))
                m_kinsoku = 2;
            else if (renderer.m_headSet.count(one))
                m_kinsoku = 1;
        }
    }
    CFontRenderer& font = *renderer.m_fontRenderer;
    auto makeRow = [&](const char* chars, const std::string& face, uint8_t size, bool isRuby,
                       std::vector<COneChar*>& row) {
        int32_t sum = 0;
        if (!*chars) return sum;
        const bool bold = p.style & kStyleBold, italic = p.style & kStyleItalic;
        const bool underline = p.style & kStyleUnderline, strikeout = p.style & kStyleStrikeout;
        if (font.GetFaceName() != face || font.GetHeight() != size || font.IsBold() != bold ||
            font.IsItalic() != italic || font.IsUnderline() != underline || font.IsStrikeout() != strikeout ||
            font.IsRendered() != p.rendered) {
            font.OpenFont(p.rendered, face, 128, size, bold, italic, underline, strikeout);
        }
        font.SetShadow(p.style & kStyleShadow);
        font.SetOutline(p.style & kStyleOutline);
        for (const char* c = chars; *c;) {
            const size_t n = CharLength(c, renderer.m_charset);
            if (!n) break;  // a character cut by the terminator ends the text
            char unit[8] = {};
            std::memcpy(unit, c, std::min(n, sizeof(unit) - 1));
            COneChar* made = renderer.CreateChar(font.GetCharCode(unit), isRuby);
            sum += made->GetAdvance();
            row.push_back(made);
            c += n;
        }
        return sum;
    };
    const int32_t baseSum = makeRow(text, p.face, p.size, false, m_chars);
    const int32_t rubySum = makeRow(ruby, p.rubyFace, p.rubySize, true, m_rubyChars);
    const int32_t baseWidth = m_chars.empty() ? 0 : baseSum - p.kerning;
    const int32_t rubyWidth = m_rubyChars.empty() ? 0 : rubySum - p.rubyKerning;
    if (rubyWidth > baseWidth) {
        m_width = rubySum;
        PlaceRow(m_rubyChars, 0);
        PlaceRow(m_chars, double(rubyWidth - baseWidth) / double(m_chars.size() + 1));
    } else if (baseWidth > rubyWidth) {
        m_width = baseSum;
        PlaceRow(m_chars, 0);
        PlaceRow(m_rubyChars, double(baseWidth - rubyWidth) / double(m_rubyChars.size() + 1));
    } else {
        m_width = baseSum;
        PlaceRow(m_chars, 0);
        PlaceRow(m_rubyChars, 0);
    }
    const bool shadow = p.style & kStyleShadow, outline = p.style & kStyleOutline;
    m_height = p.rubySize + p.spaceTop + p.spaceMiddle + p.size + p.spaceBottom + (shadow ? 2 : 0) + (outline ? 4 : 0);
    const int32_t baseY = p.rubySize + p.spaceTop + p.spaceMiddle + (shadow ? 1 : 0) + (outline ? 2 : 0);
    for (COneChar* c : m_chars) c->m_y = baseY;
    for (COneChar* c : m_rubyChars) c->m_y = p.spaceTop;
}

CTextRenderer::COneLine::COneBlock::~COneBlock() {
    DeleteAll(m_chars);
    DeleteAll(m_rubyChars);
}

void CTextRenderer::COneBlock::Arrange() {
    SetX(m_x);
    SetY(m_y);
    SetAlpha(m_entireAlpha);
    SetXScale(m_entireXScale);
    SetYScale(m_entireYScale);
    SetRotate(m_entireRotate);
    for (COneChar* c : m_chars) c->Arrange();
    for (COneChar* c : m_rubyChars) c->Arrange();
}

void CTextRenderer::COneBlock::OnUpdate(const CMatrix2D& worldMatrix, float alpha, int32_t) {
    for (COneChar* c : m_rubyChars) c->Update(worldMatrix, alpha);
    for (COneChar* c : m_chars) c->Update(worldMatrix, alpha);
    if (m_glyph) m_glyph->Update(worldMatrix, alpha);
}

void CTextRenderer::COneBlock::OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t) {
    for (COneChar* c : m_rubyChars) c->Draw(worldMatrix, alpha);
    for (COneChar* c : m_chars) c->Draw(worldMatrix, alpha);
    if (m_glyph) m_glyph->Draw(worldMatrix, alpha);
}

void CTextRenderer::COneBlock::StartTween(CTextRenderer& renderer, const CTweenInfo& preset, int32_t& counter,
                                          std::set<int32_t>& ids) {
    auto keep = [&ids](int32_t id) {
        if (id != kNoTween) ids.insert(id);
    };
    if (preset.entire) {
        keep(renderer.MakeCharTween(this, preset, renderer.PickDelay(preset, counter)));
        counter += int32_t(m_chars.size()) * preset.delay;
        return;
    }
    const int32_t start = counter;
    for (COneChar* c : m_chars) {
        if (c->m_glyphLayer) keep(renderer.MakeCharTween(c, preset, renderer.PickDelay(preset, counter)));
        counter += preset.delay;
    }
    if (m_rubyChars.empty()) return;
    const int32_t step = (counter - start) / int32_t(m_rubyChars.size());
    int32_t running = start;
    for (COneChar* c : m_rubyChars) {
        if (c->m_glyphLayer) keep(renderer.MakeCharTween(c, preset, renderer.PickDelay(preset, running)));
        running += step;
    }
}

// The place is added to the glyph's own position: its left and top move it from there.
void CTextRenderer::COneBlock::SetGlyph(const std::shared_ptr<IDisplayObject>& glyph, bool atStart) {
    m_glyph = glyph;
    if (!glyph) return;
    glyph->SetX(glyph->GetX() + (atStart ? 0 : m_width));
    glyph->SetY(glyph->GetY() + (atStart ? m_height : 0));
}

int32_t CTextRenderer::COneBlock::GetFirstCharIndex() const { return m_chars.empty() ? 0 : m_chars.front()->m_serial; }

int32_t CTextRenderer::COneBlock::GetLastCharIndex() const {
    if (!m_rubyChars.empty()) return m_rubyChars.back()->m_serial;
    return m_chars.empty() ? 0 : m_chars.back()->m_serial;
}

// ---- lines ----

CTextRenderer::COneLine::~COneLine() { DeleteAll(m_blocks); }

void CTextRenderer::COneLine::OnUpdate(const CMatrix2D& worldMatrix, float alpha, int32_t) {
    for (COneBlock* b : m_blocks) b->Update(worldMatrix, alpha);
    if (m_glyph) m_glyph->Update(worldMatrix, alpha);
}

void CTextRenderer::COneLine::OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t) {
    for (COneBlock* b : m_blocks) b->Draw(worldMatrix, alpha);
    if (m_glyph) m_glyph->Draw(worldMatrix, alpha);
}

void CTextRenderer::COneLine::Arrange(const CProperty& p) {
    SetAnchorX(p.left - GetX());
    SetAnchorY(p.top - GetY());
    for (COneBlock* b : m_blocks) {
        b->SetAnchorX(p.entireAnchorX - b->m_x);
        b->SetAnchorY(p.entireAnchorY + p.top - GetY() - b->m_y);
        b->Arrange();
    }
}

void CTextRenderer::COneLine::StartTween(CTextRenderer& renderer, int32_t fromSerial, const CTweenInfo& preset,
                                         int32_t& counter, std::set<int32_t>& ids) {
    for (COneBlock* b : m_blocks) {
        if (b->GetFirstCharIndex() >= fromSerial) b->StartTween(renderer, preset, counter, ids);
    }
}

void CTextRenderer::COneLine::PushBlock(COneBlock* block) {
    m_width += block->m_width;
    m_height = std::max(m_height, block->m_height);
    m_blocks.push_back(block);
}

CTextRenderer::COneBlock* CTextRenderer::COneLine::PopBlock() {
    if (m_blocks.empty()) return nullptr;
    COneBlock* block = m_blocks.back();
    m_blocks.pop_back();
    m_width -= block->m_width;
    m_height = 0;
    for (COneBlock* b : m_blocks) m_height = std::max(m_height, b->m_height);
    return block;
}

void CTextRenderer::COneLine::Align(const CProperty& p) {
    int32_t mode = p.align;
    const int32_t count = int32_t(m_blocks.size());
    if (mode == kAlignEqualize && count < 2) mode = kAlignLeft;
    if (mode == kAlignEqualize) {
        const double gap = double(p.width - m_width) / double(count - 1);
        double position = 0;
        for (COneBlock* b : m_blocks) {
            b->m_x = int32_t(std::floor(position));
            position += b->m_width + gap;
        }
    } else {
        int32_t x = mode == kAlignCenter ? (p.width - m_width) / 2 : mode == kAlignRight ? p.width - m_width : 0;
        for (COneBlock* b : m_blocks) {
            b->m_x = x;
            x += b->m_width;
        }
    }
    if (m_height == 0) m_height = EmptyLineHeight(p);
    for (COneBlock* b : m_blocks) b->m_y = m_height - b->m_height;
    if (p.vertical) SetRotate(90);
}

// At the line's origin the glyph keeps its own position.
void CTextRenderer::COneLine::SetGlyph(const std::shared_ptr<IDisplayObject>& glyph) { m_glyph = glyph; }

// ---- the renderer ----

int32_t CTextRenderer::EmptyLineHeight(const CProperty& p) {
    return p.size + p.rubySize + p.spaceTop + p.spaceMiddle + p.spaceBottom + ((p.style & kStyleShadow) ? 2 : 0) +
           ((p.style & kStyleOutline) ? 4 : 0);
}

void CTextRenderer::DestroyLines(std::vector<COneLine*>& lines) { DeleteAll(lines); }

CTextRenderer::CTextRenderer(std::shared_ptr<CFontRenderer> fontRenderer, ILayerFactory* layerFactory)
    : m_fontRenderer(std::move(fontRenderer)), m_layerFactory(layerFactory) {
    m_lines.push_back(CreateLine());
    ResetProhibitChars();
}

CTextRenderer::~CTextRenderer() {
    // The tweens write into the characters and blocks about to go.
    FinishTweens();
    FinishClearTweens();
    DestroyLines(m_lines);
    DestroyLines(m_fadingLines);
}

IDisplayObject* CTextRenderer::Clone(bool) const { return new CTextRenderer(m_fontRenderer, m_layerFactory); }

void CTextRenderer::SetProhibitChars(const std::set<std::string>& head, const std::set<std::string>& foot) {
    m_headSet.clear();
    m_footSet.clear();
    if (!head.empty()) {
        m_headSet = head;
    } else {
        m_headSet.insert(std::begin(kHeadAscii), std::end(kHeadAscii));
        if (m_charset == 0) m_headSet.insert(std::begin(kHeadSjis), std::end(kHeadSjis));
        if (m_charset == 2) m_headSet.insert(std::begin(kHeadUtf8), std::end(kHeadUtf8));
    }
    if (!foot.empty()) {
        m_footSet = foot;
    } else {
        m_footSet.insert(std::begin(kFootAscii), std::end(kFootAscii));
        if (m_charset == 0) m_footSet.insert(std::begin(kFootSjis), std::end(kFootSjis));
        if (m_charset == 2) m_footSet.insert(std::begin(kFootUtf8), std::end(kFootUtf8));
    }
}

void CTextRenderer::ResetProhibitChars() { SetProhibitChars({}, {}); }

namespace {

// The default face as the given encoding spells it.
std::string DefaultFace(int32_t charset) {
    const std::string sjis = CTextRenderer::CProperty::kDefaultFace;
    if (charset == 2) return babel::sjis_to_utf8(sjis);
    if (charset == 1) return babel::sjis_to_euc(sjis);
    return sjis;
}

}  // namespace

void CTextRenderer::SetCharset(int32_t charset) {
    // A face still at its default follows the encoding, so the font service can read it.
    const std::string oldDefault = DefaultFace(m_charset), newDefault = DefaultFace(charset);
    if (m_property.face == oldDefault) m_property.face = newDefault;
    if (m_property.rubyFace == oldDefault) m_property.rubyFace = newDefault;
    m_charset = charset;
    if (m_fontRenderer) m_fontRenderer->SetCharset(charset);
    ResetProhibitChars();
}

bool CTextRenderer::AddBlock(COneBlock* block) {
    m_layoutValid = false;
    COneLine* line = m_lines[size_t(m_currentLine)];
    const CProperty& p = m_property;
    if (line->m_width + block->m_width > p.width) {
        // The new line must fit before any block moves, so a full page loses nothing laid out.
        std::vector<COneBlock*> held;
        int32_t heldWidth = 0;
        for (size_t i = line->m_blocks.size(); i >= 2; --i) {
            COneBlock* last = line->m_blocks[i - 1];
            if (last->m_kinsoku != 2 || heldWidth + last->m_width + block->m_width > p.width) break;
            heldWidth += last->m_width;
            held.insert(held.begin(), last);
        }
        int32_t newHeight = block->m_height;
        for (COneBlock* b : held) newHeight = std::max(newHeight, b->m_height);
        const int32_t lineHeight = line->m_height ? line->m_height : EmptyLineHeight(p);
        if (m_finishedHeight + lineHeight + newHeight > p.height) {
            delete block;
            return true;
        }
        for (size_t i = 0; i < held.size(); ++i) line->PopBlock();
        line->Align(p);
        m_finishedHeight += line->m_height;
        ++m_currentLine;
        if (size_t(m_currentLine) >= m_lines.size()) m_lines.push_back(CreateLine());
        for (COneBlock* b : held) AddBlock(b);
        return AddBlock(block);
    }
    if (m_finishedHeight + block->m_height > p.height) {
        delete block;
        return true;
    }
    if (line->m_blocks.empty() && block->m_kinsoku == 1 && m_currentLine > 0) {
        COneLine* previous = m_lines[size_t(m_currentLine - 1)];
        if (p.hung && !m_carried && previous->m_width != 0 && p.width >= previous->m_width) {
            previous->PushBlock(block);
            previous->Align(p);
            --m_currentLine;
            m_finishedHeight -= previous->m_height;
            return false;
        }
        if (previous->m_blocks.size() > 1 &&
            m_finishedHeight + std::max(block->m_height, previous->m_blocks.back()->m_height) <= p.height) {
            m_carried = true;
            AddBlock(previous->PopBlock());
            previous->Align(p);
            return AddBlock(block);
        }
    }
    m_carried = false;
    line->PushBlock(block);
    return false;
}

int32_t CTextRenderer::AddText(const char* text, const char** rest) {
    if (!text) return m_charCount;
    char unit[1024];
    const char* p = text;
    while (*p) {
        size_t n = 0;
        int trail = 0;
        if (IsLeadByte(static_cast<unsigned char>(*p), &trail, m_charset)) {
            n = CharLength(p, m_charset);
            if (!n) break;  // cut short by the terminator: the text ends here
        } else if (std::isalpha(static_cast<unsigned char>(*p)) && static_cast<unsigned char>(*p) < 0x80) {
            while (n < sizeof(unit) - 1 && static_cast<unsigned char>(p[n]) < 0x80 &&
                   std::isalpha(static_cast<unsigned char>(p[n])))
                ++n;
        } else {
            n = 1;
        }
        std::memcpy(unit, p, n);
        unit[n] = 0;
        const int32_t result = AddChars(unit, "");
        if (result == kTooWide || result == kPageFull) {
            if (rest) *rest = p;
            return result;
        }
        p += n;
    }
    return m_charCount;
}

int32_t CTextRenderer::AddChars(const char* text, const char* ruby) {
    const int32_t count = m_charCount;
    COneBlock* block = CreateBlock(text, ruby);
    if (m_property.width < block->m_width) {
        delete block;
        m_charCount = count;
        return kTooWide;
    }
    if (AddBlock(block)) {
        m_charCount = count;
        return kPageFull;
    }
    return m_charCount;
}

void CTextRenderer::NewLine() {
    m_layoutValid = false;
    m_afterNewLine = true;
    COneLine* line = m_lines[size_t(m_currentLine)];
    line->Align(m_property);
    m_finishedHeight += line->m_height;
    ++m_currentLine;
    if (size_t(m_currentLine) >= m_lines.size()) m_lines.push_back(CreateLine());
}

void CTextRenderer::FinishClearTweens() {
    for (int32_t id : m_clearTweenIds) FinishTween(id);
    m_clearTweenIds.clear();
}

void CTextRenderer::ClearWithTweens(const std::vector<CTweenInfo>& presets) {
    if (m_charCount == 0 && m_currentLine == 0) return;
    FinishTweens();
    FinishClearTweens();
    DestroyLines(m_fadingLines);
    if (!presets.empty()) {
        Layout();
        for (const CTweenInfo& preset : presets) {
            int32_t counter = 0;
            for (COneLine* line : m_lines) line->StartTween(*this, 0, preset, counter, m_clearTweenIds);
        }
        m_fadingLines.swap(m_lines);
    } else {
        DestroyLines(m_lines);
    }
    m_lines.clear();
    m_layoutValid = false;
    m_charCount = 0;
    m_firstUntweened = 0;
    m_currentLine = 0;
    m_finishedHeight = 0;
    m_lines.push_back(CreateLine());
}

int32_t CTextRenderer::PickDelay(const CTweenInfo& preset, int32_t counter) {
    if (!preset.randomDelay || preset.delay <= 0) return counter;
    m_random ^= m_random << 13;
    m_random ^= m_random >> 17;
    m_random ^= m_random << 5;
    return int32_t(m_random % uint32_t(preset.delay));
}

int32_t CTextRenderer::MakeCharTween(IDisplayObject* object, const CTweenInfo& preset, int32_t delay) {
    std::function<void(int32_t)> setter;
    int32_t v = 0;
    // clang-format off
    switch (preset.param) {
        case CTweenInfo::kX: setter = [object](int32_t x) { object->SetX(x); }; v = object->GetX(); break;
        case CTweenInfo::kY: setter = [object](int32_t y) { object->SetY(y); }; v = object->GetY(); break;
        case CTweenInfo::kAlpha: setter = [object](int32_t a) { object->SetAlpha(a); }; v = object->GetAlpha(); break;
        case CTweenInfo::kXScale: setter = [object](int32_t s) { object->SetXScale(s); }; v = object->GetXScale(); break;
        case CTweenInfo::kYScale: setter = [object](int32_t s) { object->SetYScale(s); }; v = object->GetYScale(); break;
        case CTweenInfo::kRotate: setter = [object](int32_t r) { object->SetRotate(r); }; v = object->GetRotate(); break;
        default: return kNoTween;
    }
    // clang-format on
    int32_t from = v, to = v + preset.diff;
    if (!preset.leave) {
        setter(v + preset.diff);
        std::swap(from, to);
    }
    auto* tween = new TTween<int32_t>(setter, from, to, uint32_t(std::max(preset.msec, 0)), delay);
    tween->SetEase(preset.ease).SetYoyo(preset.yoyo);
    return RegisterTween(tween);
}

void CTextRenderer::StartTweens(const std::vector<CTweenInfo>& presets, bool continued) {
    Layout();
    if (!continued) m_firstUntweened = 0;
    for (const CTweenInfo& preset : presets) {
        int32_t counter = 0;
        for (COneLine* line : m_lines) line->StartTween(*this, m_firstUntweened, preset, counter, m_tweenIds);
    }
    m_firstUntweened = m_charCount;
}

void CTextRenderer::FinishTweens() {
    for (int32_t id : m_tweenIds) FinishTween(id);
    m_tweenIds.clear();
}

void CTextRenderer::CompleteTweens() {
    FinishTweens();
    m_layoutValid = false;
}

bool CTextRenderer::IsTweenDone() const {
    for (int32_t id : m_tweenIds) {
        if (IsTweenRegistered(id)) return false;
    }
    return true;
}

bool CTextRenderer::IsClearTweenDone() const {
    for (int32_t id : m_clearTweenIds) {
        if (IsTweenRegistered(id)) return false;
    }
    return true;
}

int32_t CTextRenderer::GetCurrentLineBlockCount() const {
    return int32_t(m_lines[size_t(m_currentLine)]->m_blocks.size());
}

int32_t CTextRenderer::GetTextWidth() const {
    int32_t widest = 0;
    for (int32_t i = 0; i <= m_currentLine && size_t(i) < m_lines.size(); ++i)
        widest = std::max(widest, m_lines[size_t(i)]->m_width);
    return widest;
}

int32_t CTextRenderer::GetTextHeight() const { return m_finishedHeight + m_lines[size_t(m_currentLine)]->m_height; }

void CTextRenderer::SetGlyph(const std::shared_ptr<IDisplayObject>& glyph) {
    for (COneLine* line : m_lines) {
        for (COneBlock* b : line->m_blocks) b->SetGlyph(nullptr, false);
        line->SetGlyph(nullptr);
    }
    // The glyph held goes back to its own position, so that placing it again, or placing it
    // after text was added, starts from there and not from its last place.
    if (m_glyph) {
        m_glyph->SetX(m_glyphOwnX);
        m_glyph->SetY(m_glyphOwnY);
    }
    m_glyph = glyph;
    if (!glyph) return;
    m_glyphOwnX = glyph->GetX();
    m_glyphOwnY = glyph->GetY();
    COneLine* line = m_lines[size_t(m_currentLine)];
    if (line->m_blocks.empty()) {
        line->SetGlyph(glyph);
        return;
    }
    const int32_t room = m_property.hung ? line->m_width : glyph->GetWidth() + line->m_width;
    if (m_property.width >= room)
        line->m_blocks.back()->SetGlyph(glyph, false);
    else
        line->m_blocks.front()->SetGlyph(glyph, true);
}

CTextRenderer::COneLine* CTextRenderer::CreateLine() { return new COneLine(); }

CTextRenderer::COneBlock* CTextRenderer::CreateBlock(const char* text, const char* ruby) {
    return new COneBlock(*this, text, ruby);
}

CTextRenderer::COneChar* CTextRenderer::CreateChar(int32_t code, bool ruby) { return new COneChar(*this, code, ruby); }

void CTextRenderer::Layout() {
    if (m_layoutValid) return;
    CProperty& p = m_property;
    COneLine* current = m_lines[size_t(m_currentLine)];
    if (!current->m_blocks.empty()) current->Align(p);
    int32_t y = p.top, widest = 0;
    for (COneLine* line : m_lines) {
        line->SetX(p.left);
        line->SetY(y);
        y += line->m_height;
        widest = std::max(widest, line->m_width);
    }
    if (p.anchorCenter) {
        if (p.align == kAlignLeft)
            p.entireAnchorX = widest / 2;
        else if (p.align == kAlignRight)
            p.entireAnchorX = p.width - widest / 2;
        else
            p.entireAnchorX = p.width / 2;
        p.entireAnchorY = (y - p.top) / 2;
    }
    for (COneLine* line : m_lines) line->Arrange(p);
    m_layoutValid = true;
}

void CTextRenderer::OnUpdate(const CMatrix2D& worldMatrix, float alpha, int32_t) {
    Layout();
    for (COneLine* line : m_fadingLines) line->Update(worldMatrix, alpha);
    for (COneLine* line : m_lines) line->Update(worldMatrix, alpha);
}

void CTextRenderer::OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t) {
    Layout();
    for (COneLine* line : m_fadingLines) line->Draw(worldMatrix, alpha);
    for (COneLine* line : m_lines) line->Draw(worldMatrix, alpha);
}

}  // namespace kestrin
