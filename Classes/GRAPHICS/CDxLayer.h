#pragma once
// The hardware image layer: the image is one textured quad through the world matrix, blended by
// the layer mode; a mask is applied in a scratch target first; a colour-keyed layer draws from
// a keyed copy of its own, so the shared image is never rewritten.
#include <cstdint>
#include <memory>

#include "GRAPHICS/CLayer.h"
#include "GRAPHICS/Platform/IRenderDevice.h"

namespace kestrin {

class CDxRenderer;
class CDxSurface;

class CDxLayer : public CLayer {
public:
    explicit CDxLayer(const std::shared_ptr<CDxRenderer>& renderer);
    ~CDxLayer() override;

    // Takes an 8-bit or a 32-bit-with-alpha mask of the image's size.
    void SetMask(const std::shared_ptr<ISurface>& mask) override;
    // The device transforms the image: nothing is resampled here.
    void RenderTransformed(const CMatrix2D&, int32_t, bool) override {}
    void OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;
    IDisplayObject* Clone(bool copyState) const override;

    bool IsFrontDepth() const { return m_frontDepth; }
    void SetFrontDepth(bool front) { m_frontDepth = front; }
    // The colour-keyed copy the layer draws from in mode 3 (null when none).
    CDxSurface* GetKeyedSurface() const { return m_keyed.get(); }

private:
    // A texture surface showing what a memory surface holds, refreshed when changed says so.
    CDxSurface* Mirror(ISurface* surface, std::shared_ptr<CDxSurface>& copy, bool changed);
    CDxSurface* Keyed(CDxSurface* image, bool changed);
    // The w x h area at (x, y) of the texture (times the mask when there is one) copied into a
    // target of its own size, so that filtering never reaches past the area's edges.
    IRenderDevice::TextureId Cell(CDxSurface* source, IRenderDevice::TextureId mask, const CDxSurface* maskSurface,
                                  int32_t x, int32_t y, int32_t w, int32_t h);
    ISurface* UsableDxMask() const;

    std::shared_ptr<CDxRenderer> m_dxRenderer;
    bool m_frontDepth = true;
    std::shared_ptr<CDxSurface> m_keyed;
    const CDxSurface* m_keyedFrom = nullptr;
    uint32_t m_keyedVersion = 0;
    int32_t m_keyedKey = 0;
    std::shared_ptr<CDxSurface> m_imageCopy;
    std::shared_ptr<CDxSurface> m_maskCopy;
    std::shared_ptr<CDxSurface> m_cell;
};

}  // namespace kestrin
