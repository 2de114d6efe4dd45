#pragma once
// The one screen of the game: it chooses and owns the renderer, the factories, the image
// loaders, the surface cache and the root of the layer tree, maps the fixed logical screen onto
// the window's client area (letterbox bars or a side cut), runs screen transitions over a
// captured picture (optionally through a rule image), and saves screenshots as PNG.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "GRAPHICS/CMatrix2D.h"
#include "GRAPHICS/CPictureChanges.h"

namespace kestrin {

class CDsVideo;
class CGameWindow;
class CGraphicLoaders;
class CGraphicRenderer;
class COruLayer;
class COruPackFileFactory;
class CSurface;
class CSurfaceManager;
class IDisplayObject;
class IFramePresenter;
class ILayer;
class ILayerFactory;
class IMessageLayer;
class ISurface;
class ISurfaceFactory;

class CMainScreen {
public:
    // One message layer: its text and the object that stands for it in the tree (the text's
    // renderer itself, or a test's stand-in with no text).
    struct SMessageLayer {
        std::shared_ptr<IMessageLayer> renderer;
        bool hosted = false;
        std::shared_ptr<IDisplayObject> object;
    };
    using MessageLayerMap = std::map<std::string, SMessageLayer>;
    using MessageLayerTweenMap = std::map<std::string, std::vector<int32_t>>;
    using UIControlMap = std::map<std::string, std::unique_ptr<IDisplayObject>>;
    // Makes the text renderer of a new message layer for this screen. The text area hands it
    // in, so that the screen knows nothing of text.
    using TextLayerFactory = std::function<SMessageLayer(CMainScreen& screen)>;

    // presenter: where the software renderer shows its frames (null: the SDL window).
    explicit CMainScreen(CGameWindow* window, std::shared_ptr<IFramePresenter> presenter = nullptr);
    ~CMainScreen();
    CMainScreen(const CMainScreen&) = delete;
    CMainScreen& operator=(const CMainScreen&) = delete;

    // False when no renderer started (nothing can be drawn).
    bool IsReady() const { return m_surfaceFactory != nullptr && m_layerFactory != nullptr; }

    void Update();
    // True when the frame could not be shown. While nothing drawn has changed since the last
    // frame shown (no movie, nothing marked in CPictureChanges), the window keeps its picture:
    // nothing is drawn or presented, and the frame is counted as skipped.
    bool Draw();
    // The next Draw draws and presents whatever changed (the window was exposed).
    void Invalidate() { m_drawn = false; }
    uint64_t GetSkippedFrames() const { return m_skippedFrames; }
    // Ends a transition and commits the layer tree's pending edits.
    void Flip();
    // Freezes the screen on the picture it shows now (the committed tree, the controls and the
    // message layers): that picture stays, whatever changes meanwhile, until the next Flip.
    void FreezePicture();
    void UpdateViewport();
    // The window's client size changed. A size of zero (a minimised window) is ignored.
    void OnResize();
    // Removes the node at the dotted name and everything below it; names, when given,
    // receives the full names of what is removed.
    void DeleteLayer(const std::string& name, std::vector<std::string>* names = nullptr);
    void TakeScreenshot();
    // Writes the screenshot, scaled to width x height, as PNG under the save folder (".png"
    // is appended to a name without extension). The file is replaced only by a complete
    // image. True when nothing was written.
    bool SaveScreenshot(const std::string& fileName, int32_t width, int32_t height);
    // The most pixels (width x height) a saved screenshot may have: it is scaled whole.
    static const int64_t kMaxScreenshotPixels;
    // Makes a message layer current, creating it on first use; host > 0 puts it into the
    // layer tree, host < 0 takes it out, 0 leaves it where it is.
    void ChangeMessageLayer(const std::string& name, int32_t host);

    int32_t GetWidth() const { return m_width; }
    int32_t GetHeight() const { return m_height; }

