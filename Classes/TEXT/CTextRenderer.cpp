#include "TEXT/CTextRenderer.h"

#include <tuple>

namespace kestrin {

namespace {
auto Fields(const CTextRenderer::CProperty& p) {
    return std::tie(p.left, p.top, p.width, p.height, p.entireAnchorX, p.entireAnchorY, p.anchorCenter, p.entireAlpha,
                    p.entireXScale, p.entireYScale, p.entireRotate, p.layerMode, p.visible, p.alpha, p.xScale,
                    p.yScale, p.rotate, p.face, p.rubyFace, p.size, p.rubySize, p.spaceTop, p.spaceMiddle,
                    p.spaceBottom, p.kerning, p.rubyKerning, p.color, p.shadowColor, p.outlineColor, p.align,
                    p.style, p.vertical, p.hung, p.rendered);
}
}  // namespace

bool CTextRenderer::CProperty::operator==(const CProperty& other) const { return Fields(*this) == Fields(other); }

}  // namespace kestrin
