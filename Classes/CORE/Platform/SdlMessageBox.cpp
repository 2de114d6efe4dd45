#include "CORE/Platform/SdlMessageBox.h"

#include "CORE/CLogWindow.h"
#include "CORE/DisplayText.h"
#include "CORE/Platform/ICloseSignals.h"
#include "CORE/Platform/ITextRasterizer.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace kestrin {

namespace {
IMessageBox* g_messageBox = nullptr;

struct SButton {
    int answer;
    const char* label;
    SDL_Rect rect;
};

// Lines of at most width pixels: broken at line breaks, else before the character that
// does not fit (Japanese text has no spaces to break at).
std::vector<std::string> WrapText(ITextRasterizer& font, const std::string& utf8, int width) {
    std::vector<std::string> lines(1);
    int x = 0;
    ITextRasterizer::SGlyph glyph;
    for (size_t i = 0; i < utf8.size();) {
        const size_t start = i;
        const uint32_t cp = NextUtf8CodePoint(utf8, i);
        if (cp == '\r') continue;
        if (cp == '\n') {
            lines.emplace_back();
            x = 0;
            continue;
        }
        const int advance = font.RenderGlyph(cp, glyph) ? 0 : glyph.advance;
        if (x > 0 && x + advance > width) {
            lines.emplace_back();
            x = 0;
        }
        lines.back().append(utf8, start, i - start);
        x += advance;
    }
    return lines;
}

// The window an input or window event belongs to (0 for others).
Uint32 WindowOf(const SDL_Event& e) {
    switch (e.type) {
        case SDL_WINDOWEVENT: return e.window.windowID;
        case SDL_KEYDOWN:
        case SDL_KEYUP: return e.key.windowID;
        case SDL_TEXTINPUT: return e.text.windowID;
        case SDL_TEXTEDITING: return e.edit.windowID;
        case SDL_MOUSEMOTION: return e.motion.windowID;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: return e.button.windowID;
        case SDL_MOUSEWHEEL: return e.wheel.windowID;
        default: return 0;
    }
}

void Fill(std::vector<uint32_t>& pixels, int width, const SDL_Rect& r, uint32_t colour) {
    for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x) pixels[static_cast<size_t>(y) * width + x] = colour;
}

