#include "GRAPHICS/CMainScreen.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "CORE/CDynamicVariables.h"
#include "CORE/CFileName.h"
#include "CORE/CFrameDemand.h"
#include "CORE/CGameWindow.h"
#include "CORE/CInput.h"
#include "CORE/CLogWindow.h"
#include "CORE/RuntimeConfiguration.h"
#include "CORE/COruPackFileFactory.h"
#include "CORE/FileReplace.h"
#include "GRAPHICS/CDxLayerFactory.h"
#include "GRAPHICS/CDxRenderer.h"
#include "GRAPHICS/CDsVideo.h"
#include "GRAPHICS/CGdiRenderer.h"
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/CGraphicRenderer.h"
#include "GRAPHICS/CJpg.h"
#include "GRAPHICS/CLayer.h"
#include "GRAPHICS/CLayerFactory.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/CPng.h"
#include "GRAPHICS/CSurface.h"
#include "GRAPHICS/CSurfaceFactory.h"
#include "GRAPHICS/CSurfaceManager.h"
#include "GRAPHICS/IDisplayObject.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/ILayerFactory.h"
#include "GRAPHICS/ISurfaceFactory.h"
#include "GRAPHICS/TweenRegistry.h"

namespace kestrin {

namespace {

constexpr uint32_t kOpaqueBlack = 0xFF000000u;

bool HasArgument(const char* key) {
    CDynamicVariables::StringMap arguments;
    if (CDynamicVariables::GetInstance()->TryGetMap("ApplicationArguments", arguments)) return false;
    return arguments.count(key) != 0;
}

int32_t IntVariable(const char* name) {
    int32_t value = 0;
    CDynamicVariables::GetInstance()->TryGetInt(name, value);
    return value;
}

bool BoolVariable(const char* name) {
    bool value = false;
    CDynamicVariables::GetInstance()->TryGetBool(name, value);
    return value;
}

std::string StringVariable(const char* name) {
    std::string value;
    CDynamicVariables::GetInstance()->TryGetString(name, value);
    return value;
}

}  // namespace

CMainScreen::CMainScreen(CGameWindow* window, std::shared_ptr<IFramePresenter> presenter)
    : m_gameWindow(window),
      m_renderer(std::make_shared<CGraphicRenderer>()),
      m_screenshotSurface(std::make_shared<CSurface>()) {
    m_software = HasArgument("fsr") || BoolVariable("ini.ForceSoftwareRender");

    // The hardware renderer registers ahead of the software one, unless software is forced.
    std::shared_ptr<CDxRenderer> dx;
    if (!m_software) {
        dx = std::make_shared<CDxRenderer>();
        dx->SetAcceptSoftwareRasteriser(BoolVariable("ini.ForceHardwareRender") ||
                                        GetRuntimeConfiguration().hardwareRender);
        m_renderer->AddRenderer(dx, std::make_unique<CDxLayerFactory>(dx), std::make_unique<CDxSurfaceFactory>(dx));
    }
    auto gdi = std::make_shared<CGdiRenderer>(std::move(presenter));
    m_renderer->AddRenderer(gdi, std::make_unique<CLayerFactory>(gdi), std::make_unique<CSurfaceFactory>());

    const IGraphicRenderer::Window handle = window ? window->GetHandle() : 0;
    if (m_renderer->Init(handle))
        Log(ELogLevel::Error, "renderer", "The screen could not start a renderer for the window");
    if (m_renderer->GetRenderer() == gdi) m_software = true;
    if (dx && m_renderer->GetRenderer() == dx) {
        // A reset loses the render targets: a running transition captures its picture again.
        dx->AddDeviceResetHandler(this, nullptr, [this]() {
            if (m_inTransition) m_recapture = true;
            m_clearFrames = 2;
        });
    }

    m_width = IntVariable("ini.Width");
    m_height = IntVariable("ini.Height");
    m_sideCut = BoolVariable("ini.SideCut");
    if (m_width == 0) m_width = m_renderer->GetWidth();
    if (m_height == 0) m_height = m_renderer->GetHeight();

    ILayerFactory* layerFactory = m_renderer->GetLayerFactory();
    ISurfaceFactory* surfaceFactory = m_renderer->GetSurfaceFactory();
    if (layerFactory && surfaceFactory) {
        m_firstBarLayer = layerFactory->Create();
        m_secondBarLayer = layerFactory->Create();
        m_barSurface = surfaceFactory->Create();
        m_firstBarLayer->SetSurface(m_barSurface);
        m_secondBarLayer->SetSurface(m_barSurface);
    }
    UpdateViewport();

    m_layerFactory = layerFactory;
    m_surfaceFactory = surfaceFactory;

    m_fileFactory = std::make_unique<COruPackFileFactory>();
    m_graphicLoaders = std::make_unique<CGraphicLoaders>(m_fileFactory.get());
    m_graphicLoaders->AddLoader(new CPng());
    m_graphicLoaders->AddLoader(new CJpg());
    m_surfaceManager = std::make_shared<CSurfaceManager>(m_surfaceFactory, m_graphicLoaders.get(),
                                                         IntVariable("ini.SurfaceCacheSize"));
    m_rootLayer = std::make_shared<COruLayer>(m_surfaceManager);

    if (m_layerFactory && m_surfaceFactory) {
        m_transitionLayer = m_layerFactory->Create();
        m_maskSurface = m_surfaceFactory->Create();
        std::shared_ptr<ISurface> picture = m_surfaceFactory->Create();
        m_transitionLayer->SetSurface(picture);
        picture->Init(m_width, m_height, ISurface::kPixel32, ISurface::kRenderTarget);
        if (m_maskSurface->Init(m_width, m_height, ISurface::kPixel8, 0) &&
            m_maskSurface->Init(m_width, m_height, ISurface::kPixel32Alpha, 0))
            m_maskSurface.reset();
        m_video = std::make_unique<CDsVideo>(m_surfaceFactory, m_layerFactory);
    }
}

CMainScreen::~CMainScreen() {
    if (auto dx = std::dynamic_pointer_cast<CDxRenderer>(m_renderer->GetRenderer())) dx->RemoveDeviceResetHandler(this);
    m_video.reset();
    m_rootLayer.reset();
    m_graphicLoaders.reset();
    m_fileFactory.reset();
    for (const auto& entry : m_messageLayers) {
        auto it = m_messageLayerTweens.find(entry.first);
        if (it == m_messageLayerTweens.end()) continue;
        for (int32_t id : it->second) StopTween(id);
    }
    m_uiControls.clear();
}

void CMainScreen::Update() {
    if (m_video && m_video->IsPlaying()) m_video->Update();
    if (m_inTransition) {
        CFrameDemand::Now();
        return;
    }
    const CMatrix2D matrix = m_screenMatrix;
    if (m_rootLayer) static_cast<IDisplayObject*>(m_rootLayer.get())->Update(matrix, 255.0f);
    for (auto& control : m_uiControls)
        if (control.second) control.second->Update(matrix, 255.0f);
    for (auto& entry : m_messageLayers)
        if (!entry.second.hosted && entry.second.object) entry.second.object->Update(matrix, 255.0f);
    if (m_overlay) m_overlay->Update(m_identityMatrix, 255.0f);
}

bool CMainScreen::Draw() {
    const bool movie = m_video && m_video->IsPlaying();
    if (!movie && m_drawn && m_clearFrames == 0 && CPictureChanges::Get() == m_drawnChanges && !DeviceNeedsFrame()) {
        ++m_skippedFrames;
        return false;
    }
    // What changes while drawing (caches, the back buffer) is part of the picture shown.
    const bool failed = movie ? DrawMovie() : DrawScene();
    // The scene is drawn again over a movie's last frame.
    m_drawn = !failed && !movie;
    m_drawnChanges = CPictureChanges::Get();
    // What changed may go on changing: the frame after a drawn one runs on time.
    CFrameDemand::Now();
    return failed;
}

bool CMainScreen::DeviceNeedsFrame() const {
    if (m_software) return false;
    // A lost or reset device is found and mended in the frame's drawing.
    auto dx = std::dynamic_pointer_cast<CDxRenderer>(m_renderer->GetRenderer());
    if (!dx) return false;
    IRenderDevice* device = dx->GetDevice();
    return dx->IsDeviceLost() || !device || device->TestCooperativeLevel() != EDeviceState::kOk;
}

bool CMainScreen::DrawMovie() {
    // A movie covers the whole game area; the bars stay.
    m_renderer->RenderStart();
    m_renderer->Clear();
    m_video->Draw(m_screenMatrix, m_width, m_height);
    if (m_firstBarLayer) m_firstBarLayer->Draw(m_identityMatrix, 255.0f);
    if (m_secondBarLayer) m_secondBarLayer->Draw(m_identityMatrix, 255.0f);
    return m_renderer->RenderEnd();
}

bool CMainScreen::DrawScene() {
    m_renderer->RenderStart();
    if (m_clearFrames != 0) {
        m_renderer->Clear();
        --m_clearFrames;
    } else if (!m_rootLayer || m_rootLayer->GetChildren().empty()) {
        m_renderer->Clear();
    }
    if (m_rootLayer) static_cast<IDisplayObject*>(m_rootLayer.get())->Draw(m_screenMatrix, 255.0f);
    if (m_inTransition) DrawTransition();
    for (auto& control : m_uiControls)
        if (control.second) control.second->Draw(m_screenMatrix, 255.0f);
    for (auto& entry : m_messageLayers)
        if (!entry.second.hosted && entry.second.object) entry.second.object->Draw(m_screenMatrix, 255.0f);
    if (m_firstBarLayer) m_firstBarLayer->Draw(m_identityMatrix, 255.0f);
    if (m_secondBarLayer) m_secondBarLayer->Draw(m_identityMatrix, 255.0f);
    if (m_overlay) m_overlay->Draw(m_identityMatrix, 255.0f);
    return m_renderer->RenderEnd();
}

void CMainScreen::DrawTransition() {
    if (!m_transitionLayer) return;
    // A moving tree keeps a transition's picture current; a frozen picture stays as it was.
    if (m_recapture || (!m_frozen && m_rootLayer && m_rootLayer->IsTweening())) {
        m_recapture = false;
        if (ISurface* picture = m_transitionLayer->GetSurface()) {
            picture->Fill(kOpaqueBlack);
            m_renderer->SetRenderTarget(picture);
            if (m_rootLayer) m_rootLayer->DrawFrame(m_identityMatrix, 255.0f);
            m_renderer->SetRenderTarget(nullptr);
        }
    }
    if (m_ruleSurface && m_maskSurface) {
        m_transitionLayer->SetMask(m_maskSurface);
        BuildRuleMask(m_maskSurface.get(), m_ruleSurface.get(), m_ruleThreshold, m_vague);
    }
    m_transitionLayer->Draw(m_screenMatrix, 255.0f);
}

void CMainScreen::BuildRuleMask(ISurface* mask, ISurface* rule, int32_t threshold, int32_t vague) {
    if (!mask || !rule) return;
    const int32_t low = threshold - vague;
    const int32_t high = threshold + vague;
    const float step = vague > 0 ? 256.0f / static_cast<float>(2 * vague) : 0.0f;
    const int32_t format = mask->GetPixelBits();
    mask->Lock();
    rule->Lock();
    // Never beyond either image, whatever sizes they were given.
    const int32_t width = std::min(rule->GetWidth(), mask->GetWidth());
    const int32_t height = std::min(rule->GetHeight(), mask->GetHeight());
    if (format == ISurface::kPixel8 || format == ISurface::kPixel32Alpha) {
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* src = rule->GetLine(y);
            uint8_t* dst = mask->GetLine(y);
            if (!src || !dst) break;
            for (int32_t x = 0; x < width; ++x) {
                const int32_t r = src[x];
                int32_t value;
                if (r <= low) {
                    value = 255;
                } else if (r < high) {
                    value = static_cast<int32_t>(std::floor(static_cast<float>(high - r) * step));
                    value = value < 0 ? 0 : (value > 255 ? 255 : value);
                } else {
                    value = 0;
                }
                if (format == ISurface::kPixel8)
                    dst[x] = static_cast<uint8_t>(value);
                else
                    dst[x * 4 + 3] = static_cast<uint8_t>(value);
            }
        }
    }
    mask->Unlock();
    rule->UnlockReadOnly();
}

