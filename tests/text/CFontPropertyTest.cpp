#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CORE/CSerializer.h"
#include "CORE/StringHelpers.h"
#include "TEXT/CFontProperty.h"
#include "babel/babel.h"

using namespace kestrin;

namespace {

std::string Image(CSerializer& s) {
    CBinaryStream::CMemoryInfo* m = s.GetMemory();  // owned by the serializer
    return m ? std::string(reinterpret_cast<const char*>(m->data), static_cast<size_t>(m->size)) : std::string();
}

std::string SaveImage(CFontProperty p) {
    CSerializer s;
    p.Save(&s);
    return Image(s);
}

CFontProperty LoadImage(const std::string& image, CFontProperty into = CFontProperty()) {
    CSerializer r;
    r.Attach(image.data(), static_cast<unsigned>(image.size()));
    into.Load(&r);
    return into;
}

CFontProperty WithParams(const CFontProperty::AttributeMap& attributes, CFontProperty p = CFontProperty()) {
    p.SetParams(attributes);
    return p;
}

// Reads a tag text back the way the font tag receives it: split at commas (a backslash
// keeps the next byte), then name/value pairs after the tag name.
CFontProperty::AttributeMap ParseTagText(const std::string& text) {
    std::vector<std::string> parts;
    SplitStringStripping(text.c_str(), parts, ",", "\\");
    CFontProperty::AttributeMap map;
    for (size_t i = 1; i + 1 < parts.size(); i += 2) map[parts[i]] = parts[i + 1];
    if (parts.size() % 2 == 0) map[parts.back()] = "";
    return map;
}

CFontProperty Unusual() {
    CFontProperty p;
    p.left = -5;
    p.top = 7;
    p.width = 1000;
    p.height = 2;
    p.entireAnchorX = 3;
    p.entireAnchorY = -4;
    p.anchorCenter = false;
    p.entireAlpha = 128;
    p.entireXScale = PercentToFixed(150);
    p.entireYScale = PercentToFixed(-50);
    p.entireRotate = 90;
    p.layerMode = 4;
    p.visible = false;
    p.alpha = 1;
    p.xScale = PercentToFixed(33);
    p.yScale = PercentToFixed(200);
    p.rotate = -30;
    p.face = "IPAMincho";
    p.rubyFace = "\x83\x5c\x95\x5c";  // Shift_JIS with 0x5C trail bytes
    p.size = 255;
    p.rubySize = 0;
    p.spaceTop = 1;
    p.spaceMiddle = 2;
    p.spaceBottom = 3;
    p.kerning = -1;
    p.rubyKerning = 4;
    p.color = 0x123456;
    p.shadowColor = 0xFFFFFF;
    p.outlineColor = 0xABCDEF;
    p.align = 3;
    p.style = 0x7F;
    p.vertical = true;
    p.hung = false;
    p.rendered = true;
    return p;
}

}  // namespace

TEST(CFontProperty, DefaultsAndTheirTagText) {
    CFontProperty p;
    EXPECT_EQ(p.face, babel::utf8_to_sjis("ＭＳ ゴシック"));
    EXPECT_EQ(p.ToTagText(),
              "font,left,0,top,0,width,640,height,480,entirealpha,255,entireanchorx,0,entireanchory,0,entirerotate,0,"
              "alpha,255,rotate,0,size,24,rubysize,8,spacetop,0,spacemiddle,0,spacebottom,0,kerning,0,rubykerning,0,"
              "entirexscale,100,entireyscale,100,xscale,100,yscale,100,color,0xFFFFFF,shadowcolor,0x0,outlinecolor,0x0,"
              "face," +
                  p.face + ",rubyface," + p.face +
                  ",anchorcenter,1,visible,1,vertical,0,hung,1,rendered,0,layermode,normal,align,left,style,");
}

TEST(CFontProperty, ScaleConversions) {
    const struct {
        int32_t percent, fixed, back;
    } cases[] = {{100, 0x10000, 100}, {150, 0x18000, 150}, {33, 0x547A, 32},      {-50, -32768, -50},
                 {0, 0, 0},           {1, 655, 0},         {-150, -0x18000, -150}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.percent);
        EXPECT_EQ(PercentToFixed(c.percent), c.fixed);
        EXPECT_EQ(FixedToPercent(c.fixed), c.back);
    }
    EXPECT_EQ(FixedToPercent(0x8000), 50);
}

