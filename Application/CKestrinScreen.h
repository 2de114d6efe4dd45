#pragma once
// The screen as the application object sees it: builds the game's CMainScreen on the
// application's window, forwards the per-frame update and draw, and follows the window's
// client size.
#include <memory>

#include "Application/CKestrin.h"

namespace kestrin {

class CMainScreen;

class CKestrinScreen : public CKestrin::IScreen {
public:
    explicit CKestrinScreen(CKestrin& application);
    ~CKestrinScreen() override;
    CKestrinScreen(const CKestrinScreen&) = delete;
    CKestrinScreen& operator=(const CKestrinScreen&) = delete;

    void Update() override;
    void Draw() override;
    bool IsSoftwareRender() const override;

    CMainScreen* GetScreen() const { return m_screen.get(); }

    // The factory the application object is given.
    static CKestrin::ScreenFactory Factory();

private:
    CKestrin& m_application;
    std::unique_ptr<CMainScreen> m_screen;
    int m_clientWidth;
    int m_clientHeight;
};

}  // namespace kestrin
