#pragma once
// What the event tags need of the interpreter that runs them, and nothing more: the caret's
// file and whether a reaction runs now, the layers of the screen, the reactions saved with
// the game (keys and mode changes), the save data's layer records, the keys of the frame, the
// running of a reaction and the script diagnostics. The interpreter implements it; tests fake
// it.
#include <cstdarg>
#include <map>
#include <memory>
#include <string>

namespace kestrin {

class CScriptBlock;
class ILayer;

// The pointer events of a layer a reaction can be bound to.
struct SLayerEventTypes {
    enum LAYER_EVENT_TYPE : int {
        LAYER_EVENT_CLICK = 0,
        LAYER_EVENT_ROLLOVER,
        LAYER_EVENT_ROLLOUT,
        LAYER_EVENT_DRAGIN,
        LAYER_EVENT_DRAG,
        LAYER_EVENT_DRAGOUT,
    };
};

class IEventTagHost {
public:
    virtual ~IEventTagHost() = default;
    // The script file the caret is in: a reaction with a label and no file goes there.
    virtual const std::string& GetEventCaretFile() const = 0;
    // The node of the layer tree with that id, or null (no screen, no such node; the root and
    // the message layers take no reactions).
    virtual std::shared_ptr<ILayer> FindEventLayer(const std::string& id) = 0;
    // Adds the block to the save data's record of the layer (replayed when a game is loaded).
    virtual void RecordLayerEvent(const std::string& id, const CScriptBlock& block) = 0;
    // The reactions to keys, by key code (saved with the game).
    virtual std::map<int, CScriptBlock>& GetPushKeyBlocks() = 0;
    // The reaction to a mode change, by its EVENT_ slot of SScriptStateIndexes (saved with the
    // game); a block without a name is none.
    virtual CScriptBlock& GetModeEventBlock(int slot) = 0;
    // Whether a reaction runs at once: the caret runs or waits for a click, a stop or a time.
    // Otherwise it waits in the queue until the wait ends.
    virtual bool TakesEventNow() const = 0;
    // Runs a reaction: jumps to or calls its "file" and "label", and queues its "handler" tag
    // before the caret's next block. True when nothing moved: the block has no name, the call
    // would be too deep or the place is missing (both traced).
    virtual bool RunEventReaction(const CScriptBlock& block) = 0;
    // Whether the key (0 to 255) went down in this frame.
    virtual bool IsEventKeyDecided(int key) = 0;
    // A diagnostic at the block's line of the running script, as the interpreter writes its
    // own: the format is engine text (UTF-8), the arguments are in the game's encoding.
    // Nothing is formatted while the trace would drop the level (the HTTP and debug tags' hosts
    // have the same).
    virtual void TraceTagAt(int level, const CScriptBlock& block, const char* format, va_list args) = 0;
};

}  // namespace kestrin
