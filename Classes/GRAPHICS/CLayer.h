#pragma once
// The software image layer: shows one surface through its world matrix, with an optional 8-bit
// mask, a colour key, hit testing against the mouse and pointer events. Drawn by resampling the
// image into a cached transformed image and blending that into the renderer's render target.
#include <cstdint>
#include <memory>

#include "CORE/CPoint.h"
#include "GRAPHICS/CDisplayObject.h"
#include "GRAPHICS/CMatrix2D.h"
#include "GRAPHICS/CRect.h"
#include "GRAPHICS/ILayer.h"

namespace kestrin {

class CInput;
class IGraphicRenderer;

class CLayer : public ILayer, public CDisplayObject {
public:
    explicit CLayer(const std::shared_ptr<IGraphicRenderer>& renderer);
    ~CLayer() override;

    // ILayer
    ISurface* GetSurface() const override { return m_surface.get(); }
    ISurface* GetMask() const override { return m_mask.get(); }
    int32_t GetHitAlpha() const override { return m_hitAlpha; }
    bool IsDraggable() const override { return m_draggable; }
    LayerEventHandler GetOnClick() const override { return m_onClick; }
    LayerEventHandler GetOnRollOver() const override { return m_onRollOver; }
    LayerEventHandler GetOnRollOut() const override { return m_onRollOut; }
    LayerEventHandler GetOnDragIn() const override { return m_onDragIn; }
    LayerEventHandler GetOnDrag() const override { return m_onDrag; }
    LayerEventHandler GetOnDragOut() const override { return m_onDragOut; }
    void SetSurface(const std::shared_ptr<ISurface>& surface) override;
    void SetMask(const std::shared_ptr<ISurface>& mask) override;
    void SetHitAlpha(int32_t alpha) override { m_hitAlpha = alpha; }
    void SetDraggable(bool draggable) override { m_draggable = draggable; }
    void SetOnClick(const LayerEventHandler& handler) override { m_onClick = handler; }
    void ClearOnClick() override { m_onClick = nullptr; }
    void SetOnRollOver(const LayerEventHandler& handler) override { m_onRollOver = handler; }
    void ClearOnRollOver() override { m_onRollOver = nullptr; }
    void SetOnRollOut(const LayerEventHandler& handler) override;
    void ClearOnRollOut() override { m_onRollOut = nullptr; }
    void SetOnDragIn(const LayerEventHandler& handler) override { m_onDragIn = handler; }
    void ClearOnDragIn() override { m_onDragIn = nullptr; }
    void SetOnDrag(const LayerEventHandler& handler) override { m_onDrag = handler; }
    void ClearOnDrag() override { m_onDrag = nullptr; }
    void SetOnDragOut(const LayerEventHandler& handler) override { m_onDragOut = handler; }
    void ClearOnDragOut() override { m_onDragOut = nullptr; }

    // Own operations
    // The cached transformed image (non-owning; may be null or the image itself).
    virtual ISurface* GetTransformedSurface() const { return m_transformed.get(); }
    virtual int32_t GetColorKey() const { return m_colorKey; }
    virtual void SetColorKey(int32_t colorKey);
    // Places the transformed image for the matrix and resamples it when needed.
    virtual void RenderTransformed(const CMatrix2D& matrix, int32_t flags, bool smooth);
    // The mouse is over a pixel of the visible rectangle whose alpha reaches the hit threshold.
    virtual bool HitTest();

    // CDisplayObject
    void ApplyTransform(CMatrix2D& matrix) override;
    void OnUpdate(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;
    void OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;

    // IDisplayObject
    int32_t GetRight() const override;
    int32_t GetBottom() const override;
    int32_t GetWidth() const override;
    int32_t GetHeight() const override;
    IDisplayObject* Clone(bool copyState) const override;
    void SetVisible(bool visible) override;

    // Where the transformed image was last placed, in target pixels.
    const CRect& GetTransformedRect() const { return m_transformedRect; }
    const std::shared_ptr<IGraphicRenderer>& GetRenderer() const { return m_renderer; }
    // The input object the layer reads the mouse from; null: the process-wide one.
    void SetInput(CInput* input) { m_input = input; }

    // Transformed images larger than this many pixels are built only where they cover the
    // render target.
    static constexpr int64_t kMaxTransformedPixels = int64_t(1) << 24;

protected:
    // Copies the layer fields of other (sharing its surfaces).
    void CopyLayerFrom(const CLayer& other);
    // Clip in use: both its width and height are non-zero.
    bool IsClipInUse() const;
    int32_t VisibleWidth() const;
    int32_t VisibleHeight() const;
    // The mask, when it still fits the image.
    ISurface* UsableMask() const;
    CInput* Input() const;

    std::shared_ptr<IGraphicRenderer> m_renderer;
    CInput* m_input = nullptr;  // null: the process-wide input, looked up at each use
    std::shared_ptr<ISurface> m_surface;
    std::shared_ptr<ISurface> m_mask;
    int32_t m_colorKey = 0;
    int32_t m_hitAlpha = 0;
    bool m_draggable = false;
    LayerEventHandler m_onClick;
    LayerEventHandler m_onRollOver;
    LayerEventHandler m_onRollOut;
    LayerEventHandler m_onDragIn;
    LayerEventHandler m_onDrag;
    LayerEventHandler m_onDragOut;
    CMatrix2D m_inverseMatrix;
    bool m_inverseValid = true;
    std::shared_ptr<ISurface> m_transformed;
    CRect m_transformedRect;
    bool m_transformChanged = false;
    bool m_hover = false;
    CPoint m_dragStart{-1, -1};
    CPoint m_dragOrigin{0, 0};

private:
    // What the cached transformed image was built from: a change of any of these rebuilds it,
    // whatever the dirty flags say (a parent's scale seen only in the update pass, a surface
    // re-initialised to another size).
    struct BuildKey {
        const ISurface* surface = nullptr;
        int32_t width = 0, height = 0, pixelBits = -1;
        const ISurface* mask = nullptr;
        CRect clip;
        bool smooth = false;
        bool resampled = false;
        float a = 1, b = 0, d = 0, e = 1;  // the linear part it was resampled with
        bool partial = false;              // built only where it covers the render target
        uint32_t outside = 0;              // what pixels outside the image became
        int32_t outBits = -1;              // format of the transformed image
    };
    bool BuildKeyMatches(const BuildKey& key) const;
    // Steps of RenderTransformed.
    BuildKey MakeBuildKey(const CMatrix2D& m, bool smooth, ISurface* image, ISurface* mask, bool clipInUse,
                          const IRect& clip) const;
    void DropTransformed();
    // Narrows the box to the render target; false when nothing of it is left there, or too much.
    bool ClipToTarget(int64_t& left, int64_t& top, int64_t& right, int64_t& bottom) const;
    // Our transformed image when nobody shares it and it has this shape, else a new one; null
    // when it cannot be made.
    ISurface* ReusableTransformed(int32_t width, int32_t height, int32_t pixelBits);
    BuildKey m_built;
    bool m_builtValid = false;
};

}  // namespace kestrin
