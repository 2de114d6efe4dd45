// The hardware renderer over the headless device double: renderer choice and fall-back, the
// error texts, the lost-device cycle, reset handlers and render targets, texture uploads, and
// what a hardware layer asks of the device for each mode, mask, clip and colour key.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CDynamicVariables.h"
#include "CORE/RuntimeConfiguration.h"
#include "GRAPHICS/CDxLayer.h"
#include "GRAPHICS/CDxLayerFactory.h"
#include "GRAPHICS/CDxRenderer.h"
#include "GRAPHICS/CDxSurface.h"
#include "GRAPHICS/CGdiRenderer.h"
#include "GRAPHICS/CGraphicRenderer.h"
#include "GRAPHICS/CLayerFactory.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/CRect.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/CSurfaceFactory.h"
#include "GRAPHICS/ILayerFactory.h"
#include "GRAPHICS/ISurfaceFactory.h"
#include "GRAPHICS/Platform/HeadlessFramePresenter.h"
#include "GRAPHICS/Platform/HeadlessRenderDevice.h"
#include "graphics/LayerTestSupport.h"

using namespace kestrin;

namespace {

struct Rig {
    std::shared_ptr<HeadlessRenderDevice> device = std::make_shared<HeadlessRenderDevice>(64, 48);
    std::shared_ptr<CDxRenderer> dx = std::make_shared<CDxRenderer>(device);

    std::shared_ptr<CDxSurface> Surface(int w, int h, int bits, int flags = 0) {
        auto s = std::make_shared<CDxSurface>(dx);
        EXPECT_FALSE(s->Init(w, h, bits, flags));
        return s;
    }
    std::shared_ptr<CDxLayer> Layer(const std::shared_ptr<ISurface>& image) {
        auto l = std::make_shared<CDxLayer>(dx);
        l->SetSurface(image);
        return l;
    }
    // One frame drawing the layer through the identity (or the given matrix).
    void Draw(CDxLayer& l, const CMatrix2D& m = CMatrix2D(), float alpha = 255.0f) {
        dx->RenderStart();
        l.Update(m, alpha);
        l.Draw(m, alpha);
    }
};

uint32_t Word(const std::vector<uint8_t>& pixels, size_t index) {
    uint32_t v;
    std::memcpy(&v, &pixels[index * 4], 4);
    return v;
}

void Put(ISurface& s, int x, int y, uint32_t v) {
    s.Lock();
    std::memcpy(s.GetLine(y) + x * 4, &v, 4);
    s.Unlock();
}

}  // namespace

TEST(DxRenderer, FrontChoosesTheHardwareRendererAndFallsBackToSoftware) {
    for (bool fails : {false, true}) {
        auto device = std::make_shared<HeadlessRenderDevice>(64, 48);
        device->failOpen = fails;
        auto dx = std::make_shared<CDxRenderer>(device);
        auto gdi = std::make_shared<CGdiRenderer>(std::make_shared<HeadlessFramePresenter>(7, 64, 48));
        CGraphicRenderer front;
        ASSERT_FALSE(
            front.AddRenderer(dx, std::make_unique<CDxLayerFactory>(dx), std::make_unique<CDxSurfaceFactory>(dx)));
        ASSERT_FALSE(front.AddRenderer(gdi, std::make_unique<CLayerFactory>(gdi), std::make_unique<CSurfaceFactory>()));
        ASSERT_FALSE(front.Init(7));
        EXPECT_EQ(front.GetSelectedIndex(), fails ? 1 : 0);
        EXPECT_EQ(front.GetWidth(), 64);
        if (fails) {
            EXPECT_TRUE(std::regex_match(
                dx->GetLastError(),
                std::regex(R"(Classes/GRAPHICS/CDxRenderer\(\d+\): )"
                           R"(kestrin::CDxRenderer::Init\(\) RENDERERR_NOTAVAILABLE - )"
                           R"(The graphics device could not start: the fake device refuses to start)")))
                << dx->GetLastError();
        } else {
            EXPECT_NE(dynamic_cast<CDxLayer*>(front.GetLayerFactory()->Create().get()), nullptr);
            EXPECT_NE(dynamic_cast<CDxSurface*>(front.GetSurfaceFactory()->Create().get()), nullptr);
        }
    }
}

