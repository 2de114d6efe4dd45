// Hit testing and pointer events of layers, with the mouse of the fake window system.
#include <gtest/gtest.h>

#include <string>

#include "GRAPHICS/CLayer.h"
#include "LayerTestSupport.h"

using namespace kestrin;
using layertest::FakeMouse;
using layertest::MakeSurface;

namespace {

class LayerEventTest : public ::testing::Test {
protected:
    LayerEventTest() : layer(nullptr) {
        // 20 x 20 image whose alpha is 127 in the left half and 128 in the right half.
        layer.SetSurface(MakeSurface(20, 20, 2, [](int x, int) { return x < 10 ? 0x7F000000u : 0x80000000u; }));
        layer.SetX(10);
        layer.SetY(10);
        layer.SetInput(mouse.input);
    }
    // One frame: mouse, then the update pass.
    void Frame(int x, int y, bool left) {
        mouse.Frame(x, y, left);
        layer.Update(CMatrix2D(), 255.0f);
    }
    bool HitAt(int x, int y) {
        mouse.Frame(x, y, false);
        return layer.HitTest();
    }

    FakeMouse mouse;
    CLayer layer;
    std::string log;
};

TEST_F(LayerEventTest, HitTestEdgesThresholdAndClip) {
    layer.Update(CMatrix2D(), 255.0f);
    // The pixel centre is tested and truncated toward zero: a centre at -0.5 is still column 0.
    struct Case {
        int x, y;
        bool hit;
    } cases[] = {
        {10, 10, true}, {9, 15, true}, {8, 15, false}, {29, 29, true}, {30, 15, false}, {15, 30, false},
    };
    for (const Case& c : cases) EXPECT_EQ(HitAt(c.x, c.y), c.hit) << c.x << "," << c.y;
    layer.SetHitAlpha(128);
    EXPECT_FALSE(HitAt(12, 12));  // alpha 127
    EXPECT_TRUE(HitAt(25, 12));   // alpha 128
    // A clip moves the test into the image; outside the image is never a hit.
    layer.SetHitAlpha(0);
    layer.SetClip(CRect(15, 15, 10, 10, true));
    EXPECT_EQ(layer.GetWidth(), 10);
    EXPECT_TRUE(HitAt(14, 14));   // image pixel (19, 19)
    EXPECT_FALSE(HitAt(15, 15));  // image pixel (20, 20): past the image
    EXPECT_FALSE(HitAt(25, 25));  // past the clip
    // Turned half a turn about its origin, the layer covers -20 to 0 on both axes.
    CLayer turned(nullptr);
    turned.SetSurface(MakeSurface(20, 20, 2, [](int, int) { return 0xFF000000u; }));
    turned.SetInput(mouse.input);
    turned.SetRotate(180);
    turned.Update(CMatrix2D(), 255.0f);
    mouse.Frame(0, 0, false);
    EXPECT_TRUE(turned.HitTest());
    mouse.Frame(12, 5, false);
    EXPECT_FALSE(turned.HitTest());
    // Without a surface nothing is hit.
    CLayer empty(nullptr);
    empty.SetInput(mouse.input);
    empty.Update(CMatrix2D(), 255.0f);
    EXPECT_FALSE(empty.HitTest());
}

TEST_F(LayerEventTest, ClickRollOverAndRollOut) {
    layer.SetOnClick([this] { log += "click "; });
    layer.SetOnRollOver([this] { log += "over "; });
    layer.SetOnRollOut([this] { log += "out "; });
    Frame(0, 0, false);
    Frame(15, 15, false);
    Frame(16, 15, true);
    Frame(16, 15, true);  // held: no second click
    Frame(16, 15, false);
    Frame(50, 50, true);  // pressed outside: no click
    EXPECT_EQ(log, "over click out ");
    // A hidden layer sees nothing.
    log.clear();
    layer.SetVisible(false);
    Frame(15, 15, true);
    EXPECT_EQ(log, "");
}

TEST_F(LayerEventTest, BecomingVisibleUnderTheMouseIsNoRollOver) {
    layer.SetVisible(false);
    layer.Update(CMatrix2D(), 255.0f);
    layer.SetOnRollOver([this] { log += "over "; });
    layer.SetOnRollOut([this] { log += "out "; });
    mouse.Frame(15, 15, false);
    layer.SetVisible(true);
    layer.Update(CMatrix2D(), 255.0f);
    EXPECT_EQ(log, "");
    Frame(60, 60, false);
    EXPECT_EQ(log, "out ");
}

TEST_F(LayerEventTest, DraggingMovesTheLayerAndNeverClicks) {
    layer.SetDraggable(true);
    layer.SetOnClick([this] { log += "click "; });
    layer.SetOnDragIn([this] { log += "in "; });
    layer.SetOnDrag([this] { log += "drag "; });
    layer.SetOnDragOut([this] { log += "end "; });
    Frame(15, 15, false);
    Frame(15, 15, true);  // press over the layer: the drag starts
    EXPECT_EQ(log, "in ");
    Frame(25, 18, true);
    EXPECT_EQ(layer.GetX(), 20);
    EXPECT_EQ(layer.GetY(), 13);
    Frame(30, 20, false);  // released: one last move, then the end
    EXPECT_EQ(layer.GetX(), 25);
    EXPECT_EQ(layer.GetY(), 15);
    EXPECT_EQ(log, "in drag end ");
    Frame(30, 20, false);
    EXPECT_EQ(log, "in drag end ");
}

}  // namespace
