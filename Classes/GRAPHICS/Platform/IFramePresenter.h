#pragma once
// Shows the software renderer's back buffer in a window.
#include <cstdint>
#include <functional>
#include <memory>

#include "CORE/Platform/IWindowSystem.h"

namespace kestrin {

class IFramePresenter {
public:
    virtual ~IFramePresenter() = default;
    // The window's client size; true when the window is unknown.
    virtual bool GetClientSize(WindowHandle window, int32_t& width, int32_t& height) = 0;
    // Copies a width x height area of 32-bit pixels (blue, green, red, spare) from
    // (srcX, srcY) of the frame to (dstX, dstY) of the window and shows it; the caller
    // has clipped both areas. True on failure.
    virtual bool Present(WindowHandle window, const uint8_t* frame, int32_t framePitch, int32_t srcX, int32_t srcY,
                         int32_t dstX, int32_t dstY, int32_t width, int32_t height) = 0;
};

// The presenter new software renderers get: the SDL window surface by default; tests and the
// harness install their own maker (null restores the default).
using FramePresenterMaker = std::function<std::shared_ptr<IFramePresenter>()>;
void SetFramePresenterMaker(FramePresenterMaker maker);
std::shared_ptr<IFramePresenter> CreateFramePresenter();

}  // namespace kestrin