TEST(DxRenderer, ScreenTakesSoftwareWhenAskedOrWhenTheDeviceFails) {
    struct Case {
        bool fsr, iniForce, deviceFails, software;
    } cases[] = {
        {false, false, false, false},
        {true, false, false, true},
        {false, true, false, true},
        {false, false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.fsr) + std::to_string(c.iniForce) + std::to_string(c.deviceFails));
        int made = 0;
        SPlatformServices services = PlatformServicesInEffect();
        services.renderDevice = [&]() {
            ++made;
            auto device = std::make_shared<HeadlessRenderDevice>(64, 48);
            device->failOpen = c.deviceFails;
            return device;
        };
        std::optional<PlatformServicesScope> scope(std::in_place, services);
        CDynamicVariables* v = CDynamicVariables::GetInstance();
        v->SetMap("ApplicationArguments",
                  c.fsr ? CDynamicVariables::StringMap{{"fsr", ""}} : CDynamicVariables::StringMap{});
        v->SetBool("ini.ForceSoftwareRender", c.iniForce);
        {
            CMainScreen screen(nullptr, std::make_shared<HeadlessFramePresenter>(0, 64, 48));
            EXPECT_EQ(screen.IsSoftware(), c.software);
            EXPECT_TRUE(screen.IsReady());
            const bool hardware =
                std::dynamic_pointer_cast<CDxRenderer>(screen.GetRenderer()->GetRenderer()) != nullptr;
            EXPECT_EQ(hardware, !c.software);
            // Forced software never makes a device.
            EXPECT_EQ(made, (c.fsr || c.iniForce) ? 0 : 1);
        }
        scope.reset();
        CDynamicVariables::ReleaseInstance();
    }
}

TEST(DxRenderer, ASoftwareRasteriserFallsBackToSoftwareUnlessAsked) {
    struct Case {
        const char* rendererName;
        bool iniForce;
        const char* env;
        bool hardware;
        bool noDevice = false;  // no graphics device at all: OpenGL is not even opened
    } cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", false, nullptr, false},
        {"softpipe", false, nullptr, false},
        {"Software Rasterizer (swrast)", false, "0", false},
        {"llvmpipe (LLVM 15.0.6, 256 bits)", true, nullptr, true},
        {"llvmpipe (LLVM 15.0.6, 256 bits)", false, "1", true},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false, nullptr, true},
        {"", false, nullptr, true},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false, nullptr, false, true},
        {"llvmpipe (LLVM 15.0.6, 256 bits)", false, "1", true, true},
    };
    // The OpenGL tests of this binary ask for the hardware renderer: put their setting back.
    const RuntimeConfiguration kept = GetRuntimeConfiguration();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.rendererName) + (c.iniForce ? " ini" : "") + (c.env ? c.env : "") +
                     (c.noDevice ? " no device" : ""));
        SPlatformServices services = PlatformServicesInEffect();
        services.renderDevice = [&]() {
            auto device = std::make_shared<HeadlessRenderDevice>(64, 48);
            device->rendererName = c.rendererName;
            device->graphicsDevice = !c.noDevice;
            return device;
        };
        std::optional<PlatformServicesScope> scope(std::in_place, services);
        SetRuntimeConfiguration(ReadRuntimeConfiguration(
            [&](const char* name) { return std::string(name) == "KESTRIN_HARDWARE_RENDER" ? c.env : nullptr; }));
        CDynamicVariables* v = CDynamicVariables::GetInstance();
        v->SetMap("ApplicationArguments", CDynamicVariables::StringMap{});
        v->SetBool("ini.ForceHardwareRender", c.iniForce);
        {
            CMainScreen screen(nullptr, std::make_shared<HeadlessFramePresenter>(0, 64, 48));
            EXPECT_TRUE(screen.IsReady());
            EXPECT_EQ(screen.IsSoftware(), !c.hardware);
            EXPECT_EQ(std::dynamic_pointer_cast<CDxRenderer>(screen.GetRenderer()->GetRenderer()) != nullptr,
                      c.hardware);
        }
        scope.reset();
        CDynamicVariables::ReleaseInstance();
    }
    SetRuntimeConfiguration(kept);
}

