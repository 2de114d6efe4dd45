#include "TEXT/CLinkableTextRenderer.h"

#include "CORE/COruPackFileFactory.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/ILayerFactory.h"
#include "GRAPHICS/ISurface.h"
#include "GRAPHICS/ISurfaceFactory.h"
#include "GRAPHICS/TweenRegistry.h"
#include "TEXT/CFontRenderer.h"

namespace kestrin {

// ---- characters ----

CLinkableTextRenderer::CLinkableOneChar::CLinkableOneChar(CLinkableTextRenderer& renderer, int32_t code, bool ruby)
    : COneChar(renderer, code, ruby) {
    if (!renderer.m_linkOpen || !renderer.m_surfaceFactory || !renderer.GetLayerFactory()) return;
    const CProperty& p = renderer.GetProperty();
    std::shared_ptr<ISurface> surface = renderer.m_surfaceFactory->Create();
    const int32_t height = ruby ? p.rubySize + p.spaceTop : p.size + p.spaceMiddle + p.spaceBottom;
    if (!surface || surface->Init(GetAdvance(), height, ISurface::kPixel32Alpha, 0)) return;
    surface->Fill(0xFFFFFFFFu);
    m_hitLayer = renderer.GetLayerFactory()->Create();
    if (!m_hitLayer) return;
    m_hitLayer->SetSurface(surface);
    m_hitLayer->SetY(ruby ? -p.spaceTop : -p.spaceMiddle);
    m_hitLayer->SetAlpha(0);
    m_hitLayer->SetLayerMode(1);
    AttachEvents();
}

CLinkableTextRenderer::CLinkableOneChar::~CLinkableOneChar() {
    // The pulse goes with its character.
    if (m_highlight != kNoTween) StopTween(m_highlight);
}

void CLinkableTextRenderer::CLinkableOneChar::OnUpdate(const CMatrix2D& worldMatrix, float alpha, int32_t flags) {
    COneChar::OnUpdate(worldMatrix, alpha, flags);
    if (m_hitLayer) m_hitLayer->Update(worldMatrix, alpha);
}

void CLinkableTextRenderer::CLinkableOneChar::OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t flags) {
    COneChar::OnDraw(worldMatrix, alpha, flags);
    if (m_hitLayer) m_hitLayer->Draw(worldMatrix, alpha);
}

void CLinkableTextRenderer::CLinkableOneChar::AttachEvents() {
    if (!m_hitLayer) return;
    m_hitLayer->SetOnClick([this]() { OnClick(); });
    m_hitLayer->SetOnRollOver([this]() { OnOver(); });
    m_hitLayer->SetOnRollOut([this]() { OnOut(); });
}

void CLinkableTextRenderer::CLinkableOneChar::DetachEvents() {
    m_clicked = false;
    m_hovered = false;
    if (m_highlight != kNoTween) {
        StopTween(m_highlight);
        m_highlight = kNoTween;
    }
    if (!m_hitLayer) return;
    m_hitLayer->SetAlpha(0);
    m_hitLayer->ClearOnClick();
    m_hitLayer->ClearOnRollOver();
    m_hitLayer->ClearOnRollOut();
}

void CLinkableTextRenderer::CLinkableOneChar::StartHighlight() {
    if (m_highlight != kNoTween) StopTween(m_highlight);
    m_highlight = kNoTween;
    if (!m_hitLayer) return;
    std::shared_ptr<ILayer> layer = m_hitLayer;
    auto* tween = new TTween<int32_t>([layer](int32_t a) { layer->SetAlpha(a); }, 0, 128, 500, 0);
    tween->SetEase(0).SetYoyo(-1);
    m_highlight = RegisterTween(tween);
}

void CLinkableTextRenderer::CLinkableOneChar::StopHighlight() {
    if (m_highlight == kNoTween) return;
    // The pulse ends at alpha 0 rather than stopping mid-swing.
    if (TTween<int32_t>* tween = FindIntTween(m_highlight)) tween->SetYoyo(tween->IsBackward() ? 0 : 1);
}

// ---- links ----

