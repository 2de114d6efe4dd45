#pragma once
// The pages the player has read. A page is kept as the blocks that made it (text and the
// text tags around it), with the font states it began with, and is shown again by running
// those blocks into the backlog message layer. Voice tags of a stored page become links
// that play the voice again.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "CORE/ISerializable.h"
#include "SCRIPT/CScriptBlock.h"
#include "TEXT/CFontProperty.h"
#include "TEXT/CTextRenderer.h"

namespace kestrin {

class CMainScript;
class CLinkableTextRenderer;

class CBackLog : public ISerializable {
public:
    using FontStack = std::deque<CFontProperty>;
    using Page = std::vector<CScriptBlock>;
    using TweenList = std::vector<CTextRenderer::CTweenInfo>;

    // The most pages ever held.
    static constexpr size_t kMaxPages = 101;

    explicit CBackLog(CMainScript& owner);
    ~CBackLog() override = default;
    CBackLog(const CBackLog&) = delete;
    CBackLog& operator=(const CBackLog&) = delete;

    // Members 1 font states, 2 pages, 3-6 the scroll presets (down in, down out, up in,
    // up out). A loaded image with more than kMaxPages pages, or without one font state
    // per page, is refused whole: the backlog is left empty and LoadFailed answers true.
    void Save(CSerializer* archive) override;
    void Load(CSerializer* archive) override;
    bool LoadFailed() const { return m_loadFailed; }

    const std::deque<Page>& GetPages() const { return m_pages; }
    const std::deque<FontStack>& GetFontStates() const { return m_fontStates; }
    TweenList& GetScrollTweens(bool up, bool out) { return m_scrollTweens[(up ? 2 : 0) + (out ? 1 : 0)]; }

    // Stores one page unless it holds no text; the oldest page goes beyond kMaxPages.
    void AddPage(const FontStack& fontStack, const Page& blocks, bool includeFonts, const std::string& annotation);

    // Shows the newest page on renderer; true (nothing changes) without pages or renderer.
    bool Open(CLinkableTextRenderer* renderer);
    // One page older (up) or newer (down); true when the view should close (closed, or
    // down at the newest page).
    bool Scroll(bool up, bool down);
    void Close();
    bool IsOpen() const { return m_view != nullptr; }
    void ReplayPage(const FontStack& fontStates, const Page& blocks, CLinkableTextRenderer* renderer);
    // The click of a replayed voice link: the voice plays again, nothing is recorded.
    void OnVoiceClick(const CScriptBlock& block);

private:
    void ShowPage(bool newer);
    void PushFont(const CScriptBlock& block, CLinkableTextRenderer* renderer);
    void PopFont(CLinkableTextRenderer* renderer);

    std::deque<FontStack> m_fontStates;
    std::deque<Page> m_pages;
    CMainScript& m_owner;
    CLinkableTextRenderer* m_view = nullptr;
    TweenList m_scrollTweens[4];
    bool m_inRuby = false;
    std::string m_rubyBase;
    std::string m_rubyText;
    FontStack m_replayFonts;
    int32_t m_viewPage = 0;
    bool m_loadFailed = false;
};

}  // namespace kestrin
