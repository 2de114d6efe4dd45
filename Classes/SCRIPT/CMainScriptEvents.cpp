// Layer pointer events and the event blocks queued while the interpreter waits.
#include "SCRIPT/CMainScript.h"

namespace kestrin {

void CMainScript::OnLayerEvent(LAYER_EVENT_TYPE type, bool forced, const CScriptBlock& block) {
    // Without penetration only the first click (and roll-over) handler reached in a frame
    // runs; the flags are cleared every frame.
    if (!forced && (type == LAYER_EVENT_CLICK || type == LAYER_EVENT_ROLLOVER)) {
        if (m_layerEventGuard[type]) return;
        m_layerEventGuard[type] = true;
    }
    STAT status = m_state.caret.status;
    if (status == STAT_RUN || status == STAT_CLICK || status == STAT_STOP || status == STAT_WAIT) {
        RunEventBlock(block);
    } else {
        QueueEventBlock(block);
    }
}

bool CMainScript::QueueEventBlock(const CScriptBlock& block) {
    if (block.GetName().empty()) return true;
    std::string handler;
    if (!block.LacksAttribute("handler", handler)) {
        CScriptBlock copy(block);
        copy.SetName(handler);
        m_pendingEventBlocks.push_back(std::move(copy));
    }
    // As when run at once: only a block naming a place moves the caret. A handler-only
    // block queued as a bare "jump" would restart the current file.
    if (!block.HasAttribute("file") && !block.HasAttribute("label")) return false;
    std::string call;
    bool isCall = !block.LacksAttribute("call", call) && call != "0";
    CScriptBlock copy(block);
    copy.SetName(isCall ? "call" : "jump");
    m_pendingEventBlocks.push_back(std::move(copy));
    return false;
}

}  // namespace kestrin
