#pragma once
// The event tags: each "seton..." tag attaches a reaction to an event and its "delon..." twin
// removes it. Six events belong to a layer (click, roll-over, roll-out, drag-in, drag,
// drag-out), one to a key ("push"), eleven to changes of the interpreter's mode. A reaction is
// the tag block itself: its "file", "label", "call" and "handler" say where to go and what to
// run. A layer's reaction runs at once while the caret runs or waits for a click, a stop or a
// time; otherwise it waits in the queue here until the wait ends.
//
// The key and mode reactions are saved with the game and stay with the host; everything else
// of the interpreter is reached through IEventTagHost.
#include <deque>
#include <memory>

#include "SCRIPT/CScriptBlock.h"
#include "SCRIPT/IEventTagHost.h"

namespace kestrin {

class CEventTags : public SLayerEventTypes {
public:
    // The host outlives the family.
    explicit CEventTags(IEventTagHost& host);
    CEventTags(const CEventTags&) = delete;
    CEventTags& operator=(const CEventTags&) = delete;

    // The handlers, in the interpreter's handler form (false: the script goes on).
    bool TagSetonclick(CScriptBlock block, bool replay);  // every "seton..." tag
    bool TagDelonclick(CScriptBlock block, bool replay);  // every "delon..." tag

    // A layer's pointer event: runs or queues the reaction. Without forced, only the first
    // click (and roll-over) reaction of a frame runs.
    void OnLayerEvent(LAYER_EVENT_TYPE type, bool forced, const CScriptBlock& block);
    // Turns a reaction into queued blocks (its handler tag, then a "jump" or "call" when it
    // names a place); true when it has no name.
    bool QueueEventBlock(const CScriptBlock& block);
    // The queued blocks, taken by the end of a wait to run them; blocks they queue wait for
    // the next end.
    std::deque<CScriptBlock> TakePendingBlocks();
    // The queue itself (the interpreter's accessor for tests).
    std::deque<CScriptBlock>& GetPendingBlocks() { return m_pendingBlocks; }

    // At the start of every frame: the first click and roll-over reactions may run again.
    void BeginFrame();
    // The key reactions of the frame's user actions: true when one moved the caret or queued
    // its handler (the frame's user actions stop there).
    bool RunPushKeys();
    // At a boot: the queue is dropped.
    void Reset();

private:
    IEventTagHost& m_host;
    std::deque<CScriptBlock> m_pendingBlocks;
    // Whether a click and a roll-over reaction ran in this frame.
    bool m_layerEventGuard[2] = {false, false};
    // Layers' reactions may outlive the family (the tree belongs to the screen): they hold
    // this token weakly.
    std::shared_ptr<CEventTags*> m_self = std::make_shared<CEventTags*>(this);
};

}  // namespace kestrin