void CMainScreen::Flip() {
    CPictureChanges::Mark();
    m_inTransition = false;
    m_frozen = false;
    m_recapture = true;
    if (m_ruleSurface) {
        m_ruleSurface.reset();
        if (m_transitionLayer) m_transitionLayer->SetMask(nullptr);
    }
    if (m_rootLayer) m_rootLayer->Commit();
}

void CMainScreen::FreezePicture() {
    ISurface* picture = m_transitionLayer ? m_transitionLayer->GetSurface() : nullptr;
    if (!picture) return;
    // A frozen screen draws the capture layer over the committed tree; here the capture layer
    // holds the whole picture, fully opaque, and is not drawn again from the next generation.
    if (m_ruleSurface) {
        m_ruleSurface.reset();
        m_transitionLayer->SetMask(nullptr);
    }
    m_transitionLayer->SetAlpha(255);
    SetInTransition(true);
    m_frozen = true;
    // A lost device draws nothing: then the capture shows the next generation, as "trans" does.
    m_recapture = DeviceNeedsFrame();
    if (m_recapture) return;
    picture->Fill(kOpaqueBlack);
    m_renderer->SetRenderTarget(picture);
    if (m_rootLayer) static_cast<IDisplayObject*>(m_rootLayer.get())->Draw(m_identityMatrix, 255.0f);
    for (auto& control : m_uiControls)
        if (control.second) control.second->Draw(m_identityMatrix, 255.0f);
    for (auto& entry : m_messageLayers)
        if (!entry.second.hosted && entry.second.object) entry.second.object->Draw(m_identityMatrix, 255.0f);
    m_renderer->SetRenderTarget(nullptr);
}

