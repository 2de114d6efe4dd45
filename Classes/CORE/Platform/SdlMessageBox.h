#pragma once
#include "CORE/Platform/IMessageBox.h"

namespace kestrin {

// SDL message box. With no display (SDL_VIDEODRIVER dummy/offscreen, no X11 or Wayland
// display, or SDL failing) the box is written to stderr and the default answer returned.
class SdlMessageBox : public IMessageBox {
public:
    int Show(const std::string& text, const std::string& caption, int type) override;
    static bool HasDisplay();
};

}  // namespace kestrin
