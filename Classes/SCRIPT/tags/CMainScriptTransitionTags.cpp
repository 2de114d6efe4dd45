// Transition and screenshot tags: "flip" commits the edited layer tree at once, "trans"
// through a cross-fade or a rule-image wipe while the script waits; "takess" captures the
// screen and "savess" writes the capture as PNG into the save folder.
#include <algorithm>
#include <memory>

#include "CORE/CFileName.h"
#include "CORE/CGameFileNames.h"
#include "CORE/StringHelpers.h"
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/CSurfaceManager.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/ISurface.h"
#include "GRAPHICS/ISurfaceFactory.h"
#include "GRAPHICS/TTween.h"
#include "GRAPHICS/TweenRegistry.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/tags/TagAttributes.h"
#include "SCRIPT/tags/TagMessages.h"

namespace kestrin {

namespace {

// A name that stays inside the save folder: relative, without drive or "..".
bool IsSaveFolderName(const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
    if (name.size() >= 2 && name[1] == ':') return false;
    for (const auto& part : CGameFileNames::Split(CGameFileNames::ToNative(name), '/')) {
        if (part == "..") return false;
    }
    return true;
}

}  // namespace

bool CMainScript::TagFlip(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    if (m_screen) m_screen->Flip();
    return false;
}

bool CMainScript::TagTrans(CScriptBlock block, bool replay) {
    (void)replay;
    const std::string& type = block.GetAttribute("type");
    if (type == "0") {
        if (m_screen) m_screen->Flip();
        return true;
    }
    if (type != "1" && type != "2") return true;
    if (!m_screen || !m_screen->IsReady() || !m_screen->GetTransitionLayer()) {
        // Nothing to fade on: the edit is simply shown.
        if (m_screen) m_screen->Flip();
        return true;
    }
    const uint32_t time = static_cast<uint32_t>(std::max(TagInt(block, "time"), 0));
    std::weak_ptr<CMainScript*> self = m_self;
    auto finish = [self] {
        auto script = self.lock();
        if (!script) return;
        CMainScript* s = *script;
        if (s->m_screen) s->m_screen->Flip();
        if (s->m_state.caret.status == STAT_TRANSITION || s->m_state.caret.status == STAT_WAIT) s->EndClickWait();
    };

    bool crossFade = type == "1";
    std::shared_ptr<ISurface> rule;
    if (!crossFade) {
        rule = m_screen->GetSurfaceFactory()->Create();
        const std::string& ruleName = block.GetAttribute("rule");
        if (!rule || m_screen->GetGraphicLoaders()->LoadFile(rule.get(), ruleName)) {
            // Without its rule image the transition still runs, as a cross-fade.
            TraceAt(1, block, tagmsg::kRuleImageUnreadable, block.GetName().c_str(), ruleName.c_str());
            crossFade = true;
            rule.reset();
        } else if (rule->GetWidth() != m_screen->GetWidth() || rule->GetHeight() != m_screen->GetHeight() ||
                   rule->GetPixelBits() != ISurface::kPixel8) {
            m_screen->SetRuleSurface(nullptr);
            TraceAt(1, block, tagmsg::kRuleImageMismatch);
            return false;
        }
    }

    std::weak_ptr<ILayer> capture = m_screen->GetTransitionLayer();
    TTween<int32_t>* tween = nullptr;
    if (crossFade) {
        m_screen->SetRuleSurface(nullptr);
        tween = new TTween<int32_t>(
            [capture](int32_t alpha) {
                if (auto layer = capture.lock()) layer->SetAlpha(alpha);
            },
            0, 255, time, 0);
        m_screen->GetTransitionLayer()->SetAlpha(0);
    } else {
        const int32_t vague = std::min(std::max(TagInt(block, "vague"), 0), 65535);
        m_screen->SetRuleSurface(rule);
        m_screen->SetVague(vague);
        m_screen->SetRuleThreshold(-vague);
        m_screen->GetTransitionLayer()->SetAlpha(255);
        tween = new TTween<int32_t>(
            [self](int32_t threshold) {
                if (auto script = self.lock())
                    if ((*script)->m_screen) (*script)->m_screen->SetRuleThreshold(threshold);
            },
            -vague, 255 + vague, time, 0);
    }
    m_screen->SetInTransition(true);
    tween->SetOnFinish(finish);
    m_transitionTween = RegisterTween(tween);

    std::string input;
    if (block.LacksAttribute("input", input)) {
        SetStatus(STAT_TRANSITION);
    } else if (input == "0" || (input == "2" && !IsSkipping())) {
        SetStatus(STAT_WAIT);
    } else {
        SetStatus(STAT_TRANSITION);
    }
    return true;
}

bool CMainScript::TagTakess(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    if (m_screen && m_screen->IsReady()) m_screen->TakeScreenshot();
    return false;
}

bool CMainScript::TagSavess(CScriptBlock block, bool replay) {
    (void)replay;
    if (!m_screen || !m_screen->IsReady()) return false;
    const std::string& file = block.GetAttribute("file");
    const int32_t width = TagInt(block, "width", m_screen->GetWidth());
    const int32_t height = TagInt(block, "height", m_screen->GetHeight());
    if (width < 1 || height < 1 || int64_t(width) * height > CMainScreen::kMaxScreenshotPixels) {
        TraceAt(1, block, tagmsg::kScreenshotSizeInvalid, block.GetName().c_str(), width, height);
        return false;
    }
    if (!IsSaveFolderName(file)) {
        TraceAt(1, block, tagmsg::kOutsideSaveFolder, block.GetName().c_str(), file.c_str());
        return false;
    }
    if (m_screen->SaveScreenshot(file, width, height)) {
        TraceAt(1, block, tagmsg::kScreenshotNotSaved, block.GetName().c_str(), file.c_str());
    }
    std::string written = file;
    if (CFileName(written).GetExtension().empty()) written += ".png";
    m_screen->GetSurfaceManager()->RemoveCached(written);
    return false;
}

}  // namespace kestrin
