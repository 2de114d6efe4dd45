// Layer drawing with random geometry: position, anchor, scale, rotation, mirroring, clip,
// mask, image format, layer mode, opacity and a parent's scale and rotation, drawn into a small
// target, then changed and drawn again (cached paths).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <memory>

#include "GRAPHICS/CLayer.h"
#include "GRAPHICS/CRect.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/IGraphicRenderer.h"

using namespace kestrin;

namespace {

class Target : public IGraphicRenderer {
public:
    explicit Target(std::shared_ptr<CSurface> s) : surface(std::move(s)) {}
    bool Init(Window) override { return false; }
    void RenderStart() override {}
    bool RenderEnd() override { return false; }
    void Clear() override {}
    int32_t GetWidth() const override { return surface->GetWidth(); }
    int32_t GetHeight() const override { return surface->GetHeight(); }
    ISurface* GetRenderTarget() override { return surface.get(); }
    void SetRenderTarget(ISurface*) override {}
    void CaptureScreen(ISurface*) override {}
    std::shared_ptr<CSurface> surface;
};

class Parent : public CDisplayObject {
public:
    explicit Parent(IDisplayObject* child) : m_child(child) {}
    void OnUpdate(const CMatrix2D& m, float a, int32_t) override { m_child->Update(m, a); }
    void OnDraw(const CMatrix2D& m, float a, int32_t) override { m_child->Draw(m, a); }

private:
    IDisplayObject* m_child;
};

std::shared_ptr<CSurface> Surface(FuzzedDataProvider& in, int w, int h, int bits) {
    auto s = std::make_shared<CSurface>();
    if (s->Init(w, h, bits, 0)) return nullptr;
    const uint32_t seed = in.ConsumeIntegral<uint32_t>();
    for (int y = 0; y < h; ++y) {
        uint8_t* row = s->GetLine(y);
        for (int x = 0; x < s->GetPitch(); ++x) row[x] = static_cast<uint8_t>((seed >> (x % 24)) ^ (x * 31 + y * 17));
    }
    return s;
}

int32_t Scale(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: return in.ConsumeIntegralInRange<int32_t>(1, 65536);          // shrink
        case 1: return in.ConsumeIntegralInRange<int32_t>(65536, 65536 * 8);  // grow
        case 2: return in.ConsumeIntegral<int32_t>();                         // anything
        default: return 65536;
    }
}

void Shape(FuzzedDataProvider& in, CDisplayObject& o) {
    o.SetX(in.ConsumeIntegralInRange<int32_t>(-100, 100) * (in.ConsumeBool() ? 1 : 100000));
    o.SetY(in.ConsumeIntegralInRange<int32_t>(-100, 100));
    o.SetAnchorX(in.ConsumeIntegralInRange<int32_t>(-50, 50));
    o.SetAnchorY(in.ConsumeIntegralInRange<int32_t>(-50, 50));
    o.SetXScale(Scale(in));
    o.SetYScale(Scale(in));
    o.SetRotate(in.ConsumeIntegral<int32_t>());
    o.SetReverseX(in.ConsumeBool());
    o.SetReverseY(in.ConsumeBool());
    o.SetAlpha(in.ConsumeIntegralInRange<int32_t>(-10, 300));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    auto screen = std::make_shared<CSurface>();
    screen->Init(in.ConsumeIntegralInRange<int>(1, 48), in.ConsumeIntegralInRange<int>(1, 48), 1, 0);
    auto target = std::make_shared<Target>(screen);

    const int w = in.ConsumeIntegralInRange<int>(1, 24), h = in.ConsumeIntegralInRange<int>(1, 24);
    const int bits = in.ConsumeIntegralInRange<int>(0, 2);
    auto image = Surface(in, w, h, bits);
    if (!image) return 0;
    CLayer layer(target);
    layer.SetSurface(image);
    if (in.ConsumeBool()) {
        // Sometimes of the wrong size, which the layer refuses.
        auto mask = Surface(in, in.ConsumeBool() ? w : w + 1, h, 0);
        layer.SetMask(mask);
    }
    if (in.ConsumeBool())
        layer.SetClip(CRect(in.ConsumeIntegralInRange<int32_t>(-30, 30), in.ConsumeIntegralInRange<int32_t>(-30, 30),
                            in.ConsumeIntegralInRange<int32_t>(-5, 40), in.ConsumeIntegralInRange<int32_t>(-5, 40),
                            true));
    layer.SetLayerMode(in.ConsumeIntegralInRange<int32_t>(0, 5));
    layer.SetColorKey(in.ConsumeIntegral<int32_t>());
    Shape(in, layer);
    Parent parent(&layer);
    Shape(in, parent);

    const CMatrix2D identity;
    for (int frame = 0; frame < 3 && in.remaining_bytes() > 0; ++frame) {
        const float alpha = in.ConsumeFloatingPointInRange<float>(0.0f, 300.0f);
        parent.Update(identity, alpha);
        parent.Draw(identity, alpha);
        // Change something between frames: a move, a new parent scale, or a resized image.
        switch (in.ConsumeIntegralInRange<int>(0, 3)) {
            case 0: layer.SetX(in.ConsumeIntegralInRange<int32_t>(-100, 100)); break;
            case 1: parent.SetXScale(Scale(in)); break;
            case 2:
                image->Init(in.ConsumeIntegralInRange<int>(1, 24), in.ConsumeIntegralInRange<int>(1, 24), bits, 0);
                break;
            default: layer.SetRotate(in.ConsumeIntegral<int32_t>()); break;
        }
    }
    return 0;
}