void CMainScreen::UpdateViewport() {
    CPictureChanges::Mark();
    const int32_t rw = m_renderer->GetWidth();
    const int32_t rh = m_renderer->GetHeight();
    const int32_t W = m_width, H = m_height;
    m_screenMatrix = CMatrix2D();
    m_screenScale = 1.0f;
    m_xOffset = m_yOffset = 0.0f;
    CInput* input = CInput::GetInstance();
    auto setBarsVisible = [&](bool visible) {
        if (m_firstBarLayer) m_firstBarLayer->SetVisible(visible);
        if (m_secondBarLayer) m_secondBarLayer->SetVisible(visible);
    };
    // Nothing to map from or to: keep the identity.
    if (rw <= 0 || rh <= 0 || W <= 0 || H <= 0) {
        setBarsVisible(false);
        if (input) {
            input->SetScale(1.0f);
            input->SetOffset(0.0f, 0.0f);
        }
        return;
    }
    const float sx = static_cast<float>(rw) / static_cast<float>(W);
    const float sy = static_cast<float>(rh) / static_cast<float>(H);
    if (sx == 1.0f && sy == 1.0f) {
        setBarsVisible(false);
        if (input) {
            input->SetScale(1.0f);
            input->SetOffset(0.0f, 0.0f);
        }
        return;
    }
    auto initBars = [&](int32_t width, int32_t height) {
        if (!m_barSurface) return;
        m_barSurface->Init(width, height, ISurface::kPixel32, 0);
        // The bars are opaque black whatever the surface held before.
        m_barSurface->Fill(kOpaqueBlack);
        if (m_firstBarLayer) m_firstBarLayer->SetSurface(m_barSurface);
        if (m_secondBarLayer) m_secondBarLayer->SetSurface(m_barSurface);
    };
    float scale;
    float inputScale;
    if ((!m_sideCut && sx < sy) || (m_sideCut && sx > sy)) {
        scale = sx;
        const float v = (static_cast<float>(rh) - sx * static_cast<float>(H)) / 2.0f;
        m_yOffset = v;
        m_screenMatrix.Translate(0.0f, v);
        if (!m_sideCut) {
            initBars(rw, static_cast<int32_t>(std::floor(v + 0.5f)));
            if (m_secondBarLayer) {
                m_secondBarLayer->SetX(0);
                m_secondBarLayer->SetY(rh - (m_barSurface ? m_barSurface->GetHeight() : 0));
            }
        }
        inputScale = static_cast<float>(W) / static_cast<float>(rw);
    } else if ((!m_sideCut && sy < sx) || (m_sideCut && sx < sy)) {
        scale = sy;
        const float v = (static_cast<float>(rw) - sy * static_cast<float>(W)) / 2.0f;
        m_xOffset = v;
        m_screenMatrix.Translate(v, 0.0f);
        if (!m_sideCut) {
            initBars(static_cast<int32_t>(std::floor(v + 0.5f)), rh);
            if (m_secondBarLayer) {
                m_secondBarLayer->SetX(rw - (m_barSurface ? m_barSurface->GetWidth() : 0));
                m_secondBarLayer->SetY(0);
            }
        }
        inputScale = static_cast<float>(H) / static_cast<float>(rh);
    } else {
        scale = sy;
        inputScale = static_cast<float>(H) / static_cast<float>(rh);
    }
    m_screenScale = scale;
    m_screenMatrix.Scale(scale, scale);
    setBarsVisible(!(m_sideCut || sx == sy));
    if (input) {
        input->SetScale(inputScale);
        input->SetOffset(m_xOffset, m_yOffset);
    }
}