TEST(DxRenderer, IdleFramesPresentNothingUntilTheDeviceResets) {
    std::shared_ptr<HeadlessRenderDevice> device;
    SPlatformServices services = PlatformServicesInEffect();
    services.renderDevice = [&]() { return device = std::make_shared<HeadlessRenderDevice>(64, 48); };
    std::optional<PlatformServicesScope> scope(std::in_place, services);
    {
        CMainScreen screen(nullptr, std::make_shared<HeadlessFramePresenter>(0, 64, 48));
        ASSERT_NE(std::dynamic_pointer_cast<CDxRenderer>(screen.GetRenderer()->GetRenderer()), nullptr);
        for (int i = 0; i < 3; ++i) screen.Draw();
        const int32_t presents = device->GetPresentCount();
        const uint64_t skipped = screen.GetSkippedFrames();
        for (int i = 0; i < 5; ++i) EXPECT_FALSE(screen.Draw());
        EXPECT_EQ(device->GetPresentCount(), presents);
        EXPECT_EQ(screen.GetSkippedFrames(), skipped + 5);
        // A reset loses the back buffer's picture: it is drawn and shown again.
        device->SimulateReset(true);
        screen.Draw();
        EXPECT_GT(device->GetPresentCount(), presents);
    }
    scope.reset();
    CDynamicVariables::ReleaseInstance();
}

TEST(DxRenderer, LostDeviceSkipsFramesUntilFineOrReset) {
    Rig r;
    ASSERT_FALSE(r.dx->Init(1));
    r.dx->RenderStart();
    EXPECT_FALSE(r.dx->RenderEnd());
    EXPECT_EQ(r.device->GetPresentCount(), 1);

    // Present fails and the device says it is lost.
    r.device->failPresent = true;
    r.device->SetState(EDeviceState::kLost);
    EXPECT_TRUE(r.dx->RenderEnd());
    EXPECT_TRUE(r.dx->IsDeviceLost());
    EXPECT_NE(r.dx->GetLastError().find("kestrin::CDxRenderer::RenderEnd() RENDERERR_DEVICELOST"), std::string::npos);
    r.device->failPresent = false;
    r.dx->RenderStart();
    EXPECT_NE(r.dx->GetLastError().find("kestrin::CDxRenderer::RenderStart()"), std::string::npos);
    EXPECT_TRUE(r.dx->RenderEnd());  // nothing is shown while lost
    EXPECT_EQ(r.device->GetPresentCount(), 1);

    // The device reports it is fine again without a reset: the flag clears.
    r.device->SetState(EDeviceState::kOk);
    r.dx->RenderStart();
    EXPECT_FALSE(r.dx->IsDeviceLost());
    EXPECT_EQ(r.device->GetResetCount(), 0);
    EXPECT_FALSE(r.dx->RenderEnd());

    // A reset that fails keeps it lost and is tried again next frame.
    r.device->failReset = true;
    r.device->SimulateReset(true);
    r.dx->RenderStart();
    EXPECT_TRUE(r.dx->IsDeviceLost());
    EXPECT_NE(r.dx->GetLastError().find("kestrin::CDxRenderer::DeviceReset()"), std::string::npos);
    r.device->failReset = false;
    r.dx->RenderStart();
    EXPECT_FALSE(r.dx->IsDeviceLost());
    EXPECT_EQ(r.device->GetResetCount(), 2);
}