    const std::shared_ptr<CGraphicRenderer>& GetRenderer() const { return m_renderer; }
    ILayerFactory* GetLayerFactory() const { return m_layerFactory; }
    ISurfaceFactory* GetSurfaceFactory() const { return m_surfaceFactory; }
    COruPackFileFactory* GetFileFactory() const { return m_fileFactory.get(); }
    CGraphicLoaders* GetGraphicLoaders() const { return m_graphicLoaders.get(); }
    const std::shared_ptr<CSurfaceManager>& GetSurfaceManager() const { return m_surfaceManager; }
    COruLayer* GetRootLayer() const { return m_rootLayer.get(); }
    MessageLayerMap& GetMessageLayers() { return m_messageLayers; }
    MessageLayerTweenMap& GetMessageLayerTweens() { return m_messageLayerTweens; }
    IMessageLayer* GetCurrentMessageLayer() const { return m_currentMessageLayer; }
    UIControlMap& GetUIControls() { return m_uiControls; }
    bool IsSoftware() const { return m_software; }
    bool IsInTransition() const { return m_inTransition; }
    void SetInTransition(bool value) {
        m_inTransition = value;
        CPictureChanges::Mark();
    }
    bool IsRecapture() const { return m_recapture; }
    void SetRecapture(bool value) {
        m_recapture = value;
        CPictureChanges::Mark();
    }
    const std::shared_ptr<ISurface>& GetRuleSurface() const { return m_ruleSurface; }
    void SetRuleSurface(const std::shared_ptr<ISurface>& rule) {
        m_ruleSurface = rule;
        CPictureChanges::Mark();
    }
    void SetRuleThreshold(int32_t value) {
        m_ruleThreshold = value;
        CPictureChanges::Mark();
    }
    int32_t GetVague() const { return m_vague; }
    void SetVague(int32_t value) {
        m_vague = value;
        CPictureChanges::Mark();
    }
    uint32_t GetTextEncoding() const { return m_textEncoding; }
    void SetTextEncoding(uint32_t encoding) { m_textEncoding = encoding; }
    const std::shared_ptr<ILayer>& GetTransitionLayer() const { return m_transitionLayer; }
    float GetScreenScale() const { return m_screenScale; }
    float GetXOffset() const { return m_xOffset; }
    float GetYOffset() const { return m_yOffset; }
    const std::shared_ptr<ILayer>& GetFirstBarLayer() const { return m_firstBarLayer; }
    const std::shared_ptr<ILayer>& GetSecondBarLayer() const { return m_secondBarLayer; }
    const std::shared_ptr<CSurface>& GetScreenshotSurface() const { return m_screenshotSurface; }
    CGameWindow* GetGameWindow() const { return m_gameWindow; }
    // The full-window movie player (null when no renderer started).
    CDsVideo* GetVideo() const { return m_video.get(); }
    // Drawn above everything in window client pixels (the text field of the "ime" tag); null
    // for none.
    void SetOverlay(std::shared_ptr<IDisplayObject> overlay) {
        m_overlay = std::move(overlay);
        CPictureChanges::Mark();
    }
    // How new message layers get their text renderer; without one they have none.
    void SetTextLayerFactory(TextLayerFactory factory) { m_textLayerFactory = std::move(factory); }

    // Rebuilds an 8-bit (format 0) or alpha (format 2) mask from an 8-bit rule image for the
    // threshold and soft-edge half width vague: 255 where the rule is at most threshold - vague,
    // 0 from threshold + vague on, a ramp between.
    static void BuildRuleMask(ISurface* mask, ISurface* rule, int32_t threshold, int32_t vague);

private:
    bool DeviceNeedsFrame() const;
    bool DrawMovie();
    bool DrawScene();
    void DrawTransition();

    ILayerFactory* m_layerFactory = nullptr;
    ISurfaceFactory* m_surfaceFactory = nullptr;
    std::unique_ptr<COruPackFileFactory> m_fileFactory;
    std::unique_ptr<CGraphicLoaders> m_graphicLoaders;
    std::shared_ptr<CSurfaceManager> m_surfaceManager;
    std::shared_ptr<COruLayer> m_rootLayer;
    std::shared_ptr<ILayer> m_transitionLayer;
    std::shared_ptr<ISurface> m_maskSurface;
    std::shared_ptr<ISurface> m_ruleSurface;
    bool m_inTransition = false;
    bool m_recapture = true;
    bool m_frozen = false;  // FreezePicture's capture is held until the next Flip
    int32_t m_ruleThreshold = 0;
    int32_t m_vague = 32;
    uint32_t m_textEncoding = 0;
    MessageLayerMap m_messageLayers;
    MessageLayerTweenMap m_messageLayerTweens;
    IMessageLayer* m_currentMessageLayer = nullptr;
    UIControlMap m_uiControls;
    float m_screenScale = 1.0f;
    float m_xOffset = 0.0f;
    float m_yOffset = 0.0f;
    CGameWindow* m_gameWindow;
    bool m_software = false;
    std::shared_ptr<CGraphicRenderer> m_renderer;
    CMatrix2D m_identityMatrix;
    CMatrix2D m_screenMatrix;
    bool m_sideCut = false;
    std::shared_ptr<ILayer> m_firstBarLayer;
    std::shared_ptr<ILayer> m_secondBarLayer;
    std::shared_ptr<ISurface> m_barSurface;
    std::shared_ptr<CSurface> m_screenshotSurface;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_clearFrames = 2;
    // The change count the window's picture shows, valid while m_drawn.
    bool m_drawn = false;
    uint64_t m_drawnChanges = 0;
    uint64_t m_skippedFrames = 0;
    TextLayerFactory m_textLayerFactory;
    std::unique_ptr<CDsVideo> m_video;
    std::shared_ptr<IDisplayObject> m_overlay;
};

}  // namespace kestrin
