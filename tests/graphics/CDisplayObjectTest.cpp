#include "GRAPHICS/CDisplayObject.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace kestrin;

namespace {

// Records the hook calls and passes its world matrix and alpha on to its children, like a layer.
class Node : public CDisplayObject {
public:
    struct Call {
        bool draw;
        float alpha;
        int32_t flags;
    };
    std::vector<Call> calls;
    std::vector<Node*> children;

    void OnUpdate(const CMatrix2D& m, float a, int32_t f) override {
        calls.push_back({false, a, f});
        for (Node* c : children) c->Update(m, a);
    }
    void OnDraw(const CMatrix2D& m, float a, int32_t f) override {
        calls.push_back({true, a, f});
        for (Node* c : children) c->Draw(m, a);
    }
};

}  // namespace

TEST(CDisplayObject, SettersCompareFirstAndSetTheirDirtyBits) {
    CDisplayObject o;
    EXPECT_EQ(o.GetDirtyFlags(), 3);
    o.ClearDirtyFlags(7);
    o.SetX(0);
    o.SetAnchorY(0);
    o.SetRotate(720);
    o.SetXScale(65536);
    o.SetLayerMode(2);
    o.SetClip(CRect());
    EXPECT_EQ(o.GetDirtyFlags(), 0);
    EXPECT_EQ(o.GetRotate(), 0);

    struct Case {
        void (*set)(CDisplayObject&);
        int32_t bits;
    } cases[] = {
        {[](CDisplayObject& d) { d.SetX(5); }, 1},
        {[](CDisplayObject& d) { d.SetY(5); }, 1},
        {[](CDisplayObject& d) { d.SetAnchorX(5); }, 1},
        {[](CDisplayObject& d) { d.SetAnchorY(5); }, 1},
        {[](CDisplayObject& d) { d.SetXScale(2); }, 3},
        {[](CDisplayObject& d) { d.SetYScale(2); }, 3},
        {[](CDisplayObject& d) { d.SetRotate(370); }, 3},
        {[](CDisplayObject& d) { d.SetReverseX(true); }, 3},
        {[](CDisplayObject& d) { d.SetReverseY(true); }, 3},
        {[](CDisplayObject& d) { d.SetClip(CRect(1, 2, 3, 4, true)); }, 2},
        {[](CDisplayObject& d) { d.SetLayerMode(3); }, 4},
        {[](CDisplayObject& d) { d.SetLayerMode(1); }, 0},
        {[](CDisplayObject& d) { d.SetAlpha(300); }, 0},
    };
    for (const Case& c : cases) {
        CDisplayObject d;
        d.ClearDirtyFlags(7);
        c.set(d);
        EXPECT_EQ(d.GetRawDirtyFlags(), c.bits);
    }

    CDisplayObject r;
    r.SetRotate(370);
    EXPECT_EQ(r.GetRotate(), 10);
    r.SetRotate(-450);
    EXPECT_EQ(r.GetRotate(), -90);
    r.SetRotate(360);
    EXPECT_EQ(r.GetRotate(), 0);
    r.SetAlpha(300);
    EXPECT_EQ(r.GetAlpha(), 300);

    // Not drawn: the flags read 0 whatever is stored.
    CDisplayObject hidden;
    hidden.SetVisible(false);
    EXPECT_EQ(hidden.GetDirtyFlags(), 0);
    CDisplayObject clear;
    clear.SetAlpha(0);
    EXPECT_EQ(clear.GetDirtyFlags(), 0);
    CDisplayObject flat;
    flat.SetYScale(0);
    EXPECT_EQ(flat.GetDirtyFlags(), 0);
    EXPECT_EQ(flat.GetRawDirtyFlags(), 3);
}

