#include "GRAPHICS/CMatrix2D.h"
#include "CORE/CPoint.h"
#include "GRAPHICS/CRect.h"
#include "GRAPHICS/FloatMath.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kestrin;

static void ExpectRect(const CRect& r, int x, int y, int w, int h, int right, int bottom) {
    EXPECT_EQ(r.GetX(), x);
    EXPECT_EQ(r.GetY(), y);
    EXPECT_EQ(r.GetWidth(), w);
    EXPECT_EQ(r.GetHeight(), h);
    EXPECT_EQ(r.GetRight(), right);
    EXPECT_EQ(r.GetBottom(), bottom);
}

TEST(Geometry, RectConstructorsAndEdgeSetters) {
    CRect bySize(10, 20, 30, 40, true);
    ExpectRect(bySize, 10, 20, 30, 40, 39, 59);
    ExpectRect(CRect(10, 20, 39, 59, false), 10, 20, 30, 40, 39, 59);
    ExpectRect(CRect(), 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(bySize.GetArea(), 1200);

    CRect moved = bySize;
    moved.SetLeftEx(5, true);
    ExpectRect(moved, 5, 20, 30, 40, 34, 59);
    CRect stretched = bySize;
    stretched.SetLeft(5);
    ExpectRect(stretched, 5, 20, 35, 40, 39, 59);

    CRect r = bySize;
    r.SetTopEx(0, true);
    ExpectRect(r, 10, 0, 30, 40, 39, 39);
    r.SetRightEx(100, true);
    ExpectRect(r, 71, 0, 30, 40, 100, 39);
    r.SetBottom(9);
    ExpectRect(r, 71, 0, 30, 10, 100, 9);
    r.SetBottomEx(19, true);
    ExpectRect(r, 71, 10, 30, 10, 100, 19);
    r.SetWidth(4);
    r.SetHeight(6);
    ExpectRect(r, 71, 10, 4, 6, 74, 15);

    // Extreme values wrap instead of overflowing.
    CRect huge(0x7fffffff, 0, 2, 1, true);
    EXPECT_EQ(huge.GetRight(), int32_t(0x80000000u));
}

TEST(Geometry, SetFromRectAndIsEqual) {
    CRect target(-3, 7, 1, 1, true);
    CRect source(10, 20, 30, 40, true);
    target.SetFromRect(source);
    ExpectRect(target, 10, 20, 30, 40, 39, 59);
    EXPECT_TRUE(target.IsEqual(source));
    // Only the edges count: an inconsistent width does not make them differ.
    CRect odd = source;
    odd.SetLeftEx(10, true);
    EXPECT_TRUE(odd.IsEqual(source));
    CRect other(10, 20, 30, 41, true);
    EXPECT_FALSE(other.IsEqual(source));
    target.SetFromRect(target);
    ExpectRect(target, 10, 20, 30, 40, 39, 59);

    CPoint p(3, -4);
    CPoint q;
    EXPECT_EQ(q.GetX(), 0);
    q = p;
    q.SetY(9);
    EXPECT_EQ(q.GetX(), 3);
    EXPECT_EQ(q.GetY(), 9);
}

TEST(Geometry, MatrixOperations) {
    CMatrix2D m;
    EXPECT_FALSE(m.HasLinearPart());
    m.Rotate(3.1415927f / 2);
    EXPECT_EQ(m.A(), 0.0f);
    EXPECT_EQ(m.B(), -1.0f);
    EXPECT_EQ(m.D(), 1.0f);
    EXPECT_EQ(m.E(), 0.0f);
    float x, y;
    m.Transform(1, 0, x, y);  // clockwise with y down: +x turns to +y
    EXPECT_FLOAT_EQ(x, 0);
    EXPECT_FLOAT_EQ(y, 1);

    // Post-multiplication: scale applies before the translation.
    CMatrix2D t;
    t.Translate(10, 20);
    t.Scale(2, 3);
    t.Transform(1, 1, x, y);
    EXPECT_EQ(x, 12.0f);
    EXPECT_EQ(y, 23.0f);

    CMatrix2D translation;
    translation.Translate(5, -7);
    CMatrix2D inv(translation, true);
    EXPECT_EQ(inv.C(), -5.0f);
    EXPECT_EQ(inv.F(), 7.0f);
    EXPECT_FALSE(inv.HasLinearPart());

    CMatrix2D singular(2, 4, 1, 1, 2, 3);
    CMatrix2D copy(singular, true);
    EXPECT_TRUE(copy.IsEqual(singular));
    EXPECT_EQ(copy.C(), 1.0f);

    CMatrix2D general(2, 1, 3, -1, 4, 5);
    CMatrix2D back(general, true);
    back.Transform(7, 11, x, y);
    float rx, ry;
    general.Transform(x, y, rx, ry);
    EXPECT_NEAR(rx, 7, 1e-5);
    EXPECT_NEAR(ry, 11, 1e-5);
}

TEST(Geometry, MatrixComparisonTolerance) {
    CMatrix2D a;
    CMatrix2D b(1, 1e-8f, 0, 0, 1, 0);
    EXPECT_TRUE(a.IsEqual(b));
    CMatrix2D c(1, 0, 0, 0, 1, std::ldexp(1.0f, -23));
    EXPECT_FALSE(a.IsEqual(c));
    EXPECT_TRUE(a.IsNotEqual(c));
    EXPECT_TRUE(a.IsEqualLinear(c, true));
    EXPECT_FALSE(a.IsEqualLinear(c, false));
    CMatrix2D d(std::nextafter(1.0f, 2.0f), 0, 0, 0, 1, 0);
    EXPECT_TRUE(d.HasLinearPart());
    EXPECT_FALSE(a.IsEqual(d));  // exactly 2^-23 apart
    CMatrix2D small(1e-9f, -1e-9f, 1, 0, 1, 0);
    small.SnapToZero();
    EXPECT_EQ(small.A(), 0.0f);
    EXPECT_EQ(small.B(), 0.0f);
    a.Assign(c);
    EXPECT_TRUE(a.IsEqual(c));
    a.SetIdentity();
    EXPECT_FALSE(a.HasLinearPart());
    EXPECT_EQ(FloorFloat(-0.5f), -1.0f);
    EXPECT_EQ(AbsFloat(-2.5f), 2.5f);
}
