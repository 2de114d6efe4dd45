#include "GRAPHICS/Platform/HeadlessFramePresenter.h"

#include <cstddef>
#include <cstring>

namespace kestrin {

HeadlessFramePresenter::HeadlessFramePresenter(WindowHandle window, int32_t width, int32_t height) : m_window(window) {
    Resize(width, height);
}

void HeadlessFramePresenter::Resize(int32_t width, int32_t height) {
    m_width = width < 0 ? 0 : width;
    m_height = height < 0 ? 0 : height;
    m_shown.assign(size_t(m_width) * size_t(m_height) * 4, 0);
}

bool HeadlessFramePresenter::GetClientSize(WindowHandle window, int32_t& width, int32_t& height) {
    if (window != m_window) return true;
    width = m_width;
    height = m_height;
    return false;
}

bool HeadlessFramePresenter::Present(WindowHandle window, const uint8_t* frame, int32_t framePitch, int32_t srcX,
                                     int32_t srcY, int32_t dstX, int32_t dstY, int32_t width, int32_t height) {
    if (window != m_window || !frame || width <= 0 || height <= 0 || dstX < 0 || dstY < 0 || dstX + width > m_width ||
        dstY + height > m_height)
        return true;
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(&m_shown[(size_t(dstY + y) * size_t(m_width) + size_t(dstX)) * 4],
                    frame + ptrdiff_t(srcY + y) * framePitch + ptrdiff_t(srcX) * 4, size_t(width) * 4);
    ++m_presents;
    return false;
}

}  // namespace kestrin
