// Software layer drawing: placement, rotation, mirroring, clip, mask, layer modes and opacity
// into small surfaces, checked pixel by pixel.
#include <gtest/gtest.h>

#include <memory>

#include "GRAPHICS/CLayer.h"
#include "GRAPHICS/CLayerFactory.h"
#include "LayerTestSupport.h"

using namespace kestrin;
using layertest::MakeSurface;
using layertest::Pixel;
using layertest::TargetRenderer;

namespace {

// Every pixel distinct: red = x, green = y, blue 0x11.
uint32_t Tag(int x, int y) { return 0xFF000000u | (uint32_t(x) << 16) | (uint32_t(y) << 8) | 0x11u; }

// A group node: passes the update and draw passes on to one child.
class Group : public CDisplayObject {
public:
    explicit Group(IDisplayObject* child) : m_child(child) {}
    void OnUpdate(const CMatrix2D& m, float a, int32_t) override { m_child->Update(m, a); }
    void OnDraw(const CMatrix2D& m, float a, int32_t) override { m_child->Draw(m, a); }

private:
    IDisplayObject* m_child;
};

class LayerDrawTest : public ::testing::Test {
protected:
    LayerDrawTest() : renderer(std::make_shared<TargetRenderer>(32, 32, 0xFF000000u)), layer(renderer) {}

    void Frame(float alpha = 255.0f) {
        layer.Update(CMatrix2D(), alpha);
        layer.Draw(CMatrix2D(), alpha);
    }
    uint32_t At(int x, int y) { return Pixel(*renderer->screen, x, y); }
    int CountNot(uint32_t background) {
        int n = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) n += At(x, y) != background;
        return n;
    }

    std::shared_ptr<TargetRenderer> renderer;
    CLayer layer;
};

TEST_F(LayerDrawTest, MoveOnlyDrawsTheImageItself) {
    auto image = MakeSurface(4, 3, 1, Tag);
    layer.SetSurface(image);
    layer.SetX(10);
    layer.SetY(5);
    Frame();
    EXPECT_EQ(layer.GetTransformedSurface(), image.get());
    for (int v = 0; v < 3; ++v)
        for (int u = 0; u < 4; ++u) EXPECT_EQ(At(10 + u, 5 + v), Tag(u, v));
    EXPECT_EQ(CountNot(0xFF000000u), 12);

    // Moved by a fraction through the parent: round to the nearest column (10.7 -> 11).
    CMatrix2D parent;
    parent.Translate(0.7f, 0.0f);
    layer.Update(parent, 255.0f);
    layer.Draw(parent, 255.0f);
    EXPECT_EQ(layer.GetTransformedRect().GetX(), 11);
    EXPECT_EQ(At(11, 5), Tag(0, 0));
}

TEST_F(LayerDrawTest, RotationAboutTheAnchor) {
    layer.SetSurface(MakeSurface(4, 3, 1, Tag));
    layer.SetX(10);
    layer.SetY(10);
    layer.SetRotate(90);
    Frame();
    // (u, v) turns clockwise about the origin: it lands at (9 - v, 10 + u).
    for (int v = 0; v < 3; ++v)
        for (int u = 0; u < 4; ++u) EXPECT_EQ(At(9 - v, 10 + u), Tag(u, v)) << u << "," << v;
    EXPECT_EQ(CountNot(0xFF000000u), 12);

    // Half a turn about the anchor point (1, 1), the top-left corner of pixel (1, 1).
    layer.SetAnchorX(1);
    layer.SetAnchorY(1);
    layer.SetRotate(180);
    renderer->screen->Fill(0xFF000000u);
    Frame();
    for (int v = 0; v < 3; ++v)
        for (int u = 0; u < 4; ++u) EXPECT_EQ(At(11 - u, 11 - v), Tag(u, v)) << u << "," << v;
}

TEST_F(LayerDrawTest, MirrorAndRotatedOpaqueCorners) {
    layer.SetSurface(MakeSurface(4, 3, 1, Tag));
    layer.SetX(3);
    layer.SetY(2);
    layer.SetAnchorX(2);
    layer.SetReverseX(true);
    Frame();
    for (int v = 0; v < 3; ++v)
        for (int u = 0; u < 4; ++u) EXPECT_EQ(At(3 + 3 - u, 2 + v), Tag(u, v)) << u << "," << v;

    // Turned by 45 degrees, an opaque image leaves the corners of its box as they were, in every
    // mode (the colour-key mode too, whatever the key).
    for (int mode : {0, 1, 2, 3, 4}) {
        SCOPED_TRACE(mode);
        CLayer turned(renderer);
        turned.SetSurface(MakeSurface(10, 10, 1, [](int, int) { return 0xFFFFFFFFu; }));
        turned.SetX(10);
        turned.SetY(10);
        turned.SetAnchorX(5);
        turned.SetAnchorY(5);
        turned.SetRotate(45);
        turned.SetLayerMode(mode);
        turned.SetColorKey(0x123456);
        renderer->screen->Fill(0xFF808080u);
        turned.Update(CMatrix2D(), 255.0f);
        turned.Draw(CMatrix2D(), 255.0f);
        const CRect& box = turned.GetTransformedRect();
        EXPECT_EQ(At(box.GetX(), box.GetY()), 0xFF808080u);
        EXPECT_EQ(At(box.GetRight(), box.GetBottom()), 0xFF808080u);
        // White inside: the filter's weights and the alpha blend may each lose one step of 255.
        if (mode != 2) EXPECT_GE(At(15, 15) & 0xFF, 0xFDu);
    }
}

