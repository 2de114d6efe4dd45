#include "GRAPHICS/DisplayObjectProperties.h"

#include <cstdint>
#include <vector>

#include "CORE/StringHelpers.h"
#include "GRAPHICS/CRect.h"
#include "GRAPHICS/IDisplayObject.h"

namespace kestrin {

namespace {

bool ToFlag(const std::string& text) { return text != "0"; }

}  // namespace

void SetDisplayObjectProperties(IDisplayObject* object, const std::map<std::string, std::string>& attributes) {
    if (!object) return;
    auto find = [&](const char* key) -> const std::string* {
        auto it = attributes.find(key);
        return it == attributes.end() ? nullptr : &it->second;
    };
    if (const std::string* v = find("left")) object->SetX(ParseInt32(*v));
    if (const std::string* v = find("top")) object->SetY(ParseInt32(*v));
    if (const std::string* v = find("alpha")) object->SetAlpha(ParseInt32(*v));
    if (const std::string* v = find("anchorx")) object->SetAnchorX(ParseInt32(*v));
    if (const std::string* v = find("anchory")) object->SetAnchorY(ParseInt32(*v));
    if (const std::string* v = find("rotate")) object->SetRotate(ParseInt32(*v));
    if (const std::string* v = find("xscale")) object->SetXScale(PercentToFixed16(ParseInt32(*v)));
    if (const std::string* v = find("yscale")) object->SetYScale(PercentToFixed16(ParseInt32(*v)));
    if (const std::string* v = find("reversex")) object->SetReverseX(ToFlag(*v));
    if (const std::string* v = find("reversey")) object->SetReverseY(ToFlag(*v));
    if (const std::string* v = find("visible")) object->SetVisible(ToFlag(*v));
    if (const std::string* v = find("clip")) {
        std::vector<std::string> parts;
        SplitString(v->c_str(), parts, ",");
        if (parts.size() == 4) {
            const int32_t x = ParseInt32(parts[0]), y = ParseInt32(parts[1]);
            const int32_t w = ParseInt32(parts[2]), h = ParseInt32(parts[3]);
            // Inclusive edges, computed wide so that extreme values cannot overflow.
            const int64_t right = int64_t(x) + w - 1, bottom = int64_t(y) + h - 1;
            auto clamp = [](int64_t n) {
                return static_cast<int32_t>(n < INT32_MIN ? INT32_MIN : (n > INT32_MAX ? INT32_MAX : n));
            };
            object->SetClip(CRect(x, y, clamp(right), clamp(bottom), false));
        }
    }
    if (const std::string* v = find("layermode")) {
        if (*v == "normal")
            object->SetLayerMode(0);
        else if (*v == "add")
            object->SetLayerMode(1);
        else if (*v == "screen")
            object->SetLayerMode(4);
        else if (*v == "multiply")
            object->SetLayerMode(2);
    }
}

}  // namespace kestrin
