#include "SCRIPT/tags/CEventTags.h"

#include <map>
#include <string>
#include <utility>

#include "GRAPHICS/ILayer.h"
#include "SCRIPT/CScriptState.h"
#include "SCRIPT/tags/TagAttributes.h"
#include "SCRIPT/tags/TagMessages.h"

namespace kestrin {

namespace {

// The pointer events of a layer.
struct SLayerEvent {
    const char* word;
    CEventTags::LAYER_EVENT_TYPE type;
    void (ILayer::*set)(const LayerEventHandler&);
    void (ILayer::*clear)();
};

const SLayerEvent kLayerEvents[] = {
    {"click", CEventTags::LAYER_EVENT_CLICK, &ILayer::SetOnClick, &ILayer::ClearOnClick},
    {"rollover", CEventTags::LAYER_EVENT_ROLLOVER, &ILayer::SetOnRollOver, &ILayer::ClearOnRollOver},
    {"rollout", CEventTags::LAYER_EVENT_ROLLOUT, &ILayer::SetOnRollOut, &ILayer::ClearOnRollOut},
    {"dragin", CEventTags::LAYER_EVENT_DRAGIN, &ILayer::SetOnDragIn, &ILayer::ClearOnDragIn},
    {"drag", CEventTags::LAYER_EVENT_DRAG, &ILayer::SetOnDrag, &ILayer::ClearOnDrag},
    {"dragout", CEventTags::LAYER_EVENT_DRAGOUT, &ILayer::SetOnDragOut, &ILayer::ClearOnDragOut},
};

struct SModeEvent {
    const char* word;
    int slot;
};

using Slots = SScriptStateIndexes;

// clang-format off
const SModeEvent kModeEvents[] = {
    {"automodein", Slots::EVENT_AUTOMODEIN},       {"automodeout", Slots::EVENT_AUTOMODEOUT},
    {"commandskipin", Slots::EVENT_COMMANDSKIPIN}, {"commandskipout", Slots::EVENT_COMMANDSKIPOUT},
    {"controlskipin", Slots::EVENT_CONTROLSKIPIN}, {"controlskipout", Slots::EVENT_CONTROLSKIPOUT},
    {"hidein", Slots::EVENT_HIDEIN},               {"hideout", Slots::EVENT_HIDEOUT},
    {"backlogin", Slots::EVENT_BACKLOGIN},         {"backlogout", Slots::EVENT_BACKLOGOUT},
    {"dirchg", Slots::EVENT_DIRCHG},
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

void TraceAt(IEventTagHost& host, int level, const CScriptBlock& block, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
void TraceAt(IEventTagHost& host, int level, const CScriptBlock& block, const char* format, ...) {
    va_list args;
    va_start(args, format);
    host.TraceTagAt(level, block, format, args);
    va_end(args);
}

// The input object knows key codes 0 to 255 only (the wheel's pseudo keys among them).
bool ReadKeyCode(IEventTagHost& host, const CScriptBlock& block, int& key) {
    key = TagInt(block, "key");
    if (key >= 0 && key <= 255) return true;
    TraceAt(host, 1, block, tagmsg::kKeyCodeOutOfRange, block.GetName().c_str(), block.GetAttribute("key").c_str());
    return false;
}

}  // namespace

CEventTags::CEventTags(IEventTagHost& host) : m_host(host) {}

bool CEventTags::TagSetonclick(CScriptBlock block, bool replay) {
    const std::string word = EventWord(block.GetName());
    // A label is looked up in the script that set the reaction, wherever the interpreter is
    // when the event comes. A block without a label names no place: given a file it would
    // restart that file, so a handler-only reaction keeps the interpreter where it is.
    if (!block.HasAttribute("file") && block.HasAttribute("label"))
        block.SetAttribute("file", m_host.GetEventCaretFile());

    if (const SLayerEvent* event = FindLayerEvent(word)) {
        const std::string& id = block.GetAttribute("id");
        const std::shared_ptr<ILayer> layer = m_host.FindEventLayer(id);
        if (!layer) return false;
        // Only clicks and roll-overs are taken by the first handler of a frame.
        const bool penetration = event->type > LAYER_EVENT_ROLLOVER || TagFlag(block, "penetration");
        const LAYER_EVENT_TYPE type = event->type;
        std::weak_ptr<CEventTags*> self = m_self;
        ((*layer).*event->set)([self, type, penetration, reaction = block]() {
            if (auto owner = self.lock()) (*owner)->OnLayerEvent(type, penetration, reaction);
        });
        if (!replay) m_host.RecordLayerEvent(id, block);
        return false;
    }
    if (word == "push") {
        int key = 0;
        if (ReadKeyCode(m_host, block, key)) m_host.GetPushKeyBlocks()[key] = block;
        return false;
    }
    if (const SModeEvent* event = FindModeEvent(word)) m_host.GetModeEventBlock(event->slot) = block;
    return false;
}

bool CEventTags::TagDelonclick(CScriptBlock block, bool replay) {
    const std::string word = EventWord(block.GetName());
    if (const SLayerEvent* event = FindLayerEvent(word)) {
        const std::string& id = block.GetAttribute("id");
        const std::shared_ptr<ILayer> layer = m_host.FindEventLayer(id);
        if (!layer) return false;
        ((*layer).*event->clear)();
        if (!replay) m_host.RecordLayerEvent(id, block);
        return false;
    }
    if (word == "push") {
        int key = 0;
        if (ReadKeyCode(m_host, block, key)) m_host.GetPushKeyBlocks().erase(key);
        return false;
    }
    if (const SModeEvent* event = FindModeEvent(word)) m_host.GetModeEventBlock(event->slot) = CScriptBlock();
    return false;
}

void CEventTags::OnLayerEvent(LAYER_EVENT_TYPE type, bool forced, const CScriptBlock& block) {
    // Without penetration only the first click (and roll-over) handler reached in a frame
    // runs; the flags are cleared every frame.
    if (!forced && (type == LAYER_EVENT_CLICK || type == LAYER_EVENT_ROLLOVER)) {
        if (m_layerEventGuard[type]) return;
        m_layerEventGuard[type] = true;
    }
    if (m_host.TakesEventNow()) {
        m_host.RunEventReaction(block);
    } else {
        QueueEventBlock(block);
    }
}

bool CEventTags::QueueEventBlock(const CScriptBlock& block) {
    if (block.GetName().empty()) return true;
    std::string handler;
    if (!block.LacksAttribute("handler", handler)) {
        CScriptBlock copy(block);
        copy.SetName(handler);
        m_pendingBlocks.push_back(std::move(copy));
    }
    // As when run at once: only a block naming a place moves the caret. A handler-only
    // block queued as a bare "jump" would restart the current file.
    if (!block.HasAttribute("file") && !block.HasAttribute("label")) return false;
    std::string call;
    bool isCall = !block.LacksAttribute("call", call) && call != "0";
    CScriptBlock copy(block);
    copy.SetName(isCall ? "call" : "jump");
    m_pendingBlocks.push_back(std::move(copy));
    return false;
}

std::deque<CScriptBlock> CEventTags::TakePendingBlocks() {
    std::deque<CScriptBlock> pending;
    pending.swap(m_pendingBlocks);
    return pending;
}

void CEventTags::BeginFrame() { m_layerEventGuard[0] = m_layerEventGuard[1] = false; }

bool CEventTags::RunPushKeys() {
    // A reaction may change the map (setonpush inside it): walk a copy.
    const std::map<int, CScriptBlock> reactions = m_host.GetPushKeyBlocks();
    for (const auto& reaction : reactions) {
        if (m_host.IsEventKeyDecided(reaction.first) && !m_host.RunEventReaction(reaction.second)) return true;
    }
    return false;
}

void CEventTags::Reset() { m_pendingBlocks.clear(); }

}  // namespace kestrin
