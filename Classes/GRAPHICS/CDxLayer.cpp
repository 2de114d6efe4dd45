#include "GRAPHICS/CDxLayer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "GRAPHICS/CDxRenderer.h"
#include "GRAPHICS/CDxSurface.h"

namespace kestrin {

CDxLayer::CDxLayer(const std::shared_ptr<CDxRenderer>& renderer)
    : CLayer(std::static_pointer_cast<IGraphicRenderer>(renderer)), m_dxRenderer(renderer) {}

CDxLayer::~CDxLayer() = default;

void CDxLayer::SetMask(const std::shared_ptr<ISurface>& mask) {
    if (!mask) {
        m_mask.reset();
        AddDirtyFlags(kDirtyContent);
        return;
    }
    if (!m_surface) return;
    const int32_t bits = m_surface->GetPixelBits();
    const int32_t maskBits = mask->GetPixelBits();
    if ((bits != 1 && bits != 2) || (maskBits != 0 && maskBits != 2)) return;
    if (mask->GetWidth() != m_surface->GetWidth() || mask->GetHeight() != m_surface->GetHeight()) return;
    m_mask = mask;
    AddDirtyFlags(kDirtyContent);
}

ISurface* CDxLayer::UsableDxMask() const {
    if (!m_mask || !m_surface || m_surface->GetBytesPerPixel() != 4) return nullptr;
    const int32_t maskBits = m_mask->GetPixelBits();
    if (maskBits != 0 && maskBits != 2) return nullptr;
    if (m_mask->GetWidth() != m_surface->GetWidth() || m_mask->GetHeight() != m_surface->GetHeight()) return nullptr;
    return m_mask.get();
}

IDisplayObject* CDxLayer::Clone(bool copyState) const {
    auto* copy = new CDxLayer(m_dxRenderer);
    if (copyState) {
        copy->CopyFrom(*this);
        copy->CopyLayerFrom(*this);
        copy->m_frontDepth = m_frontDepth;
    }
    return copy;
}

CDxSurface* CDxLayer::Mirror(ISurface* surface, std::shared_ptr<CDxSurface>& copy, bool changed) {
    if (auto* dx = dynamic_cast<CDxSurface*>(surface)) return dx;
    // A memory surface from elsewhere: drawn from a texture copy of it.
    const int32_t w = surface->GetWidth(), h = surface->GetHeight(), bits = surface->GetPixelBits();
    if (copy && !changed && copy->GetWidth() == w && copy->GetHeight() == h && copy->GetPixelBits() == bits)
        return copy.get();
    if (!copy) copy = std::make_shared<CDxSurface>(m_dxRenderer);
    if (copy->Init(w, h, bits, 0)) return nullptr;
    const size_t rowBytes = size_t(w) * size_t(surface->GetBytesPerPixel());
    surface->Lock();
    copy->Lock();
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* src = surface->GetLine(y);
        uint8_t* dst = copy->GetLine(y);
        if (!src || !dst) break;
        std::memcpy(dst, src, rowBytes);
    }
    copy->Unlock();
    surface->UnlockReadOnly();
    return copy.get();
}

CDxSurface* CDxLayer::Keyed(CDxSurface* image, bool changed) {
    const int32_t w = image->GetWidth(), h = image->GetHeight();
    if (m_keyed && !changed && m_keyedFrom == image && m_keyedVersion == image->GetVersion() &&
        m_keyedKey == m_colorKey && m_keyed->GetWidth() == w && m_keyed->GetHeight() == h)
        return m_keyed.get();
    if (!m_keyed) m_keyed = std::make_shared<CDxSurface>(m_dxRenderer);
    if (m_keyed->Init(w, h, ISurface::kPixel32Alpha, 0)) return nullptr;
    // The key's pixels become transparent, every other pixel opaque, as the key routines of the
    // software renderer draw them.
    const uint32_t key = static_cast<uint32_t>(m_colorKey) & 0xFFFFFFu;
    image->Lock();
    m_keyed->Lock();
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* src = image->GetLine(y);
        uint8_t* dst = m_keyed->GetLine(y);
        if (!src || !dst) break;
        for (int32_t x = 0; x < w; ++x) {
            uint32_t p;
            std::memcpy(&p, src + size_t(x) * 4, 4);
            p = (p & 0xFFFFFFu) == key ? (p & 0xFFFFFFu) : (p | 0xFF000000u);
            std::memcpy(dst + size_t(x) * 4, &p, 4);
        }
    }
    m_keyed->Unlock();
    // Reading the image is no change of it.
    image->UnlockReadOnly();
    m_keyedFrom = image;
    m_keyedVersion = image->GetVersion();
    m_keyedKey = m_colorKey;
    return m_keyed.get();
}

