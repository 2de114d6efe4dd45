#pragma once
// The graphics device under the hardware renderer: textures, render targets, textured quads
// with the layer blend factors, read-back, present, and the device-reset protocol.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "CORE/Platform/IWindowSystem.h"

namespace kestrin {

// How a quad combines with the target. Textures hold premultiplied colour.
enum class EQuadBlend {
    kCopy,      // no blending: the texel replaces the target pixel
    kNormal,    // ONE, ONE_MINUS_SRC_ALPHA
    kAdd,       // ONE, ONE
    kMultiply,  // DST_COLOR, ONE_MINUS_SRC_ALPHA
    kScreen,    // ONE_MINUS_DST_COLOR, ONE
    kMask,      // ZERO, SRC_ALPHA on colour and alpha: the target is multiplied by the texel alpha
};

// One corner of a quad: target pixels, and texture coordinates from 0 to 1.
struct SQuadVertex {
    float x = 0, y = 0;
    float u = 0, v = 0;
};

enum class EDeviceState {
    kOk,
    kLost,      // unusable and cannot be reset yet
    kNotReset,  // textures were lost: Reset, then re-create what was lost
};

class IRenderDevice {
public:
    // 0 is no texture.
    using TextureId = uint32_t;

    virtual ~IRenderDevice() = default;

    // Binds to the window; true on failure (GetError says why).
    virtual bool Open(WindowHandle window) = 0;
    // Releases every texture and the device; safe to call twice.
    virtual void Close() = 0;
    virtual const std::string& GetError() const = 0;
    // What draws for the open device (OpenGL's GL_RENDERER string); empty when unknown.
    virtual const std::string& GetRendererName() const = 0;
    // False when the machine is known to have no graphics device, so that OpenGL could only
    // rasterise on the CPU; asked before Open, which would load the whole driver to find out.
    virtual bool HasGraphicsDevice() const = 0;
    // The window's drawable size; true on failure.
    virtual bool GetOutputSize(int32_t& width, int32_t& height) = 0;

    // A 32-bit texture (blue, green, red, alpha in memory, premultiplied); 0 on failure.
    virtual TextureId CreateTexture(int32_t width, int32_t height, bool renderTarget) = 0;
    virtual void DestroyTexture(TextureId texture) = 0;
    // False for an unknown texture and for every texture a device reset took away.
    virtual bool IsTextureValid(TextureId texture) = 0;
    // Replaces the whole texture from rows of width x 4 bytes; true on failure.
    virtual bool UpdateTexture(TextureId texture, const uint8_t* pixels, int32_t pitch) = 0;

    // Where quads and clears go: a render-target texture, or 0 for nothing (no drawing).
    virtual bool SetTarget(TextureId target) = 0;
    // Fills the whole target with the word 0xAARRGGBB.
    virtual bool Clear(uint32_t argb) = 0;
    // Draws the quad (corners in the order top-left, top-right, bottom-right, bottom-left of
    // the texture) modulated by opacity (0 to 255) on every channel; linear: bilinear sampling.
    virtual bool DrawQuad(TextureId texture, const SQuadVertex corners[4], uint8_t opacity, EQuadBlend blend,
                          bool linear) = 0;
    // Reads the whole current target into rows of width x 4 bytes (blue, green, red, alpha).
    virtual bool ReadPixels(uint8_t* pixels, int32_t pitch) = 0;
    // Shows the texture, stretched over the window, and waits for the display's refresh.
    virtual bool Present(TextureId backBuffer) = 0;

    virtual EDeviceState TestCooperativeLevel() = 0;
    // After kNotReset: drops what the reset took away; true on failure.
    virtual bool Reset() = 0;
};

// The device new hardware renderers get: the SDL renderer by default; tests and the harness
// install their own maker (null restores the default).
using RenderDeviceMaker = std::function<std::shared_ptr<IRenderDevice>()>;
void SetRenderDeviceMaker(RenderDeviceMaker maker);
std::shared_ptr<IRenderDevice> CreateRenderDevice();

}  // namespace kestrin
