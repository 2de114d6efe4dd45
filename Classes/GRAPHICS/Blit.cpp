#include "GRAPHICS/Blit.h"

#include <emmintrin.h>

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
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
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

BlitParams ComputeBlitRect(const IRect& placed, const IRect& target, const IRect* clipPlaced,
                           const IRect* clipTarget) {
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
                  K == kMultiplyAlpha || K == kMultiplyAlphaOpacity || K == kScreenAlpha ||
                  K == kScreenAlphaOpacity) {
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

// ---- SSE2: four pixels at a time, in 16-bit lanes ------------------------------------------

// (x * w) >> 8 for 0 <= x, w <= 255 (the product fits 16 unsigned bits).
inline __m128i MulShr8(__m128i x, __m128i w) { return _mm_srli_epi16(_mm_mullo_epi16(x, w), 8); }
// floor((x * w) / 256) for -255 <= x <= 255 and 0 <= w <= 255: the high half of (x << 7) * (w << 1).
inline __m128i MulShr8Signed(__m128i x, __m128i w) {
    return _mm_mulhi_epi16(_mm_slli_epi16(x, 7), _mm_slli_epi16(w, 1));
}
// Each pixel's alpha lane copied into its four lanes.
inline __m128i BroadcastAlpha(__m128i x) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, 0xFF), 0xFF); }

template <Kernel K>
inline __m128i Lanes(__m128i d, __m128i s, __m128i o) {
    const __m128i c255 = _mm_set1_epi16(255);
    if constexpr (K == kNormalOpacity || K == kColorKeyOpacity) return _mm_add_epi16(d, MulShr8Signed(_mm_sub_epi16(s, d), o));
    if constexpr (K == kNormalAlpha) return _mm_add_epi16(d, MulShr8Signed(_mm_sub_epi16(s, d), BroadcastAlpha(s)));
    if constexpr (K == kNormalAlphaOpacity)
        return _mm_add_epi16(d, MulShr8Signed(MulShr8Signed(_mm_sub_epi16(s, d), o), BroadcastAlpha(s)));
    if constexpr (K == kAddOpacity) return _mm_add_epi16(d, MulShr8(s, o));
    if constexpr (K == kAddAlpha) return _mm_add_epi16(d, MulShr8(s, BroadcastAlpha(s)));
    if constexpr (K == kAddAlphaOpacity) return _mm_add_epi16(d, MulShr8(MulShr8(s, o), BroadcastAlpha(s)));
    if constexpr (K == kMultiply) return MulShr8(d, s);
    if constexpr (K == kMultiplyOpacity) return MulShr8(d, _mm_sub_epi16(c255, MulShr8(_mm_sub_epi16(c255, s), o)));
    if constexpr (K == kMultiplyAlpha)
        return MulShr8(d, _mm_sub_epi16(c255, MulShr8(_mm_sub_epi16(c255, s), BroadcastAlpha(s))));
    if constexpr (K == kMultiplyAlphaOpacity)
        return MulShr8(d, _mm_sub_epi16(c255, MulShr8(MulShr8(_mm_sub_epi16(c255, s), o), BroadcastAlpha(s))));
    if constexpr (K == kScreen) return _mm_sub_epi16(_mm_add_epi16(d, s), MulShr8(s, d));
    if constexpr (K == kScreenOpacity || K == kScreenAlpha || K == kScreenAlphaOpacity) {
        __m128i x;
        if constexpr (K == kScreenOpacity) x = MulShr8(s, o);
        if constexpr (K == kScreenAlpha) x = MulShr8(s, BroadcastAlpha(s));
        if constexpr (K == kScreenAlphaOpacity) x = MulShr8(MulShr8(s, o), BroadcastAlpha(s));
        return _mm_sub_epi16(_mm_add_epi16(d, x), MulShr8(x, d));
    }
    return s;
}

template <Kernel K>
inline __m128i Vec4(__m128i d, __m128i s, __m128i o, __m128i key) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i rgbMask = _mm_set1_epi32(0x00FFFFFF);
    __m128i r;
    if constexpr (K == kAdd) {
        r = _mm_adds_epu8(d, s);
    } else if constexpr (K == kColorKey) {
        r = s;
    } else {
        const __m128i lo = Lanes<K>(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero), o);
        const __m128i hi = Lanes<K>(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero), o);
        r = _mm_packus_epi16(lo, hi);  // saturates, which is the clamp to 255
    }
    // Pixels left untouched: zero alpha where multiply would change them, or the colour key.
    __m128i keep = _mm_andnot_si128(rgbMask, _mm_set1_epi32(-1));
    if constexpr (K == kMultiplyAlpha || K == kMultiplyAlphaOpacity) {
        const __m128i noAlpha = _mm_cmpeq_epi32(_mm_andnot_si128(rgbMask, s), zero);
        keep = _mm_or_si128(keep, noAlpha);
    }
    if constexpr (K == kColorKey || K == kColorKeyOpacity) {
        const __m128i keyed = _mm_cmpeq_epi32(_mm_and_si128(s, rgbMask), key);
        keep = _mm_or_si128(keep, keyed);
    }
    return _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, r));
}

