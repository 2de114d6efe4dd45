#pragma once
// Presents through the SDL window surface (works under SDL's dummy driver too).
#include <memory>

#include "GRAPHICS/Platform/IFramePresenter.h"

namespace kestrin {

class SdlFramePresenter : public IFramePresenter {
public:
    bool GetClientSize(WindowHandle window, int32_t& width, int32_t& height) override;
    bool Present(WindowHandle window, const uint8_t* frame, int32_t framePitch, int32_t srcX, int32_t srcY,
                 int32_t dstX, int32_t dstY, int32_t width, int32_t height) override;
};

}  // namespace kestrin
