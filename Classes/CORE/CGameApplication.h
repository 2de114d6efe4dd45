#pragma once
// The application frame: owns the frame pacer and runs the message loop. The loop
// can also be driven one turn at a time (RunFrame), as the test harness does.
namespace kestrin {

class CFps;

class CGameApplication {
public:
    explicit CGameApplication(unsigned fps);
    CGameApplication(const CGameApplication&) = delete;
    CGameApplication& operator=(const CGameApplication&) = delete;
    virtual ~CGameApplication();

    // Runs until the quit message; returns 0.
    virtual int Run();
    // One turn: takes the window system's events, dispatches every waiting message,
    // then paces, updates and (unless the frame is late) draws one frame.
    // True once the quit message was taken (no frame is run then).
    bool RunFrame();

    virtual void Update() = 0;
    virtual void Draw() = 0;

    CFps* GetFps() const { return m_fps; }

protected:
    CFps* m_fps;
};

}  // namespace kestrin
