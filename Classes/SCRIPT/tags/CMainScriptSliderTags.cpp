// Slider tags: "slider" puts a slider control on the screen, bound to a script variable that
// follows its knob between "var_min" and "var_max"; "uidel" removes a control. The controls
// live in the screen's table of UI controls, outside the layer tree, and are not saved.
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/CUISlider.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/tags/TagAttributes.h"

namespace kestrin {

namespace {

int32_t Saturate(int64_t value) {
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

}  // namespace

bool CMainScript::TagSlider(CScriptBlock block, bool replay) {
    (void)replay;
    if (!m_screen || !m_screen->IsReady()) return false;
    auto slider = std::make_unique<CUISlider>(m_screen->GetLayerFactory(), m_screen->GetSurfaceFactory(),
                                              m_screen->GetGraphicLoaders());
    const std::string name = block.GetAttribute("var_name");
    const int32_t low = TagInt(block, "var_min");
    CUISlider::Parameters parameters;
    parameters["x"] = TagInt(block, "x");
    parameters["y"] = TagInt(block, "y");
    if (block.HasAttribute("width")) parameters["width"] = TagInt(block, "width");
    if (block.HasAttribute("height")) parameters["height"] = TagInt(block, "height");
    parameters["background_path"] = block.GetAttribute("background_path");
    parameters["controller_path"] = block.GetAttribute("controller_path");
    parameters["var_min"] = low;
    parameters["var_max"] = TagInt(block, "var_max");
    parameters["var_now"] = static_cast<int32_t>(m_variables->GetInt(name));
    // The control reports the knob's offset from the low end; the variable holds the value
    // itself, so that rebuilding the slider from it puts the knob back where it was. The
    // screen's controls may outlive the interpreter: the store is held weakly.
    std::weak_ptr<COruVariables> store = m_variables;
    parameters["onslide"] = CUISlider::SlideHandler([store, name, low](int32_t offset) {
        if (auto variables = store.lock()) variables->SetInt(name, Saturate(static_cast<int64_t>(low) + offset));
    });
    if (slider->SetParameters(parameters)) {
        Trace(1, "%s(%d): [%s] パラメータが不足しているか、間違っています。", m_state.caret.file.c_str(), block.GetLine(),
              block.GetName().c_str());
        return false;
    }
    m_screen->GetUIControls()[block.GetAttribute("id")] = std::move(slider);
    return false;
}

bool CMainScript::TagUidel(CScriptBlock block, bool replay) {
    (void)replay;
    if (m_screen) m_screen->GetUIControls().erase(block.GetAttribute("id"));
    return false;
}

}  // namespace kestrin
