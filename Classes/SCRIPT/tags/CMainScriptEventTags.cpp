// Event handler tags: each "seton..." tag attaches a reaction to an event and its "delon..."
// twin removes it. Six events belong to a layer (click, roll-over, roll-out, drag-in, drag,
// drag-out), one to a key ("push"), eleven to changes of the interpreter's mode. A reaction
// is the tag block itself, run through RunEventBlock: its "file", "label", "call" and
// "handler" say where to go and what to run.
#include <memory>
#include <string>

#include "GRAPHICS/COruLayer.h"
#include "GRAPHICS/ILayer.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/tags/TagAttributes.h"
#include "SCRIPT/tags/TagMessages.h"

namespace kestrin {

namespace {

// The pointer events of a layer; type is the interpreter's layer-event type.
struct SLayerEvent {
    const char* word;
    CMainScript::LAYER_EVENT_TYPE type;
    void (ILayer::*set)(const LayerEventHandler&);
    void (ILayer::*clear)();
};

const SLayerEvent kLayerEvents[] = {
    {"click", CMainScript::LAYER_EVENT_CLICK, &ILayer::SetOnClick, &ILayer::ClearOnClick},
    {"rollover", CMainScript::LAYER_EVENT_ROLLOVER, &ILayer::SetOnRollOver, &ILayer::ClearOnRollOver},
    {"rollout", CMainScript::LAYER_EVENT_ROLLOUT, &ILayer::SetOnRollOut, &ILayer::ClearOnRollOut},
    {"dragin", CMainScript::LAYER_EVENT_DRAGIN, &ILayer::SetOnDragIn, &ILayer::ClearOnDragIn},
    {"drag", CMainScript::LAYER_EVENT_DRAG, &ILayer::SetOnDrag, &ILayer::ClearOnDrag},
    {"dragout", CMainScript::LAYER_EVENT_DRAGOUT, &ILayer::SetOnDragOut, &ILayer::ClearOnDragOut},
};

struct SModeEvent {
    const char* word;
    int slot;
};

// clang-format off
const SModeEvent kModeEvents[] = {
    {"automodein", CMainScript::EVENT_AUTOMODEIN},       {"automodeout", CMainScript::EVENT_AUTOMODEOUT},
    {"commandskipin", CMainScript::EVENT_COMMANDSKIPIN}, {"commandskipout", CMainScript::EVENT_COMMANDSKIPOUT},
    {"controlskipin", CMainScript::EVENT_CONTROLSKIPIN}, {"controlskipout", CMainScript::EVENT_CONTROLSKIPOUT},
    {"hidein", CMainScript::EVENT_HIDEIN},               {"hideout", CMainScript::EVENT_HIDEOUT},
    {"backlogin", CMainScript::EVENT_BACKLOGIN},         {"backlogout", CMainScript::EVENT_BACKLOGOUT},
    {"dirchg", CMainScript::EVENT_DIRCHG},
};
// clang-format on

// The event word of a "seton..." or "delon..." tag name.
std::string EventWord(const std::string& tagName) { return tagName.size() > 5 ? tagName.substr(5) : std::string(); }

const SLayerEvent* FindLayerEvent(const std::string& word) {
    for (const auto& event : kLayerEvents) {
        if (word == event.word) return &event;
    }
    return nullptr;
}

const SModeEvent* FindModeEvent(const std::string& word) {
    for (const auto& event : kModeEvents) {
        if (word == event.word) return &event;
    }
    return nullptr;
}

// The input object knows key codes 0 to 255 only (the wheel's pseudo keys among them).
bool ReadKeyCode(CMainScript& script, const CScriptBlock& block, int& key) {
    key = TagInt(block, "key");
    if (key >= 0 && key <= 255) return true;
    script.TraceAt(1, block, tagmsg::kKeyCodeOutOfRange, block.GetName().c_str(), block.GetAttribute("key").c_str());
    return false;
}

}  // namespace

bool CMainScript::TagSetonclick(CScriptBlock block, bool replay) {
    const std::string word = EventWord(block.GetName());
    // A label is looked up in the script that set the reaction, wherever the interpreter is
    // when the event comes. A block without a label names no place: given a file it would
    // restart that file, so a handler-only reaction keeps the interpreter where it is.
    if (!block.HasAttribute("file") && block.HasAttribute("label")) block.SetAttribute("file", m_state.caret.file);

    if (const SLayerEvent* event = FindLayerEvent(word)) {
        const std::string& id = block.GetAttribute("id");
        STagTarget target;
        if (!FindTagTarget(id, false, false, target) || !target.node) return false;
        // Only clicks and roll-overs are taken by the first handler of a frame.
        const bool penetration = event->type > LAYER_EVENT_ROLLOVER || TagFlag(block, "penetration");
        const LAYER_EVENT_TYPE type = event->type;
        std::weak_ptr<CMainScript*> self = m_self;
        (target.node->*event->set)([self, type, penetration, reaction = block]() {
            if (auto owner = self.lock()) (*owner)->OnLayerEvent(type, penetration, reaction);
        });
        if (!replay) GetSaveData().GetLayerRecord()[id].push_back(block);
        return false;
    }
    if (word == "push") {
        int key = 0;
        if (ReadKeyCode(*this, block, key)) m_state.pushKeys[key] = block;
        return false;
    }
    if (const SModeEvent* event = FindModeEvent(word)) m_state.eventBlocks[event->slot] = block;
    return false;
}

bool CMainScript::TagDelonclick(CScriptBlock block, bool replay) {
    const std::string word = EventWord(block.GetName());
    if (const SLayerEvent* event = FindLayerEvent(word)) {
        const std::string& id = block.GetAttribute("id");
        STagTarget target;
        if (!FindTagTarget(id, false, false, target) || !target.node) return false;
        (target.node->*event->clear)();
        if (!replay) GetSaveData().GetLayerRecord()[id].push_back(block);
        return false;
    }
    if (word == "push") {
        int key = 0;
        if (ReadKeyCode(*this, block, key)) m_state.pushKeys.erase(key);
        return false;
    }
    if (const SModeEvent* event = FindModeEvent(word)) m_state.eventBlocks[event->slot] = CScriptBlock();
    return false;
}

}  // namespace kestrin
