#include "GRAPHICS/CLayer.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "CORE/CInput.h"
#include "GRAPHICS/Blit.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/IGraphicRenderer.h"
#include "GRAPHICS/ISurface.h"

namespace kestrin {

namespace {

constexpr int32_t kLeftButton = 1;
// Coordinates beyond this are far off any render target.
constexpr float kFarAway = 1073741824.0f;  // 2^30

bool IsUsable(float v) { return std::isfinite(v) && std::fabs(v) < kFarAway; }

// ---- resampling ------------------------------------------------------------------------------

// The source area of one resampling, in image pixels (right and bottom inclusive).
struct SourceArea {
    const uint8_t* const* rows;      // image rows
    const uint8_t* const* maskRows;  // mask rows, or null
    int64_t left, top, right, bottom;
    uint32_t outside;  // what 32-bit pixels outside the area become
};

// One target row: n pixels starting at fixed-point source position (u, v), stepping (du, dv).
// The smooth samplers get (u, v) moved back by half a pixel: they weigh the four pixels around
// the sample point, while the inside test looks at the pixel the point itself falls in.
// kOpaque: the image has no alpha (its fourth byte is spare), so every pixel inside is opaque.
template <int kBpp, bool kSmooth, bool kMask, bool kOpaque>
void ResampleRow(uint8_t* out, int32_t n, int64_t u, int64_t v, int64_t du, int64_t dv, const SourceArea& a) {
    constexpr int64_t kHalf = kSmooth ? 0x8000 : 0;
    for (int32_t i = 0; i < n; ++i, u += du, v += dv, out += kBpp) {
        const int64_t px = (u + kHalf) >> 16;
        const int64_t py = (v + kHalf) >> 16;
        if (px < a.left || px > a.right || py < a.top || py > a.bottom) {
            if constexpr (kBpp == 4)
                std::memcpy(out, &a.outside, 4);
            else
                out[0] = 0;
            continue;
        }
        if constexpr (!kSmooth) {
            const uint8_t* s = a.rows[py] + px * kBpp;
            for (int b = 0; b < kBpp; ++b) out[b] = s[b];
            if constexpr (kOpaque) out[3] = 255;
            if constexpr (kMask) out[3] = static_cast<uint8_t>((out[3] * (a.maskRows[py][px] + 1)) >> 8);
        } else {
            // The four neighbours, held at the edges of the area.
            const int64_t sx = u >> 16;
            const int64_t sy = v >> 16;
            const int64_t x0 = std::max(sx, a.left), x1 = std::min(sx + 1, a.right);
            const int64_t y0 = std::max(sy, a.top), y1 = std::min(sy + 1, a.bottom);
            const int32_t fx = static_cast<int32_t>((u >> 8) & 255);
            const int32_t fy = static_cast<int32_t>((v >> 8) & 255);
            const int32_t w00 = (((255 - fx) * (256 - fy)) >> 8) + 1;
            const int32_t w10 = ((fx * (256 - fy)) >> 8) + 1;
            const int32_t w01 = (((255 - fx) * (fy + 1)) >> 8) + 1;
            const int32_t w11 = ((fx * (fy + 1)) >> 8) + 1;
            const uint8_t* p00 = a.rows[y0] + x0 * kBpp;
            const uint8_t* p10 = a.rows[y0] + x1 * kBpp;
            const uint8_t* p01 = a.rows[y1] + x0 * kBpp;
            const uint8_t* p11 = a.rows[y1] + x1 * kBpp;
#if defined(__SSE2__)
            if constexpr (kBpp == 4 && !kMask) {
                if (x1 == x0 + 1) {
                    // Both pixels of a row pair in one load; the same sums in 16-bit lanes.
                    const __m128i zero = _mm_setzero_si128();
                    const __m128i top = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p00)), zero);
                    const __m128i bottom =
                        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p01)), zero);
                    const __m128i wTop = _mm_unpacklo_epi64(_mm_set1_epi16(static_cast<int16_t>(w00)),
                                                            _mm_set1_epi16(static_cast<int16_t>(w10)));
                    const __m128i wBottom = _mm_unpacklo_epi64(_mm_set1_epi16(static_cast<int16_t>(w01)),
                                                               _mm_set1_epi16(static_cast<int16_t>(w11)));
                    __m128i sum = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(top, wTop), 8),
                                                _mm_srli_epi16(_mm_mullo_epi16(bottom, wBottom), 8));
                    sum = _mm_add_epi16(sum, _mm_srli_si128(sum, 8));
                    const int32_t pixel = _mm_cvtsi128_si32(_mm_packus_epi16(sum, sum));
                    std::memcpy(out, &pixel, 4);
                    if constexpr (kOpaque) out[3] = 255;
                    continue;
                }
            }
