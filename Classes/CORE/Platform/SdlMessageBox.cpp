#include "CORE/Platform/SdlMessageBox.h"

#include "CORE/CLogWindow.h"
#include "CORE/DisplayText.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace kestrin {

namespace {
IMessageBox* g_messageBox = nullptr;
}  // namespace

bool SdlMessageBox::HasDisplay() {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0)) return false;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

int SdlMessageBox::Show(const std::string& text, const std::string& caption, int type) {
    const int fallback = DefaultMessageBoxAnswer(type);
    // SDL wants UTF-8; game text may be Shift_JIS.
    const std::string utf8Text = GameTextToUtf8(text);
    const std::string utf8Caption = GameTextToUtf8(caption);
    if (HasDisplay()) {
        const bool yesNo = (type & 0xF) == kMessageBoxYesNo;
        SDL_MessageBoxButtonData buttons[2];
        int count = 0;
        if (yesNo) {
            buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, kAnswerYes, "Yes"};
            buttons[count++] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, kAnswerNo, "No"};
        } else {
            buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
                                kAnswerOk, "OK"};
        }
        Uint32 flags = 0;
        switch (type & 0xF0) {
        case kMessageBoxIconError: flags = SDL_MESSAGEBOX_ERROR; break;
        case kMessageBoxIconWarning: flags = SDL_MESSAGEBOX_WARNING; break;
        case kMessageBoxIconInformation: flags = SDL_MESSAGEBOX_INFORMATION; break;
        default: break;
        }
        const SDL_MessageBoxData data = {flags, nullptr, utf8Caption.c_str(), utf8Text.c_str(), count, buttons, nullptr};
        int pressed = -1;
        if (SDL_ShowMessageBox(&data, &pressed) == 0) return pressed < 0 ? fallback : pressed;
        LogConsole("message box could not be shown: %s", SDL_GetError());
    }
    LogConsole("[message box] %s: %s", utf8Caption.c_str(), utf8Text.c_str());
    return fallback;
}

IMessageBox* GetMessageBox() {
    static SdlMessageBox sdl;
    return g_messageBox ? g_messageBox : &sdl;
}

void SetMessageBox(IMessageBox* messageBox) { g_messageBox = messageBox; }

int ShowMessageBox(const std::string& text, const std::string& caption, int type) {
    return GetMessageBox()->Show(text, caption, type);
}

}  // namespace kestrin
