#pragma once
// Small helpers for the layer tests: surfaces from a pixel function, a renderer whose render
// target is a plain surface, and a mouse driven through the fake window system.
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

#include "Application/PlatformServicesScope.h"
#include "CORE/CInput.h"
#include "CORE/Platform/HeadlessWindowSystem.h"
#include "CORE/WindowMessages.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/IGraphicRenderer.h"

namespace layertest {

using kestrin::CSurface;

inline std::shared_ptr<CSurface> MakeSurface(int w, int h, int bits, const std::function<uint32_t(int, int)>& fn) {
    auto s = std::make_shared<CSurface>();
    if (s->Init(w, h, bits, 0)) return nullptr;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t v = fn(x, y);
            if (bits == 0)
                s->GetLine(y)[x] = static_cast<uint8_t>(v);
            else
                std::memcpy(s->GetLine(y) + x * 4, &v, 4);
        }
    return s;
}

inline uint32_t Pixel(kestrin::ISurface& s, int x, int y) {
    if (s.GetBytesPerPixel() == 1) return s.GetLine(y)[x];
    uint32_t v;
    std::memcpy(&v, s.GetLine(y) + x * 4, 4);
    return v;
}

// Draws into a plain surface.
class TargetRenderer : public kestrin::IGraphicRenderer {
public:
    TargetRenderer(int w, int h, uint32_t fill) : screen(std::make_shared<CSurface>()) {
        screen->Init(w, h, 1, 0);
        screen->Fill(fill);
    }
    bool Init(Window) override { return false; }
    void RenderStart() override {}
    bool RenderEnd() override { return false; }
    void Clear() override { screen->Clear(); }
    int32_t GetWidth() const override { return screen->GetWidth(); }
    int32_t GetHeight() const override { return screen->GetHeight(); }
    kestrin::ISurface* GetRenderTarget() override { return target ? target : screen.get(); }
    void SetRenderTarget(kestrin::ISurface* s) override { target = s; }
    void CaptureScreen(kestrin::ISurface*) override {}

    std::shared_ptr<CSurface> screen;
    kestrin::ISurface* target = nullptr;
};

// The process-wide input over a fake window system; the window sits at the screen origin.
class FakeMouse {
public:
    FakeMouse() : system(std::make_shared<kestrin::HeadlessWindowSystem>()) {
        kestrin::SPlatformServices services = kestrin::PlatformServicesInEffect();
        services.windowSystem = system;
        scope.emplace(services);
        kestrin::SWindowDesc desc;
        desc.width = 640;
        desc.height = 480;
        window = system->CreateWindow(desc);
        system->SetFocus(window);
        kestrin::CInput::ReleaseInstance();
        input = kestrin::CInput::CreateInstance(window);
    }
    ~FakeMouse() {
        kestrin::CInput::ReleaseInstance();
        scope.reset();
    }
    // One frame: the mouse at (x, y) with the left button up or down.
    void Frame(int x, int y, bool left) {
        system->SetMouseScreenPoint(x, y);
        system->SetKeyDown(1, left);
        now += 16;
        input->Update(now);
    }

    std::shared_ptr<kestrin::HeadlessWindowSystem> system;
    std::optional<kestrin::PlatformServicesScope> scope;
    kestrin::WindowHandle window = 0;
    kestrin::CInput* input = nullptr;
    uint32_t now = 1000;
};

}  // namespace layertest