// A box of our own, for a desktop where SDL has none to offer (its X11 box needs the core
// X fonts, its other one the zenity program): a window drawn with the engine's fonts,
// answered with the mouse, Return or Escape. -1 when even that cannot be shown.
int ShowDrawnMessageBox(const std::string& text, const std::string& caption, bool yesNo) {
    const bool started = SDL_WasInit(SDL_INIT_VIDEO) != 0;
    if (!started) {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return -1;
    }
    std::unique_ptr<ITextRasterizer> font = MakeTextRasterizer();
    constexpr int kCell = 16, kLine = 20, kMargin = 16, kWidth = 480, kButtonWidth = 88, kButtonHeight = 28;
    if (!font || font->OpenCell("", ITextRasterizer::kShiftJisCharset, kCell, false, false)) {
        if (!started) SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return -1;
    }
    std::vector<std::string> lines = WrapText(*font, text, kWidth - 2 * kMargin);
    // A script's long text must not make a box taller than the screen.
    if (lines.size() > 30) lines.resize(30);
    const int height = kMargin + static_cast<int>(lines.size()) * kLine + kMargin + kButtonHeight + kMargin;
    std::vector<SButton> buttons;
    if (yesNo) {
        buttons.push_back({kAnswerYes, "Yes", {}});
        buttons.push_back({kAnswerNo, "No", {}});
    } else {
        buttons.push_back({kAnswerOk, "OK", {}});
    }
    const int returnAnswer = buttons.front().answer;
    const int escapeAnswer = buttons.back().answer;
    int right = kWidth - kMargin;
    for (size_t i = buttons.size(); i-- > 0;) {
        buttons[i].rect = {right - kButtonWidth, height - kMargin - kButtonHeight, kButtonWidth, kButtonHeight};
        right -= kButtonWidth + 8;
    }

    SDL_Window* window = SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kWidth,
                                          height, SDL_WINDOW_ALWAYS_ON_TOP);
    if (!window) {
        if (!started) SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return -1;
    }
    const Uint32 id = SDL_GetWindowID(window);
    std::vector<uint32_t> pixels(static_cast<size_t>(kWidth) * height);
    auto draw = [&]() {
        std::fill(pixels.begin(), pixels.end(), 0xF0F0F0u);
        for (size_t i = 0; i < lines.size(); ++i)
            font->DrawText(lines[i], pixels.data(), kWidth, height, kWidth, kMargin,
                           kMargin + static_cast<int>(i) * kLine, 0x000000u);
        for (const SButton& b : buttons) {
            Fill(pixels, kWidth, b.rect, 0x707070u);
            const SDL_Rect inner = {b.rect.x + 1, b.rect.y + 1, b.rect.w - 2, b.rect.h - 2};
            Fill(pixels, kWidth, inner, 0xFFFFFFu);
            font->DrawText(b.label, pixels.data(), kWidth, height, kWidth,
                           b.rect.x + (b.rect.w - TextWidth(*font, b.label)) / 2, b.rect.y + (b.rect.h - kLine) / 2 + 2,
                           0x000000u);
        }
        SDL_Surface* target = SDL_GetWindowSurface(window);
        SDL_Surface* picture =
            SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), kWidth, height, 32, kWidth * 4, SDL_PIXELFORMAT_RGB888);
        if (target && picture) {
            SDL_BlitSurface(picture, nullptr, target, nullptr);
            SDL_UpdateWindowSurface(window);
        }
        SDL_FreeSurface(picture);
    };
    draw();
    SDL_RaiseWindow(window);

    // Events of other windows (the game's) wait until the box is answered.
    std::vector<SDL_Event> others;
    int answer = 0;
    bool closeRequest = false;
    SDL_Event e;
    while (!answer) {
        // SIGINT and SIGTERM reach no window: they are looked for between events.
        if (!SDL_WaitEventTimeout(&e, 100)) {
            if (GetCloseSignals()->TakeRequest()) {
                closeRequest = true;
                answer = escapeAnswer;
            }
            continue;
        }
        switch (e.type) {
            case SDL_WINDOWEVENT:
                if (e.window.windowID != id) break;
                if (e.window.event == SDL_WINDOWEVENT_CLOSE) answer = escapeAnswer;
                if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) draw();
                continue;
            case SDL_KEYDOWN:
                if (e.key.windowID != id) break;
                if (e.key.keysym.sym == SDLK_RETURN || e.key.keysym.sym == SDLK_KP_ENTER) answer = returnAnswer;
                if (e.key.keysym.sym == SDLK_ESCAPE) answer = escapeAnswer;
                continue;
            case SDL_MOUSEBUTTONUP:
                if (e.button.windowID != id) break;
                for (const SButton& b : buttons) {
                    const SDL_Point point = {e.button.x, e.button.y};
                    if (e.button.button == SDL_BUTTON_LEFT && SDL_PointInRect(&point, &b.rect)) answer = b.answer;
                }
                continue;
            case SDL_QUIT:
                // A close request (the window manager, a signal) answers the box and stays for the game.
                answer = escapeAnswer;
                break;
            default: break;
        }
        if (WindowOf(e) != id) others.push_back(e);
    }
    SDL_DestroyWindow(window);
    for (SDL_Event& other : others) SDL_PushEvent(&other);
    if (closeRequest) {
        // Kept for the game, which closes as the request asks.
        SDL_Event quit = {};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    }
    if (!started) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return answer ? answer : -1;
}
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
        const SDL_MessageBoxData data = {flags,   nullptr, utf8Caption.c_str(), utf8Text.c_str(), count,
                                         buttons, nullptr};
        int pressed = -1;
        if (SDL_ShowMessageBox(&data, &pressed) == 0) return pressed < 0 ? fallback : pressed;
        Log(ELogLevel::Note, "message box", "SDL has none to show here (%s); drawing one", SDL_GetError());
        const int answer = ShowDrawnMessageBox(utf8Text, utf8Caption, yesNo);
        if (answer > 0) return answer;
        Log(ELogLevel::Error, "message box", "could not be shown: %s", SDL_GetError());
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
