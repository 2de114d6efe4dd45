#pragma once
// The application frame: owns the frame pacer and runs the message loop. The loop
// can also be driven one turn at a time (RunFrame), as the test harness does.
#include <cstdint>

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
    // True once the quit message was taken (no frame is run then). When nothing asked for a
    // frame soon (CFrameDemand), the turn ends waiting for window events.
    bool RunFrame();

    // The longest wait for events between two frames: a bound on how late a part that moves
    // with time but asked for no frame would be.
    static constexpr uint32_t kMaxRestMs = 100;

    virtual void Update() = 0;
    virtual void Draw() = 0;
    // Work that can wait, in the time left after a drawn frame (none after a skipped draw).
    virtual void Idle() {}

    CFps* GetFps() const { return m_fps; }

protected:
    CFps* m_fps;

private:
    void Rest();
};

}  // namespace kestrin
