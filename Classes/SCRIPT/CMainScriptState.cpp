// Status changes, the end of waits and the automode and skip switches.
#include "CORE/CLogWindow.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"

namespace kestrin {

void CMainScript::SetStatus(STAT status) {
    if (m_caret.status == STAT_RESTORING) return;
    m_caret.SetStatus(status);
    if ((status == STAT_CLICK || status == STAT_STOP) && !IsSkipping()) {
        SaveGlobalData(false);
        if (m_autoSaveMode == 2) SaveAutoSave(false);
    } else if (status == STAT_QUIT) {
        SaveGlobalData(true);
    }
    if (status == STAT_HIDDEN) {
        RunEventBlock(m_eventBlocks[EVENT_HIDEIN]);
        return;
    }
    if (status == STAT_BACKLOG) {
        RunEventBlock(m_eventBlocks[EVENT_BACKLOGIN]);
        return;
    }
    if (status == STAT_CLICK) CallLuaHandler(m_luaClickWaitIn, "OnClickWaitIn");
    // A click wait ends by going back to run (a click, the wake time, a jump): that is
    // when its click-wait-out handler runs.
    if (status == STAT_RUN && m_caret.previousStatus == STAT_CLICK) CallLuaHandler(m_luaClickWaitOut, "OnClickWaitOut");
}

void CMainScript::EndClickWait() {
    STAT left = m_caret.status;
    m_caret.RestoreStatus();

    // Blocks queued by these blocks wait for the next end of a wait.
    std::deque<CScriptBlock> pending;
    pending.swap(m_pendingEventBlocks);
    for (auto& block : pending) ExecuteBlock(std::move(block), false);

    if (left == STAT_HIDDEN) {
        RunEventBlock(m_eventBlocks[EVENT_HIDEOUT]);
        return;
    }
    if (left == STAT_BACKLOG) {
        RunEventBlock(m_eventBlocks[EVENT_BACKLOGOUT]);
        return;
    }
    if (left == STAT_CLICK) CallLuaHandler(m_luaClickWaitOut, "OnClickWaitOut");
}

void CMainScript::EndTransitionWait() {
    FlipScreen();
    // A click through a transition ends the wait and then finishes the tween, whose
    // completion comes here again: the second end must not restore the status twice.
    if (m_caret.status != STAT_TRANSITION) return;
    EndClickWait();
}

void CMainScript::Leave() {
    if (m_autoSaveMode != 0) {
        STAT status = m_caret.status;
        if (status == STAT_TRANSITION || status == STAT_HIDDEN || status == STAT_BACKLOG || status == STAT_VIDEO) {
            EndClickWait();
        }
        if (m_rightClickMode) {
            while (m_rightClickDepth > 0 && !PopCallStack()) {
            }
            Jump(m_rightClickScript, "leave");
        }
        SaveAutoSave(true);
    }
    SaveGlobalData(true);
}

void CMainScript::SetAutoModeAllowed(bool allowed) {
    if (!allowed) SetAutoMode(false, false);
    m_autoModeAllowed = allowed;
}

void CMainScript::SetAutoMode(bool on, bool forced) {
    if (on && !forced && !m_autoModeAllowed) return;
    if (on == m_autoMode) return;
    m_autoMode = on;
    auto icon = m_autoModeIcons.find(m_messageLayerName);
    if (!on) {
        if (icon != m_autoModeIcons.end() && !icon->second.layerId.empty()) SetLayerVisible(icon->second.layerId, false);
        m_variables->SetInt("s.status.automode", 0);
        if (m_caret.status == STAT_CLICK) m_caret.wakeTime = 0;
        RunEventBlock(m_eventBlocks[EVENT_AUTOMODEOUT]);
    } else {
        if (icon != m_autoModeIcons.end() && icon->second.enabled && !icon->second.layerId.empty()) {
            SetLayerVisible(icon->second.layerId, true);
        }
        m_variables->SetInt("s.status.automode", 1);
        RunEventBlock(m_eventBlocks[EVENT_AUTOMODEIN]);
    }
}

void CMainScript::SetSkipAllowed(bool allowed) {
    if (!allowed) {
        SetCommandSkip(false, false);
        SetControlSkip(false, false);
    }
    m_skipAllowed = allowed;
}

void CMainScript::SetCommandSkip(bool on, bool forced) {
    if (on && !forced && !m_skipAllowed) return;
    if (on == m_commandSkip) return;
    m_commandSkip = on;
    m_variables->SetInt("s.status.commandskip", on ? 1 : 0);
    RunEventBlock(m_eventBlocks[on ? EVENT_COMMANDSKIPIN : EVENT_COMMANDSKIPOUT]);
}

void CMainScript::SetControlSkip(bool on, bool forced) {
    if (on && !forced && !m_skipAllowed) return;
    if (on == m_controlSkip) return;
    m_controlSkip = on;
    m_variables->SetInt("s.status.controlskip", on ? 1 : 0);
    RunEventBlock(m_eventBlocks[on ? EVENT_CONTROLSKIPIN : EVENT_CONTROLSKIPOUT]);
}

void CMainScript::ShowGlyph() {
    if (m_caret.glyphShown || !m_shownGlyph.empty()) return;
    // The "@" may be the last block of its file: then there is no next block to look at.
    bool pageWait = false;
    BlockList& blocks = GetScriptBlocks(m_caret.file);
    if (m_caret.index >= 0 && blocks.HasBlock(static_cast<size_t>(m_caret.index))) {
        pageWait = blocks[m_caret.index]->GetName() == "rp";
    }
    auto it = m_glyphSettings.find(m_messageLayerName);
    if (it == m_glyphSettings.end()) return;
    const CGlyphInfo& info = it->second;
    bool set = pageWait ? info.pageGlyphSet : info.lineGlyphSet;
    const std::string& layer = pageWait ? info.pageGlyphLayer : info.lineGlyphLayer;
    if (!set || layer.empty()) return;
    m_shownGlyph = layer;
    ShowGlyphLayer(layer, pageWait ? info.pagePosition : info.linePosition, info.homing);
}

}  // namespace kestrin