void CLinkableTextRenderer::COneLink::Update() {
    bool clicked = false, hovered = false;
    for (CLinkableOneChar* c : m_chars) {
        clicked = clicked || c->m_clicked;
        hovered = hovered || c->m_hovered;
        c->m_clicked = false;
    }
    if (clicked) {
        m_renderer.DisableLinks();
        m_hovered = false;
        if (m_handler) {
            std::function<void()> handler = m_handler;
            handler();
        }
        return;
    }
    if (hovered && !m_hovered) {
        for (CLinkableOneChar* c : m_chars) c->StartHighlight();
        m_hovered = true;
    } else if (!hovered && m_hovered) {
        for (CLinkableOneChar* c : m_chars) c->StopHighlight();
        m_hovered = false;
    }
}

// ---- the renderer ----

CLinkableTextRenderer::CLinkableTextRenderer(std::shared_ptr<CFontRenderer> fontRenderer, ILayerFactory* layerFactory,
                                             ISurfaceFactory* surfaceFactory)
    : CTextRenderer(std::move(fontRenderer), layerFactory), m_surfaceFactory(surfaceFactory) {}

void CLinkableTextRenderer::ServeMessageLayers(CMainScreen& screen) {
    screen.SetTextLayerFactory([](CMainScreen& on) {
        CMainScreen::SMessageLayer layer;
        auto font =
            std::make_shared<CFontRenderer>(on.GetSurfaceFactory(), on.GetGraphicLoaders(), on.GetFileFactory());
        auto renderer = std::make_shared<CLinkableTextRenderer>(font, on.GetLayerFactory(), on.GetSurfaceFactory());
        renderer->SetCharset(static_cast<int32_t>(on.GetTextEncoding()));
        layer.renderer = renderer;
        layer.object = renderer;
        return layer;
    });
}

CLinkableTextRenderer::~CLinkableTextRenderer() {
    // Characters go with the base part; the links only point at them.
    m_links.clear();
}

IDisplayObject* CLinkableTextRenderer::Clone(bool) const {
    return new CLinkableTextRenderer(m_fontRenderer, m_layerFactory, m_surfaceFactory);
}

void CLinkableTextRenderer::OnUpdate(const CMatrix2D& worldMatrix, float alpha, int32_t flags) {
    CTextRenderer::OnUpdate(worldMatrix, alpha, flags);
    // A handler may clear the page: walk a copy and stop once the links were dropped.
    const std::vector<std::shared_ptr<COneLink>> links = m_links;
    const uint32_t generation = m_linkGeneration;
    for (const std::shared_ptr<COneLink>& link : links) {
        if (m_linkGeneration != generation) break;
        link->Update();
    }
}

bool CLinkableTextRenderer::AddBlock(COneBlock* block) {
    if (CTextRenderer::AddBlock(block)) return true;
    if (m_linkOpen && !m_links.empty()) {
        COneLink& link = *m_links.back();
        for (COneChar* c : block->m_chars) link.m_chars.push_back(static_cast<CLinkableOneChar*>(c));
        for (COneChar* c : block->m_rubyChars) link.m_chars.push_back(static_cast<CLinkableOneChar*>(c));
    }
    return false;
}

void CLinkableTextRenderer::ClearWithTweens(const std::vector<CTweenInfo>& presets) {
    CTextRenderer::ClearWithTweens(presets);
    // Characters kept for the clear tweens stay inert.
    for (COneLine* line : m_fadingLines)
        for (COneBlock* b : line->m_blocks) {
            for (COneChar* c : b->m_chars) static_cast<CLinkableOneChar*>(c)->DetachEvents();
            for (COneChar* c : b->m_rubyChars) static_cast<CLinkableOneChar*>(c)->DetachEvents();
        }
    m_links.clear();
    m_linkOpen = false;
    ++m_linkGeneration;
}

CTextRenderer::COneChar* CLinkableTextRenderer::CreateChar(int32_t code, bool ruby) {
    return new CLinkableOneChar(*this, code, ruby);
}

void CLinkableTextRenderer::Layout() {
    if (m_linkOpen) EndLink();
    CTextRenderer::Layout();
}

void CLinkableTextRenderer::BeginLink(std::function<void()> handler) {
    if (m_linkOpen) EndLink();
    m_links.push_back(std::make_shared<COneLink>(*this, std::move(handler)));
    m_linkOpen = true;
}

void CLinkableTextRenderer::EnableLinks() {
    for (const auto& link : m_links)
        for (CLinkableOneChar* c : link->m_chars) c->AttachEvents();
}

void CLinkableTextRenderer::DisableLinks() {
    for (const auto& link : m_links)
        for (CLinkableOneChar* c : link->m_chars) c->DetachEvents();
}

}  // namespace kestrin
