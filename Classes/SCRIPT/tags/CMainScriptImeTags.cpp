// The "ime" tag: a line of text typed by the player, in a text field over the game window
// (type "field") or into the current message layer; every change goes into a variable and
// Enter ends the wait.
#include "CORE/COruPackFileFactory.h"
#include "GRAPHICS/CMainScreen.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/tags/TagAttributes.h"
#include "TEXT/CFontRenderer.h"
#include "TEXT/CIme.h"
#include "TEXT/CLinkableTextRenderer.h"
#include "TEXT/CTextField.h"

namespace kestrin {

bool CMainScript::TagIme(CScriptBlock block, bool replay) {
    (void)replay;
    const std::string text = block.GetAttribute("default");
    const std::string varname = block.GetAttribute("varname");
    auto onChange = [this, varname](const std::string& value) { m_variables->SetString(varname, value); };
    auto onEnter = [this]() { OnInputEnter(); };
    if (block.GetAttribute("type") == "field") {
        m_textFieldRect[0] = TagInt(block, "left");
        m_textFieldRect[1] = TagInt(block, "top");
        m_textFieldRect[2] = TagInt(block, "width");
        m_textFieldRect[3] = TagInt(block, "height");
        // The earlier field may be the one whose Enter got here: it goes after this frame.
        if (m_textField) QueueDeferredCall([old = std::move(m_textField)]() {});
        if (m_screen) m_screen->SetOverlay(nullptr);
        std::shared_ptr<CTextField> field;
        if (m_screen && m_screen->IsReady()) {
            auto font = std::make_shared<CFontRenderer>(m_screen->GetSurfaceFactory(), m_screen->GetGraphicLoaders(),
                                                        m_screen->GetFileFactory());
            field = std::make_shared<CTextField>(m_screen->GetLayerFactory(), m_screen->GetSurfaceFactory(), font,
                                                 m_textEncoding);
        } else {
            field = std::make_shared<CTextField>(nullptr, nullptr, nullptr, m_textEncoding);
        }
        m_textField = field;
        int32_t rect[4];
        TextFieldWindowRect(rect);
        field->Open(rect[0], rect[1], rect[2], rect[3], text);
        field->SetOnChange(onChange);
        field->SetOnEnter(onEnter);
        if (m_screen) m_screen->SetOverlay(field);
    } else {
        if (m_ime) QueueDeferredCall([old = std::move(m_ime)]() {});
        auto ime = std::make_shared<CIme>();
        m_ime = ime;
        ime->Open(GetMessageLayer(), 0, 0, text);
        ime->SetOnChange(onChange);
        ime->SetOnEnter(onEnter);
    }
    SetStatus(STAT_WAIT);
    return false;
}

}  // namespace kestrin
