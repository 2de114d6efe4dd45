#include "TEXT/CFontProperty.h"

#include <cstdio>

#include "CORE/CSerializer.h"
#include "CORE/StringHelpers.h"

namespace kestrin {

namespace {

struct SStyleWord {
    const char* word;
    uint32_t bits;
};
// Printing walks the single-bit words in this order; "outline_shadow" is only read.
// clang-format off
constexpr SStyleWord kStyleWords[] = {
    {"single", CTextRenderer::kStyleSingle},     {"shadow", CTextRenderer::kStyleShadow},
    {"outline", CTextRenderer::kStyleOutline},   {"bold", CTextRenderer::kStyleBold},
    {"italic", CTextRenderer::kStyleItalic},     {"underline", CTextRenderer::kStyleUnderline},
    {"strikeout", CTextRenderer::kStyleStrikeout}, {"outline_shadow", CTextRenderer::kStyleShadow | CTextRenderer::kStyleOutline},
};
// clang-format on

struct SNamedValue {
    const char* name;
    int32_t value;
};
constexpr SNamedValue kLayerModes[] = {{"normal", 0}, {"add", 1}, {"multiply", 2}, {"screen", 4}};
constexpr SNamedValue kAligns[] = {{"left", 0}, {"center", 1}, {"right", 2}, {"equalize", 3}};

const std::string* Find(const CFontProperty::AttributeMap& attributes, const char* name) {
    auto it = attributes.find(name);
    return it == attributes.end() ? nullptr : &it->second;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Hexadecimal the way a 32-bit strtoul reads it: blanks, a sign, an optional "0x", digits
// up to the first other byte; too large saturates.
uint32_t ParseHex32(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') && IsHexDigit(text[i + 2]))
        i += 2;
    uint64_t value = 0;
    bool saturated = false;
    for (; i < text.size() && IsHexDigit(text[i]); ++i) {
        const char c = text[i];
        const unsigned digit = c <= '9'   ? unsigned(c - '0')
                               : c <= 'F' ? unsigned(c - 'A' + 10)
                                          : unsigned(c - 'a' + 10);
        value = value * 16 + digit;
        if (value > 0xFFFFFFFFu) {
            value = 0xFFFFFFFFu;
            saturated = true;
        }
    }
    if (saturated) return 0xFFFFFFFFu;
    return negative ? uint32_t(0u - uint32_t(value)) : uint32_t(value);
}

}  // namespace

int32_t PercentToFixed(int32_t percent) { return PercentToFixed16(percent); }

int32_t FixedToPercent(int32_t fixed) {
    const int32_t whole = fixed / 65536;
    const int32_t rest = fixed % 65536;
    return whole * 100 + (rest * 100) / 65536;
}

void CFontProperty::SetParams(const AttributeMap& attributes) {
    const struct {
        const char* name;
        int32_t* field;
        // clang-format off
    } ints[] = {{"left", &left},           {"top", &top},
                {"width", &width},         {"height", &height},
                {"entirealpha", &entireAlpha}, {"entireanchorx", &entireAnchorX},
                {"entireanchory", &entireAnchorY}, {"entirerotate", &entireRotate},
                {"alpha", &alpha},         {"rotate", &rotate}};
    // clang-format on
    for (const auto& f : ints)
        if (const std::string* v = Find(attributes, f.name)) *f.field = ParseInt32(*v);
    if (const std::string* v = Find(attributes, "size")) size = uint8_t(uint32_t(ParseInt32(*v)) & 0xFFu);
    if (const std::string* v = Find(attributes, "rubysize")) rubySize = uint8_t(uint32_t(ParseInt32(*v)) & 0xFFu);
    const struct {
        const char* name;
        int32_t* field;
        // clang-format off
    } spaces[] = {{"spacetop", &spaceTop}, {"spacemiddle", &spaceMiddle}, {"spacebottom", &spaceBottom},
                  {"kerning", &kerning},   {"rubykerning", &rubyKerning}};
    // clang-format on
    for (const auto& f : spaces)
        if (const std::string* v = Find(attributes, f.name)) *f.field = ParseInt32(*v);

    const struct {
        const char* name;
        int32_t* field;
    } scales[] = {
        {"entirexscale", &entireXScale}, {"entireyscale", &entireYScale}, {"xscale", &xScale}, {"yscale", &yScale}};
    for (const auto& f : scales)
        if (const std::string* v = Find(attributes, f.name)) *f.field = PercentToFixed(ParseInt32(*v));

    const struct {
        const char* name;
        uint32_t* field;
    } colours[] = {{"color", &color}, {"shadowcolor", &shadowColor}, {"outlinecolor", &outlineColor}};
    for (const auto& f : colours)
        if (const std::string* v = Find(attributes, f.name)) *f.field = ParseHex32(*v);

    if (const std::string* v = Find(attributes, "face")) face = *v;
    if (const std::string* v = Find(attributes, "rubyface")) rubyFace = *v;

    const struct {
        const char* name;
        bool* field;
    } flags[] = {{"anchorcenter", &anchorCenter},
                 {"visible", &visible},
                 {"vertical", &vertical},
                 {"hung", &hung},
                 {"rendered", &rendered}};
    for (const auto& f : flags)
        if (const std::string* v = Find(attributes, f.name)) *f.field = ParseInt32(*v) != 0;

    if (const std::string* v = Find(attributes, "layermode")) {
        for (const auto& m : kLayerModes)
            if (*v == m.name) layerMode = m.value;
    }
    if (const std::string* v = Find(attributes, "align")) {
        for (const auto& a : kAligns)
            if (*v == a.name) align = a.value;
    }
    if (const std::string* v = Find(attributes, "style")) {
        std::vector<std::string> words;
        SplitString(v->c_str(), words, ",");
        for (const std::string& word : words)
            for (const auto& s : kStyleWords)
                if (word == s.word) style |= s.bits;
    }
}

std::string CFontProperty::ToTagText() const {
    std::string out = "font";
    const struct {
        const char* name;
        int32_t value;
    } ints[] = {{",left,", left},
                {",top,", top},
                {",width,", width},
                {",height,", height},
                {",entirealpha,", entireAlpha},
                {",entireanchorx,", entireAnchorX},
                {",entireanchory,", entireAnchorY},
                {",entirerotate,", entireRotate},
                {",alpha,", alpha},
                {",rotate,", rotate},
                {",size,", size},
                {",rubysize,", rubySize},
                {",spacetop,", spaceTop},
                {",spacemiddle,", spaceMiddle},
                {",spacebottom,", spaceBottom},
                {",kerning,", kerning},
                {",rubykerning,", rubyKerning},
                {",entirexscale,", FixedToPercent(entireXScale)},
                {",entireyscale,", FixedToPercent(entireYScale)},
                {",xscale,", FixedToPercent(xScale)},
                {",yscale,", FixedToPercent(yScale)}};
    for (const auto& f : ints) {
        out += f.name;
        out += IntToString(f.value);
    }
    const struct {
        const char* name;
        uint32_t value;
    } colours[] = {{",color,", color}, {",shadowcolor,", shadowColor}, {",outlinecolor,", outlineColor}};
    for (const auto& f : colours) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "0x%X", static_cast<unsigned>(f.value));
        out += f.name;
        out += buffer;
    }
    out += ",face,";
    out += face;
    out += ",rubyface,";
    out += rubyFace;
    const struct {
        const char* name;
        bool value;
    } flags[] = {{",anchorcenter,", anchorCenter},
                 {",visible,", visible},
                 {",vertical,", vertical},
                 {",hung,", hung},
                 {",rendered,", rendered}};
    for (const auto& f : flags) {
        out += f.name;
        out += f.value ? '1' : '0';
    }
    for (const auto& m : kLayerModes)
        if (layerMode == m.value) (out += ",layermode,") += m.name;
    for (const auto& a : kAligns)
        if (align == a.value) (out += ",align,") += a.name;
    out += ",style,";
    bool first = true;
    for (const auto& s : kStyleWords) {
        if (s.bits != (s.bits & -s.bits) || !(style & s.bits)) continue;  // single bits only
        if (!first) out += "\\,";
        out += s.word;
        first = false;
    }
    return out;
}