TEST(CDisplayObject, TransformTurnsAboutTheAnchor) {
    CDisplayObject o;
    o.SetX(100);
    o.SetY(200);
    o.SetAnchorX(50);
    o.SetAnchorY(50);
    o.SetRotate(90);
    CMatrix2D m;
    o.ApplyTransform(m);
    float x, y;
    m.Transform(50, 50, x, y);
    EXPECT_NEAR(x, 150, 1e-4);
    EXPECT_NEAR(y, 250, 1e-4);
    m.Transform(60, 50, x, y);  // clockwise: +x goes to +y
    EXPECT_NEAR(x, 150, 1e-4);
    EXPECT_NEAR(y, 260, 1e-4);

    CDisplayObject s;
    s.SetXScale(131072);
    s.SetReverseY(true);
    s.SetAnchorY(10);
    CMatrix2D n;
    s.ApplyTransform(n);
    n.Transform(3, 0, x, y);
    EXPECT_FLOAT_EQ(x, 6);
    EXPECT_FLOAT_EQ(y, 20);
}

TEST(CDisplayObject, ProcessComposesAlphaAndParentInducedFlags) {
    Node root, parent, child;
    root.children.push_back(&parent);
    parent.children.push_back(&child);
    parent.SetAlpha(128);
    child.SetAlpha(128);
    CMatrix2D screen;
    root.Update(screen, 255.0f);
    root.Draw(screen, 255.0f);
    ASSERT_EQ(child.calls.size(), 2u);
    EXPECT_FLOAT_EQ(child.calls[1].alpha, 128.0f * 128.0f / 255.0f);
    EXPECT_EQ(child.calls[0].flags, 3);
    EXPECT_EQ(child.calls[1].flags, 2);      // the update already composed the matrix
    EXPECT_EQ(child.GetRawDirtyFlags(), 0);  // matrix composed, content drawn

    // The parent only moves: its children see bit 1; it rotates: bits 1 and 2.
    child.calls.clear();
    parent.SetX(10);
    root.Update(screen, 255.0f);
    EXPECT_EQ(child.calls.back().flags, 1);
    root.Update(screen, 255.0f);
    EXPECT_EQ(child.calls.back().flags, 0);
    parent.SetRotate(45);
    root.Update(screen, 255.0f);
    EXPECT_EQ(child.calls.back().flags, 3);
    EXPECT_EQ(child.GetRawDirtyFlags(), 0);  // parent-induced bits are not stored

    // A hidden parent hides the subtree; a hidden object still follows its parent.
    child.calls.clear();
    child.SetVisible(false);
    parent.SetX(40);
    root.Update(screen, 255.0f);
    EXPECT_TRUE(child.calls.empty());
    float x, y;
    child.GetWorldMatrix().Transform(0, 0, x, y);
    CMatrix2D expect;
    parent.ApplyTransform(expect);
    float ex, ey;
    expect.Transform(0, 0, ex, ey);
    EXPECT_FLOAT_EQ(x, ex);
    EXPECT_FLOAT_EQ(y, ey);

    // Zero scale: nothing is composed or called.
    Node flat;
    flat.SetXScale(0);
    flat.Update(screen, 255.0f);
    flat.Draw(screen, 255.0f);
    EXPECT_TRUE(flat.calls.empty());
    EXPECT_EQ(flat.GetRawDirtyFlags(), 3);

    // Fully transparent: updated but not drawn, content bit kept.
    Node clear;
    clear.SetAlpha(0);
    clear.Update(screen, 255.0f);
    clear.Draw(screen, 255.0f);
    ASSERT_EQ(clear.calls.size(), 1u);
    EXPECT_FALSE(clear.calls[0].draw);
    EXPECT_EQ(clear.GetRawDirtyFlags(), 2);
}

TEST(CDisplayObject, CloneCopiesStateOnlyWhenAsked) {
    CDisplayObject o;
    o.SetX(7);
    o.SetClip(CRect(1, 2, 3, 4, true));
    o.SetVisible(false);
    o.ClearDirtyFlags(1);
    std::unique_ptr<IDisplayObject> copy(o.Clone(true));
    EXPECT_EQ(copy->GetX(), 7);
    EXPECT_EQ(copy->GetClip().GetRight(), 3);
    EXPECT_FALSE(copy->IsVisible());
    EXPECT_EQ(dynamic_cast<CDisplayObject*>(copy.get())->GetRawDirtyFlags(), 2);
    std::unique_ptr<IDisplayObject> fresh(o.Clone(false));
    EXPECT_EQ(fresh->GetX(), 0);
    EXPECT_TRUE(fresh->IsVisible());
    EXPECT_EQ(fresh->GetDirtyFlags(), 3);
}
