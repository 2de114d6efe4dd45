#pragma once
// The text property in the form the font stack, the backlog and save files keep: set from
// tag attributes, saved as keyed members, and handed to scripts as a "font" tag text.
#include <cstdint>
#include <map>
#include <string>

#include "CORE/ISerializable.h"
#include "TEXT/CTextRenderer.h"

namespace kestrin {

class CFontProperty : public CTextRenderer::CProperty, public ISerializable {
public:
    using AttributeMap = std::map<std::string, std::string>;

    CFontProperty() = default;
    CFontProperty(const CFontProperty&) = default;
    CFontProperty& operator=(const CFontProperty&) = default;
    explicit CFontProperty(const CTextRenderer::CProperty& property) : CTextRenderer::CProperty(property) {}
    ~CFontProperty() override = default;

    void Save(CSerializer* serializer) override;
    // A member the image lacks leaves its field as it is.
    void Load(CSerializer* serializer) override;

    // Applies the attributes of one tag; fields whose attribute is absent keep their value,
    // and style words only ever add bits.
    void SetParams(const AttributeMap& attributes);
    // "font,left,0,top,0,...,style,..." with the style words joined by "\,".
    std::string ToTagText() const;
};

// Percent to 16.16 fixed point (150 -> 0x18000) and back (0x547A -> 32), truncating.
int32_t PercentToFixed(int32_t percent);
int32_t FixedToPercent(int32_t fixed);

}  // namespace kestrin
