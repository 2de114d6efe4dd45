#pragma once
// Software blits: the placement of one blit and the row routines that combine a 32-bit source
// with a 32-bit target for each layer mode (normal, add, multiply, colour key, screen).
#include <cstdint>
#include <memory>

namespace kestrin {

class IRect;
class ISurface;

// The plan of one software blit.
struct BlitParams {
    int32_t srcX = 0;  // top-left of the copied area in the source
    int32_t srcY = 0;
    int32_t dstX = 0;  // where that pixel lands in the target
    int32_t dstY = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint8_t valid = 0;  // 0: nothing to draw
};

// Places the rectangle P (a source placed in target space) over the target rectangle T.
// clipP and clipT (may be null) are relative to the top-left of P and T.
BlitParams ComputeBlitRect(const IRect& placed, const IRect& target, const IRect* clipPlaced, const IRect* clipTarget);

// The row routines. Each locks both surfaces, walks params.height rows of params.width pixels and
// unlocks them. The area is first clamped to the real size of both surfaces, and a surface that is
// not 32-bit draws nothing. Only bytes 0 to 2 of target pixels are written, except by BlitCopy.
// opacity is 0 to 255 (clamped); colorKey is 0xRRGGBB.
void BlitCopy(ISurface* target, ISurface* source, const BlitParams& params);
void BlendNormalOpacity(ISurface* target, ISurface* source, const BlitParams& params, int32_t opacity);
void BlendNormalAlpha(ISurface* target, ISurface* source, const BlitParams& params);
void BlendNormalAlphaOpacity(ISurface* target, ISurface* source, const BlitParams& params, int32_t opacity);
void BlendAdd(ISurface* target, ISurface* source, const BlitParams& params);
void BlendAddOpacity(ISurface* target, ISurface* source, const BlitParams& params, int32_t opacity);
void BlendAddAlpha(ISurface* target, ISurface* source, const BlitParams& params);
void BlendAddAlphaOpacity(ISurface* target, ISurface* source, const BlitParams& params, int32_t opacity);
void BlendMultiply(ISurface* target, ISurface* source, const BlitParams& params);
void BlendMultiplyOpacity(ISurface* target, ISurface* source, const BlitParams& params, int32_t opacity);
void BlendMultiplyAlpha(ISurface* target, ISurface* source, const BlitParams& params);
void BlendMultiplyAlphaOpacity(ISurface* target, ISurface* source, const BlitParams& params, int32_t opacity);
void BlendScreen(ISurface* target, ISurface* source, const BlitParams& params);
void BlendScreenOpacity(ISurface* target, ISurface* source, const BlitParams& params, int32_t opacity);
void BlendScreenAlpha(ISurface* target, ISurface* source, const BlitParams& params);
void BlendScreenAlphaOpacity(ISurface* target, ISurface* source, const BlitParams& params, int32_t opacity);
void BlendColorKey(ISurface* target, ISurface* source, const BlitParams& params, int32_t colorKey);
void BlendColorKeyOpacity(ISurface* target, ISurface* source, const BlitParams& params, int32_t colorKey,
                          int32_t opacity);

// The pointer takes ownership of the new surface and releases the one it held.
void ResetSurfacePtr(std::shared_ptr<ISurface>& pointer, ISurface* surface);

// The row kernels behind the routines above, on raw rows of n 4-byte pixels (blue, green, red,
// alpha). Exposed for the benchmarks.
namespace blit {
enum Kernel {
    kCopy,
    kNormalOpacity,
    kNormalAlpha,
    kNormalAlphaOpacity,
    kAdd,
    kAddOpacity,
    kAddAlpha,
    kAddAlphaOpacity,
    kMultiply,
    kMultiplyOpacity,
    kMultiplyAlpha,
    kMultiplyAlphaOpacity,
    kScreen,
    kScreenOpacity,
    kScreenAlpha,
    kScreenAlphaOpacity,
    kColorKey,
    kColorKeyOpacity,
    kKernelCount
};
void BlendRow(Kernel kernel, uint8_t* dst, const uint8_t* src, int32_t n, int32_t opacity, uint32_t colorKey);
}  // namespace blit

}  // namespace kestrin