#endif
            auto filter = [&](int b) {
                return ((p00[b] * w00) >> 8) + ((p10[b] * w10) >> 8) + ((p01[b] * w01) >> 8) + ((p11[b] * w11) >> 8);
            };
            if constexpr (kMask) {
                out[0] = static_cast<uint8_t>(filter(0));
                out[1] = static_cast<uint8_t>(filter(1));
                out[2] = static_cast<uint8_t>(filter(2));
                const int32_t mk = ((a.maskRows[y0][x0] * w00) >> 8) + ((a.maskRows[y0][x1] * w10) >> 8) +
                                   ((a.maskRows[y1][x0] * w01) >> 8) + ((a.maskRows[y1][x1] * w11) >> 8);
                out[3] = static_cast<uint8_t>(((kOpaque ? 255 : filter(3)) * (mk + 1)) >> 8);
            } else {
                for (int b = 0; b < kBpp; ++b) out[b] = static_cast<uint8_t>(filter(b));
                if constexpr (kOpaque) out[3] = 255;
            }
        }
    }
}

using ResampleFn = void (*)(uint8_t*, int32_t, int64_t, int64_t, int64_t, int64_t, const SourceArea&);

template <bool kOpaque>
ResampleFn PickResampler32(bool smooth, bool mask) {
    if (mask) return smooth ? ResampleRow<4, true, true, kOpaque> : ResampleRow<4, false, true, kOpaque>;
    return smooth ? ResampleRow<4, true, false, kOpaque> : ResampleRow<4, false, false, kOpaque>;
}

ResampleFn PickResampler(int32_t pixelBits, bool smooth, bool mask) {
    if (pixelBits == ISurface::kPixel8)
        return smooth ? ResampleRow<1, true, false, false> : ResampleRow<1, false, false, false>;
    return pixelBits == ISurface::kPixel32 ? PickResampler32<true>(smooth, mask) : PickResampler32<false>(smooth, mask);
}

// Handlers may change or clear themselves: a copy is called.
void Call(const LayerEventHandler& handler) {
    LayerEventHandler copy = handler;
    copy();
}

int64_t ToFixed(double v) {
    constexpr double kLimit = 4503599627370496.0;  // 2^52: far outside any image, still exact
    return static_cast<int64_t>(std::floor(std::clamp(v * 65536.0, -kLimit, kLimit)));
}

int64_t StepToFixed(double v) {
    constexpr double kLimit = 1099511627776.0;  // 2^40: a row of 2^15 steps stays in 64 bits
    return static_cast<int64_t>(std::llround(std::clamp(v * 65536.0, -kLimit, kLimit)));
}

