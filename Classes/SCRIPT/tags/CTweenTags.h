#pragma once
// The tween and transition tags and the state only they share: the tweenset being gathered
// (its queue, the layers it will run on and whether a tween in it waits), the wait of a sync
// tween, and the tween of the running transition.
//
// "lytween" animates one property of a layer, "tweenset" and "/tweenset" chain tweens into
// one queue that starts at the end tag, "lytweendel" jumps a layer's tweens to their end.
// "flip" commits the edited layer tree at once, "trans" through a cross-fade or a rule-image
// wipe while the script waits. The save data's layer records follow the tweens so that a
// loaded game shows their end state (or runs an endless one again).
//
// Everything else of the interpreter is reached through ITweenTagHost.
#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "SCRIPT/CScriptBlock.h"

namespace kestrin {

class CTweenQueue;
class ITweenTagHost;

class CTweenTags {
public:
    // The host outlives the family.
    explicit CTweenTags(ITweenTagHost& host);
    ~CTweenTags();
    CTweenTags(const CTweenTags&) = delete;
    CTweenTags& operator=(const CTweenTags&) = delete;

    // The handlers, in the interpreter's handler form (true: the script stops for this frame).
    bool TagLytween(CScriptBlock block, bool replay);
    bool TagTweenset(CScriptBlock block, bool replay);
    bool TagTweensetEnd(CScriptBlock block, bool replay);
    bool TagLytweendel(CScriptBlock block, bool replay);
    bool TagFlip(CScriptBlock block, bool replay);
    bool TagTrans(CScriptBlock block, bool replay);  // also "load" with a type

    // At a boot: the running transition finishes, and an open tweenset is dropped unstarted
    // with the wait it would have begun.
    void Reset();
    // The running transition's tween jumps to its end (its end may end the wait); nothing
    // when none runs.
    void FinishTransition();
    // A registered tween that FinishTransition finishes from now on (the "reset" tag's fade).
    void SetTransitionTween(int32_t tween) { m_transitionTween = tween; }

private:
    void ReleaseSyncTweenWait();
    void TraceAt(int level, const CScriptBlock& block, const char* format, ...) __attribute__((format(printf, 4, 5)));

    ITweenTagHost& m_host;
    // Tweens and transitions end through callbacks of the tween registry, which outlives the
    // family: they hold this token weakly.
    std::shared_ptr<CTweenTags*> m_self = std::make_shared<CTweenTags*>(this);
    int32_t m_transitionTween = 0;
    // Between "tweenset" and "/tweenset": the queue, the layers it runs on, and whether a
    // sync tween in it makes the end tag wait.
    std::unique_ptr<CTweenQueue> m_pendingTweenQueue;
    std::set<std::string> m_tweenSetLayers;
    bool m_tweenSetSync = false;
    // A sync tween (or tweenset) holds the script until it ends.
    bool m_syncTweenWait = false;
};

}  // namespace kestrin
