#pragma once
// What the tween and transition tags need of the interpreter that runs them, and nothing
// more: the layers they animate (found by id, given their tweens, deleted when a tween says
// so), the screen a transition fades on, the caret's waits, the skip state, the save data's
// layer records and the script diagnostics. The interpreter implements it; tests fake it.
#include <cstdarg>
#include <cstdint>
#include <memory>
#include <string>

namespace kestrin {

class CMainScreen;
class CSaveData;
class CScriptBlock;
class IDisplayObject;

class ITweenTagHost {
public:
    virtual ~ITweenTagHost() = default;
    // The display object a layer id names: a tree node, the root ("!") or a message layer
    // ("~name"). keep owns it, to be held weakly by what outlives the tag; it is empty for
    // the root, which lives as long as the screen. False when the id names nothing.
    virtual bool FindTweenTarget(const std::string& id, IDisplayObject*& object,
                                 std::shared_ptr<IDisplayObject>& keep) = 0;
    // Hands a registered tween to the layer the id names, which stops or finishes it with
    // itself (a message layer's go to the screen's list of them). Nothing when the id names
    // nothing.
    virtual void AttachTween(const std::string& id, int32_t tween) = 0;
    // Jumps every tween of the layer the id names to its end.
    virtual void FinishLayerTweens(const std::string& id) = 0;
    // Deletes the layer the id names, with the layers below it and their save records (the
    // end of a tween marked "delete").
    virtual void DeleteTweenedLayer(const std::string& id) = 0;
    // The screen that flips and fades; null without one (then nothing is drawn).
    virtual CMainScreen* GetTweenScreen() = 0;
    // The caret waits until EndTweenWait or OnTransitionFinished (a wait no click ends).
    virtual void WaitForTween() = 0;
    // The caret waits in a transition: a click or skipping finishes it (FinishTransition).
    virtual void WaitForTransition() = 0;
    // A sync tween has ended: a caret still waiting runs again.
    virtual void EndTweenWait() = 0;
    // A transition's tween has ended (the screen already flipped): a caret waiting in a
    // transition or a plain wait goes on.
    virtual void OnTransitionFinished() = 0;
    // True while the script is skipping ("trans" with input 2 then lets a click end it).
    virtual bool IsSkippingTweens() const = 0;
    // The save data whose layer records the tags keep up to date.
    virtual CSaveData& GetTweenSaveData() = 0;
    // A diagnostic at the block's line of the running script, as the interpreter writes its
    // own: the format is engine text (UTF-8), the arguments are in the game's encoding.
    // Nothing is formatted while the trace would drop the level. (The HTTP and debug hosts
    // ask for the same method: the interpreter writes one for all.)
    virtual void TraceTagAt(int level, const CScriptBlock& block, const char* format, va_list args) = 0;
};

}  // namespace kestrin
