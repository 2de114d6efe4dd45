#include "GRAPHICS/CRect.h"

#include <algorithm>

namespace kestrin {

// Edge arithmetic wraps like the 32-bit machine arithmetic it models instead of being undefined.
static int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

CRect::CRect(int32_t x, int32_t y, int32_t p, int32_t q, bool bySize) : m_x(x), m_y(y) {
    if (bySize) {
        m_width = p;
        m_height = q;
        m_right = Wrap(int64_t(x) + p - 1);
        m_bottom = Wrap(int64_t(y) + q - 1);
    } else {
        m_right = p;
        m_bottom = q;
        m_width = Wrap(int64_t(p) - x + 1);
        m_height = Wrap(int64_t(q) - y + 1);
    }
}

int32_t CRect::GetArea() const { return Wrap(int64_t(m_width) * m_height); }

void CRect::SetLeftEx(int32_t value, bool keepSize) {
    m_x = value;
    if (keepSize)
        m_right = Wrap(int64_t(m_x) + m_width - 1);
    else
        m_width = Wrap(int64_t(m_right) - m_x + 1);
}

void CRect::SetTopEx(int32_t value, bool keepSize) {
    m_y = value;
    if (keepSize)
        m_bottom = Wrap(int64_t(m_y) + m_height - 1);
    else
        m_height = Wrap(int64_t(m_bottom) - m_y + 1);
}

void CRect::SetRightEx(int32_t value, bool keepSize) {
    m_right = value;
    if (keepSize)
        m_x = Wrap(int64_t(m_right) + 1 - m_width);
    else
        m_width = Wrap(int64_t(m_right) - m_x + 1);
}

void CRect::SetBottomEx(int32_t value, bool keepSize) {
    m_bottom = value;
    if (keepSize)
        m_y = Wrap(int64_t(m_bottom) + 1 - m_height);
    else
        m_height = Wrap(int64_t(m_bottom) - m_y + 1);
}

void CRect::SetWidth(int32_t value) {
    m_width = value;
    m_right = Wrap(int64_t(m_x) + m_width - 1);
}

void CRect::SetHeight(int32_t value) {
    m_height = value;
    m_bottom = Wrap(int64_t(m_y) + m_height - 1);
}

void CRect::SetFromRect(const IRect& source) {
    // Read all four edges first so that copying a rectangle onto itself is safe.
    const int32_t x = source.GetX(), y = source.GetY();
    const int32_t r = source.GetRight(), b = source.GetBottom();
    SetLeft(x);
    SetTop(y);
    SetRight(r);
    SetBottom(b);
}

bool CRect::IsEqual(const IRect& other) const {
    return m_x == other.GetX() && m_y == other.GetY() && m_right == other.GetRight() && m_bottom == other.GetBottom();
}

void CRect::SetToIntersection(const IRect& a, const IRect& b) {
    SetLeft(std::max(a.GetX(), b.GetX()));
    SetTop(std::max(a.GetY(), b.GetY()));
    SetRight(std::min(a.GetRight(), b.GetRight()));
    SetBottom(std::min(a.GetBottom(), b.GetBottom()));
}

}  // namespace kestrin