void CMainScreen::OnResize() {
    if (!m_gameWindow) return;
    // A minimised window reports a zero client area: there is nothing to map onto.
    if (m_gameWindow->GetClientWidth() <= 0 || m_gameWindow->GetClientHeight() <= 0) return;
    // The software back buffer follows the client area.
    std::shared_ptr<IGraphicRenderer> selected = m_renderer->GetRenderer();
    if (auto gdi = std::dynamic_pointer_cast<CGdiRenderer>(selected)) {
        if (gdi->Init(m_gameWindow->GetHandle())) return;
        m_clearFrames = 2;
    } else if (auto dx = std::dynamic_pointer_cast<CDxRenderer>(selected)) {
        // The back buffer is made again at the new size.
        if (dx->ChangeScreenMode(m_gameWindow->GetHandle(), 1, !m_gameWindow->IsFullScreen())) return;
        m_clearFrames = 2;
    }
    if (m_inTransition) m_recapture = true;
    UpdateViewport();
}

void CMainScreen::DeleteLayer(const std::string& name, std::vector<std::string>* names) {
    if (!m_rootLayer) return;
    COruLayer::LayerMap collected;
    m_rootLayer->CollectLayersNoPrefix(name, collected);
    if (names)
        for (const auto& entry : collected) names->push_back(entry.first);
    m_rootLayer->AddChild(name, nullptr);
}