// An 8-bit image is black with its bytes as alpha, as the hardware renderer draws it: it
// darkens the target in the normal, colour-key and multiply modes, and adding or screening
// black leaves the target as it is.
void BlendAlphaOnly(ISurface* target, ISurface* source, const BlitParams& p, int32_t mode, int32_t o) {
    if (mode == 1 || mode == 4 || target->GetBytesPerPixel() != 4 || source->GetBytesPerPixel() != 1) return;
    const bool opaque = o == 255;
    const blit::Kernel kernel = mode == 2 ? (opaque ? blit::kMultiplyAlpha : blit::kMultiplyAlphaOpacity)
                                          : (opaque ? blit::kNormalAlpha : blit::kNormalAlphaOpacity);
    const int32_t width = std::min(p.width, std::min(source->GetWidth() - p.srcX, target->GetWidth() - p.dstX));
    const int32_t height = std::min(p.height, std::min(source->GetHeight() - p.srcY, target->GetHeight() - p.dstY));
    if (width <= 0 || height <= 0 || p.srcX < 0 || p.srcY < 0 || p.dstX < 0 || p.dstY < 0) return;
    std::vector<uint8_t> row(static_cast<size_t>(width) * 4, 0);
    target->Lock();
    source->Lock();
    for (int32_t i = 0; i < height; ++i) {
        uint8_t* d = target->GetLine(p.dstY + i);
        const uint8_t* s = source->GetLine(p.srcY + i);
        if (!d || !s) break;
        for (int32_t x = 0; x < width; ++x) row[static_cast<size_t>(x) * 4 + 3] = s[p.srcX + x];
        blit::BlendRow(kernel, d + static_cast<size_t>(p.dstX) * 4, row.data(), width, o, 0);
    }
    source->UnlockReadOnly();
    target->Unlock();
}

// A singular matrix, or one whose inverse overflows, shows nothing.
bool IsInvertible(const CMatrix2D& m) {
    const double det = static_cast<double>(m.A()) * m.E() - static_cast<double>(m.B()) * m.D();
    return std::fabs(det) > 0 && std::isfinite(det);
}

}  // namespace

CLayer::CLayer(const std::shared_ptr<IGraphicRenderer>& renderer) : m_renderer(renderer) {}

CLayer::~CLayer() = default;

// ---- properties ------------------------------------------------------------------------------

void CLayer::SetSurface(const std::shared_ptr<ISurface>& surface) {
    AddDirtyFlags(kDirtyContent | kDirtyImage);
    m_surface = surface;
    m_mask.reset();
    m_transformed.reset();
    m_builtValid = false;
}

void CLayer::SetMask(const std::shared_ptr<ISurface>& mask) {
    if (!mask) {
        m_mask.reset();
        AddDirtyFlags(kDirtyContent);
        return;
    }
    if (!m_surface) return;
    const int32_t bits = m_surface->GetPixelBits();
    if ((bits != 1 && bits != 2) || mask->GetPixelBits() != 0) return;
    if (mask->GetWidth() != m_surface->GetWidth() || mask->GetHeight() != m_surface->GetHeight()) return;
    m_mask = mask;
    AddDirtyFlags(kDirtyContent);
}

void CLayer::SetColorKey(int32_t colorKey) {
    if (colorKey == m_colorKey) return;
    m_colorKey = colorKey;
    AddDirtyFlags(kDirtyImage);
}

void CLayer::SetOnRollOut(const LayerEventHandler& handler) {
    if (IsVisible() && !m_draggable && !m_onClick && !m_onRollOver && !m_onRollOut && !m_onDragIn && !m_onDrag &&
        !m_onDragOut)
        m_hover = HitTest();
    m_onRollOut = handler;
}

void CLayer::SetVisible(bool visible) {
    // A layer that appears under a resting mouse must not report a roll-over for it.
    if (m_onRollOut && !IsVisible() && visible) m_hover = HitTest();
    CDisplayObject::SetVisible(visible);
}

bool CLayer::IsClipInUse() const {
    const IRect& clip = GetClip();
    return clip.GetWidth() != 0 && clip.GetHeight() != 0;
}

int32_t CLayer::VisibleWidth() const {
    if (!m_surface) return 0;
    const int32_t w = GetClip().GetWidth();
    return w != 0 ? w : m_surface->GetWidth();
}

int32_t CLayer::VisibleHeight() const {
    if (!m_surface) return 0;
    const int32_t h = GetClip().GetHeight();
    return h != 0 ? h : m_surface->GetHeight();
}

int32_t CLayer::GetWidth() const { return VisibleWidth(); }
int32_t CLayer::GetHeight() const { return VisibleHeight(); }
// Edges wrap like 32-bit arithmetic instead of overflowing.
static int32_t Edge(int32_t origin, int32_t size) {
    return static_cast<int32_t>(static_cast<uint32_t>(origin) + static_cast<uint32_t>(size) - 1u);
}
int32_t CLayer::GetRight() const { return m_surface ? Edge(GetX(), VisibleWidth()) : 0; }
int32_t CLayer::GetBottom() const { return m_surface ? Edge(GetY(), VisibleHeight()) : 0; }

