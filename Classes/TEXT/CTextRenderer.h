#pragma once
// The text object of a message layer. For now it carries the text property record that
// the font tags, the backlog and the save data share.
#include <cstdint>
#include <string>

namespace kestrin {

class CTextRenderer {
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
};

}  // namespace kestrin
