#include "GRAPHICS/CMatrix2D.h"

#include "GRAPHICS/FloatMath.h"

#include <initializer_list>

namespace kestrin {

CMatrix2D::CMatrix2D(const CMatrix2D& source, bool invert) : CMatrix2D(source) {
    if (invert) Invert();
}

void CMatrix2D::SetIdentity() { Set(1, 0, 0, 0, 1, 0); }

void CMatrix2D::Set(float a, float b, float c, float d, float e, float f) {
    m_a = a;
    m_b = b;
    m_c = c;
    m_d = d;
    m_e = e;
    m_f = f;
}

static bool Near(float x, float y) { return AbsFloat(x - y) < CMatrix2D::kEpsilon; }

bool CMatrix2D::IsEqual(const CMatrix2D& o) const {
    return Near(m_a, o.m_a) && Near(m_b, o.m_b) && Near(m_c, o.m_c) && Near(m_d, o.m_d) && Near(m_e, o.m_e) &&
           Near(m_f, o.m_f);
}

bool CMatrix2D::IsEqualLinear(const CMatrix2D& o, bool linearOnly) const {
    if (!linearOnly) return IsEqual(o);
    return Near(m_a, o.m_a) && Near(m_b, o.m_b) && Near(m_d, o.m_d) && Near(m_e, o.m_e);
}

void CMatrix2D::SnapToZero() {
    for (float* v : {&m_a, &m_b, &m_c, &m_d, &m_e, &m_f})
        if (AbsFloat(*v) < kEpsilon) *v = 0.0f;
}

void CMatrix2D::Translate(float tx, float ty) {
    m_c = m_a * tx + m_b * ty + m_c;
    m_f = m_d * tx + m_e * ty + m_f;
    SnapToZero();
}

void CMatrix2D::Scale(float sx, float sy) {
    m_a *= sx;
    m_b *= sy;
    m_d *= sx;
    m_e *= sy;
    SnapToZero();
}

void CMatrix2D::Rotate(float radians) {
    const float s = SinFloat(radians);
    const float k = CosFloat(radians);
    const float a = m_a * k + m_b * s;
    const float b = m_b * k - m_a * s;
    const float d = m_d * k + m_e * s;
    const float e = m_e * k - m_d * s;
    m_a = a;
    m_b = b;
    m_d = d;
    m_e = e;
    SnapToZero();
}

void CMatrix2D::Transform(float x, float y, float& outX, float& outY) const {
    const float ox = m_a * x + m_b * y + m_c;
    const float oy = m_d * x + m_e * y + m_f;
    outX = ox;
    outY = oy;
}

bool CMatrix2D::HasLinearPart() const { return m_a != 1.0f || m_b != 0.0f || m_d != 0.0f || m_e != 1.0f; }

void CMatrix2D::Invert() {
    const float det = m_a * m_e - m_b * m_d;
    if (det == 0.0f) return;
    const float inv = 1.0f / det;
    const float a = m_e * inv;
    const float b = -m_b * inv;
    const float c = (m_b * m_f - m_e * m_c) * inv;
    const float d = -m_d * inv;
    const float e = m_a * inv;
    const float f = (m_d * m_c - m_a * m_f) * inv;
    Set(a, b, c, d, e, f);
    SnapToZero();
}

}  // namespace kestrin