ISurface* CLayer::UsableMask() const {
    // A mask is taken only when it fits the image; the image may have been re-initialised since.
    if (!m_mask || !m_surface) return nullptr;
    if (m_mask->GetPixelBits() != 0 || m_surface->GetBytesPerPixel() != 4) return nullptr;
    if (m_mask->GetWidth() != m_surface->GetWidth() || m_mask->GetHeight() != m_surface->GetHeight()) return nullptr;
    return m_mask.get();
}

IDisplayObject* CLayer::Clone(bool copyState) const {
    auto* copy = new CLayer(m_renderer);
    if (copyState) {
        copy->CopyFrom(*this);
        copy->CopyLayerFrom(*this);
    }
    return copy;
}

void CLayer::CopyLayerFrom(const CLayer& other) {
    m_renderer = other.m_renderer;
    m_input = other.m_input;
    m_surface = other.m_surface;
    m_mask = other.m_mask;
    m_colorKey = other.m_colorKey;
    m_hitAlpha = other.m_hitAlpha;
    m_draggable = other.m_draggable;
    m_onClick = other.m_onClick;
    m_onRollOver = other.m_onRollOver;
    m_onRollOut = other.m_onRollOut;
    m_onDragIn = other.m_onDragIn;
    m_onDrag = other.m_onDrag;
    m_onDragOut = other.m_onDragOut;
    m_inverseMatrix = other.m_inverseMatrix;
    m_inverseValid = other.m_inverseValid;
    m_transformed = other.m_transformed;
    m_transformedRect = other.m_transformedRect;
    m_transformChanged = other.m_transformChanged;
    m_hover = other.m_hover;
    m_dragStart = other.m_dragStart;
    m_dragOrigin = other.m_dragOrigin;
    m_built = other.m_built;
    m_builtValid = other.m_builtValid;
}

void CLayer::ApplyTransform(CMatrix2D& matrix) {
    CDisplayObject::ApplyTransform(matrix);
    m_inverseMatrix = CMatrix2D(matrix, true);
    // A singular matrix (a scale lost in float underflow) has no inverse: nothing is hit.
    m_inverseValid = IsInvertible(matrix);
    m_transformChanged = true;
}

// ---- hit testing and pointer events ---------------------------------------------------------

CInput* CLayer::Input() const { return m_input ? m_input : CInput::GetInstance(); }

bool CLayer::HitTest() {
    CInput* input = Input();
    if (!m_surface || !input || !m_inverseValid) return false;
    const CPoint m = input->GetClientMousePoint();
    float u = 0, v = 0;
    m_inverseMatrix.Transform(static_cast<float>(m.GetX()) + 0.5f, static_cast<float>(m.GetY()) + 0.5f, u, v);
    if (!IsUsable(u) || !IsUsable(v)) return false;
    // Truncation toward zero: a centre at -0.4 still counts as column 0.
    int64_t px = static_cast<int64_t>(u);
    int64_t py = static_cast<int64_t>(v);
    if (px < 0 || py < 0 || px >= VisibleWidth() || py >= VisibleHeight()) return false;
    if (IsClipInUse()) {
        px += GetClip().GetX();
        py += GetClip().GetY();
    }
    // A clip reaching beyond the image: outside the image is never a hit.
    if (px < 0 || py < 0 || px >= m_surface->GetWidth() || py >= m_surface->GetHeight()) return false;
    int32_t alpha = 0;
    if (m_surface->GetBytesPerPixel() == 4) {
        m_surface->Lock();
        const auto* row = reinterpret_cast<const uint8_t*>(m_surface->GetLine(static_cast<int32_t>(py)));
        if (row) alpha = row[px * 4 + 3];
        m_surface->UnlockReadOnly();
        if (!row) return false;
    }
    return alpha >= m_hitAlpha;
}