TEST_F(LayerDrawTest, ClipAndClipBeyondTheImage) {
    layer.SetSurface(MakeSurface(4, 4, 1, Tag));
    layer.SetX(5);
    layer.SetY(6);
    layer.SetClip(CRect(1, 1, 2, 2, true));
    Frame();
    EXPECT_EQ(layer.GetWidth(), 2);
    EXPECT_EQ(At(5, 6), Tag(1, 1));
    EXPECT_EQ(At(6, 7), Tag(2, 2));
    EXPECT_EQ(CountNot(0xFF000000u), 4);

    // A clip reaching past the image: what lies outside is transparent, never read from memory.
    layer.SetClip(CRect(2, 2, 4, 4, true));
    renderer->screen->Fill(0xFF808080u);
    Frame();
    EXPECT_EQ(At(5, 6) & 0xFFFFFF, Tag(2, 2) & 0xFFFFFF);
    EXPECT_EQ(At(6, 7) & 0xFFFFFF, Tag(3, 3) & 0xFFFFFF);
    EXPECT_EQ(At(7, 6), 0xFF808080u);
    EXPECT_EQ(At(8, 9), 0xFF808080u);
    EXPECT_EQ(At(9, 6), 0xFF808080u);
}

TEST_F(LayerDrawTest, MaskSetsTheAlpha) {
    auto image = MakeSurface(3, 1, 1, [](int, int) { return 0xFFFFFFFFu; });
    auto mask = MakeSurface(3, 1, 0, [](int x, int) { return x == 0 ? 255u : x == 1 ? 127u : 0u; });
    layer.SetSurface(image);
    layer.SetMask(MakeSurface(2, 1, 0, [](int, int) { return 0u; }));  // wrong size: ignored
    EXPECT_EQ(layer.GetMask(), nullptr);
    layer.SetMask(mask);
    EXPECT_EQ(layer.GetMask(), mask.get());
    Frame();
    EXPECT_EQ(At(0, 0) & 0xFFFFFF, 0xFEFEFEu);  // alpha 255: the alpha routine's 254
    EXPECT_EQ(At(1, 0) & 0xFF, 127u * 255u / 256u);
    EXPECT_EQ(At(2, 0), 0xFF000000u);
    // A new image drops the mask.
    layer.SetSurface(image);
    EXPECT_EQ(layer.GetMask(), nullptr);
}

TEST_F(LayerDrawTest, LayerModesAndOpacity) {
    struct Case {
        int mode;
        float alpha;
        uint32_t expected;
    } cases[] = {
        {0, 255, 0xFF404040u},    {0, 128, 0x00606060u},  // the opaque copy takes byte 3 too
        {1, 255, 0x00C0C0C0u},    {1, 128, 0x00A0A0A0u},    {1, 127.5f, 0x00A0A0A0u},
        {1, 254.4f, 0x00BFBFBFu}, {1, 254.5f, 0x00C0C0C0u}, {2, 255, 0x00202020u},
        {2, 128, 0x00505050u},    {3, 255, 0x00404040u},    {3, 128, 0x00606060u},
        {4, 255, 0x00A0A0A0u},    {4, 128, 0x00909090u},    {7, 255, 0xFF404040u},  // unknown modes draw as normal
    };
    for (const Case& c : cases) {
        CLayer l(renderer);
        l.SetSurface(MakeSurface(1, 1, 1, [](int, int) { return 0xFF404040u; }));
        l.SetLayerMode(c.mode);
        renderer->screen->Fill(0x00808080u);
        l.Update(CMatrix2D(), c.alpha);
        l.Draw(CMatrix2D(), c.alpha);
        EXPECT_EQ(At(0, 0), c.expected) << c.mode << " " << c.alpha;
    }
    // The colour key leaves out matching pixels.
    CLayer keyed(renderer);
    keyed.SetSurface(MakeSurface(1, 1, 1, [](int, int) { return 0xFF404040u; }));
    keyed.SetLayerMode(3);
    keyed.SetColorKey(0x404040);
    renderer->screen->Fill(0x00808080u);
    keyed.Update(CMatrix2D(), 255.0f);
    keyed.Draw(CMatrix2D(), 255.0f);
    EXPECT_EQ(At(0, 0), 0x00808080u);
}

