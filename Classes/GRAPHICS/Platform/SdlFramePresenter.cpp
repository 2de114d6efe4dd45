#include "GRAPHICS/Platform/SdlFramePresenter.h"

#include <SDL.h>

#include <cstddef>

#include "CORE/CLogWindow.h"

namespace kestrin {

namespace {

// Window handles are SDL window ids.
SDL_Window* FindWindow(WindowHandle window) {
    if (window == 0 || window > 0xFFFFFFFFu) return nullptr;
    return SDL_GetWindowFromID(static_cast<Uint32>(window));
}

}  // namespace

bool SdlFramePresenter::GetClientSize(WindowHandle window, int32_t& width, int32_t& height) {
    SDL_Window* w = FindWindow(window);
    if (!w) return true;
    int cw = 0, ch = 0;
    SDL_GetWindowSize(w, &cw, &ch);
    width = cw;
    height = ch;
    return false;
}

bool SdlFramePresenter::Present(WindowHandle window, const uint8_t* frame, int32_t framePitch, int32_t srcX,
                                int32_t srcY, int32_t dstX, int32_t dstY, int32_t width, int32_t height) {
    SDL_Window* w = FindWindow(window);
    if (!w || !frame || width <= 0 || height <= 0) return true;
    // SDL would otherwise show the window surface through an OpenGL texture, which on a machine
    // without a GPU is a software rasteriser costing more than our whole frame. The hint is read
    // when the window surface is made (SDL_Quit forgets it); an environment setting still wins.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_Surface* target = SDL_GetWindowSurface(w);
    if (!target) {
        Log(ELogLevel::Error, "SDL_GetWindowSurface", "%s", SDL_GetError());
        return true;
    }
    // The window surface may be smaller than the frame after a resize: clip to it.
    if (dstX < 0 || dstY < 0) return true;
    if (dstX + width > target->w) width = target->w - dstX;
    if (dstY + height > target->h) height = target->h - dstY;
    if (width <= 0 || height <= 0) return true;
    if (SDL_MUSTLOCK(target) && SDL_LockSurface(target) != 0) return true;
    // Our pixels are the word 0xXXRRGGBB in memory order blue, green, red, spare.
    const uint8_t* src = frame + ptrdiff_t(srcY) * framePitch + ptrdiff_t(srcX) * 4;
    uint8_t* dst = static_cast<uint8_t*>(target->pixels) + ptrdiff_t(dstY) * target->pitch +
                   ptrdiff_t(dstX) * target->format->BytesPerPixel;
    const int rc = SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_RGB888, src, framePitch, target->format->format,
                                     dst, target->pitch);
    if (SDL_MUSTLOCK(target)) SDL_UnlockSurface(target);
    if (rc != 0) {
        Log(ELogLevel::Error, "SDL_ConvertPixels", "%s", SDL_GetError());
        return true;
    }
    SDL_Rect area{dstX, dstY, width, height};
    return SDL_UpdateWindowSurfaceRects(w, &area, 1) != 0;
}

}  // namespace kestrin
