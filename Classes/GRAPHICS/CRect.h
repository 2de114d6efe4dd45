#pragma once
// An integer rectangle with inclusive right and bottom edges
// (right = x + width - 1, bottom = y + height - 1 while kept consistent).
#include <cstdint>

#include "GRAPHICS/IRect.h"

namespace kestrin {

class CRect : public IRect {
public:
    CRect() = default;
    // bySize: (x, y, width, height); otherwise (x, y, right, bottom).
    CRect(int32_t x, int32_t y, int32_t p, int32_t q, bool bySize);
    CRect(const CRect&) = default;
    CRect& operator=(const CRect&) = default;
    ~CRect() override = default;

    int32_t GetX() const override { return m_x; }
    int32_t GetY() const override { return m_y; }
    int32_t GetRight() const override { return m_right; }
    int32_t GetBottom() const override { return m_bottom; }
    int32_t GetWidth() const override { return m_width; }
    int32_t GetHeight() const override { return m_height; }

    virtual int32_t GetArea() const;
    // keepSize: the rectangle moves; otherwise only that edge moves.
    virtual void SetLeftEx(int32_t value, bool keepSize);
    virtual void SetLeft(int32_t value) { SetLeftEx(value, false); }
    virtual void SetTopEx(int32_t value, bool keepSize);
    virtual void SetTop(int32_t value) { SetTopEx(value, false); }
    virtual void SetRightEx(int32_t value, bool keepSize);
    virtual void SetRight(int32_t value) { SetRightEx(value, false); }
    virtual void SetBottomEx(int32_t value, bool keepSize);
    virtual void SetBottom(int32_t value) { SetBottomEx(value, false); }
    virtual void SetWidth(int32_t value);
    virtual void SetHeight(int32_t value);

    // Takes the source's edges; width and height follow from them.
    void SetFromRect(const IRect& source);
    // Same x, y, right and bottom.
    bool IsEqual(const IRect& other) const;
    // Width and height both above 0.
    bool HasArea() const { return m_width > 0 && m_height > 0; }
    // Becomes the overlap of a and b: the larger left and top, the smaller right and bottom.
    void SetToIntersection(const IRect& a, const IRect& b);

private:
    int32_t m_x = 0;
    int32_t m_y = 0;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_right = 0;
    int32_t m_bottom = 0;
};

}  // namespace kestrin