// An 8-bit image draws black with its bytes as alpha: it darkens the picture in the normal,
// multiply and colour-key modes, and adding or screening black changes nothing.
TEST_F(LayerDrawTest, GreyImagesDrawBlackWithTheirBytesAsAlpha) {
    struct Case {
        int mode;
        uint32_t inside;
    } cases[] = {
        {0, 0xFF1C1C1Cu}, {1, 0xFF808080u}, {2, 0xFF1C1C1Cu}, {3, 0xFF1C1C1Cu}, {4, 0xFF808080u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        renderer->screen->Fill(0xFF808080u);
        CLayer l(renderer);
        l.SetSurface(MakeSurface(4, 4, 0, [](int, int) { return 200u; }));  // 128 - 128 x 200 / 256 = 28
        l.SetX(2);
        l.SetY(2);
        l.SetLayerMode(c.mode);
        l.Update(CMatrix2D(), 255.0f);
        l.Draw(CMatrix2D(), 255.0f);
        EXPECT_EQ(At(2, 2), c.inside);
        EXPECT_EQ(At(5, 5), c.inside);
        EXPECT_EQ(CountNot(0xFF808080u), c.inside == 0xFF808080u ? 0 : 16);
    }
}

// A parent's new scale reaches the child only in the update pass; the draw pass must still
// resample the child's image at the new scale.
TEST_F(LayerDrawTest, ParentScaleRebuildsTheChildImage) {
    layer.SetSurface(MakeSurface(4, 4, 1, [](int, int) { return 0xFFFFFFFFu; }));
    Group parent(&layer);
    parent.Update(CMatrix2D(), 255.0f);
    parent.Draw(CMatrix2D(), 255.0f);
    EXPECT_EQ(CountNot(0xFF000000u), 16);
    parent.SetXScale(2 * 65536);
    parent.Update(CMatrix2D(), 255.0f);
    parent.Draw(CMatrix2D(), 255.0f);
    EXPECT_EQ(layer.GetTransformedSurface()->GetWidth(), 8);
    EXPECT_EQ(At(7, 3), 0xFFFFFFFFu);
    EXPECT_EQ(CountNot(0xFF000000u), 32);
}

TEST_F(LayerDrawTest, ResizedSurfaceIsDrawnAtItsRealSize) {
    auto image = MakeSurface(4, 4, 1, [](int, int) { return 0xFFFFFFFFu; });
    layer.SetSurface(image);
    Frame();
    image->Init(8, 2, 1, 0);
    image->Fill(0xFF00FF00u);
    Frame();
    EXPECT_EQ(At(7, 1), 0xFF00FF00u);
    EXPECT_EQ(At(0, 3), 0xFFFFFFFFu);  // left from the first frame, not overdrawn
}

TEST_F(LayerDrawTest, HugeScaleBuildsOnlyWhatCoversTheTarget) {
    layer.SetSurface(MakeSurface(64, 64, 1, [](int, int) { return 0xFF0000FFu; }));
    layer.SetXScale(32767 * 65536);
    layer.SetYScale(32767 * 65536);
    layer.SetX(-16);
    Frame();
    ASSERT_NE(layer.GetTransformedSurface(), nullptr);
    EXPECT_LE(layer.GetTransformedSurface()->GetWidth(), 32);
    EXPECT_LE(layer.GetTransformedSurface()->GetHeight(), 32);
    // The filter's weights may lose one step of 255.
    EXPECT_GE(At(0, 0) & 0xFF, 0xFEu);
    EXPECT_EQ(At(0, 0) & 0x00FFFF00u, 0u);
    EXPECT_EQ(CountNot(0xFF000000u), 32 * 32);
    // Moved so that its left edge is at column 10: the part now covering the target is built.
    layer.SetX(10);
    renderer->screen->Fill(0xFF000000u);
    Frame();
    EXPECT_EQ(At(9, 5), 0xFF000000u);
    EXPECT_GE(At(10, 5) & 0xFF, 0xFEu);
    EXPECT_EQ(CountNot(0xFF000000u), 22 * 32);
}

TEST_F(LayerDrawTest, FactoryAndClone) {
    CLayerFactory factory(renderer);
    std::shared_ptr<ILayer> made = factory.Create();
    auto* made_layer = dynamic_cast<CLayer*>(made.get());
    ASSERT_NE(made_layer, nullptr);
    EXPECT_EQ(made_layer->GetRenderer(), renderer);
    auto image = MakeSurface(4, 4, 1, Tag);
    made->SetSurface(image);
    made->SetX(12);
    made->SetHitAlpha(9);
    made->SetOnClick([] {});
    std::unique_ptr<IDisplayObject> copy(made_layer->Clone(true));
    auto* c = dynamic_cast<CLayer*>(copy.get());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->GetSurface(), image.get());
    EXPECT_EQ(image.use_count(), 3);  // the test, the layer and its clone share one surface
    EXPECT_EQ(c->GetX(), 12);
    EXPECT_EQ(c->GetHitAlpha(), 9);
    EXPECT_TRUE(static_cast<bool>(c->GetOnClick()));
    EXPECT_EQ(c->GetRight(), 15);
    copy.reset();
    EXPECT_EQ(image.use_count(), 2);
    std::unique_ptr<IDisplayObject> fresh(made_layer->Clone(false));
    EXPECT_EQ(dynamic_cast<CLayer*>(fresh.get())->GetSurface(), nullptr);
    EXPECT_EQ(fresh->GetWidth(), 0);
    EXPECT_EQ(fresh->GetRight(), 0);
}

}  // namespace