TEST(DxRenderer, ResetRemakesRenderTargetsAndReuploadsImages) {
    Rig r;
    ASSERT_FALSE(r.dx->Init(1));
    std::vector<std::string> calls;
    int key1 = 0, key2 = 0;
    const void* first = &key1 < &key2 ? static_cast<void*>(&key1) : static_cast<void*>(&key2);
    const void* second = first == &key1 ? static_cast<void*>(&key2) : static_cast<void*>(&key1);
    r.dx->AddDeviceResetHandler(
        second, [&] { calls.push_back("before 2"); }, [&] { calls.push_back("after 2"); });
    r.dx->AddDeviceResetHandler(
        first, [&] { calls.push_back("before 1"); }, [&] { calls.push_back("after 1"); });

    auto target = r.Surface(20, 10, ISurface::kPixel32, ISurface::kRenderTarget);
    auto image = r.Surface(4, 4, ISurface::kPixel32Alpha);
    const IRenderDevice::TextureId oldTarget = target->GetTargetTexture();
    ASSERT_NE(image->GetTexture(), 0u);
    EXPECT_EQ(target->GetLine(0), nullptr);  // render targets cannot be locked
    {
        // A render target that is gone before the reset takes its handlers with it.
        auto gone = r.Surface(8, 8, ISurface::kPixel32, ISurface::kRenderTarget);
    }

    r.device->SimulateReset(false);  // every texture is gone
    r.dx->RenderStart();
    EXPECT_FALSE(r.dx->IsDeviceLost());
    EXPECT_EQ(calls, (std::vector<std::string>{"before 1", "before 2", "after 1", "after 2"}));
    ASSERT_NE(target->GetTargetTexture(), 0u);
    EXPECT_NE(target->GetTargetTexture(), oldTarget);
    const HeadlessRenderDevice::STexture* t = r.device->FindTexture(target->GetTargetTexture());
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->renderTarget);
    EXPECT_EQ(t->width, 20);
    EXPECT_EQ(t->height, 10);
    EXPECT_EQ(Word(t->pixels, 0), 0xFF000000u);  // made again opaque black
    EXPECT_EQ(target->GetPixelBits(), ISurface::kPixel32);

    const IRenderDevice::TextureId again = image->GetTexture();
    ASSERT_NE(again, 0u);
    EXPECT_EQ(r.device->FindTexture(again)->uploads, 1);
    EXPECT_EQ(r.device->GetTextures().size(), 3u);  // back buffer, target, image
    r.dx->RemoveDeviceResetHandler(first);
    r.dx->RemoveDeviceResetHandler(second);
}

TEST(DxRenderer, ImagesAreUploadedPremultipliedOnlyAfterChanges) {
    Rig r;
    ASSERT_FALSE(r.dx->Init(1));
    auto alpha = r.Surface(2, 1, ISurface::kPixel32Alpha);
    Put(*alpha, 0, 0, 0x80FF6400u);  // a 128, r 255, g 100, b 0
    Put(*alpha, 1, 0, 0x00FFFFFFu);
    auto opaque = r.Surface(1, 1, ISurface::kPixel32);
    Put(*opaque, 0, 0, 0x00123456u);
    auto grey = r.Surface(1, 1, ISurface::kPixel8);
    grey->Fill(77);
    const auto& a = r.device->FindTexture(alpha->GetTexture())->pixels;
    EXPECT_EQ(Word(a, 0), 0x80803200u);
    EXPECT_EQ(Word(a, 1), 0x00000000u);
    EXPECT_EQ(Word(r.device->FindTexture(opaque->GetTexture())->pixels, 0), 0xFF123456u);
    EXPECT_EQ(Word(r.device->FindTexture(grey->GetTexture())->pixels, 0), 0x4D000000u);

    const IRenderDevice::TextureId id = alpha->GetTexture();
    EXPECT_EQ(r.device->FindTexture(id)->uploads, 1);
    alpha->GetTexture();
    EXPECT_EQ(r.device->FindTexture(id)->uploads, 1);
    Put(*alpha, 1, 0, 0xFF0000FFu);
    alpha->GetTexture();
    EXPECT_EQ(r.device->FindTexture(id)->uploads, 2);
    EXPECT_EQ(static_cast<uint32_t>(alpha->GetPixel(CPoint(1, 0))), 0xFF0000FFu);

    // A texture the device cannot make: Init fails, and the surface stays empty.
    r.device->failTextures = true;
    auto big = std::make_shared<CDxSurface>(r.dx);
    EXPECT_TRUE(big->Init(8, 8, ISurface::kPixel32Alpha, 0));
    EXPECT_NE(big->GetLastError().find("kestrin::CDxSurface::Init()"), std::string::npos);
    EXPECT_EQ(big->GetTexture(), 0u);
}

