#pragma once
// The one interface through which the tree, tags, tweens and saves reach a drawable.
// Inherit it virtually: classes that reach it along two paths share one instance.
#include <cstdint>

#include "GRAPHICS/CMatrix2D.h"
#include "GRAPHICS/IRect.h"

namespace kestrin {

class IDisplayObject : public IRect {
public:
    ~IDisplayObject() override = default;

    int32_t GetX() const override = 0;
    int32_t GetY() const override = 0;
    int32_t GetRight() const override = 0;
    int32_t GetBottom() const override = 0;
    // A new object of the same concrete class, owned by the caller.
    virtual IDisplayObject* Clone(bool copyState) const = 0;
    virtual void Update(const CMatrix2D& parentMatrix, float parentAlpha) = 0;
    virtual void Draw(const CMatrix2D& parentMatrix, float parentAlpha) = 0;
    virtual int32_t GetAlpha() const = 0;
    virtual int32_t GetAnchorX() const = 0;
    virtual int32_t GetAnchorY() const = 0;
    // 16.16 fixed point: 65536 is 100 %.
    virtual int32_t GetXScale() const = 0;
    virtual int32_t GetYScale() const = 0;
    // Degrees.
    virtual int32_t GetRotate() const = 0;
    virtual bool IsReverseX() const = 0;
    virtual bool IsReverseY() const = 0;
    virtual const IRect& GetClip() const = 0;
    // 0 normal, 1 add, 2 multiply, 3 colour key, 4 screen.
    virtual int32_t GetLayerMode() const = 0;
    virtual bool IsVisible() const = 0;
    // Bit 1 matrix, bit 2 content, bit 4 image; 0 while the object would not be drawn.
    virtual int32_t GetDirtyFlags() const = 0;
    virtual void SetX(int32_t x) = 0;
    virtual void SetY(int32_t y) = 0;
    virtual void SetAlpha(int32_t alpha) = 0;
    virtual void SetAnchorX(int32_t x) = 0;
    virtual void SetAnchorY(int32_t y) = 0;
    virtual void SetXScale(int32_t scale) = 0;
    virtual void SetYScale(int32_t scale) = 0;
    virtual void SetRotate(int32_t degrees) = 0;
    virtual void SetReverseX(bool reverse) = 0;
    virtual void SetReverseY(bool reverse) = 0;
    virtual void SetClip(const IRect& clip) = 0;
    virtual void SetLayerMode(int32_t mode) = 0;
    virtual void SetVisible(bool visible) = 0;
};

}  // namespace kestrin