void CLayer::OnUpdate(const CMatrix2D&, float, int32_t) {
    if (!IsVisible()) return;
    if (!m_draggable && !m_onClick && !m_onRollOver && !m_onRollOut && !m_onDragIn && !m_onDrag && !m_onDragOut) return;
    const bool over = HitTest();
    CInput* input = Input();
    const bool pressed = input && input->IsDownEdge(kLeftButton);
    if (m_onClick && over && !m_draggable && pressed) Call(m_onClick);
    if (m_onRollOver && over && !m_hover) Call(m_onRollOver);
    if (m_onRollOut && !over && m_hover) Call(m_onRollOut);
    if (m_draggable && input) {
        if (m_dragStart.GetX() == -1) {
            if (over && pressed) {
                if (m_onDragIn) Call(m_onDragIn);
                m_dragStart = input->GetMousePoint();
                m_dragOrigin = CPoint(GetX(), GetY());
            }
        } else {
            const CPoint m = input->GetMousePoint();
            // The next composition (in this frame's draw pass) places the layer at once.
            SetX(static_cast<int32_t>(static_cast<int64_t>(m_dragOrigin.GetX()) + m.GetX() - m_dragStart.GetX()));
            SetY(static_cast<int32_t>(static_cast<int64_t>(m_dragOrigin.GetY()) + m.GetY() - m_dragStart.GetY()));
            if (input->IsDown(kLeftButton)) {
                if (m_onDrag) Call(m_onDrag);
            } else {
                if (m_onDragOut) Call(m_onDragOut);
                m_dragStart = CPoint(-1, -1);
            }
        }
    }
    m_hover = over;
}

// ---- drawing --------------------------------------------------------------------------------

bool CLayer::BuildKeyMatches(const BuildKey& k) const {
    const BuildKey& b = m_built;
    if (k.surface != b.surface || k.width != b.width || k.height != b.height || k.pixelBits != b.pixelBits ||
        k.mask != b.mask || !k.clip.IsEqual(b.clip) || k.smooth != b.smooth || k.resampled != b.resampled ||
        k.outside != b.outside || k.outBits != b.outBits)
        return false;
    if (!k.resampled) return true;
    CMatrix2D now(k.a, k.b, 0, k.d, k.e, 0);
    CMatrix2D then(b.a, b.b, 0, b.d, b.e, 0);
    return now.IsEqualLinear(then, true);
}

namespace {

// The target pixels whose centres the w x h source, mapped through m, covers (a half-way
// centre counts on the left and top edges): a moved image lands on the nearest whole pixel,
// and a scaled one keeps its border pixels. False when it covers none or lies nowhere near
// any target.
bool CoveredPixels(const CMatrix2D& m, int32_t w, int32_t h, int64_t& left, int64_t& top, int64_t& right,
                   int64_t& bottom) {
    const float cxs[4] = {0.0f, static_cast<float>(w), 0.0f, static_cast<float>(w)};
    const float cys[4] = {0.0f, 0.0f, static_cast<float>(h), static_cast<float>(h)};
    float minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (int i = 0; i < 4; ++i) {
        float x = 0, y = 0;
        m.Transform(cxs[i], cys[i], x, y);
        if (!IsUsable(x) || !IsUsable(y)) return false;
        if (i == 0 || x < minX) minX = x;
        if (i == 0 || y < minY) minY = y;
        if (i == 0 || x > maxX) maxX = x;
        if (i == 0 || y > maxY) maxY = y;
    }
    left = static_cast<int64_t>(std::floor(minX + 0.5f));
    top = static_cast<int64_t>(std::floor(minY + 0.5f));
    right = static_cast<int64_t>(std::floor(maxX + 0.5f)) - 1;
    bottom = static_cast<int64_t>(std::floor(maxY + 0.5f)) - 1;
    return right >= left && bottom >= top;
}

CRect BoxRect(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    return CRect(static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right - left + 1),
                 static_cast<int32_t>(bottom - top + 1), true);
}

bool IsFinite(const CMatrix2D& m) {
    return std::isfinite(m.A()) && std::isfinite(m.B()) && std::isfinite(m.C()) && std::isfinite(m.D()) &&
           std::isfinite(m.E()) && std::isfinite(m.F());
}

