// Status changes, the end of waits and the automode and skip switches.
#include "CORE/CLogWindow.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/tags/CEventTags.h"

namespace kestrin {

void CMainScript::SetStatus(STAT status) {
    if (m_state.caret.status == STAT_RESTORING) return;
    m_state.caret.SetStatus(status);
    if ((status == STAT_CLICK || status == STAT_STOP) && !IsSkipping()) {
        SaveGlobalData(false);
        if (m_state.autoSaveMode == 2) SaveAutoSave(false);
    } else if (status == STAT_QUIT) {
        SaveGlobalData(true);
    }
    if (status == STAT_HIDDEN) {
        RunEventBlock(m_state.eventBlocks[EVENT_HIDEIN]);
        return;
    }
    if (status == STAT_BACKLOG) {
        RunEventBlock(m_state.eventBlocks[EVENT_BACKLOGIN]);
        return;
    }
    if (status == STAT_CLICK) CallLuaHandler(m_state.luaClickWaitIn, "OnClickWaitIn");
    // A click wait ends by going back to run (a click, the wake time, a jump): that is
    // when its click-wait-out handler runs.
    if (status == STAT_RUN && m_state.caret.previousStatus == STAT_CLICK)
        CallLuaHandler(m_state.luaClickWaitOut, "OnClickWaitOut");
}

void CMainScript::EndClickWait() {
    STAT left = m_state.caret.status;
    m_state.caret.RestoreStatus();

    // Blocks queued by these blocks wait for the next end of a wait.
    for (auto& block : m_events->TakePendingBlocks()) ExecuteBlock(std::move(block), false);

    if (left == STAT_HIDDEN) {
        RunEventBlock(m_state.eventBlocks[EVENT_HIDEOUT]);
        return;
    }
    if (left == STAT_BACKLOG) {
        RunEventBlock(m_state.eventBlocks[EVENT_BACKLOGOUT]);
        return;
    }
    if (left == STAT_CLICK) CallLuaHandler(m_state.luaClickWaitOut, "OnClickWaitOut");
}

void CMainScript::EndTransitionWait() {
    FlipScreen();
    // A click through a transition ends the wait and then finishes the tween, whose
    // completion comes here again: the second end must not restore the status twice.
    if (m_state.caret.status != STAT_TRANSITION) return;
    EndClickWait();
}

void CMainScript::Leave() {
    if (m_state.autoSaveMode != 0) {
        STAT status = m_state.caret.status;
        if (status == STAT_TRANSITION || status == STAT_HIDDEN || status == STAT_BACKLOG || status == STAT_VIDEO) {
            EndClickWait();
        }
        if (m_state.rightClickMode) {
            while (m_state.rightClickDepth > 0 && !PopCallStack()) {
            }
            Jump(m_state.rightClickScript, "leave");
        }
        SaveAutoSave(true);
    }
    SaveGlobalData(true);
}

void CMainScript::SetAutoModeAllowed(bool allowed) {
    if (!allowed) SetAutoMode(false, false);
    m_state.autoModeAllowed = allowed;
}

void CMainScript::SetAutoMode(bool on, bool forced) {
    if (on && !forced && !m_state.autoModeAllowed) return;
    if (on == m_autoMode) return;
    m_autoMode = on;
    auto icon = m_state.autoModeIcons.find(m_state.messageLayerName);
    if (!on) {
        if (icon != m_state.autoModeIcons.end() && !icon->second.layerId.empty())
            SetLayerVisible(icon->second.layerId, false);
        m_variables->SetInt("s.status.automode", 0);
        if (m_state.caret.status == STAT_CLICK) m_state.caret.wakeTime = 0;
        RunEventBlock(m_state.eventBlocks[EVENT_AUTOMODEOUT]);
    } else {
        if (icon != m_state.autoModeIcons.end() && icon->second.enabled && !icon->second.layerId.empty()) {
            SetLayerVisible(icon->second.layerId, true);
        }
        m_variables->SetInt("s.status.automode", 1);
        RunEventBlock(m_state.eventBlocks[EVENT_AUTOMODEIN]);
    }
}

void CMainScript::SetSkipAllowed(bool allowed) {
    if (!allowed) {
        SetCommandSkip(false, false);
        SetControlSkip(false, false);
    }
    m_state.skipAllowed = allowed;
}

void CMainScript::SetCommandSkip(bool on, bool forced) {
    if (on && !forced && !m_state.skipAllowed) return;
    if (on == m_commandSkip) return;
    m_commandSkip = on;
    m_variables->SetInt("s.status.commandskip", on ? 1 : 0);
    RunEventBlock(m_state.eventBlocks[on ? EVENT_COMMANDSKIPIN : EVENT_COMMANDSKIPOUT]);
}

void CMainScript::SetControlSkip(bool on, bool forced) {
    if (on && !forced && !m_state.skipAllowed) return;
    if (on == m_controlSkip) return;
    m_controlSkip = on;
    m_variables->SetInt("s.status.controlskip", on ? 1 : 0);
    RunEventBlock(m_state.eventBlocks[on ? EVENT_CONTROLSKIPIN : EVENT_CONTROLSKIPOUT]);
}

}  // namespace kestrin