IRenderDevice::TextureId CDxLayer::Cell(CDxSurface* source, IRenderDevice::TextureId mask,
                                        const CDxSurface* maskSurface, int32_t x, int32_t y, int32_t w, int32_t h) {
    const IRenderDevice::TextureId image = source->GetTexture();
    if (!image) return 0;
    if (!m_cell) m_cell = std::make_shared<CDxSurface>(m_dxRenderer);
    if (m_cell->GetWidth() != w || m_cell->GetHeight() != h || !m_cell->GetTexture()) {
        if (m_cell->Init(w, h, ISurface::kPixel32Alpha, ISurface::kRenderTarget)) return 0;
    }
    const IRenderDevice::TextureId cell = m_cell->GetTexture();
    if (!cell) return 0;
    const int32_t mw = maskSurface ? maskSurface->GetTextureWidth() : 0;
    const int32_t mh = maskSurface ? maskSurface->GetTextureHeight() : 0;
    if (m_dxRenderer->ComposeArea(cell, image, source->GetTextureWidth(), source->GetTextureHeight(), mask, mw, mh, x,
                                  y, w, h))
        return 0;
    return cell;
}

void CDxLayer::OnDraw(const CMatrix2D& m, float alpha, int32_t flags) {
    if (!m_surface || !m_dxRenderer) return;
    const bool changed = (flags & (kDirtyContent | kDirtyImage)) != 0 || (GetDirtyFlags() & kDirtyImage) != 0;
    ClearDirtyFlags(kDirtyImage);
    const float rounded = std::floor(alpha + 0.5f);
    const int32_t o = rounded >= 255.0f ? 255 : rounded <= 0.0f ? 0 : static_cast<int32_t>(rounded);
    if (o == 0) return;
    CDxSurface* source = Mirror(m_surface.get(), m_imageCopy, changed);
    if (!source) return;
    const int32_t mode = GetLayerMode();
    // Keying needs 32-bit pixels that can be read; an 8-bit image draws as in the normal mode.
    if (mode == 3 && !source->IsRenderTarget() && source->GetBytesPerPixel() == 4) {
        source = Keyed(source, false);
        if (!source) return;
    }
    const int32_t iw = source->GetWidth(), ih = source->GetHeight();
    int32_t sx = 0, sy = 0, w = iw, h = ih;
    if (IsClipInUse()) {
        const IRect& clip = GetClip();
        sx = clip.GetX();
        sy = clip.GetY();
        w = clip.GetWidth();
        h = clip.GetHeight();
    }
    // A clip reaching beyond the image shows nothing there.
    const int64_t x0 = std::max<int64_t>(sx, 0), y0 = std::max<int64_t>(sy, 0);
    const int64_t x1 = std::min<int64_t>(int64_t(sx) + w, iw), y1 = std::min<int64_t>(int64_t(sy) + h, ih);
    if (x1 <= x0 || y1 <= y0) return;
    IRenderDevice::TextureId texture = source->GetTexture();
    if (!texture) return;
    float tw = float(source->GetTextureWidth()), th = float(source->GetTextureHeight());
    float u0 = float(x0) / tw, v0 = float(y0) / th, u1 = float(x1) / tw, v1 = float(y1) / th;
    // Filtering only where the matrix turns or scales; a move samples texels exactly. Keyed
    // layers are never filtered, as on the software renderer, so that keyed edges stay hard.
    const bool linear = m.HasLinearPart() && mode != 3;

    // A masked image, and a filtered part of an image (a cell of a sprite sheet), are drawn from
    // a copy of just that area: the filter then holds the area's edge pixels, as the software
    // renderer does, instead of blending in the pixels beyond them.
    ISurface* maskSurface = UsableDxMask();
    const bool part = x0 > 0 || y0 > 0 || x1 < iw || y1 < ih;
    if (maskSurface || (linear && part)) {
        CDxSurface* mask = maskSurface ? Mirror(maskSurface, m_maskCopy, true) : nullptr;
        const IRenderDevice::TextureId maskTexture = mask ? mask->GetTexture() : 0;
        if (maskSurface && !maskTexture) return;
        texture = Cell(source, maskTexture, mask, int32_t(x0), int32_t(y0), int32_t(x1 - x0), int32_t(y1 - y0));
        if (!texture) return;
        u0 = v0 = 0;
        u1 = v1 = 1;
    }

    // Corners in the layer's space: the visible part of the clip.
    const float px0 = float(x0 - sx), py0 = float(y0 - sy), px1 = float(x1 - sx), py1 = float(y1 - sy);
    const float xs[4] = {px0, px1, px1, px0}, ys[4] = {py0, py0, py1, py1};
    const float us[4] = {u0, u1, u1, u0}, vs[4] = {v0, v0, v1, v1};
    SQuadVertex corners[4];
    for (int i = 0; i < 4; ++i) {
        m.Transform(xs[i], ys[i], corners[i].x, corners[i].y);
        if (!std::isfinite(corners[i].x) || !std::isfinite(corners[i].y)) return;
        corners[i].u = us[i];
        corners[i].v = vs[i];
    }
    EQuadBlend blend = EQuadBlend::kNormal;
    switch (mode) {
        case 1: blend = EQuadBlend::kAdd; break;
        case 2: blend = EQuadBlend::kMultiply; break;
        case 4: blend = EQuadBlend::kScreen; break;
        default: break;  // 0 normal, 3 colour key (transparent where keyed)
    }
    m_dxRenderer->DrawQuad(texture, corners, static_cast<uint8_t>(o), blend, linear);
}

}  // namespace kestrin