// Fills out, whose top left pixel is target pixel (originX, originY), with the image seen
// through inv; (cx, cy) is where the source area starts in the image (the clip's corner).
void ResampleImage(ISurface* image, ISurface* mask, ISurface* out, const CMatrix2D& inv, SourceArea area, int64_t cx,
                   int64_t cy, int64_t originX, int64_t originY, bool filtered) {
    const int32_t tw = out->GetWidth();
    const int32_t th = out->GetHeight();
    const int32_t bpp = image->GetBytesPerPixel();
    image->Lock();
    if (mask) mask->Lock();
    out->Lock();
    std::vector<const uint8_t*> rows(static_cast<size_t>(image->GetHeight()));
    std::vector<const uint8_t*> maskRows(mask ? rows.size() : 0);
    bool ok = true;
    for (int32_t y = 0; y < image->GetHeight(); ++y) {
        rows[y] = reinterpret_cast<const uint8_t*>(image->GetLine(y));
        if (!rows[y]) ok = false;
        if (mask) {
            maskRows[y] = reinterpret_cast<const uint8_t*>(mask->GetLine(y));
            if (!maskRows[y]) ok = false;
        }
    }
    area.rows = rows.data();
    area.maskRows = mask ? maskRows.data() : nullptr;
    const ResampleFn row = PickResampler(image->GetPixelBits(), filtered, mask != nullptr);

    // Each target pixel samples the source at its centre; the filter weighs the pixels around
    // that point, so its origin is half a pixel back.
    const double shift = filtered ? 0.5 : 0.0;
    const double ia = inv.A(), ib = inv.B(), ic = inv.C(), id = inv.D(), ie = inv.E(), iff = inv.F();
    const int64_t du = StepToFixed(ia), dv = StepToFixed(id);
    for (int32_t j = 0; j < th; ++j) {
        auto* dst = reinterpret_cast<uint8_t*>(out->GetLine(j));
        if (!dst) break;
        if (!ok) {
            std::fill(dst, dst + static_cast<size_t>(tw) * bpp, 0);
            continue;
        }
        const double px = static_cast<double>(originX) + 0.5;
        const double py = static_cast<double>(originY) + j + 0.5;
        const double su = ia * px + ib * py + ic + static_cast<double>(cx) - shift;
        const double sv = id * px + ie * py + iff + static_cast<double>(cy) - shift;
        row(dst, tw, ToFixed(su), ToFixed(sv), du, dv, area);
    }
    out->Unlock();
    if (mask) mask->UnlockReadOnly();
    image->UnlockReadOnly();
}

}  // namespace

CLayer::BuildKey CLayer::MakeBuildKey(const CMatrix2D& m, bool smooth, ISurface* image, ISurface* mask, bool clipInUse,
                                      const IRect& clip) const {
    const bool linear = m.HasLinearPart();
    BuildKey key;
    key.surface = image;
    key.width = image->GetWidth();
    key.height = image->GetHeight();
    key.pixelBits = image->GetPixelBits();
    key.mask = mask;
    key.clip.SetFromRect(clip);
    key.resampled = linear || clipInUse || mask;
    key.smooth = linear && smooth;
    key.a = m.A();
    key.b = m.B();
    key.d = m.D();
    key.e = m.E();
    // Outside the image is transparent, as on the hardware renderer: in the colour-key mode
    // those pixels take the key; an image without alpha that leaves part of its box uncovered
    // (turned, sheared, or clipped beyond its edges) is built with alpha. Covered boxes keep
    // the plain copy, whose pixels the alpha blend would not reproduce exactly.
    const int32_t bits = image->GetPixelBits();
    const bool keyed = GetLayerMode() == 3;
    key.outside = keyed ? static_cast<uint32_t>(m_colorKey) & 0xFFFFFFu : 0u;
    key.outBits = bits;
    if (bits == ISurface::kPixel32 && !mask && !keyed && key.resampled) {
        const int32_t cw = clipInUse ? clip.GetWidth() : image->GetWidth();
        const int32_t ch = clipInUse ? clip.GetHeight() : image->GetHeight();
        auto tiny = [](double v) { return std::fabs(v) < 1.0 / 1024; };
        const bool upright = (tiny(double(m.B()) * ch) && tiny(double(m.D()) * cw)) ||
                             (tiny(double(m.A()) * cw) && tiny(double(m.E()) * ch));
        const bool beyond = clipInUse && (clip.GetX() < 0 || clip.GetY() < 0 || clip.GetRight() >= image->GetWidth() ||
                                          clip.GetBottom() >= image->GetHeight());
        if (!upright || beyond) key.outBits = ISurface::kPixel32Alpha;
    }
    return key;
}

