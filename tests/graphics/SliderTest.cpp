// The slider widget: parameters, knob placement and dragging, with PNG images in a temporary
// folder and the mouse of the fake window system.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CORE/CFileFactory.h"
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/CLayerFactory.h"
#include "GRAPHICS/CPng.h"
#include "GRAPHICS/CSurfaceFactory.h"
#include "GRAPHICS/CUISlider.h"
#include "GRAPHICS/ILayer.h"
#include "LayerTestSupport.h"
#include "support/TestSupport.h"

using namespace kestrin;
using layertest::FakeMouse;
using layertest::MakeSurface;

namespace {

std::string EncodePng(int w, int h) {
    auto s = MakeSurface(w, h, 2, [](int, int) { return 0xFF808080u; });
    CPng png;
    CPng::SOutputBuffer out;
    out.data = new uint8_t[1024];
    out.capacity = 1024;
    EXPECT_FALSE(png.Save(s.get(), out, -1));
    std::string bytes(reinterpret_cast<const char*>(out.data), out.length);
    delete[] out.data;
    return bytes;
}

class SliderTest : public ::testing::Test {
protected:
    SliderTest() : loaders(&files), layers(renderer) {
        loaders.AddLoader(new CPng);
        dir.Write("track.png", EncodePng(200, 10));
        dir.Write("knob.png", EncodePng(20, 10));
        dir.Write("tall.png", EncodePng(10, 200));
        dir.Write("big.png", EncodePng(300, 300));
    }

    CUISlider::Parameters Params(int varMin, int varMax, int varNow, const char* axis = "width") {
        CUISlider::Parameters p;
        p[axis] = int32_t(200);
        p["x"] = int32_t(10);
        p["y"] = int32_t(20);
        p["var_min"] = int32_t(varMin);
        p["var_max"] = int32_t(varMax);
        p["var_now"] = int32_t(varNow);
        p["background_path"] = dir.Path() + "/track.png";
        p["controller_path"] = dir.Path() + "/knob.png";
        p["onslide"] = CUISlider::SlideHandler([this](int32_t v) { values.push_back(v); });
        return p;
    }
    std::unique_ptr<CUISlider> Make(const CUISlider::Parameters& p) {
        auto s = std::make_unique<CUISlider>(&layers, &surfaces, &loaders);
        s->SetInput(mouse.input);
        EXPECT_FALSE(s->SetParameters(p));
        return s;
    }
    void Frame(CUISlider& s, int x, int y, bool left) {
        mouse.Frame(x, y, left);
        s.Update(CMatrix2D(), 255.0f);
    }

