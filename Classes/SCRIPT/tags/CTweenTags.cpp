#include "SCRIPT/tags/CTweenTags.h"

#include <algorithm>
#include <cstdarg>
#include <functional>
#include <utility>

#include "CORE/StringHelpers.h"
#include "GRAPHICS/CGraphicLoaders.h"
#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/CTweenQueue.h"
#include "GRAPHICS/Easing.h"
#include "GRAPHICS/IDisplayObject.h"
#include "GRAPHICS/ILayer.h"
#include "GRAPHICS/ISurface.h"
#include "GRAPHICS/ISurfaceFactory.h"
#include "GRAPHICS/TTween.h"
#include "GRAPHICS/TweenRegistry.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/ITweenTagHost.h"
#include "SCRIPT/tags/TagAttributes.h"
#include "SCRIPT/tags/TagMessages.h"

namespace kestrin {

namespace {

// A tween that also runs its release when it is stopped without finishing (its layer was
// deleted), so that a script waiting for it goes on.
class CReleasingTween : public TTween<int32_t> {
public:
    CReleasingTween(Setter setter, int32_t from, int32_t to, uint32_t duration, int32_t delay,
                    std::function<void()> release)
        : TTween<int32_t>(std::move(setter), from, to, duration, delay), m_release(std::move(release)) {}
    void Stop() override {
        TTween<int32_t>::Stop();
        if (m_release) {
            std::function<void()> release = std::move(m_release);
            m_release = nullptr;
            release();
        }
    }

private:
    std::function<void()> m_release;
};

// An unknown word eases linearly.
int32_t EaseKind(const std::string& name) { return std::max(FindEaseKind(name), 0); }

// The setter of a tweenable property, writing through a weak reference (the root, which
// lives as long as the screen, is held plainly).
TTween<int32_t>::Setter MakeSetter(const std::string& param, IDisplayObject* object,
                                   const std::shared_ptr<IDisplayObject>& keep) {
    void (IDisplayObject::*set)(int32_t) = nullptr;
    if (param == "left")
        set = &IDisplayObject::SetX;
    else if (param == "top")
        set = &IDisplayObject::SetY;
    else if (param == "alpha")
        set = &IDisplayObject::SetAlpha;
    else if (param == "xscale")
        set = &IDisplayObject::SetXScale;
    else if (param == "yscale")
        set = &IDisplayObject::SetYScale;
    else if (param == "rotate")
        set = &IDisplayObject::SetRotate;
    if (!set) return nullptr;
    if (!keep) return [object, set](int32_t v) { (object->*set)(v); };
    std::weak_ptr<IDisplayObject> weak = keep;
    return [weak, set](int32_t v) {
        if (auto o = weak.lock()) (o.get()->*set)(v);
    };
}

}  // namespace

CTweenTags::CTweenTags(ITweenTagHost& host) : m_host(host) {}

// An open tweenset's queue was never registered: it goes with the family.
CTweenTags::~CTweenTags() = default;

void CTweenTags::TraceAt(int level, const CScriptBlock& block, const char* format, ...) {
    va_list args;
    va_start(args, format);
    m_host.TraceTagAt(level, block, format, args);
    va_end(args);
}

void CTweenTags::Reset() {
    FinishTransition();
    m_pendingTweenQueue.reset();
    m_tweenSetSync = false;
    m_syncTweenWait = false;
    m_tweenSetLayers.clear();
}

void CTweenTags::FinishTransition() {
    const int32_t id = m_transitionTween;
    m_transitionTween = 0;
    if (id != 0) FinishTween(id);
}

void CTweenTags::ReleaseSyncTweenWait() {
    if (!m_syncTweenWait) return;
    m_syncTweenWait = false;
    m_host.EndTweenWait();
}

bool CTweenTags::TagLytween(CScriptBlock block, bool replay) {
    const std::string& id = block.GetAttribute("id");
    IDisplayObject* object = nullptr;
    std::shared_ptr<IDisplayObject> keep;
    if (!m_host.FindTweenTarget(id, object, keep)) {
        TraceAt(2, block, tagmsg::kLayerMissing, block.GetName().c_str(), id.c_str());
        return false;
    }
    const int32_t ease = EaseKind(block.GetAttribute("ease"));
    int32_t from = TagInt(block, "from");
    int32_t to = TagInt(block, "to");
    const int32_t msec = std::max(TagInt(block, "msec"), 0);
    const int32_t delay = std::max(TagInt(block, "delay"), 0);
    const std::string& param = block.GetAttribute("param");
    if (param == "xscale" || param == "yscale") {
        from = PercentToFixed16(from);
        to = PercentToFixed16(to);
    }
    TTween<int32_t>::Setter setter = MakeSetter(param, object, keep);
    if (!setter) return false;

    // A replayed tween (an endless one restored with a game) never holds the script up.
    const bool sync = !replay && TagFlag(block, "sync");
    std::weak_ptr<CTweenTags*> self = m_self;
    std::function<void()> release;
    if (sync) {
        release = [self] {
            if (auto tags = self.lock()) (*tags)->ReleaseSyncTweenWait();
        };
    }
    auto* tween = new CReleasingTween(setter, from, to, static_cast<uint32_t>(msec), delay, release);
    if (!m_pendingTweenQueue) setter(from);
    if (ease != 0) tween->SetEase(ease);
    int32_t repeat = 0, yoyo = 0;
    if (block.HasAttribute("repeat")) {
        repeat = TagInt(block, "repeat");
        tween->SetRepeat(repeat);
    } else if (block.HasAttribute("yoyo")) {
        yoyo = TagInt(block, "yoyo");
        tween->SetYoyo(yoyo);
    }
    if (sync) {
        tween->SetOnFinish(release);
    } else if (TagFlag(block, "delete")) {
        // The layer leaves the tree and the save data, so a loaded game does not bring it back.
        tween->SetOnFinish([self, id] {
            if (auto tags = self.lock()) (*tags)->m_host.DeleteTweenedLayer(id);
        });
    }

    if (m_pendingTweenQueue) {
        m_pendingTweenQueue->Push(tween);
        m_tweenSetLayers.insert(id);
        // The queue starts at "/tweenset": the wait begins there.
        if (sync) m_tweenSetSync = true;
    } else {
        m_host.AttachTween(id, RegisterTween(tween));
        if (sync) {
            m_syncTweenWait = true;
            m_host.WaitForTween();
        }
    }

    if (!replay) {
        if (repeat == -1 || yoyo == -1) {
            m_host.GetTweenSaveData().GetLayerRecord()[id].push_back(block);
        } else {
            CScriptBlock end(CScriptBlock::kTag, 0, "lyprop");
            end.SetAttribute("id", id);
            end.SetAttribute(param, block.GetAttribute(repeat == 0 && yoyo % 2 != 0 ? "from" : "to"));
            m_host.GetTweenSaveData().RecordLayerTween(id, end, true);
        }
    }
    return false;
}

bool CTweenTags::TagTweenset(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    if (!m_pendingTweenQueue) m_pendingTweenQueue = std::make_unique<CTweenQueue>();
    return false;
}

bool CTweenTags::TagTweensetEnd(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    if (!m_pendingTweenQueue) return false;
    const int32_t queueId = RegisterTween(m_pendingTweenQueue.release());
    for (const std::string& id : m_tweenSetLayers) m_host.AttachTween(id, queueId);
    m_tweenSetLayers.clear();
    if (m_tweenSetSync) {
        m_tweenSetSync = false;
        m_syncTweenWait = true;
        m_host.WaitForTween();
    }
    return false;
}

bool CTweenTags::TagLytweendel(CScriptBlock block, bool replay) {
    const std::string& id = block.GetAttribute("id");
    m_host.FinishLayerTweens(id);
    if (!replay) m_host.GetTweenSaveData().RemoveLayerTween(id, "lytween", true);
    return false;
}

bool CTweenTags::TagFlip(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    if (CMainScreen* screen = m_host.GetTweenScreen()) screen->Flip();
    return false;
}

bool CTweenTags::TagTrans(CScriptBlock block, bool replay) {
    (void)replay;
    CMainScreen* screen = m_host.GetTweenScreen();
    const std::string& type = block.GetAttribute("type");
    if (type == "0") {
        if (screen) screen->Flip();
        return true;
    }
    if (type != "1" && type != "2") return true;
    if (!screen || !screen->IsReady() || !screen->GetTransitionLayer()) {
        // Nothing to fade on: the edit is simply shown.
        if (screen) screen->Flip();
        return true;
    }
    const uint32_t time = static_cast<uint32_t>(std::max(TagInt(block, "time"), 0));
    std::weak_ptr<CTweenTags*> self = m_self;
    auto finish = [self] {
        auto tags = self.lock();
        if (!tags) return;
        if (CMainScreen* shown = (*tags)->m_host.GetTweenScreen()) shown->Flip();
        (*tags)->m_host.OnTransitionFinished();
    };

    bool crossFade = type == "1";
    std::shared_ptr<ISurface> rule;
    if (!crossFade) {
        rule = screen->GetSurfaceFactory()->Create();
        const std::string& ruleName = block.GetAttribute("rule");
        if (!rule || screen->GetGraphicLoaders()->LoadFile(rule.get(), ruleName)) {
            // Without its rule image the transition still runs, as a cross-fade.
            TraceAt(1, block, tagmsg::kRuleImageUnreadable, block.GetName().c_str(), ruleName.c_str());
            crossFade = true;
            rule.reset();
        } else if (rule->GetWidth() != screen->GetWidth() || rule->GetHeight() != screen->GetHeight() ||
                   rule->GetPixelBits() != ISurface::kPixel8) {
            screen->SetRuleSurface(nullptr);
            TraceAt(1, block, tagmsg::kRuleImageMismatch);
            return false;
        }
    }

    std::weak_ptr<ILayer> capture = screen->GetTransitionLayer();
    TTween<int32_t>* tween = nullptr;
    if (crossFade) {
        screen->SetRuleSurface(nullptr);
        tween = new TTween<int32_t>(
            [capture](int32_t alpha) {
                if (auto layer = capture.lock()) layer->SetAlpha(alpha);
            },
            0, 255, time, 0);
        screen->GetTransitionLayer()->SetAlpha(0);
    } else {
        const int32_t vague = std::min(std::max(TagInt(block, "vague"), 0), 65535);
        screen->SetRuleSurface(rule);
        screen->SetVague(vague);
        screen->SetRuleThreshold(-vague);
        screen->GetTransitionLayer()->SetAlpha(255);
        tween = new TTween<int32_t>(
            [self](int32_t threshold) {
                if (auto tags = self.lock())
                    if (CMainScreen* shown = (*tags)->m_host.GetTweenScreen()) shown->SetRuleThreshold(threshold);
            },
            -vague, 255 + vague, time, 0);
    }
    screen->SetInTransition(true);
    tween->SetOnFinish(finish);
    m_transitionTween = RegisterTween(tween);

    std::string input;
    if (block.LacksAttribute("input", input)) {
        m_host.WaitForTransition();
    } else if (input == "0" || (input == "2" && !m_host.IsSkippingTweens())) {
        m_host.WaitForTween();
    } else {
        m_host.WaitForTransition();
    }
    return true;
}

}  // namespace kestrin
