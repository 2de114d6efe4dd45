#include "SCRIPT/CBackLog.h"

#include "CORE/CSerializer.h"
#include "SCRIPT/CMainScript.h"
#include "TEXT/CLinkableTextRenderer.h"

namespace kestrin {

CBackLog::CBackLog(CMainScript& owner) : m_owner(owner) {}

void CBackLog::Save(CSerializer* archive) {
    archive->SaveFontPropertyDequeDeque(m_fontStates, 1);
    archive->SaveScriptBlockVectorDeque(m_pages, 2);
    for (unsigned i = 0; i < 4; ++i) archive->SaveTweenInfoVector(m_scrollTweens[i], 3 + i);
}

// Saves are edited by players: a page list that this backlog could never have held would
// break the page/font-state pairing that replay and the var queries rely on.
void CBackLog::Load(CSerializer* archive) {
    std::deque<FontStack> fontStates;
    std::deque<Page> pages;
    TweenList tweens[4];
    archive->LoadFontPropertyDequeDeque(fontStates, 1);
    archive->LoadScriptBlockVectorDeque(pages, 2);
    for (unsigned i = 0; i < 4; ++i) archive->LoadTweenInfoVector(tweens[i], 3 + i);
    m_loadFailed = pages.size() > kMaxPages || fontStates.size() != pages.size();
    if (m_loadFailed) {
        m_fontStates.clear();
        m_pages.clear();
        for (auto& list : m_scrollTweens) list.clear();
        return;
    }
    m_fontStates = std::move(fontStates);
    m_pages = std::move(pages);
    for (unsigned i = 0; i < 4; ++i) m_scrollTweens[i] = std::move(tweens[i]);
}

void CBackLog::AddPage(const FontStack& fontStack, const Page& blocks, bool includeFonts,
                       const std::string& annotation) {
    bool hasText = false;
    for (const auto& block : blocks) hasText = hasText || block.GetKind() == CScriptBlock::kText;
    if (!hasText) return;
    while (m_pages.size() >= kMaxPages) {
        m_pages.pop_front();
        m_fontStates.pop_front();
    }
    m_fontStates.emplace_back();
    if (includeFonts) {
        m_pages.push_back(blocks);
        if (fontStack.empty()) return;
        // The page's own "/font" tags without a "font" before them pop fonts that were in
        // force when the page began: those are the ones to keep.
        int32_t open = 0;
        int32_t unmatched = 0;
        for (const auto& block : blocks) {
            if (block.GetKind() != CScriptBlock::kTag) continue;
            if (block.GetName() == "font") {
                ++open;
            } else if (block.GetName() == "/font") {
                if (open > 0)
                    --open;
                else
                    ++unmatched;
            }
        }
        FontStack& states = m_fontStates.back();
        for (auto it = fontStack.rbegin(); it != fontStack.rend() && unmatched >= 0; ++it, --unmatched) {
            states.push_back(*it);
        }
    } else {
        Page page;
        for (const auto& block : blocks) {
            const std::string& name = block.GetName();
            if (block.GetKind() == CScriptBlock::kTag && (name == "fontinit" || name == "font" || name == "/font")) {
                continue;
            }
            page.push_back(block);
        }
        m_pages.push_back(std::move(page));
    }
    if (!annotation.empty()) {
        for (auto& block : m_pages.back()) {
            if (block.GetKind() == CScriptBlock::kText) block.SetAttribute("annotation", annotation);
        }
    }
}

bool CBackLog::Open(CLinkableTextRenderer* renderer) {
    if (m_pages.empty() || !renderer) return true;
    m_viewPage = static_cast<int32_t>(m_pages.size()) - 1;
    m_view = renderer;
    ReplayPage(m_fontStates[m_viewPage], m_pages[m_viewPage], m_view);
    m_view->StartTweens(GetScrollTweens(false, false), true);
    return false;
}

// Paging to older text runs the "down" presets (the text moves down), to newer the "up" ones.
void CBackLog::ShowPage(bool newer) {
    m_view->ClearWithTweens(GetScrollTweens(newer, true));
    m_viewPage += newer ? 1 : -1;
    ReplayPage(m_fontStates[m_viewPage], m_pages[m_viewPage], m_view);
    m_view->StartTweens(GetScrollTweens(newer, false), true);
}

bool CBackLog::Scroll(bool up, bool down) {
    if (!m_view) return true;
    // A loaded backlog may have replaced the pages while the view was open.
    if (m_viewPage < 0 || static_cast<size_t>(m_viewPage) >= m_pages.size()) return true;
    if (up) {
        if (m_viewPage > 0) ShowPage(false);
        return false;
    }
    if (down) {
        if (static_cast<size_t>(m_viewPage) + 1 >= m_pages.size()) return true;
        ShowPage(true);
    }
    return false;
}

void CBackLog::Close() {
    if (m_view) m_view->ClearWithTweens(GetScrollTweens(true, true));
    m_viewPage = 0;
    m_view = nullptr;
}

void CBackLog::PushFont(const CScriptBlock& block, CLinkableTextRenderer* renderer) {
    CFontProperty property(renderer->GetProperty());
    property.SetParams(block.GetAttributes());
    renderer->GetProperty() = property;
    m_replayFonts.push_back(property);
}

void CBackLog::PopFont(CLinkableTextRenderer* renderer) {
    if (m_replayFonts.size() <= 1) return;
    m_replayFonts.pop_back();
    renderer->GetProperty() = m_replayFonts.back();
}

void CBackLog::ReplayPage(const FontStack& fontStates, const Page& blocks, CLinkableTextRenderer* renderer) {
    if (!renderer) return;
    if (!fontStates.empty()) renderer->GetProperty() = fontStates.back();
    m_replayFonts = fontStates;
    m_inRuby = false;
    m_rubyBase.clear();
    m_rubyText.clear();
    for (const auto& block : blocks) {
        const std::string& name = block.GetName();
        if (block.GetKind() == CScriptBlock::kText) {
            if (m_inRuby)
                m_rubyBase += name;
            else
                renderer->AddTextSimple(name.c_str());
            continue;
        }
        if (block.GetKind() != CScriptBlock::kTag) continue;
        if (name == "rt") {
            renderer->NewLine();
        } else if (name == "font") {
            PushFont(block, renderer);
        } else if (name == "/font") {
            PopFont(renderer);
        } else if (name == "ruby") {
            if (m_inRuby) continue;
            m_inRuby = true;
            m_rubyBase.clear();
            m_rubyText = block.GetAttribute("text");
        } else if (name == "/ruby") {
            if (!m_inRuby) continue;
            m_inRuby = false;
            renderer->AddChars(m_rubyBase.c_str(), m_rubyText.c_str());
        } else if (name == "voice") {
            PushFont(block, renderer);
            CMainScript* owner = &m_owner;
            CScriptBlock voice = block;
            renderer->BeginLink([owner, voice]() { owner->GetBackLog().OnVoiceClick(voice); });
        } else if (name == "/voice") {
            renderer->EndLink();
            PopFont(renderer);
        }
    }
    renderer->CompleteTweens();
}

void CBackLog::OnVoiceClick(const CScriptBlock& block) {
    m_owner.ExecuteBlock(block, true);
    if (m_view) m_view->EnableLinks();
}

}  // namespace kestrin