TEST(DxLayer, ModesOpacityAndFilteringByTable) {
    struct Case {
        int mode;
        float alpha;
        int rotate, xScale;
        EQuadBlend blend;
        int opacity;
        bool linear;
    } cases[] = {
        {0, 255.0f, 0, 65536, EQuadBlend::kNormal, 255, false},
        {1, 255.0f, 0, 65536, EQuadBlend::kAdd, 255, false},
        {2, 127.5f, 0, 65536, EQuadBlend::kMultiply, 128, false},
        {4, 254.4f, 0, 65536, EQuadBlend::kScreen, 254, false},
        {0, 255.0f, 30, 65536, EQuadBlend::kNormal, 255, true},
        {0, 255.0f, 0, 2 * 65536, EQuadBlend::kNormal, 255, true},
        {3, 255.0f, 30, 65536, EQuadBlend::kNormal, 255, false},  // keyed edges stay hard
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode * 1000 + c.rotate);
        Rig r;
        ASSERT_FALSE(r.dx->Init(1));
        auto layer = r.Layer(r.Surface(16, 8, ISurface::kPixel32Alpha));
        layer->SetLayerMode(c.mode);
        layer->SetRotate(c.rotate);
        layer->SetXScale(c.xScale);
        layer->SetX(5);
        layer->SetY(3);
        r.Draw(*layer, CMatrix2D(), c.alpha);
        ASSERT_EQ(r.device->GetDraws().size(), 1u);
        const HeadlessRenderDevice::SDraw& d = r.device->GetDraws()[0];
        EXPECT_EQ(d.blend, c.blend);
        EXPECT_EQ(d.opacity, c.opacity);
        EXPECT_EQ(d.linear, c.linear);
        if (c.rotate == 0 && c.xScale == 65536) {  // exact corners, no half-pixel offset
            EXPECT_FLOAT_EQ(d.corners[0].x, 5.0f);
            EXPECT_FLOAT_EQ(d.corners[0].y, 3.0f);
            EXPECT_FLOAT_EQ(d.corners[2].x, 21.0f);
            EXPECT_FLOAT_EQ(d.corners[2].y, 11.0f);
            EXPECT_FLOAT_EQ(d.corners[2].u, 1.0f);
        }
    }
}

TEST(DxLayer, MirroredQuarterTurnsAndClipsAreDrawn) {
    for (int rotate : {90, -90}) {
        Rig r;
        ASSERT_FALSE(r.dx->Init(1));
        auto layer = r.Layer(r.Surface(16, 16, ISurface::kPixel32Alpha));
        layer->SetReverseX(true);
        layer->SetRotate(rotate);
        layer->SetAnchorX(8);
        layer->SetAnchorY(8);
        r.Draw(*layer);
        EXPECT_EQ(r.device->GetDraws().size(), 1u) << rotate;
    }
    // A clip reaching beyond the image shows only the image's part of it.
    Rig r;
    ASSERT_FALSE(r.dx->Init(1));
    auto layer = r.Layer(r.Surface(16, 16, ISurface::kPixel32Alpha));
    layer->SetClip(CRect(8, 12, 20, 20, true));
    r.Draw(*layer);
    ASSERT_EQ(r.device->GetDraws().size(), 1u);
    const HeadlessRenderDevice::SDraw& d = r.device->GetDraws()[0];
    EXPECT_FLOAT_EQ(d.corners[2].x, 8.0f);
    EXPECT_FLOAT_EQ(d.corners[2].y, 4.0f);
    EXPECT_FLOAT_EQ(d.corners[0].u, 0.5f);
    EXPECT_FLOAT_EQ(d.corners[0].v, 0.75f);
    EXPECT_FLOAT_EQ(d.corners[2].u, 1.0f);
}

