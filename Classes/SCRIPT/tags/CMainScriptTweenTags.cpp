// Layer tween tags: "lytween" animates one property of a layer, "tweenset" and
// "/tweenset" chain tweens into one queue, "lytweendel" jumps a layer's tweens to their end.
#include <algorithm>
#include <cstring>
#include <vector>
#include <memory>

#include "GRAPHICS/CMainScreen.h"
#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/Easing.h"
#include "GRAPHICS/IDisplayObject.h"
#include "GRAPHICS/TTween.h"
#include "GRAPHICS/TweenRegistry.h"
#include "CORE/StringHelpers.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/tags/TagAttributes.h"

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

// Remembers a tween of a message layer, forgetting those that have ended meanwhile.
void AddMessageLayerTween(std::vector<int32_t>& ids, int32_t id) {
    ids.erase(std::remove_if(ids.begin(), ids.end(), [](int32_t kept) { return !IsTweenRegistered(kept); }), ids.end());
    ids.push_back(id);
}

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

void CMainScript::ReleaseSyncTweenWait() {
    if (!m_syncTweenWait) return;
    m_syncTweenWait = false;
    if (m_state.caret.status == STAT_WAIT) m_state.caret.SetStatus(STAT_RUN);
}

bool CMainScript::TagLytween(CScriptBlock block, bool replay) {
    const std::string& id = block.GetAttribute("id");
    STagTarget target;
    if (!FindTagTargetOf(block, true, true, target)) return false;
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
    TTween<int32_t>::Setter setter = MakeSetter(param, target.object, target.keep);
    if (!setter) return false;

    // A replayed tween (an endless one restored with a game) never holds the script up.
    const bool sync = !replay && TagFlag(block, "sync");
    std::weak_ptr<CMainScript*> self = m_self;
    std::function<void()> release;
    if (sync) {
        release = [self] {
            if (auto script = self.lock()) (*script)->ReleaseSyncTweenWait();
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
            if (auto script = self.lock()) (*script)->DeleteLayerAndRecords(id, false);
        });
    }

    if (m_pendingTweenQueue) {
        m_pendingTweenQueue->Push(tween);
        m_tweenSetLayers.insert(id);
        // The queue starts at "/tweenset": the wait begins there.
        if (sync) m_tweenSetSync = true;
    } else {
        int32_t tweenId = RegisterTween(tween);
        if (target.node) {
            target.node->AddTween(tweenId);
        } else {
            AddMessageLayerTween(m_screen->GetMessageLayerTweens()[target.messageLayer], tweenId);
        }
        if (sync) {
            m_syncTweenWait = true;
            SetStatus(STAT_WAIT);
        }
    }

    if (!replay) {
        if (repeat == -1 || yoyo == -1) {
            GetSaveData().GetLayerRecord()[id].push_back(block);
        } else {
            CScriptBlock end(CScriptBlock::kTag, 0, "lyprop");
            end.SetAttribute("id", id);
            end.SetAttribute(param, block.GetAttribute(repeat == 0 && yoyo % 2 != 0 ? "from" : "to"));
            GetSaveData().RecordLayerTween(id, end, true);
        }
    }
    return false;
}

bool CMainScript::TagTweenset(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    if (!m_pendingTweenQueue) m_pendingTweenQueue = std::make_unique<CTweenQueue>();
    return false;
}

bool CMainScript::TagTweensetEnd(CScriptBlock block, bool replay) {
    (void)block;
    (void)replay;
    if (!m_pendingTweenQueue) return false;
    int32_t queueId = RegisterTween(m_pendingTweenQueue.release());
    for (const std::string& id : m_tweenSetLayers) {
        STagTarget target;
        if (!FindTagTarget(id, true, true, target)) continue;
        if (target.node) {
            target.node->AddTween(queueId);
        } else {
            AddMessageLayerTween(m_screen->GetMessageLayerTweens()[target.messageLayer], queueId);
        }
    }
    m_tweenSetLayers.clear();
    if (m_tweenSetSync) {
        m_tweenSetSync = false;
        m_syncTweenWait = true;
        SetStatus(STAT_WAIT);
    }
    return false;
}

bool CMainScript::TagLytweendel(CScriptBlock block, bool replay) {
    const std::string& id = block.GetAttribute("id");
    STagTarget target;
    if (FindTagTarget(id, true, true, target)) {
        if (target.node) {
            target.node->FinishTweens();
        } else {
            std::vector<int32_t> ids;
            ids.swap(m_screen->GetMessageLayerTweens()[target.messageLayer]);
            for (int32_t tweenId : ids) FinishTween(tweenId);
        }
    }
    if (!replay) GetSaveData().RemoveLayerTween(id, "lytween", true);
    return false;
}

}  // namespace kestrin