    kestrin_test::TempDir dir;
    CFileFactory files;
    CGraphicLoaders loaders;
    CSurfaceFactory surfaces;
    std::shared_ptr<IGraphicRenderer> renderer;
    CLayerFactory layers;
    FakeMouse mouse;
    std::vector<int32_t> values;
};

TEST_F(SliderTest, ParametersPlaceTheKnob) {
    auto s = Make(Params(0, 100, 50));
    EXPECT_FALSE(s->IsVertical());
    EXPECT_EQ(s->GetTravel(), 180);
    EXPECT_EQ(s->GetController()->GetX(), 100);
    EXPECT_EQ(s->GetController()->GetY(), 20);
    EXPECT_EQ(s->GetBackground()->GetX(), 10);

    // Both keys: horizontal. Neither, a missing key, a value of the wrong type, a missing image: failure.
    CUISlider::Parameters both = Params(0, 100, 50);
    both["height"] = int32_t(5);
    EXPECT_FALSE(Make(both)->IsVertical());
    CUISlider t(&layers, &surfaces, &loaders);
    CUISlider::Parameters p = Params(0, 100, 50);
    p.erase("width");
    EXPECT_TRUE(t.SetParameters(p));
    p = Params(0, 100, 50);
    p.erase("onslide");
    EXPECT_TRUE(t.SetParameters(p));
    p = Params(0, 100, 50);
    p["x"] = std::string("10");
    EXPECT_TRUE(t.SetParameters(p));
    p = Params(0, 100, 50);
    p["controller_path"] = dir.Path() + "/missing.png";
    EXPECT_TRUE(t.SetParameters(p));
}

TEST_F(SliderTest, DraggingReportsTheOffsetFromTheLowEnd) {
    auto s = Make(Params(10, 110, 60));
    Frame(*s, 100, 25, false);
    Frame(*s, 100, 25, true);  // the press starts a drag but moves nothing yet
    EXPECT_TRUE(s->IsDragging());
    EXPECT_EQ(s->GetController()->GetX(), 100);
    EXPECT_TRUE(values.empty());
    Frame(*s, 100, 25, true);  // held: the knob centres on the pointer
    EXPECT_EQ(s->GetController()->GetX(), 90);
    Frame(*s, 100, 25, true);  // no move, no report
    Frame(*s, 0, 25, true);    // far left
    EXPECT_EQ(s->GetController()->GetX(), 10);
    Frame(*s, 600, 25, true);  // far right
    EXPECT_EQ(s->GetController()->GetX(), 190);
    EXPECT_EQ(values, (std::vector<int32_t>{44, 0, 100}));
    Frame(*s, 100, 25, false);
    EXPECT_FALSE(s->IsDragging());
    // A press off the track starts nothing.
    Frame(*s, 100, 100, true);
    EXPECT_FALSE(s->IsDragging());
}

TEST_F(SliderTest, VerticalSlider) {
    CUISlider::Parameters p = Params(0, 100, 100, "height");
    p["background_path"] = dir.Path() + "/tall.png";
    auto s = Make(p);
    EXPECT_TRUE(s->IsVertical());
    EXPECT_EQ(s->GetTravel(), 190);
    EXPECT_EQ(s->GetController()->GetY(), 210);
    Frame(*s, 12, 30, true);
    Frame(*s, 12, 0, true);
    EXPECT_EQ(s->GetController()->GetY(), 20);
    EXPECT_EQ(values, (std::vector<int32_t>{0}));
}

// An empty range, or a knob no smaller than its track, holds the value at 0.
TEST_F(SliderTest, DegenerateRangesReportZero) {
    auto flat = Make(Params(5, 5, 5));
    EXPECT_EQ(flat->GetController()->GetX(), 10);
    Frame(*flat, 50, 25, true);
    Frame(*flat, 120, 25, true);
    CUISlider::Parameters p = Params(0, 100, 50);
    p["controller_path"] = dir.Path() + "/big.png";
    auto stuck = Make(p);
    EXPECT_EQ(stuck->GetTravel(), -100);
    EXPECT_EQ(stuck->GetController()->GetX(), 10);
    Frame(*stuck, 50, 25, false);
    Frame(*stuck, 200, 25, true);
    Frame(*stuck, 210, 25, true);
    EXPECT_EQ(stuck->GetController()->GetX(), -90);
    // Products beyond 32 bits.
    auto wide = Make(Params(-2000000000, 2000000000, 2000000000));
    EXPECT_EQ(wide->GetController()->GetX(), 190);
    for (int32_t v : values) EXPECT_EQ(v, 0);
    EXPECT_EQ(values.size(), 2u);
}

TEST_F(SliderTest, CloneSharesTheLayers) {
    auto s = Make(Params(0, 100, 50));
    std::unique_ptr<IDisplayObject> copy(s->Clone(true));
    auto* c = dynamic_cast<CUISlider*>(copy.get());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->GetController(), s->GetController());
    EXPECT_EQ(c->GetTravel(), 180);
    std::unique_ptr<IDisplayObject> fresh(s->Clone(false));
    EXPECT_NE(dynamic_cast<CUISlider*>(fresh.get())->GetController(), s->GetController());
}

}  // namespace