// A filtered part of an image (a sprite-sheet cell) is drawn from a copy of just that part, so
// that the filter cannot reach its neighbours; drawn texel for texel it needs no copy.
TEST(DxLayer, FilteredClipsAreDrawnFromACopyOfTheCell) {
    for (bool scaled : {false, true}) {
        SCOPED_TRACE(scaled);
        Rig r;
        ASSERT_FALSE(r.dx->Init(1));
        auto image = r.Surface(32, 16, ISurface::kPixel32Alpha);
        auto layer = r.Layer(image);
        layer->SetClip(CRect(16, 0, 16, 16, true));
        if (scaled) layer->SetXScale(3 * 65536);
        r.Draw(*layer);
        const auto& draws = r.device->GetDraws();
        ASSERT_EQ(draws.size(), scaled ? 2u : 1u);
        const HeadlessRenderDevice::SDraw& last = draws.back();
        EXPECT_EQ(last.linear, scaled);
        if (!scaled) {
            EXPECT_EQ(last.texture, image->GetTexture());
            EXPECT_FLOAT_EQ(last.corners[0].u, 0.5f);
            continue;
        }
        EXPECT_EQ(draws[0].blend, EQuadBlend::kCopy);
        EXPECT_EQ(draws[0].texture, image->GetTexture());
        EXPECT_FLOAT_EQ(draws[0].corners[0].u, 0.5f);
        EXPECT_FLOAT_EQ(draws[0].corners[2].u, 1.0f);
        EXPECT_EQ(last.texture, draws[0].target);
        EXPECT_EQ(r.device->FindTexture(last.texture)->width, 16);
        EXPECT_EQ(r.device->FindTexture(last.texture)->height, 16);
        EXPECT_FLOAT_EQ(last.corners[0].u, 0.0f);
        EXPECT_FLOAT_EQ(last.corners[2].u, 1.0f);
        EXPECT_FLOAT_EQ(last.corners[2].x, 48.0f);
    }
}

TEST(DxLayer, MaskGoesThroughTheScratchTargetInEveryMode) {
    for (int mode : {0, 2, 4}) {
        Rig r;
        ASSERT_FALSE(r.dx->Init(1));
        auto image = r.Surface(16, 16, ISurface::kPixel32);
        auto mask = r.Surface(16, 16, ISurface::kPixel8);
        auto layer = r.Layer(image);
        layer->SetMask(mask);
        ASSERT_EQ(layer->GetMask(), mask.get());
        layer->SetLayerMode(mode);
        r.Draw(*layer);
        const auto& draws = r.device->GetDraws();
        ASSERT_EQ(draws.size(), 3u) << mode;
        EXPECT_EQ(draws[0].blend, EQuadBlend::kCopy);
        EXPECT_EQ(draws[0].texture, image->GetTexture());
        EXPECT_EQ(draws[1].blend, EQuadBlend::kMask);
        EXPECT_EQ(draws[1].texture, mask->GetTexture());
        EXPECT_EQ(draws[0].target, draws[1].target);
        EXPECT_EQ(draws[2].texture, draws[0].target);  // the composed scratch
        EXPECT_NE(draws[2].target, draws[0].target);
    }
    // A mask of the wrong size is refused; a 32-bit mask with alpha is taken.
    Rig r;
    ASSERT_FALSE(r.dx->Init(1));
    auto layer = r.Layer(r.Surface(16, 16, ISurface::kPixel32));
    layer->SetMask(r.Surface(15, 16, ISurface::kPixel8));
    EXPECT_EQ(layer->GetMask(), nullptr);
    auto mask32 = r.Surface(16, 16, ISurface::kPixel32Alpha);
    layer->SetMask(mask32);
    EXPECT_EQ(layer->GetMask(), mask32.get());
}