void CLayer::DropTransformed() {
    m_transformed.reset();
    m_transformedRect = CRect();
    // Tried again at the next placement change.
    m_builtValid = false;
}

bool CLayer::ClipToTarget(int64_t& left, int64_t& top, int64_t& right, int64_t& bottom) const {
    ISurface* target = m_renderer ? m_renderer->GetRenderTarget() : nullptr;
    if (!target) return false;
    left = std::max<int64_t>(left, 0);
    top = std::max<int64_t>(top, 0);
    right = std::min<int64_t>(right, target->GetWidth() - 1);
    bottom = std::min<int64_t>(bottom, target->GetHeight() - 1);
    return right >= left && bottom >= top && (right - left + 1) * (bottom - top + 1) <= kMaxTransformedPixels;
}

ISurface* CLayer::ReusableTransformed(int32_t width, int32_t height, int32_t pixelBits) {
    ISurface* out = m_transformed.get();
    if (!out || out == m_surface.get() || m_transformed.use_count() != 1 || out->GetWidth() != width ||
        out->GetHeight() != height || out->GetPixelBits() != pixelBits) {
        ResetSurfacePtr(m_transformed, new CSurface());
        if (m_transformed->Init(width, height, pixelBits, 0)) return nullptr;
        out = m_transformed.get();
    }
    return out;
}

void CLayer::RenderTransformed(const CMatrix2D& m, int32_t flags, bool smooth) {
    ISurface* image = m_surface.get();
    if (!image || GetXScale() <= 0 || GetYScale() <= 0 || GetAlpha() <= 0 || !IsVisible()) return;

    const bool clipInUse = IsClipInUse();
    const IRect& clip = GetClip();
    ISurface* mask = UsableMask();
    BuildKey key = MakeBuildKey(m, smooth, image, mask, clipInUse, clip);
    bool rebuild = (flags & kDirtyContent) || !m_builtValid || !BuildKeyMatches(key);
    if (!m_transformChanged && !rebuild) return;
    m_transformChanged = false;

    const int32_t w = clipInUse ? clip.GetWidth() : image->GetWidth();
    const int32_t h = clipInUse ? clip.GetHeight() : image->GetHeight();
    int64_t left = 0, top = 0, right = 0, bottom = 0;
    if (w <= 0 || h <= 0 || !CoveredPixels(m, w, h, left, top, right, bottom)) return DropTransformed();

    if (!key.resampled) {
        // Only moved: the image itself is drawn, no pixels are copied.
        m_transformedRect = BoxRect(left, top, right, bottom);
        m_transformed = m_surface;
        m_built = key;
        m_builtValid = true;
        return;
    }
    // A placement change of an image built only where it met the target needs a new build.
    if (!rebuild && !m_built.partial) {
        m_transformedRect = BoxRect(left, top, right, bottom);
        return;
    }

    // The area to build: the whole bounding box, or, when that is absurdly large, only the part
    // that covers the render target.
    int64_t bl = left, bt = top, br = right, bb = bottom;
    key.partial = false;
    const int64_t fullW = right - left + 1, fullH = bottom - top + 1;
    if (fullW > 32768 || fullH > 32768 || fullW * fullH > kMaxTransformedPixels) {
        if (!ClipToTarget(bl, bt, br, bb)) return DropTransformed();
        key.partial = true;
    }

    // The inverse of the matrix, from this matrix (callers may pass one other than the world
    // matrix).
    if (!IsInvertible(m)) return DropTransformed();
    const CMatrix2D inv(m, true);
    if (!IsFinite(inv)) return DropTransformed();

    ISurface* out =
        ReusableTransformed(static_cast<int32_t>(br - bl + 1), static_cast<int32_t>(bb - bt + 1), key.outBits);
    if (!out) return DropTransformed();
    m_transformedRect = BoxRect(bl, bt, br, bb);
    m_built = key;
    m_builtValid = true;

    // The source area: the clip (or the whole image), never beyond the image's pixels.
    const int64_t cx = clipInUse ? clip.GetX() : 0;
    const int64_t cy = clipInUse ? clip.GetY() : 0;
    SourceArea area{};
    area.left = std::max<int64_t>(cx, 0);
    area.top = std::max<int64_t>(cy, 0);
    area.right = std::min<int64_t>(clipInUse ? clip.GetRight() : image->GetWidth() - 1, image->GetWidth() - 1);
    area.bottom = std::min<int64_t>(clipInUse ? clip.GetBottom() : image->GetHeight() - 1, image->GetHeight() - 1);
    area.outside = key.outside;
    ResampleImage(image, mask, out, inv, area, cx, cy, bl, bt, key.smooth);
}

