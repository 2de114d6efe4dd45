#pragma once
// The application object: the game window and the main loop in one. It creates the
// input object, the screen and the interpreter on window creation, drives them every
// frame and turns window messages into engine actions.
#include <cstdint>
#include <functional>
#include <memory>

#include "CORE/CGameApplication.h"
#include "CORE/CGameWindow.h"
#include "CORE/CPoint.h"

namespace kestrin {

class CInput;

class CKestrin : public CGameApplication, public CGameWindow {
public:
    // What the application object asks of the screen.
    class IScreen {
    public:
        virtual ~IScreen() = default;
        virtual void Update() = 0;
        virtual void Draw() = 0;
        virtual bool IsSoftwareRender() const = 0;
    };
    // What the application object asks of the interpreter.
    class IScript {
    public:
        virtual ~IScript() = default;
        // The boot; true on failure.
        virtual bool Start(int mode) = 0;
        virtual void Update(uint32_t now) = 0;
        // Work that can wait, done once a frame is drawn.
        virtual void Idle() = 0;
        // The caret state; kStateQuit ends the program.
        virtual int GetState() const = 0;
        virtual bool IsSkipping() const = 0;
        // The autosave on leaving.
        virtual void Leave() = 0;
        virtual void ToggleFullScreen() = 0;
        virtual void UpdateTextFieldRect() = 0;
    };
    using ScreenFactory = std::function<std::unique_ptr<IScreen>(CKestrin&)>;
    using ScriptFactory = std::function<std::unique_ptr<IScript>(CKestrin&, IScreen*)>;

    static constexpr int kStateQuit = 12;

    // Why Create failed, for the start-up error line.
    enum class EStartFailure { None, Window, WindowTooLarge, BootScript };

    CKestrin();
    ~CKestrin() override;

    // Chooses how the screen and the interpreter are made (none by default).
    static void SetFactories(ScreenFactory screenFactory, ScriptFactory scriptFactory);

    // True on failure of the window or of the boot script.
    bool Create(int x, int y, int width, int height, const char* className, const char* title, uint32_t style,
                int showCommand, WindowHandle parent) override;
    void Update() override;
    void Draw() override;
    void Idle() override;
    bool OnMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t* result) override;

    CInput* GetInput() const { return m_input; }
    IScreen* GetScreen() const { return m_screen; }
    IScript* GetScript() const { return m_script; }
    bool IsScreenSaver() const { return m_screenSaver; }
    bool HasLeft() const { return m_left; }
    EStartFailure GetStartFailure() const { return m_startFailure; }

private:
    void PostDestroy();
    void ToggleFullScreenRequest();

    CInput* m_input;
    IScreen* m_screen;
    IScript* m_script;
    bool m_screenSaver;
    CPoint m_firstMousePoint;
    bool m_left;  // the destroy path ran: leaving happens once
    EStartFailure m_startFailure;
};

}  // namespace kestrin