TEST(CFontProperty, SetParamsReadsEachKindOfValue) {
    const struct {
        const char* name;
        const char* value;
        void (*check)(const CFontProperty&);
    } cases[] = {
        {"size", "300", [](const CFontProperty& p) { EXPECT_EQ(p.size, 44); }},
        {"size", "big", [](const CFontProperty& p) { EXPECT_EQ(p.size, 0); }},
        {"rubysize", " -1x", [](const CFontProperty& p) { EXPECT_EQ(p.rubySize, 255); }},
        {"left", "  +12px", [](const CFontProperty& p) { EXPECT_EQ(p.left, 12); }},
        {"kerning", "-3", [](const CFontProperty& p) { EXPECT_EQ(p.kerning, -3); }},
        {"xscale", "-50", [](const CFontProperty& p) { EXPECT_EQ(uint32_t(p.xScale), 0xFFFF8000u); }},
        {"entireyscale", "150", [](const CFontProperty& p) { EXPECT_EQ(p.entireYScale, 0x18000); }},
        {"color", "ff0000", [](const CFontProperty& p) { EXPECT_EQ(p.color, 16711680u); }},
        {"color", "0xff0000", [](const CFontProperty& p) { EXPECT_EQ(p.color, 16711680u); }},
        {"color", "", [](const CFontProperty& p) { EXPECT_EQ(p.color, 0u); }},
        {"color", "0x", [](const CFontProperty& p) { EXPECT_EQ(p.color, 0u); }},
        {"shadowcolor", "12g4", [](const CFontProperty& p) { EXPECT_EQ(p.shadowColor, 0x12u); }},
        {"outlinecolor", "123456789", [](const CFontProperty& p) { EXPECT_EQ(p.outlineColor, 0xFFFFFFFFu); }},
        {"face", "a,b", [](const CFontProperty& p) { EXPECT_EQ(p.face, "a,b"); }},
        {"visible", "0", [](const CFontProperty& p) { EXPECT_FALSE(p.visible); }},
        {"vertical", "2", [](const CFontProperty& p) { EXPECT_TRUE(p.vertical); }},
        {"hung", "no", [](const CFontProperty& p) { EXPECT_FALSE(p.hung); }},
        {"layermode", "add", [](const CFontProperty& p) { EXPECT_EQ(p.layerMode, 1); }},
        {"layermode", "screen", [](const CFontProperty& p) { EXPECT_EQ(p.layerMode, 4); }},
        {"layermode", "Add", [](const CFontProperty& p) { EXPECT_EQ(p.layerMode, 0); }},
        {"align", "equalize", [](const CFontProperty& p) { EXPECT_EQ(p.align, 3); }},
        {"align", "middle", [](const CFontProperty& p) { EXPECT_EQ(p.align, 0); }},
        {"style", "outline_shadow", [](const CFontProperty& p) { EXPECT_EQ(p.style, 0x06u); }},
        {"style", "", [](const CFontProperty& p) { EXPECT_EQ(p.style, 0u); }},
        {"style", "Bold,heavy", [](const CFontProperty& p) { EXPECT_EQ(p.style, 0u); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + c.value);
        const CFontProperty p = WithParams({{c.name, c.value}});
        c.check(p);
        // Nothing else moved.
        CFontProperty expected = p;
        CFontProperty defaults;
        expected.SetParams(ParseTagText(defaults.ToTagText()));
        expected.style = defaults.style;  // style words cannot clear bits
        EXPECT_EQ(static_cast<const CTextRenderer::CProperty&>(expected), defaults) << "only " << c.name << " changes";
    }
}

TEST(CFontProperty, StyleWordsOnlyAddBits) {
    CFontProperty p;
    p.style = CTextRenderer::kStyleShadow;
    p.SetParams({{"style", "bold,italic"}});
    EXPECT_EQ(p.style, 0x1Au);
    p.SetParams({{"width", "10"}});
    EXPECT_EQ(p.style, 0x1Au);
}

TEST(CFontProperty, TagTextOfUnusualValues) {
    CFontProperty p = Unusual();
    p.layerMode = 3;  // colour key has no word
    p.align = 7;
    p.style = CTextRenderer::kStyleShadow | CTextRenderer::kStyleOutline;
    const std::string text = p.ToTagText();
    EXPECT_EQ(text.find("layermode"), std::string::npos);
    EXPECT_EQ(text.find(",align,"), std::string::npos);
    EXPECT_NE(text.find(",entireyscale,-50,"), std::string::npos);
    EXPECT_NE(text.find(",xscale,32,"), std::string::npos);
    EXPECT_NE(text.find(",size,255,rubysize,0,"), std::string::npos);
    EXPECT_NE(text.find(",color,0x123456,shadowcolor,0xFFFFFF,outlinecolor,0xABCDEF,"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 22), ",style,shadow\\,outline");
}

TEST(CFontProperty, TagTextParsesBackToTheSameProperty) {
    CFontProperty all = Unusual();
    all.xScale = PercentToFixed(50);  // 33 % would come back as 32 %: the text carries truncated percents
    CFontProperty styled;
    styled.style = CTextRenderer::kStyleBold | CTextRenderer::kStyleUnderline;
    styled.layerMode = 2;
    styled.align = 1;
    for (const CFontProperty& original : {CFontProperty(), all, styled}) {
        CFontProperty back;
        back.style = 0;
        back.SetParams(ParseTagText(original.ToTagText()));
        EXPECT_EQ(back.ToTagText(), original.ToTagText());
        EXPECT_EQ(static_cast<const CTextRenderer::CProperty&>(back), original) << original.ToTagText();
    }
}

TEST(CFontProperty, ImageHoldsEveryMemberInItsOrderAndWidth) {
    // Saving order with each member's width (strings: length prefix + bytes).
    const CFontProperty p = Unusual();
    const struct {
        unsigned key;
        size_t bytes;
    } order[] = {{3, 4},     {4, 4},  {5, 4},  {6, 4},  {10, 4}, {7, 4},  {8, 4},  {9, 1},  {11, 4},
                 {12, 4},    {13, 4}, {14, 4}, {15, 1}, {16, 4}, {17, 4}, {18, 4}, {19, 4}, {1, 4 + 9},
                 {2, 4 + 4}, {20, 1}, {21, 1}, {22, 4}, {23, 4}, {24, 4}, {33, 4}, {34, 4}, {25, 4},
                 {26, 4},    {27, 4}, {28, 4}, {29, 4}, {30, 1}, {31, 1}, {32, 1}};
    const std::string image = SaveImage(p);
    auto readInt = [&](size_t at) {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(image[at + i]);
        return v;
    };
    const size_t count = sizeof order / sizeof order[0];
    ASSERT_EQ(readInt(0), count);
    std::map<unsigned, size_t> offsets;
    size_t at = 4 + 8 * count;
    for (const auto& m : order) {
        offsets[m.key] = at;
        at += m.bytes;
    }
    EXPECT_EQ(image.size(), at);
    size_t slot = 4;
    for (const auto& [key, offset] : offsets) {  // the index lists keys ascending
        EXPECT_EQ(readInt(slot), key);
        EXPECT_EQ(readInt(slot + 4), offset) << "key " << key;
        slot += 8;
    }
    EXPECT_EQ(readInt(offsets[25]), 0x123456u);
    EXPECT_EQ(image[offsets[20]], '\xFF');
    EXPECT_EQ(image.substr(offsets[1] + 4, 9), "IPAMincho");
}

TEST(CFontProperty, SaveLoadRoundTripsByteForByte) {
    for (const CFontProperty& original : {CFontProperty(), Unusual()}) {
        const std::string first = SaveImage(original);
        const CFontProperty loaded = LoadImage(first);
        EXPECT_EQ(static_cast<const CTextRenderer::CProperty&>(loaded), original);
        EXPECT_EQ(SaveImage(loaded), first);
    }
}

TEST(CFontProperty, MissingMembersKeepTheirFields) {
    // An image with only the size member: everything else keeps what the object had.
    CSerializer s;
    s.SaveByte(12, 20);
    const std::string image = Image(s);
    CFontProperty base = Unusual();
    const CFontProperty loaded = LoadImage(image, base);
    base.size = 12;
    EXPECT_EQ(static_cast<const CTextRenderer::CProperty&>(loaded), base);

    // A cut image loads what it still holds and nothing breaks.
    const std::string full = SaveImage(Unusual());
    for (size_t cut : {size_t(0), size_t(3), size_t(100), full.size() / 2, full.size() - 1}) {
        const CFontProperty partial = LoadImage(full.substr(0, cut));
        (void)partial;
    }
}