void CFontProperty::Save(CSerializer* s) {
    s->SaveInt(left, 3);
    s->SaveInt(top, 4);
    s->SaveInt(width, 5);
    s->SaveInt(height, 6);
    s->SaveInt(entireAlpha, 10);
    s->SaveInt(entireAnchorX, 7);
    s->SaveInt(entireAnchorY, 8);
    s->SaveByte(anchorCenter, 9);
    s->SaveInt(entireXScale, 11);
    s->SaveInt(entireYScale, 12);
    s->SaveInt(entireRotate, 13);
    s->SaveInt(layerMode, 14);
    s->SaveByte(visible, 15);
    s->SaveInt(alpha, 16);
    s->SaveInt(xScale, 17);
    s->SaveInt(yScale, 18);
    s->SaveInt(rotate, 19);
    s->SaveString(face, 1);
    s->SaveString(rubyFace, 2);
    s->SaveByte(size, 20);
    s->SaveByte(rubySize, 21);
    s->SaveInt(spaceTop, 22);
    s->SaveInt(spaceMiddle, 23);
    s->SaveInt(spaceBottom, 24);
    s->SaveInt(kerning, 33);
    s->SaveInt(rubyKerning, 34);
    s->SaveInt(int32_t(color), 25);
    s->SaveInt(int32_t(shadowColor), 26);
    s->SaveInt(int32_t(outlineColor), 27);
    s->SaveInt(align, 28);
    s->SaveInt(int32_t(style), 29);
    s->SaveByte(vertical, 30);
    s->SaveByte(hung, 31);
    s->SaveByte(rendered, 32);
}

void CFontProperty::Load(CSerializer* s) {
    s->LoadInt(left, 3);
    s->LoadInt(top, 4);
    s->LoadInt(width, 5);
    s->LoadInt(height, 6);
    s->LoadInt(entireAlpha, 10);
    s->LoadInt(entireAnchorX, 7);
    s->LoadInt(entireAnchorY, 8);
    s->LoadByte(anchorCenter, 9);
    s->LoadInt(entireXScale, 11);
    s->LoadInt(entireYScale, 12);
    s->LoadInt(entireRotate, 13);
    s->LoadInt(layerMode, 14);
    s->LoadByte(visible, 15);
    s->LoadInt(alpha, 16);
    s->LoadInt(xScale, 17);
    s->LoadInt(yScale, 18);
    s->LoadInt(rotate, 19);
    s->LoadString(face, 1);
    s->LoadString(rubyFace, 2);
    s->LoadByte(size, 20);
    s->LoadByte(rubySize, 21);
    s->LoadInt(spaceTop, 22);
    s->LoadInt(spaceMiddle, 23);
    s->LoadInt(spaceBottom, 24);
    s->LoadInt(kerning, 33);
    s->LoadInt(rubyKerning, 34);
    s->LoadInt(color, 25);
    s->LoadInt(shadowColor, 26);
    s->LoadInt(outlineColor, 27);
    s->LoadInt(align, 28);
    s->LoadInt(style, 29);
    s->LoadByte(vertical, 30);
    s->LoadByte(hung, 31);
    s->LoadByte(rendered, 32);
}

}  // namespace kestrin