TEST(DxLayer, HitTestingReadsTheImageWithoutUploadingItAgain) {
    // A layer with a mouse handler reads its image every frame; the image is uploaded (and
    // keyed) once all the same.
    for (int mode : {0, 3}) {
        SCOPED_TRACE(mode);
        layertest::FakeMouse mouse;
        Rig r;
        ASSERT_FALSE(r.dx->Init(1));
        auto image = r.Surface(4, 4, ISurface::kPixel32Alpha);
        image->Fill(0xFF102030u);
        auto layer = r.Layer(image);
        layer->SetLayerMode(mode);
        layer->SetColorKey(0xFF00FF);
        layer->SetInput(mouse.input);
        int clicks = 0;
        layer->SetOnRollOver([&]() { ++clicks; });
        for (int frame = 0; frame < 3; ++frame) {
            mouse.Frame(1, 1, false);
            r.Draw(*layer);
        }
        EXPECT_EQ(clicks, 1);
        EXPECT_EQ(r.device->FindTexture(image->GetTexture())->uploads, 1);
        if (mode == 3) {
            ASSERT_NE(layer->GetKeyedSurface(), nullptr);
            EXPECT_EQ(r.device->FindTexture(layer->GetKeyedSurface()->GetTexture())->uploads, 1);
        }
    }
}

TEST(DxLayer, ColourKeyDrawsFromAKeyedCopyAndLeavesTheSharedImage) {
    Rig r;
    ASSERT_FALSE(r.dx->Init(1));
    // A JPEG-like image: 32-bit without alpha.
    auto image = r.Surface(2, 1, ISurface::kPixel32);
    Put(*image, 0, 0, 0x00FF00FFu);
    Put(*image, 1, 0, 0x00102030u);
    auto keyed = r.Layer(image);
    keyed->SetLayerMode(3);
    keyed->SetColorKey(0xFF00FF);
    auto plain = r.Layer(image);
    r.Draw(*keyed);
    plain->Draw(CMatrix2D(), 255.0f);

    ASSERT_NE(keyed->GetKeyedSurface(), nullptr);
    EXPECT_EQ(static_cast<uint32_t>(keyed->GetKeyedSurface()->GetPixel(CPoint(0, 0))), 0x00FF00FFu);
    EXPECT_EQ(static_cast<uint32_t>(keyed->GetKeyedSurface()->GetPixel(CPoint(1, 0))), 0xFF102030u);
    EXPECT_EQ(static_cast<uint32_t>(image->GetPixel(CPoint(0, 0))), 0x00FF00FFu);
    const auto& draws = r.device->GetDraws();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].texture, keyed->GetKeyedSurface()->GetTexture());
    EXPECT_EQ(draws[1].texture, image->GetTexture());
    EXPECT_EQ(Word(r.device->FindTexture(draws[0].texture)->pixels, 0), 0u);  // keyed out
    EXPECT_EQ(Word(r.device->FindTexture(draws[1].texture)->pixels, 0), 0xFFFF00FFu);

    // A new key rebuilds the copy.
    keyed->SetColorKey(0x102030);
    r.Draw(*keyed);
    EXPECT_EQ(static_cast<uint32_t>(keyed->GetKeyedSurface()->GetPixel(CPoint(0, 0))), 0xFFFF00FFu);
    EXPECT_EQ(static_cast<uint32_t>(keyed->GetKeyedSurface()->GetPixel(CPoint(1, 0))), 0x00102030u);

    // 8-bit images are not keyed: they draw as black with their alpha, like the normal mode.
    auto grey = r.Layer(r.Surface(2, 2, ISurface::kPixel8));
    grey->SetLayerMode(3);
    r.device->ClearDraws();
    r.Draw(*grey);
    EXPECT_EQ(grey->GetKeyedSurface(), nullptr);
    ASSERT_EQ(r.device->GetDraws().size(), 1u);
    EXPECT_EQ(r.device->GetDraws()[0].blend, EQuadBlend::kNormal);
}

