#include "GRAPHICS/Blit.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cstring>

#include "GRAPHICS/IRect.h"
#include "GRAPHICS/ISurface.h"

namespace kestrin {

namespace {

// Rectangle edges in 64 bits, so that no placement can overflow.
struct Span {
    int64_t left, top, right, bottom;  // right and bottom inclusive
    bool HasArea() const { return right >= left && bottom >= top; }
};

Span Intersect(const Span& a, const Span& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

Span FromRect(const IRect& r) {
    return {r.GetX(), r.GetY(), static_cast<int64_t>(r.GetX()) + r.GetWidth() - 1,
            static_cast<int64_t>(r.GetY()) + r.GetHeight() - 1};
}

// A clip given relative to the top-left of the rectangle it clips. Empty when it misses it.
Span ApplyClip(const Span& rect, const IRect& clip) {
    Span c{rect.left + clip.GetX(), rect.top + clip.GetY(), rect.left + clip.GetX() + clip.GetWidth() - 1,
           rect.top + clip.GetY() + clip.GetHeight() - 1};
    return Intersect(rect, c);
}

}  // namespace

BlitParams ComputeBlitRect(const IRect& placed, const IRect& target, const IRect* clipPlaced, const IRect* clipTarget) {
    BlitParams out;
    Span s = FromRect(placed);
    Span d = FromRect(target);
    if (clipTarget) {
        d = ApplyClip(d, *clipTarget);
        if (!d.HasArea()) return out;
    }
    if (clipPlaced) {
        s = ApplyClip(s, *clipPlaced);
        if (!s.HasArea()) return out;
    }
    Span i = Intersect(d, s);
    if (!i.HasArea()) return out;
    const int64_t dstX = i.left - target.GetX();
    const int64_t dstY = i.top - target.GetY();
    const int64_t srcX = i.left - placed.GetX();
    const int64_t srcY = i.top - placed.GetY();
    const int64_t w = i.right - i.left + 1;
    const int64_t h = i.bottom - i.top + 1;
    constexpr int64_t kMax = INT32_MAX;
    constexpr int64_t kMin = INT32_MIN;
    for (int64_t v : {dstX, dstY, srcX, srcY, w, h})
        if (v > kMax || v < kMin) return out;
    out.dstX = static_cast<int32_t>(dstX);
    out.dstY = static_cast<int32_t>(dstY);
    out.srcX = static_cast<int32_t>(srcX);
    out.srcY = static_cast<int32_t>(srcY);
    out.width = static_cast<int32_t>(w);
    out.height = static_cast<int32_t>(h);
    out.valid = 1;
    return out;
}

void ResetSurfacePtr(std::shared_ptr<ISurface>& pointer, ISurface* surface) { pointer.reset(surface); }

namespace blit {
namespace {

// ---- scalar pixels: the exact formulas, bytes 0 to 2 only ----------------------------------

inline int Clamp255(int v) { return v > 255 ? 255 : v; }
inline int Shr8(int v) { return v >> 8; }  // arithmetic: floor division by 256

template <Kernel K>
inline void Pixel(uint8_t* d, const uint8_t* s, int o, uint32_t key) {
    const int a = s[3];
    if constexpr (K == kNormalAlpha || K == kNormalAlphaOpacity || K == kAddAlpha || K == kAddAlphaOpacity ||
                  K == kMultiplyAlpha || K == kMultiplyAlphaOpacity || K == kScreenAlpha || K == kScreenAlphaOpacity) {
        if (a == 0) return;
    }
    if constexpr (K == kColorKey || K == kColorKeyOpacity) {
        const uint32_t rgb = s[0] | (s[1] << 8) | (static_cast<uint32_t>(s[2]) << 16);
        if (rgb == key) return;
    }
    for (int i = 0; i < 3; ++i) {
        const int dv = d[i];
        const int sv = s[i];
        int r = dv;
        if constexpr (K == kNormalOpacity || K == kColorKeyOpacity) r = dv + Shr8(o * (sv - dv));
        if constexpr (K == kNormalAlpha) r = dv + Shr8((sv - dv) * a);
        if constexpr (K == kNormalAlphaOpacity) r = dv + Shr8(Shr8(o * (sv - dv)) * a);
        if constexpr (K == kAdd) r = Clamp255(dv + sv);
        if constexpr (K == kAddOpacity) r = Clamp255(dv + Shr8(o * sv));
        if constexpr (K == kAddAlpha) r = Clamp255(dv + Shr8(sv * a));
        if constexpr (K == kAddAlphaOpacity) r = Clamp255(dv + Shr8(Shr8(o * sv) * a));
        if constexpr (K == kMultiply) r = Shr8(dv * sv);
        if constexpr (K == kMultiplyOpacity) r = Shr8(dv * (255 - Shr8(o * (255 - sv))));
        if constexpr (K == kMultiplyAlpha) r = Shr8(dv * (255 - Shr8((255 - sv) * a)));
        if constexpr (K == kMultiplyAlphaOpacity) r = Shr8(dv * (255 - Shr8(Shr8(o * (255 - sv)) * a)));
        if constexpr (K == kScreen) r = Clamp255(dv + sv - Shr8(sv * dv));
        if constexpr (K == kScreenOpacity || K == kScreenAlpha || K == kScreenAlphaOpacity) {
            int x = 0;
            if constexpr (K == kScreenOpacity) x = Shr8(o * sv);
            if constexpr (K == kScreenAlpha) x = Shr8(sv * a);
            if constexpr (K == kScreenAlphaOpacity) x = Shr8(Shr8(o * sv) * a);
            r = Clamp255(dv + x - Shr8(x * dv));
        }
        if constexpr (K == kColorKey) r = sv;
        d[i] = static_cast<uint8_t>(r);
    }
}

// ---- vector bodies: SSE2 (four pixels a step) on x86, AVX2 (eight) where the CPU has it; other
// processors run the scalar pixels ---------------------------------------------------------------

#if defined(__SSE2__)
#define KESTRIN_BLIT_HAVE_SSE2 1

#define KESTRIN_BLIT_TARGET
#define V __m128i
#define VI(op) _mm_##op
#define VSI(op) _mm_##op##_si128
#define KESTRIN_BLIT_PIXELS 4
namespace sse2 {
#include "GRAPHICS/BlitKernels.inc"
}  // namespace sse2
#undef KESTRIN_BLIT_TARGET
#undef V
#undef VI
#undef VSI
#undef KESTRIN_BLIT_PIXELS
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KESTRIN_BLIT_TARGET __attribute__((target("avx2")))
#define V __m256i
#define VI(op) _mm256_##op
#define VSI(op) _mm256_##op##_si256
#define KESTRIN_BLIT_PIXELS 8
namespace avx2 {
#include "GRAPHICS/BlitKernels.inc"
}  // namespace avx2
#undef KESTRIN_BLIT_TARGET
#undef V
#undef VI
#undef VSI
#undef KESTRIN_BLIT_PIXELS
#define KESTRIN_BLIT_HAVE_AVX2 1
#endif

template <Kernel K>
void Row(uint8_t* dst, const uint8_t* src, int32_t n, int32_t opacity, uint32_t colorKey) {
    if constexpr (K == kCopy) {
        std::memcpy(dst, src, static_cast<size_t>(n) * 4);
    } else {
#ifdef KESTRIN_BLIT_HAVE_SSE2
        const int32_t done = sse2::Body<K>(dst, src, n, opacity, colorKey);
#else
        const int32_t done = 0;
#endif
        for (int32_t i = done; i < n; ++i) Pixel<K>(dst + i * 4, src + i * 4, opacity, colorKey);
    }
}

#ifdef KESTRIN_BLIT_HAVE_AVX2
template <Kernel K>
void RowAvx2(uint8_t* dst, const uint8_t* src, int32_t n, int32_t opacity, uint32_t colorKey) {
    if constexpr (K == kCopy) {
        std::memcpy(dst, src, static_cast<size_t>(n) * 4);
    } else {
        int32_t done = avx2::Body<K>(dst, src, n, opacity, colorKey);
        done += sse2::Body<K>(dst + done * 4, src + done * 4, n - done, opacity, colorKey);
        for (int32_t i = done; i < n; ++i) Pixel<K>(dst + i * 4, src + i * 4, opacity, colorKey);
    }
}
#endif

using RowFn = void (*)(uint8_t*, const uint8_t*, int32_t, int32_t, uint32_t);

#define KESTRIN_BLIT_TABLE(R)                                                                                         \
    {                                                                                                                 \
        R<kCopy>, R<kNormalOpacity>, R<kNormalAlpha>, R<kNormalAlphaOpacity>, R<kAdd>, R<kAddOpacity>, R<kAddAlpha>,  \
            R<kAddAlphaOpacity>, R<kMultiply>, R<kMultiplyOpacity>, R<kMultiplyAlpha>, R<kMultiplyAlphaOpacity>,      \
            R<kScreen>, R<kScreenOpacity>, R<kScreenAlpha>, R<kScreenAlphaOpacity>, R<kColorKey>, R<kColorKeyOpacity> \
    }
constexpr RowFn kSse2Rows[kKernelCount] = KESTRIN_BLIT_TABLE(Row);
#ifdef KESTRIN_BLIT_HAVE_AVX2
constexpr RowFn kAvx2Rows[kKernelCount] = KESTRIN_BLIT_TABLE(RowAvx2);
#endif
#undef KESTRIN_BLIT_TABLE

// The widest body this CPU runs.
const RowFn* PickRows() {
#ifdef KESTRIN_BLIT_HAVE_AVX2
    if (__builtin_cpu_supports("avx2")) return kAvx2Rows;
#endif
    return kSse2Rows;
}

// Chosen on first use, so that no static initialiser elsewhere can run before it.
const RowFn* Rows() {
    static const RowFn* const rows = PickRows();
    return rows;
}

}  // namespace

void BlendRow(Kernel kernel, uint8_t* dst, const uint8_t* src, int32_t n, int32_t opacity, uint32_t colorKey) {
    if (kernel < 0 || kernel >= kKernelCount || n <= 0) return;
    Rows()[kernel](dst, src, n, std::clamp(opacity, 0, 255), colorKey & 0xFFFFFF);
}

}  // namespace blit

namespace {

// Clamps the area to both surfaces, then runs the row kernel over it.
void Run(blit::Kernel kernel, ISurface* target, ISurface* source, const BlitParams& params, int32_t opacity,
         int32_t colorKey) {
    if (!target || !source || !params.valid) return;
    if (target->GetPixelBits() == 0 || source->GetPixelBits() == 0) return;
    if (target->GetBytesPerPixel() != 4 || source->GetBytesPerPixel() != 4) return;
    int64_t sx = params.srcX, sy = params.srcY, dx = params.dstX, dy = params.dstY;
    int64_t w = params.width, h = params.height;
    // Cut whatever lies left of / above either surface, then whatever lies right of / below it.
    auto cutFront = [&](int64_t& a, int64_t& b, int64_t& len) {
        const int64_t cut = std::max<int64_t>({0, -a, -b});
        a += cut;
        b += cut;
        len -= cut;
    };
    cutFront(sx, dx, w);
    cutFront(sy, dy, h);
    w = std::min({w, static_cast<int64_t>(source->GetWidth()) - sx, static_cast<int64_t>(target->GetWidth()) - dx});
    h = std::min({h, static_cast<int64_t>(source->GetHeight()) - sy, static_cast<int64_t>(target->GetHeight()) - dy});
    if (w <= 0 || h <= 0) return;
    const uint32_t key = static_cast<uint32_t>(colorKey) & 0xFFFFFF;
    const int32_t o = std::clamp(opacity, 0, 255);
    const blit::RowFn* rows = blit::Rows();
    source->Lock();
    if (target != source) target->Lock();
    for (int64_t i = 0; i < h; ++i) {
        auto* drow = reinterpret_cast<uint8_t*>(target->GetLine(static_cast<int32_t>(dy + i)));
        auto* srow = reinterpret_cast<const uint8_t*>(source->GetLine(static_cast<int32_t>(sy + i)));
        if (!drow || !srow) break;
        rows[kernel](drow + dx * 4, srow + sx * 4, static_cast<int32_t>(w), o, key);
    }
    if (target != source) {
        target->Unlock();
        source->UnlockReadOnly();
    } else {
        source->Unlock();
    }
}

}  // namespace

void BlitCopy(ISurface* t, ISurface* s, const BlitParams& p) { Run(blit::kCopy, t, s, p, 255, 0); }
void BlendNormalOpacity(ISurface* t, ISurface* s, const BlitParams& p, int32_t o) {
    Run(blit::kNormalOpacity, t, s, p, o, 0);
}
void BlendNormalAlpha(ISurface* t, ISurface* s, const BlitParams& p) { Run(blit::kNormalAlpha, t, s, p, 255, 0); }
void BlendNormalAlphaOpacity(ISurface* t, ISurface* s, const BlitParams& p, int32_t o) {
    Run(blit::kNormalAlphaOpacity, t, s, p, o, 0);
}
void BlendAdd(ISurface* t, ISurface* s, const BlitParams& p) { Run(blit::kAdd, t, s, p, 255, 0); }
void BlendAddOpacity(ISurface* t, ISurface* s, const BlitParams& p, int32_t o) {
    Run(blit::kAddOpacity, t, s, p, o, 0);
}
void BlendAddAlpha(ISurface* t, ISurface* s, const BlitParams& p) { Run(blit::kAddAlpha, t, s, p, 255, 0); }
void BlendAddAlphaOpacity(ISurface* t, ISurface* s, const BlitParams& p, int32_t o) {
    Run(blit::kAddAlphaOpacity, t, s, p, o, 0);
}
void BlendMultiply(ISurface* t, ISurface* s, const BlitParams& p) { Run(blit::kMultiply, t, s, p, 255, 0); }
void BlendMultiplyOpacity(ISurface* t, ISurface* s, const BlitParams& p, int32_t o) {
    Run(blit::kMultiplyOpacity, t, s, p, o, 0);
}
void BlendMultiplyAlpha(ISurface* t, ISurface* s, const BlitParams& p) { Run(blit::kMultiplyAlpha, t, s, p, 255, 0); }
void BlendMultiplyAlphaOpacity(ISurface* t, ISurface* s, const BlitParams& p, int32_t o) {
    Run(blit::kMultiplyAlphaOpacity, t, s, p, o, 0);
}
void BlendScreen(ISurface* t, ISurface* s, const BlitParams& p) { Run(blit::kScreen, t, s, p, 255, 0); }
void BlendScreenOpacity(ISurface* t, ISurface* s, const BlitParams& p, int32_t o) {
    Run(blit::kScreenOpacity, t, s, p, o, 0);
}
void BlendScreenAlpha(ISurface* t, ISurface* s, const BlitParams& p) { Run(blit::kScreenAlpha, t, s, p, 255, 0); }
void BlendScreenAlphaOpacity(ISurface* t, ISurface* s, const BlitParams& p, int32_t o) {
    Run(blit::kScreenAlphaOpacity, t, s, p, o, 0);
}
void BlendColorKey(ISurface* t, ISurface* s, const BlitParams& p, int32_t k) { Run(blit::kColorKey, t, s, p, 255, k); }
void BlendColorKeyOpacity(ISurface* t, ISurface* s, const BlitParams& p, int32_t k, int32_t o) {
    Run(blit::kColorKeyOpacity, t, s, p, o, k);
}

}  // namespace kestrin
