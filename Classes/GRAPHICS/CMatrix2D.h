#pragma once
// A 2x3 affine map in single precision: (x, y) -> (a*x + b*y + c, d*x + e*y + f).
namespace kestrin {

class CMatrix2D {
public:
    // The comparison tolerance: the single-precision epsilon, 2^-23.
    static constexpr float kEpsilon = 1.1920929e-7f;

    CMatrix2D() = default;
    CMatrix2D(float a, float b, float c, float d, float e, float f) : m_a(a), m_b(b), m_c(c), m_d(d), m_e(e), m_f(f) {}
    CMatrix2D(const CMatrix2D& source) = default;
    // Copies source and, when invert is true, inverts the copy.
    CMatrix2D(const CMatrix2D& source, bool invert);
    CMatrix2D& operator=(const CMatrix2D& source) = default;
    virtual ~CMatrix2D() = default;

    void Assign(const CMatrix2D& source) { *this = source; }
    void SetIdentity();

    // Every element within the tolerance (strictly less than 2^-23 apart).
    bool IsEqual(const CMatrix2D& other) const;
    bool IsNotEqual(const CMatrix2D& other) const { return !IsEqual(other); }
    // linearOnly: compares a, b, d, e only.
    bool IsEqualLinear(const CMatrix2D& other, bool linearOnly) const;

    void SnapToZero();
    // These post-multiply: the new step applies to points before the existing map.
    void Translate(float tx, float ty);
    void Scale(float sx, float sy);
    void Rotate(float radians);

    void Transform(float x, float y, float& outX, float& outY) const;
    // Exact: false only for a pure translation.
    bool HasLinearPart() const;
    // In place; a singular matrix stays unchanged.
    void Invert();

    float A() const { return m_a; }
    float B() const { return m_b; }
    float C() const { return m_c; }
    float D() const { return m_d; }
    float E() const { return m_e; }
    float F() const { return m_f; }
    void Set(float a, float b, float c, float d, float e, float f);

private:
    float m_a = 1, m_b = 0, m_c = 0, m_d = 0, m_e = 1, m_f = 0;
};

}  // namespace kestrin
