#pragma once
// The text of a message layer with clickable links: characters added while a link is open
// carry an invisible white hit layer; pointing at any of them pulses the whole link, and a
// click turns every link of the layer inert and runs the link's handler.
#include <functional>
#include <memory>
#include <vector>

#include "GRAPHICS/IMessageLayer.h"
#include "TEXT/CTextRenderer.h"

namespace kestrin {

class CMainScreen;

class ISurfaceFactory;

class CLinkableTextRenderer : public CTextRenderer, public virtual IDisplayObject, public IMessageLayer {
public:
    class CLinkableOneChar;

    class COneLink {
    public:
        COneLink(CLinkableTextRenderer& renderer, std::function<void()> handler)
            : m_renderer(renderer), m_handler(std::move(handler)) {}
        virtual ~COneLink() = default;
        // Once per frame after the text's own update.
        virtual void Update();

        std::vector<CLinkableOneChar*> m_chars;  // owned by their blocks
        CLinkableTextRenderer& m_renderer;
        std::function<void()> m_handler;
        bool m_hovered = false;
    };

    class CLinkableOneChar : public COneChar, public virtual IDisplayObject {
    public:
        CLinkableOneChar(CLinkableTextRenderer& renderer, int32_t code, bool ruby);
        ~CLinkableOneChar() override;
        void OnUpdate(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;
        void OnDraw(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;
        virtual void AttachEvents();
        virtual void DetachEvents();
        virtual void StartHighlight();
        virtual void StopHighlight();
        virtual void OnClick() { m_clicked = true; }
        virtual void OnOver() { m_hovered = true; }
        virtual void OnOut() { m_hovered = false; }

        bool m_clicked = false;
        bool m_hovered = false;
        std::shared_ptr<ILayer> m_hitLayer;
        int32_t m_highlight = kNoTween;
    };

    // None is owned; the font renderer is shared with clones.
    CLinkableTextRenderer(std::shared_ptr<CFontRenderer> fontRenderer, ILayerFactory* layerFactory,
                          ISurfaceFactory* surfaceFactory);
    ~CLinkableTextRenderer() override;
    // From now on each new message layer of the screen is one of these, with a glyph renderer
    // of its own, in the screen's text encoding.
    static void ServeMessageLayers(CMainScreen& screen);
    // The renderer of a message layer the screen keeps (null for none or a stand-in).
    static CLinkableTextRenderer* Of(IMessageLayer* layer) { return dynamic_cast<CLinkableTextRenderer*>(layer); }

    IDisplayObject* Clone(bool copyState) const override;
    void OnUpdate(const CMatrix2D& worldMatrix, float alpha, int32_t flags) override;
    bool AddBlock(COneBlock* block) override;
    void ClearWithTweens(const std::vector<CTweenInfo>& presets) override;
    void Clear() override { ClearWithTweens({}); }
    COneChar* CreateChar(int32_t code, bool ruby) override;
    void Layout() override;

    virtual bool GetLinkFlag() const { return m_linkFlag; }
    virtual void SetLinkFlag(bool flag) { m_linkFlag = flag; }
    virtual void BeginLink(std::function<void()> handler);
    virtual void EndLink() { m_linkOpen = false; }
    virtual void EnableLinks();
    virtual void DisableLinks();

    const std::vector<std::shared_ptr<COneLink>>& GetLinks() const { return m_links; }
    bool IsLinkOpen() const { return m_linkOpen; }

private:
    ISurfaceFactory* m_surfaceFactory;
    bool m_linkFlag = true;
    std::vector<std::shared_ptr<COneLink>> m_links;
    bool m_linkOpen = false;
    // Goes up whenever the links are dropped, so a walk over them can tell.
    uint32_t m_linkGeneration = 0;
};

}  // namespace kestrin