template <Kernel K>
void Row(uint8_t* dst, const uint8_t* src, int32_t n, int32_t opacity, uint32_t colorKey) {
    if constexpr (K == kCopy) {
        std::memcpy(dst, src, static_cast<size_t>(n) * 4);
    } else {
        const __m128i o = _mm_set1_epi16(static_cast<int16_t>(opacity));
        const __m128i key = _mm_set1_epi32(static_cast<int32_t>(colorKey));
        int32_t i = 0;
        for (; i + 4 <= n; i += 4) {
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i * 4));
            const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i * 4));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i * 4), Vec4<K>(d, s, o, key));
        }
        for (; i < n; ++i) Pixel<K>(dst + i * 4, src + i * 4, opacity, colorKey);
    }
}

using RowFn = void (*)(uint8_t*, const uint8_t*, int32_t, int32_t, uint32_t);
constexpr RowFn kRows[kKernelCount] = {
    Row<kCopy>,           Row<kNormalOpacity>,   Row<kNormalAlpha>,         Row<kNormalAlphaOpacity>,
    Row<kAdd>,            Row<kAddOpacity>,      Row<kAddAlpha>,            Row<kAddAlphaOpacity>,
    Row<kMultiply>,       Row<kMultiplyOpacity>, Row<kMultiplyAlpha>,       Row<kMultiplyAlphaOpacity>,
    Row<kScreen>,         Row<kScreenOpacity>,   Row<kScreenAlpha>,         Row<kScreenAlphaOpacity>,
    Row<kColorKey>,       Row<kColorKeyOpacity>,
};

}  // namespace

void BlendRow(Kernel kernel, uint8_t* dst, const uint8_t* src, int32_t n, int32_t opacity, uint32_t colorKey) {
    if (kernel < 0 || kernel >= kKernelCount || n <= 0) return;
    kRows[kernel](dst, src, n, std::clamp(opacity, 0, 255), colorKey & 0xFFFFFF);
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
    source->Lock();
    if (target != source) target->Lock();
    for (int64_t i = 0; i < h; ++i) {
        auto* drow = reinterpret_cast<uint8_t*>(target->GetLine(static_cast<int32_t>(dy + i)));
        auto* srow = reinterpret_cast<const uint8_t*>(source->GetLine(static_cast<int32_t>(sy + i)));
        if (!drow || !srow) break;
        blit::kRows[kernel](drow + dx * 4, srow + sx * 4, static_cast<int32_t>(w), o, key);
    }
    if (target != source) target->Unlock();
    source->Unlock();
}

}  // namespace

void BlitCopy(ISurface* t, ISurface* s, const BlitParams& p) { Run(blit::kCopy, t, s, p, 255, 0); }
void BlendNormalOpacity(ISurface* t, ISurface* s, const BlitParams& p, int32_t o) { Run(blit::kNormalOpacity, t, s, p, o, 0); }
void BlendNormalAlpha(ISurface* t, ISurface* s, const BlitParams& p) { Run(blit::kNormalAlpha, t, s, p, 255, 0); }
void BlendNormalAlphaOpacity(ISurface* t, ISurface* s, const BlitParams& p, int32_t o) {
    Run(blit::kNormalAlphaOpacity, t, s, p, o, 0);
}
void BlendAdd(ISurface* t, ISurface* s, const BlitParams& p) { Run(blit::kAdd, t, s, p, 255, 0); }
void BlendAddOpacity(ISurface* t, ISurface* s, const BlitParams& p, int32_t o) { Run(blit::kAddOpacity, t, s, p, o, 0); }
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
void BlendScreenOpacity(ISurface* t, ISurface* s, const BlitParams& p, int32_t o) { Run(blit::kScreenOpacity, t, s, p, o, 0); }
void BlendScreenAlpha(ISurface* t, ISurface* s, const BlitParams& p) { Run(blit::kScreenAlpha, t, s, p, 255, 0); }
void BlendScreenAlphaOpacity(ISurface* t, ISurface* s, const BlitParams& p, int32_t o) {
    Run(blit::kScreenAlphaOpacity, t, s, p, o, 0);
}
void BlendColorKey(ISurface* t, ISurface* s, const BlitParams& p, int32_t k) { Run(blit::kColorKey, t, s, p, 255, k); }
void BlendColorKeyOpacity(ISurface* t, ISurface* s, const BlitParams& p, int32_t k, int32_t o) {
    Run(blit::kColorKeyOpacity, t, s, p, o, k);
}

}  // namespace kestrin