void CLayer::OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t flags) {
    if (!m_surface) return;
    // The colour key compares exact colours, which filtering would blend away at the key's
    // edges: keyed layers are resampled without it.
    RenderTransformed(worldMatrix, flags, GetLayerMode() != 3);
    ClearDirtyFlags(kDirtyImage);
    ISurface* target = m_renderer ? m_renderer->GetRenderTarget() : nullptr;
    ISurface* source = m_transformed.get();
    if (!target || !source) return;

    // Never more than the transformed image really holds.
    const CRect placed(m_transformedRect.GetX(), m_transformedRect.GetY(),
                       std::min(m_transformedRect.GetWidth(), source->GetWidth()),
                       std::min(m_transformedRect.GetHeight(), source->GetHeight()), true);
    const CRect bounds(0, 0, target->GetWidth(), target->GetHeight(), true);
    const BlitParams p = ComputeBlitRect(placed, bounds, nullptr, nullptr);
    if (!p.valid) return;

    const float rounded = std::floor(alpha + 0.5f);
    const int32_t o = rounded >= 255.0f ? 255 : rounded <= 0.0f ? 0 : static_cast<int32_t>(rounded);
    if (o == 0) return;
    const int32_t kind = UsableMask() ? 2 : source->GetPixelBits();
    if (kind == 0) {
        BlendAlphaOnly(target, source, p, GetLayerMode(), o);
        return;
    }
    const bool opaque = o == 255;
    const bool alphaSource = kind == 2;
    switch (GetLayerMode()) {
        case 1:
            if (alphaSource)
                opaque ? BlendAddAlpha(target, source, p) : BlendAddAlphaOpacity(target, source, p, o);
            else
                opaque ? BlendAdd(target, source, p) : BlendAddOpacity(target, source, p, o);
            break;
        case 2:
            if (alphaSource)
                opaque ? BlendMultiplyAlpha(target, source, p) : BlendMultiplyAlphaOpacity(target, source, p, o);
            else
                opaque ? BlendMultiply(target, source, p) : BlendMultiplyOpacity(target, source, p, o);
            break;
        case 3:
            opaque ? BlendColorKey(target, source, p, m_colorKey)
                   : BlendColorKeyOpacity(target, source, p, m_colorKey, o);
            break;
        case 4:
            if (alphaSource)
                opaque ? BlendScreenAlpha(target, source, p) : BlendScreenAlphaOpacity(target, source, p, o);
            else
                opaque ? BlendScreen(target, source, p) : BlendScreenOpacity(target, source, p, o);
            break;
        default:  // 0 normal; an unknown mode draws as normal
            if (alphaSource)
                opaque ? BlendNormalAlpha(target, source, p) : BlendNormalAlphaOpacity(target, source, p, o);
            else
                opaque ? BlitCopy(target, source, p) : BlendNormalOpacity(target, source, p, o);
            break;
    }
}

}  // namespace kestrin
