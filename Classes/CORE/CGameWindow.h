#pragma once
// The game's window: desktop full screen, an optional fixed aspect ratio while the
// user resizes, and a creation that shrinks a window too large for the desktop.
#include "CORE/CWindow.h"

namespace kestrin {

class CGameWindow : public CWindow {
public:
    CGameWindow();
    ~CGameWindow() override;

    int GetX() const override;
    int GetY() const override;
    bool OnMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t* result) override;

    // As Create; a window larger than the desktop is retried once at the largest size
    // of the same aspect ratio that fits. True on failure.
    virtual bool CreateFitted(int x, int y, int width, int height, const char* className, const char* title,
                              uint32_t style, int showCommand, WindowHandle parent);
    virtual void ToggleFullScreen();
    virtual bool IsFullScreen() const { return m_fullScreen; }
    virtual bool IsFixedAspectRatio() const { return m_fixedAspectRatio; }
    virtual void SetFixedAspectRatio(bool fixed) { m_fixedAspectRatio = fixed; }

    // Corrects a window rectangle being resized from `edge` so that its client area
    // keeps `aspect`. `current` is the rectangle before the step; ew and eh are the
    // frame extras plus one. `heightLed` says which axis led the last step and is updated.
    static void CorrectSizingRect(SWindowRect& rect, const SWindowRect& current, int edge, float aspect, int ew, int eh,
                                  bool& heightLed);

private:
    bool m_fullScreen;
    bool m_fixedAspectRatio;
    bool m_heightLed;
};

}  // namespace kestrin
