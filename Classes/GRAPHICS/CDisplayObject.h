#pragma once
// Base implementation of a display object: stores the properties and dirty flags,
// composes the world matrix and the combined alpha, and calls OnUpdate / OnDraw.
#include <cstdint>

#include "GRAPHICS/CMatrix2D.h"
#include "GRAPHICS/CPictureChanges.h"
#include "GRAPHICS/CRect.h"
#include "GRAPHICS/IDisplayObject.h"

namespace kestrin {

class CDisplayObject : public virtual IDisplayObject {
public:
    enum DirtyBits : int32_t { kDirtyMatrix = 1, kDirtyContent = 2, kDirtyImage = 4 };

    // An object appearing or going away changes the picture.
    CDisplayObject() { CPictureChanges::Mark(); }
    ~CDisplayObject() override { CPictureChanges::Mark(); }

    // Post-multiplies this object's own transform onto matrix.
    virtual void ApplyTransform(CMatrix2D& matrix);
    // The common body of Update (draw false) and Draw (draw true).
    virtual void Process(const CMatrix2D& parentMatrix, float parentAlpha, bool draw);
    virtual void OnUpdate(const CMatrix2D& worldMatrix, float alpha, int32_t flags);
    virtual void OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t flags);

    int32_t GetX() const override { return m_x; }
    int32_t GetY() const override { return m_y; }
    int32_t GetRight() const override { return 0; }
    int32_t GetBottom() const override { return 0; }
    int32_t GetWidth() const override { return 0; }
    int32_t GetHeight() const override { return 0; }
    IDisplayObject* Clone(bool copyState) const override;
    void Update(const CMatrix2D& parentMatrix, float parentAlpha) override;
    void Draw(const CMatrix2D& parentMatrix, float parentAlpha) override;
    int32_t GetAlpha() const override { return m_alpha; }
    int32_t GetAnchorX() const override { return m_anchorX; }
    int32_t GetAnchorY() const override { return m_anchorY; }
    int32_t GetXScale() const override { return m_xScale; }
    int32_t GetYScale() const override { return m_yScale; }
    int32_t GetRotate() const override { return m_rotate; }
    bool IsReverseX() const override { return m_reverseX; }
    bool IsReverseY() const override { return m_reverseY; }
    const IRect& GetClip() const override { return m_clip; }
    int32_t GetLayerMode() const override { return m_layerMode; }
    bool IsVisible() const override { return m_visible; }
    int32_t GetDirtyFlags() const override;
    void SetX(int32_t x) override;
    void SetY(int32_t y) override;
    void SetAlpha(int32_t alpha) override;
    void SetAnchorX(int32_t x) override;
    void SetAnchorY(int32_t y) override;
    void SetXScale(int32_t scale) override;
    void SetYScale(int32_t scale) override;
    void SetRotate(int32_t degrees) override;
    void SetReverseX(bool reverse) override;
    void SetReverseY(bool reverse) override;
    void SetClip(const IRect& clip) override;
    void SetLayerMode(int32_t mode) override;
    void SetVisible(bool visible) override;

    // Copies every property, the clip, the flags and both matrices (what Clone(true) copies).
    void CopyFrom(const CDisplayObject& other);

    const CMatrix2D& GetWorldMatrix() const { return m_worldMatrix; }
    // The stored flags, whether or not the object would be drawn.
    int32_t GetRawDirtyFlags() const { return m_dirtyFlags; }
    void AddDirtyFlags(int32_t bits) {
        m_dirtyFlags |= bits;
        CPictureChanges::Mark();
    }
    void ClearDirtyFlags(int32_t bits) { m_dirtyFlags &= ~bits; }

protected:
    CDisplayObject(const CDisplayObject& other) = default;
    CDisplayObject& operator=(const CDisplayObject&) = default;
    // Every property change that shows marks the picture changed.
    void SetDirty(int32_t bits) {
        m_dirtyFlags |= bits;
        CPictureChanges::Mark();
    }

private:
    int32_t m_x = 0;
    int32_t m_y = 0;
    int32_t m_alpha = 255;
    int32_t m_anchorX = 0;
    int32_t m_anchorY = 0;
    int32_t m_xScale = 65536;
    int32_t m_yScale = 65536;
    int32_t m_rotate = 0;
    bool m_reverseX = false;
    bool m_reverseY = false;
    CRect m_clip;
    int32_t m_layerMode = 0;
    bool m_visible = true;
    int32_t m_dirtyFlags = kDirtyMatrix | kDirtyContent;
    CMatrix2D m_worldMatrix;
    CMatrix2D m_parentMatrix;
};

}  // namespace kestrin
