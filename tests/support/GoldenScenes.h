#pragma once
// The small scenes drawn to tests/data/golden/: one fixture base, so that the software and the
// hardware renderer tests build exactly the same pictures.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Application/PlatformServicesScope.h"
#include "CORE/CGameWindow.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/ISurface.h"
#include "TEXT/CLinkableTextRenderer.h"

namespace kestrin_test {

using PixelFn = std::function<uint32_t(int, int)>;

uint32_t Bgra(int r, int g, int b, int a = 255);

// The window sizes of the letterbox and side-cut goldens (a 64 x 48 logical screen in each).
struct LetterboxCase {
    const char* golden;
    int cw, ch;
    bool sideCut;
};
extern const LetterboxCase kLetterboxCases[4];

// The thresholds of the rule-transition goldens ("rule_t<t>", negative ones as 0).
extern const int kRuleThresholds[4];

// The message-text scenes, each on a 320 x 120 screen in the IPA fonts ("text_<name>").
enum class TextScene { kRuby, kAlign, kKinsoku, kTweenHalf, kLinkHover };
struct TextSceneCase {
    const char* golden;
    TextScene scene;
};
extern const TextSceneCase kTextScenes[5];

// Derived fixtures open window and screen; the scenes draw into screen.
class GoldenSceneTest : public ::testing::Test {
protected:
    std::shared_ptr<kestrin::ISurface> Image(int w, int h, const PixelFn& fn,
                                             int bits = kestrin::ISurface::kPixel32Alpha);

    // A layer showing image, hung into the next generation at path.
    std::shared_ptr<kestrin::ILayer> Add(const std::string& path, const std::shared_ptr<kestrin::ISurface>& image,
                                         const std::function<void(kestrin::ILayer&)>& setup = nullptr);

    // Commits, runs one frame and captures it.
    kestrin::CSurface& Frame(bool flip = true);

    // A diagonal colour ramp, opaque.
    std::shared_ptr<kestrin::ISurface> Background();
    // A 16 x 16 sprite: four coloured quadrants, alpha falling towards the right edge.
    std::shared_ptr<kestrin::ISurface> Sprite();

    // The scenes, ready for their frame. 64 x 48 screens unless said otherwise.
    void AnchorRotationScene();           // "anchor_rotation"
    void MirrorClipMaskScene();           // "mirror_clip_mask"
    void LayerModesScene();               // "layer_modes_opacity", on 96 x 48
    void GroupAlphaScene();               // "group_alpha": committed already, frame without a flip
    void LetterboxScene();                // kLetterboxCases
    void RuleScene(int threshold);        // "rule_t<t>": in transition, frame without a flip
    void DrawTextScene(TextScene scene);  // kTextScenes; text tweens stepped to their moment

    // A message layer of the screen in UTF-8 and IPAGothic, its box at (left, top).
    kestrin::CLinkableTextRenderer* MessageLayer(const std::string& name, int left, int top, int width, int height,
                                                 int align = kestrin::CTextRenderer::kAlignLeft);

    // The system's faces under a set a test put in place, from DrawTextScene to the end of
    // the test; outlives the screen.
    std::optional<kestrin::PlatformServicesScope> realFaces;
    std::unique_ptr<kestrin::CGameWindow> window;
    std::unique_ptr<kestrin::CMainScreen> screen;
};

}  // namespace kestrin_test