TEST(DxRenderer, ResetDuringATransitionCapturesThePictureAgain) {
    std::shared_ptr<HeadlessRenderDevice> device;
    SPlatformServices services = PlatformServicesInEffect();
    services.renderDevice = [&]() { return device = std::make_shared<HeadlessRenderDevice>(64, 48); };
    std::optional<PlatformServicesScope> scope(std::in_place, services);
    {
        CMainScreen screen(nullptr, std::make_shared<HeadlessFramePresenter>(0, 64, 48));
        ASSERT_NE(std::dynamic_pointer_cast<CDxRenderer>(screen.GetRenderer()->GetRenderer()), nullptr);
        std::shared_ptr<ISurface> image = screen.GetSurfaceFactory()->Create();
        ASSERT_FALSE(image->Init(8, 8, ISurface::kPixel32, 0));
        std::shared_ptr<ILayer> layer = screen.GetLayerFactory()->Create();
        layer->SetSurface(image);
        screen.GetRootLayer()->AddChild("a", COruLayer::COruLayerWithLayer(screen.GetSurfaceManager(), layer));
        screen.Flip();
        screen.SetInTransition(true);
        auto* picture = dynamic_cast<CDxSurface*>(screen.GetTransitionLayer()->GetSurface());
        ASSERT_NE(picture, nullptr);
        auto drawsInto = [&](IRenderDevice::TextureId target) {
            int n = 0;
            for (const auto& d : device->GetDraws()) n += d.target == target;
            return n;
        };
        screen.Draw();  // captures
        EXPECT_EQ(drawsInto(picture->GetTargetTexture()), 1);
        device->ClearDraws();
        screen.Draw();  // the picture stands
        EXPECT_EQ(drawsInto(picture->GetTargetTexture()), 0);

        device->SimulateReset(true);
        device->ClearDraws();
        screen.Draw();
        EXPECT_EQ(drawsInto(picture->GetTargetTexture()), 1);
        EXPECT_FALSE(screen.IsRecapture());
    }
    scope.reset();
    CDynamicVariables::ReleaseInstance();
}

TEST(DxRenderer, ScreenModeChangesRemakeTheBackBufferAndCaptureReadsIt) {
    Rig r;
    ASSERT_FALSE(r.dx->Init(1));
    EXPECT_EQ(r.dx->GetWidth(), 64);
    r.device->Resize(100, 50);
    EXPECT_FALSE(r.dx->ChangeScreenMode(1, 1, true));
    EXPECT_EQ(r.dx->GetWidth(), 100);
    EXPECT_EQ(r.dx->GetHeight(), 50);
    EXPECT_TRUE(r.dx->ChangeScreenMode(1, 7, false));
    EXPECT_EQ(r.dx->GetLastError(), "Unsupported Pixed Format.");
    EXPECT_EQ(r.dx->GetWidth(), 100);
    // A back buffer the device cannot make now is made by the first frame that can.
    r.device->failTextures = true;
    EXPECT_TRUE(r.dx->ChangeScreenMode(1, 1, true));
    EXPECT_TRUE(r.dx->IsDeviceLost());
    r.dx->RenderStart();
    EXPECT_TRUE(r.dx->IsDeviceLost());
    r.device->failTextures = false;
    r.dx->RenderStart();
    EXPECT_FALSE(r.dx->IsDeviceLost());
    EXPECT_FALSE(r.dx->RenderEnd());

    CSurface shot;
    r.dx->CaptureScreen(&shot);
    EXPECT_EQ(shot.GetWidth(), 100);
    EXPECT_EQ(shot.GetHeight(), 50);
    EXPECT_EQ(shot.GetPixelBits(), ISurface::kPixel32);
    EXPECT_EQ(static_cast<uint32_t>(shot.GetPixel(CPoint(99, 49))), 0xFF000000u);
}
