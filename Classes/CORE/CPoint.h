#pragma once
// An integer point in game pixels.
#include <cstdint>

#include "CORE/IPoint.h"

namespace kestrin {

class CPoint : public IPoint {
public:
    CPoint() = default;
    CPoint(int32_t x, int32_t y) : m_x(x), m_y(y) {}
    CPoint(const CPoint&) = default;
    CPoint& operator=(const CPoint&) = default;
    ~CPoint() override = default;

    int32_t GetX() const override { return m_x; }
    int32_t GetY() const override { return m_y; }
    virtual void SetX(int32_t x) { m_x = x; }
    virtual void SetY(int32_t y) { m_y = y; }

private:
    int32_t m_x = 0;
    int32_t m_y = 0;
};

}  // namespace kestrin
