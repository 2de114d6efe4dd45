#include "support/GoldenScenes.h"

#include <cstring>

#include "GRAPHICS/CLayer.h"
#include "GRAPHICS/CMatrix2D.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/CRect.h"
#include "GRAPHICS/ILayerFactory.h"
#include "GRAPHICS/ISurfaceFactory.h"
#include "GRAPHICS/TweenRegistry.h"
#include "CORE/Platform/ITextRasterizer.h"
#include "TEXT/CFontRenderer.h"

using namespace kestrin;

namespace kestrin_test {

uint32_t Bgra(int r, int g, int b, int a) {
    return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

const LetterboxCase kLetterboxCases[4] = {
    {"letterbox_wide", 96, 48, false},  // bars left and right
    {"letterbox_tall", 64, 72, false},  // bars top and bottom
    {"sidecut_wide", 96, 48, true},     // filled, top and bottom cut
    {"scaled_exact", 128, 96, false},   // same aspect: scaled, no bars
};

const int kRuleThresholds[4] = {-32, 64, 128, 287};

const TextSceneCase kTextScenes[5] = {
    {"text_ruby", TextScene::kRuby},
    {"text_align", TextScene::kAlign},
    {"text_kinsoku", TextScene::kKinsoku},
    {"text_tween_half", TextScene::kTweenHalf},
    {"text_link_hover", TextScene::kLinkHover},
};

std::shared_ptr<ISurface> GoldenSceneTest::Image(int w, int h, const PixelFn& fn, int bits) {
    std::shared_ptr<ISurface> s = screen->GetSurfaceFactory()->Create();
    EXPECT_FALSE(s->Init(w, h, bits, 0));
    s->Lock();
    for (int y = 0; y < h; ++y) {
        uint8_t* row = s->GetLine(y);
        for (int x = 0; x < w; ++x) {
            const uint32_t p = fn(x, y);
            if (bits == ISurface::kPixel8)
                row[x] = uint8_t(p);
            else
                std::memcpy(row + x * 4, &p, 4);
        }
    }
    s->Unlock();
    return s;
}

std::shared_ptr<ILayer> GoldenSceneTest::Add(const std::string& path, const std::shared_ptr<ISurface>& image,
                                             const std::function<void(ILayer&)>& setup) {
    std::shared_ptr<ILayer> layer = screen->GetLayerFactory()->Create();
    layer->SetSurface(image);
    if (setup) setup(*layer);
    screen->GetRootLayer()->AddChild(path, COruLayer::COruLayerWithLayer(screen->GetSurfaceManager(), layer));
    return layer;
}

CSurface& GoldenSceneTest::Frame(bool flip) {
    if (flip) screen->Flip();
    screen->Update();
    screen->Draw();
    screen->TakeScreenshot();
    return *screen->GetScreenshotSurface();
}

std::shared_ptr<ISurface> GoldenSceneTest::Background() {
    return Image(screen->GetWidth(), screen->GetHeight(),
                 [](int x, int y) { return Bgra(x * 4 % 256, y * 5 % 256, 96); });
}

std::shared_ptr<ISurface> GoldenSceneTest::Sprite() {
    return Image(16, 16, [](int x, int y) {
        const int a = 255 - x * 8;
        if (y < 8) return x < 8 ? Bgra(255, 0, 0, a) : Bgra(0, 255, 0, a);
        return x < 8 ? Bgra(0, 0, 255, a) : Bgra(255, 255, 255, a);
    });
}

void GoldenSceneTest::AnchorRotationScene() {
    Add("0bg", Background());
    Add("1a", Sprite(), [](ILayer& l) {  // a quarter turn about its centre
        l.SetX(4);
        l.SetY(4);
        l.SetAnchorX(8);
        l.SetAnchorY(8);
        l.SetRotate(90);
    });
    Add("1b", Sprite(), [](ILayer& l) {  // 30 degrees about its top-left corner, doubled
        l.SetX(36);
        l.SetY(6);
        l.SetRotate(30);
        l.SetXScale(2 * 65536);
    });
    Add("1c", Sprite(), [](ILayer& l) {  // 45 degrees about its centre, half size
        l.SetX(8);
        l.SetY(26);
        l.SetAnchorX(8);
        l.SetAnchorY(8);
        l.SetRotate(-45);
        l.SetYScale(32768);
    });
}

void GoldenSceneTest::MirrorClipMaskScene() {
    Add("0bg", Background());
    Add("1", Sprite(), [](ILayer& l) {
        l.SetX(2);
        l.SetY(2);
    });
    // Mirrored about their centres, so that they stay in place.
    Add("2", Sprite(), [](ILayer& l) {
        l.SetX(22);
        l.SetY(2);
        l.SetAnchorX(8);
        l.SetReverseX(true);
    });
    Add("3", Sprite(), [](ILayer& l) {
        l.SetX(42);
        l.SetY(2);
        l.SetAnchorY(8);
        l.SetReverseY(true);
    });
    Add("4", Sprite(), [](ILayer& l) {  // only the centre 8 x 8, at (2, 26)
        l.SetX(2);
        l.SetY(26);
        l.SetClip(CRect(4, 4, 8, 8, true));
    });
    std::shared_ptr<ISurface> opaque = Image(16, 16, [](int x, int y) { return Bgra(255, x * 16, y * 16); });
    std::shared_ptr<ISurface> mask = Image(
        16, 16, [](int x, int y) { return uint32_t((x + y) * 8); }, ISurface::kPixel8);
    Add("5", opaque, [&](ILayer& l) {
        l.SetX(22);
        l.SetY(26);
        l.SetMask(mask);
    });
    // Mirrored and turned by a quarter: seen from behind, still drawn, and it keeps its mask.
    Add("6", opaque, [&](ILayer& l) {
        l.SetX(42);
        l.SetY(26);
        l.SetMask(mask);
        l.SetAnchorX(8);
        l.SetAnchorY(8);
        l.SetRotate(90);
        l.SetReverseX(true);
    });
}

void GoldenSceneTest::LayerModesScene() {
    Add("0bg", Background());
    // Normal, add, multiply, colour key (white is keyed out) and screen, each twice: in full
    // and at 40 % opacity below.
    for (int mode = 0; mode < 5; ++mode) {
        for (int faded = 0; faded < 2; ++faded) {
            Add("m" + std::to_string(mode) + std::to_string(faded), Sprite(), [&](ILayer& l) {
                l.SetX(2 + mode * 19);
                l.SetY(4 + faded * 22);
                l.SetLayerMode(mode);
                if (faded) l.SetAlpha(102);
                if (mode == 3) static_cast<CLayer&>(l).SetColorKey(0xFFFFFF);
            });
        }
    }
}

void GoldenSceneTest::GroupAlphaScene() {
    Add("0bg", Background());
    Add("g.s", Sprite(), [](ILayer& l) {
        l.SetX(4);
        l.SetY(4);
        l.SetAlpha(128);
    });
    Add("h.s", Sprite(), [](ILayer& l) {
        l.SetX(36);
        l.SetY(4);
    });
    screen->Flip();
    screen->GetRootLayer()->GetChild("g")->SetAlpha(128);  // 128 x 128 / 255 in all
    screen->GetRootLayer()->GetChild("h")->SetAlpha(64);
    screen->GetRootLayer()->GetChild("h")->SetX(-8);
}

void GoldenSceneTest::LetterboxScene() {
    // Bright at the logical edges, so that bars and cuts show.
    Add("0bg", Image(64, 48, [](int x, int y) {
            return (x == 0 || y == 0 || x == 63 || y == 47) ? Bgra(255, 255, 0) : Bgra(40, 80 + y, 120 + x);
        }));
    Add("1", Sprite(), [](ILayer& l) {
        l.SetX(24);
        l.SetY(16);
    });
}

void GoldenSceneTest::RuleScene(int threshold) {
    Add("bg", Image(64, 48, [](int, int) { return Bgra(200, 30, 30); }));
    Frame();
    // The next picture, waiting for the commit that ends the transition.
    Add("bg", Image(64, 48, [](int x, int y) { return Bgra(20, 40 + y, 220 - x); }));
    Add("fg", Sprite(), [](ILayer& l) {
        l.SetX(24);
        l.SetY(16);
    });
    std::shared_ptr<ISurface> rule = Image(
        64, 48, [](int x, int y) { return uint32_t(x * 3 + (y / 12) * 8); }, ISurface::kPixel8);
    screen->SetRuleSurface(rule);
    screen->SetVague(32);
    screen->SetRuleThreshold(threshold);
    screen->SetInTransition(true);
}

CLinkableTextRenderer* GoldenSceneTest::MessageLayer(const std::string& name, int left, int top, int width, int height,
                                                     int align) {
    CLinkableTextRenderer::ServeMessageLayers(*screen);
    screen->ChangeMessageLayer(name, 1);
    CLinkableTextRenderer* layer = CLinkableTextRenderer::Of(screen->GetCurrentMessageLayer());
    EXPECT_NE(layer, nullptr);
    if (!layer) return nullptr;
    layer->SetCharset(2);
    CTextRenderer::CProperty& p = layer->GetProperty();
    p.left = left;
    p.top = top;
    p.width = width;
    p.height = height;
    p.align = align;
    p.face = "IPAGothic";
    p.rubyFace = "IPAGothic";
    p.size = 20;
    p.rubySize = 10;
    p.spaceMiddle = 4;
    p.color = 0xFFFFFF;
    p.shadowColor = 0x202020;
    p.style = CTextRenderer::kStyleShadow;
    return layer;
}

void GoldenSceneTest::DrawTextScene(TextScene scene) {
    // The real face service on the fonts installed here, with nothing cached from a fake.
    SPlatformServices services = PlatformServicesInEffect();
    services.textRasterizer = RealPlatformServices().textRasterizer;
    realFaces.emplace(services);
    CFontRenderer::ResetCaches();
    ClearTweenRegistry();
    Add("0bg",
        Image(screen->GetWidth(), screen->GetHeight(), [](int x, int y) { return Bgra(40 + x / 4, 40 + y / 2, 110); }));
    switch (scene) {
        case TextScene::kRuby: {
            CLinkableTextRenderer* m = MessageLayer("5message", 10, 10, 300, 100);
            if (!m) return;
            m->AddChars(u8"\u6f22\u5b57", u8"\u304b\u3093\u3058");  // kanji with its reading
            m->AddTextSimple(u8"\u306b\u306f");
            m->AddChars(u8"\u632f\u308a\u4eee\u540d", u8"\u3075\u308a\u304c\u306a");
            m->AddTextSimple(u8"\u3092\u3002");
            m->NewLine();
            m->AddChars(u8"\u7a7a", u8"\u305d\u3089");  // ruby wider than its base
            m->AddTextSimple(u8"\u3068\u6d77");
            break;
        }
        case TextScene::kAlign: {
            static const int kAligns[4] = {CTextRenderer::kAlignLeft, CTextRenderer::kAlignCenter,
                                           CTextRenderer::kAlignRight, CTextRenderer::kAlignEqualize};
            for (int i = 0; i < 4; ++i) {
                CLinkableTextRenderer* m =
                    MessageLayer("5message" + std::to_string(i), 10, 2 + i * 29, 300, 60, kAligns[i]);
                if (!m) return;
                m->AddTextSimple(u8"\u5de6\u53f3\u4e2d\u592e\u3068Abc");
            }
            break;
        }
        case TextScene::kKinsoku: {
            // Ten characters fill a line; the full stop may not open the next one.
            CLinkableTextRenderer* m = MessageLayer("5message", 10, 10, 200, 100);
            if (!m) return;
            m->GetProperty().hung = false;
            m->AddTextSimple(
                u8"\u3042\u3044\u3046\u3048\u304a\u304b\u304d\u304f\u3051\u3053"
                u8"\u3002\u3055\u3057\u3059");
            break;
        }
        case TextScene::kTweenHalf: {
            CLinkableTextRenderer* m = MessageLayer("5message", 10, 10, 300, 100);
            if (!m) return;
            m->AddTextSimple(u8"\u8868\u793a\u6e08\u307f");
            m->StartTweens({}, false);
            m->NewLine();
            m->AddTextSimple(u8"\u534a\u5206\u307e\u3067\u6d6e\u304b\u3076");
            CTextRenderer::CTweenInfo fade;
            fade.param = CTextRenderer::CTweenInfo::kAlpha;
            fade.diff = -255;
            fade.msec = 1000;
            fade.ease = 0;
            m->StartTweens({fade}, true);
            UpdateTweens(1000);
            UpdateTweens(1500);  // half of the fade-in
            break;
        }
        case TextScene::kLinkHover: {
            CLinkableTextRenderer* m = MessageLayer("5message", 10, 10, 300, 100);
            if (!m) return;
            m->AddTextSimple(u8"\u9078\u629e\uff1a");
            m->BeginLink([] {});
            m->AddTextSimple(u8"\u30ea\u30f3\u30af\u5148");
            m->EndLink();
            m->AddTextSimple(u8"\u3068\u5916");
            m->EnableLinks();
            m->Update(CMatrix2D(), 1.0f);
            // The pointer over the link's second character: its hit layer rolls over.
            int n = 0;
            for (auto* line : m->GetLines())
                for (auto* block : line->m_blocks)
                    for (auto* c : block->m_chars)
                        if (n++ == 4) {
                            auto* linked = static_cast<CLinkableTextRenderer::CLinkableOneChar*>(c);
                            if (linked->m_hitLayer && linked->m_hitLayer->GetOnRollOver())
                                linked->m_hitLayer->GetOnRollOver()();
                        }
            m->Update(CMatrix2D(), 1.0f);
            UpdateTweens(1000);
            UpdateTweens(1500);  // the pulse at its height
            break;
        }
    }
}

}  // namespace kestrin_test
