#pragma once
// The property vocabulary that tags and scripts use to set a display object's properties by
// name ("left", "top", "alpha", "anchorx", "anchory", "rotate", "xscale", "yscale", "reversex",
// "reversey", "visible", "clip", "layermode").
#include <map>
#include <string>

namespace kestrin {

class IDisplayObject;

// Applies every known key present in attributes, in the fixed order of the vocabulary; other
// keys are ignored, absent keys leave their property unchanged. A null object is ignored.
void SetDisplayObjectProperties(IDisplayObject* object, const std::map<std::string, std::string>& attributes);

}  // namespace kestrin