const int64_t CMainScreen::kMaxScreenshotPixels = CLayer::kMaxTransformedPixels;

void CMainScreen::TakeScreenshot() {
    // The back buffer holds the picture shown (idle frames keep it); writing the copy, which is
    // not shown, changes nothing on the screen.
    const bool current = m_drawn && CPictureChanges::Get() == m_drawnChanges;
    m_renderer->CaptureScreen(m_screenshotSurface.get());
    if (current) m_drawnChanges = CPictureChanges::Get();
}

bool CMainScreen::SaveScreenshot(const std::string& fileName, int32_t width, int32_t height) {
    const int32_t sw = m_screenshotSurface->GetWidth(), sh = m_screenshotSurface->GetHeight();
    if (sw < 1 || sh < 1) return true;
    // The scaled image is built whole, so its size stays within what a layer builds whole.
    if (width < 1 || height < 1 || int64_t(width) * height > kMaxScreenshotPixels) {
        Log(ELogLevel::Error, "screenshot", "Screenshot size %dx%d cannot be saved", width, height);
        return true;
    }
    std::shared_ptr<IGraphicRenderer> renderer = m_renderer->GetRenderer();
    CLayer layer(renderer);
    layer.SetSurface(m_screenshotSurface);
    // 16.16 scales, computed wide.
    auto scaleOf = [](int32_t wanted, int32_t actual) {
        const int64_t s = int64_t(wanted) * 65536 / actual;
        return static_cast<int32_t>(s > INT32_MAX ? INT32_MAX : s);
    };
    layer.SetXScale(scaleOf(width, sw));
    layer.SetYScale(scaleOf(height, sh));
    CMatrix2D matrix;
    layer.ApplyTransform(matrix);
    layer.RenderTransformed(matrix, layer.GetDirtyFlags(), true);
    ISurface* image = layer.GetTransformedSurface();
    if (!image) {
        Log(ELogLevel::Error, "screenshot", "Screenshot could not be scaled to %dx%d", width, height);
        return true;
    }

    CPng png;
    CPng::SOutputBuffer buffer;
    buffer.capacity = 102400;
    buffer.data = new uint8_t[buffer.capacity];
    const bool encodeFailed = png.Save(image, buffer, -1);
    std::unique_ptr<uint8_t[]> bytes(buffer.data);
    if (encodeFailed) {
        Log(ELogLevel::Error, "screenshot", "Screenshot could not be encoded as PNG");
        return true;
    }

    std::string name = fileName;
    if (CFileName(name).GetExtension().empty()) name += ".png";
    // Replaced in one step, so that a failed write never leaves a truncated image (nor
    // destroys an earlier one); inside the save folder no planted link is followed.
    std::string error;
    if (ReplaceFileContents(StringVariable("SaveDataPath"), name, bytes.get(), buffer.length, &error)) {
        Log(ELogLevel::Error, "screenshot", "Screenshot could not be written: %s", error.c_str());
        return true;
    }
    return false;
}

void CMainScreen::ChangeMessageLayer(const std::string& name, int32_t host) {
    CPictureChanges::Mark();
    auto it = m_messageLayers.find(name);
    if (it == m_messageLayers.end()) {
        SMessageLayer entry;
        if (IsReady() && m_textLayerFactory) entry = m_textLayerFactory(*this);
        if (host > 0 && m_rootLayer) {
            m_rootLayer->AddChild(name, COruLayer::COruLayerImmediate(m_surfaceManager, entry.object));
        }
        entry.hosted = host > 0;
        it = m_messageLayers.emplace(name, std::move(entry)).first;
    } else if (it->second.hosted && host < 0) {
        if (m_rootLayer) m_rootLayer->AddChild(name, nullptr);
        it->second.hosted = false;
    } else if (!it->second.hosted && host > 0) {
        if (m_rootLayer)
            m_rootLayer->AddChild(name, COruLayer::COruLayerImmediate(m_surfaceManager, it->second.object));
        it->second.hosted = true;
    }
    m_currentMessageLayer = it->second.renderer.get();
}

}  // namespace kestrin
