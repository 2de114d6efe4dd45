#pragma once
// Headless presenter for tests: a window of a chosen client size that keeps the shown frame.
#include <cstdint>
#include <vector>

#include "GRAPHICS/Platform/IFramePresenter.h"

namespace kestrin {

class HeadlessFramePresenter : public IFramePresenter {
public:
    // The one window this fake knows.
    HeadlessFramePresenter(WindowHandle window, int32_t width, int32_t height);

    bool GetClientSize(WindowHandle window, int32_t& width, int32_t& height) override;
    bool Present(WindowHandle window, const uint8_t* frame, int32_t framePitch, int32_t srcX, int32_t srcY,
                 int32_t dstX, int32_t dstY, int32_t width, int32_t height) override;

    // Changes the client size; the shown frame is cleared.
    void Resize(int32_t width, int32_t height);
    // The window's pixels (blue, green, red, spare), rows of width x 4 bytes.
    const std::vector<uint8_t>& GetShownFrame() const { return m_shown; }
    int32_t GetPresentCount() const { return m_presents; }

private:
    WindowHandle m_window;
    int32_t m_width;
    int32_t m_height;
    std::vector<uint8_t> m_shown;
    int32_t m_presents = 0;
};

}  // namespace kestrin
