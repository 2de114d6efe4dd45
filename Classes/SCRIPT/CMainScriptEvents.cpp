// The interpreter's side of the event tags (tags/CEventTags.cpp holds them, the layer events
// and the queued event blocks): the family is made here, the handlers the tag table names and
// the layer-event entry points forward to it, and the family reaches the interpreter through
// IEventTagHost.
#include <utility>

#include "CORE/CInput.h"
#include "GRAPHICS/COruLayer.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/tags/CEventTags.h"

namespace kestrin {

void CMainScript::CreateEventTags() {
    IEventTagHost& host = *this;
    m_events = std::make_unique<CEventTags>(host);
}

bool CMainScript::TagSetonclick(CScriptBlock block, bool replay) {
    return m_events->TagSetonclick(std::move(block), replay);
}
bool CMainScript::TagDelonclick(CScriptBlock block, bool replay) {
    return m_events->TagDelonclick(std::move(block), replay);
}

void CMainScript::OnLayerEvent(LAYER_EVENT_TYPE type, bool forced, const CScriptBlock& block) {
    m_events->OnLayerEvent(type, forced, block);
}
bool CMainScript::QueueEventBlock(const CScriptBlock& block) { return m_events->QueueEventBlock(block); }
std::deque<CScriptBlock>& CMainScript::GetPendingEventBlocks() { return m_events->GetPendingBlocks(); }

const std::string& CMainScript::GetEventCaretFile() const { return m_state.caret.file; }
std::shared_ptr<ILayer> CMainScript::FindEventLayer(const std::string& id) {
    STagTarget target;
    if (!FindTagTarget(id, false, false, target) || !target.node) return nullptr;
    return std::shared_ptr<ILayer>(target.keep, target.node);
}
void CMainScript::RecordLayerEvent(const std::string& id, const CScriptBlock& block) {
    GetSaveData().GetLayerRecord()[id].push_back(block);
}
std::map<int, CScriptBlock>& CMainScript::GetPushKeyBlocks() { return m_state.pushKeys; }
CScriptBlock& CMainScript::GetModeEventBlock(int slot) { return m_state.eventBlocks[slot]; }
bool CMainScript::TakesEventNow() const {
    const STAT status = m_state.caret.status;
    return status == STAT_RUN || status == STAT_CLICK || status == STAT_STOP || status == STAT_WAIT;
}
bool CMainScript::RunEventReaction(const CScriptBlock& block) { return RunEventBlock(block); }
bool CMainScript::IsEventKeyDecided(int key) { return m_input && m_input->IsDecide(key); }

}  // namespace kestrin
