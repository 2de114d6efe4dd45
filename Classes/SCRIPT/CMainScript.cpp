// Construction, boot and the per-frame interpreter loop.
#include "SCRIPT/CMainScript.h"

#include <ctime>

#include "CORE/CDynamicVariables.h"
#include "CORE/CInput.h"
#include "CORE/CFrameDemand.h"
#include "CORE/CTimer.h"
#include "CORE/Platform/IClock.h"
#include "CORE/COruKeyConfig.h"
#include "CORE/StringHelpers.h"
#include "CORE/WindowMessages.h"
#include "SCRIPT/CBackLog.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/ScriptMessages.h"
#include "SCRIPT/tags/CDebugTags.h"
#include "SCRIPT/tags/CEventTags.h"
#include "SCRIPT/tags/CHttpTags.h"
#include "SCRIPT/tags/CMessageTags.h"
#include "SCRIPT/tags/CSoundTags.h"
#include "SCRIPT/tags/CTweenTags.h"
#include "SCRIPT/tags/TagMessages.h"
#include "TEXT/CLinkableTextRenderer.h"
#include "babel/babel.h"

namespace kestrin {

uint32_t GetScriptUnixTime() { return static_cast<uint32_t>(CTimer::GetClock().GetUnixTime()); }

CMainScript::CMainScript(CMainScreen* screen)
    : m_screen(screen),
      m_input(CInput::GetInstance()),
      m_keyConfig(new COruKeyConfig()),
      m_variables(std::make_shared<COruVariables>()),
      m_random(GetScriptUnixTime()) {
    babel::init_maps();
    if (m_screen) CLinkableTextRenderer::ServeMessageLayers(*m_screen);
    m_keyConfig->SetDefaultBindings();
    m_variables->AddQuoteCharacter('\'');
    CreateSoundManagers();
    CreateHostLinks();
    CreateTweenTags();
    IMessageTagHost& messageHost = *this;
    m_messages = std::make_unique<CMessageTags>(messageHost);
    CreateEventTags();
    m_variables->SetInt("s.bgmvol", 1000);
    m_variables->SetInt("s.sevol", 1000);
    m_variables->SetInt("s.voicevol", 1000);
    m_variables->SetInt("s.automodewait", 1000);
}

bool CMainScript::Start() { return Boot(); }

bool CMainScript::Boot() {
    CDynamicVariables* dynamic = CDynamicVariables::GetInstance();
    std::string bootFile = dynamic->GetString("ini.Boot");
    std::string charset = ToLowerString(dynamic->GetString("ini.Charset"));
    if (charset == "utf-8") {
        m_textEncoding = 2;
        m_variables->SetEncoding(2);
    } else {
        m_textEncoding = 0;
    }
    SetScreenEncoding();

    HideGlyph();
    SetAutoModeAllowed(false);

    m_deferredCalls.clear();
    ReleaseTextInputs();
    m_state = SScriptState();
    m_state.caret.file = bootFile;
    m_failedMacroFiles.clear();
    m_events->Reset();
    m_rightClickRequest = m_hideRequest = m_backlogRequest = false;
    m_messages->Reset();
    ResetBackLog();

    // The running transition ends; an open tweenset is dropped unstarted, with the wait it
    // would have begun.
    m_tween->Reset();

    m_sound->Reset();

    ResetScreen();

    LoadGlobalData();
    InitSystemVariables();
    // The records of the game before: a save taken now must not rebuild its layers.
    GetSaveData().ClearRecords();
    m_messages->EnsureFontStack(m_state.messageLayerName);
    m_variables->SetString("s.current_message_layer", m_state.messageLayerName);

    std::string name = bootFile;
    if (LoadScript(name)) return true;
    m_state.caret.file = name;
    return false;
}

bool CMainScript::RoleDecide(EKeyRole role) { return m_input && m_keyConfig->IsDecide(role); }

bool CMainScript::RoleDown(EKeyRole role) { return m_input && m_keyConfig->IsDown(role); }

uint64_t CMainScript::BudgetNow() const {
    if (m_budgetClock) return m_budgetClock();
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

void CMainScript::Update(uint32_t now) {
    m_now = now;
    if (!m_input) m_input = CInput::GetInstance();

    // Calls queued while these run wait for the next frame.
    std::vector<std::function<void()>> deferred;
    deferred.swap(m_deferredCalls);
    for (auto& call : deferred) {
        if (call) call();
    }

    m_sound->UpdateStreams();
    m_debug->Update(m_state.debugMode);

    m_events->BeginFrame();

    m_sound->UpdateVolumes();
    CallLuaHandler(m_state.luaEnterFrame, "OnEnterFrame");
    RunLoop();
    AskForFrames();
}

// Waits that only input ends need no frames between events; a timed wait needs one when its
// time comes; everything else runs on every frame.
void CMainScript::AskForFrames() const {
    switch (m_state.caret.status) {
        case STAT_CLICK:
        case STAT_STOP:
        case STAT_WAIT:
        case STAT_HIDDEN:
        case STAT_BACKLOG: break;
        default: CFrameDemand::Now(); return;
    }
    const bool debugLink = m_debug->HasLink(m_state.debugMode);
    if (!m_deferredCalls.empty() || !m_state.caret.queue.empty() || !m_state.luaEnterFrame.empty() || IsSkipping() ||
        (m_autoMode && m_state.caret.wakeTime == 0) || m_state.caret.waitForText || m_state.caret.waitForClear ||
        m_rightClickRequest || m_hideRequest || m_backlogRequest || m_screenDirection != m_screenDirectionPrevious ||
        debugLink || m_partialScripts) {
        CFrameDemand::Now();
    } else if (m_state.caret.wakeTime != 0) {
        // The wait ends in the first frame after wakeTime.
        CFrameDemand::Within(m_state.caret.wakeTime < m_now ? 0 : m_state.caret.wakeTime - m_now + 1);
    }
}

// Returns when the frame ends.
bool CMainScript::RunLoop() {
    uint64_t frameStart = BudgetNow();
    unsigned blocksSinceCheck = 0;
    for (;;) {
        switch (m_state.caret.status) {
            case STAT_RUN: {
                bool stop;
                if (!m_state.caret.queue.empty()) {
                    CScriptBlock block = std::move(m_state.caret.queue.front());
                    m_state.caret.queue.pop_front();
                    stop = ExecuteBlock(std::move(block), false);
                } else {
                    BlockList* blocks = m_state.caret.file.empty() ? nullptr : &GetScriptBlocks(m_state.caret.file);
                    if (blocks && m_state.caret.index >= 0 &&
                        blocks->HasBlock(static_cast<size_t>(m_state.caret.index))) {
                        int32_t index = m_state.caret.index;
                        if (m_readBlocks[m_state.caret.file].insert(index).second) SetCommandSkip(false, false);
                        ++m_state.caret.index;
                        stop = ExecuteBlock(*(*blocks)[index], false);
                    } else {
                        if (PopCallStack()) {
                            SetStatus(STAT_QUIT);
                            return true;
                        }
                        continue;
                    }
                }
                if (m_state.caret.status == STAT_QUIT) return true;
                if (stop) return true;
                // A script that never waits must not freeze the window.
                if (++blocksSinceCheck >= 256) {
                    blocksSinceCheck = 0;
                    if (BudgetNow() - frameStart >= m_frameBudgetMs) {
                        TraceAtLine(1, m_currentLine, tagmsg::kFrameBudgetPassed, m_frameBudgetMs);
                        return true;
                    }
                }
                break;
            }
            case STAT_CLICK:
            case STAT_STOP:
            case STAT_WAIT: {
                // Each step may end the frame, leave Update at once, or start the next pass
                // of the loop with whatever status it left behind.
                PassResult result = UserActions();
                if (result == PASS_GO_ON) result = WaitSection();
                if (result == PASS_NEXT) break;
                return true;
            }
            case STAT_TRANSITION:
                if (RoleDecide(kRoleAdvance) || IsSkipping()) {
                    // Finishing the tween may already end the wait through its completion call.
                    m_tween->FinishTransition();
                    if (m_state.caret.status == STAT_TRANSITION) EndTransitionWait();
                    m_variables->SetInt("s.clickskip", 1);
                    break;
                }
                return true;
            case STAT_HIDDEN:
                if (RoleDecide(kRoleShow)) {
                    EndClickWait();
                    SetRootDraggable(true);
                    for (const auto& id : m_state.hideLayers) FadeInLayer(id);
                    ShowMessageLayer(true);
                }
                return true;
            case STAT_BACKLOG:
                if (RoleDecide(kRoleLeaveBacklog) ||
                    ScrollBacklog(RoleDecide(kRoleBacklogOlder), RoleDecide(kRoleBacklogNewer))) {
                    EndClickWait();
                    SetRootDraggable(true);
                    for (const auto& id : m_state.backlogHideLayers) FadeInLayer(id);
                    ShowMessageLayer(true);
                    auto it = m_state.backlogLayers.find(m_state.messageLayerName);
                    if (it != m_state.backlogLayers.end() && it->second.enabled && !it->second.layerId.empty()) {
                        FadeOutLayer(it->second.layerId);
                    }
                    CloseBacklog();
                }
                return true;
            case STAT_VIDEO:
                if (!IsVideoPlaying()) EndClickWait();
                if ((m_videoSkipMode == 1 && (RoleDecide(kRoleAdvance) || IsSkipping())) ||
                    (m_videoSkipMode == 2 && RoleDecide(kRoleOpenRightClick))) {
                    StopVideo();
                    if (m_state.caret.status == STAT_VIDEO) EndClickWait();
                    m_variables->SetInt("s.clickskip", 1);
                }
                return true;
            case STAT_HTTP:
                if (m_http->Update()) EndClickWait();
                return true;
            case STAT_QUIT: return true;
            default:
                // 9, 11 and any value only Lua could set: nothing happens this frame.
                return true;
        }
    }
}

// Steps 1 to 11 of the user actions.
CMainScript::PassResult CMainScript::UserActions() {
    if (m_autoMode && (RoleDecide(kRoleAutoModeStopClick) || RoleDecide(kRoleAutoModeStop))) {
        SetAutoMode(false, false);
        return PASS_END_FRAME;
    }
    if (m_commandSkip && RoleDecide(kRoleCommandSkipStop)) {
        SetCommandSkip(false, false);
        return PASS_END_FRAME;
    }
    bool held = RoleDown(kRoleControlSkip);
    if (!m_controlSkip && held) {
        SetControlSkip(true, false);
    } else if (m_controlSkip && !held) {
        SetControlSkip(false, false);
    }
    if (m_state.caret.status == STAT_WAIT) return PASS_GO_ON;

    if (m_input && m_events->RunPushKeys()) return PASS_LEAVE_UPDATE;

    if (m_screenDirection != m_screenDirectionPrevious) {
        m_variables->SetInt("s.status.screendirection", m_screenDirection);
        m_variables->SetInt("s.status.screendirectionprevious", m_screenDirectionPrevious);
        m_screenDirectionPrevious = m_screenDirection;
        if (!RunEventBlock(m_state.eventBlocks[EVENT_DIRCHG])) return PASS_NEXT;
    }

    if (m_state.rightClickMode) {
        if (RoleDecide(kRoleLeaveRightClick) || m_rightClickRequest) {
            m_rightClickRequest = false;
            while (m_state.rightClickDepth > 0 && !PopCallStack()) {
            }
            if (!Jump(m_state.rightClickScript, "leave")) return PASS_NEXT;
            // The key is still down in this frame: trying again would never end. Return
            // from the right-click script's call instead, which leaves the mode.
            Trace(1, scriptmsg::kRightClickLeaveMissing, m_state.rightClickScript.c_str());
            m_state.rightClickDepth = 0;
            if (PopCallStack()) m_state.rightClickMode = false;
            return PASS_END_FRAME;
        }
    } else if ((m_state.rightClickAllowed && RoleDecide(kRoleOpenRightClick)) || m_rightClickRequest) {
        m_rightClickRequest = false;
        std::string file = m_state.rightClickScript;
        if (m_state.caret.file != file && m_state.caret.file != file + ".iet") {
            if (!Call(file, "")) {
                m_state.rightClickMode = true;
                m_state.rightClickDepth = 0;
                return PASS_NEXT;
            }
            Trace(1, scriptmsg::kRightClickNotCalled, file.c_str());
            return PASS_END_FRAME;
        }
    }

    if (!m_state.rightClickMode) {
        if ((m_state.hideAllowed && RoleDecide(kRoleHide)) || m_hideRequest) {
            m_hideRequest = false;
            SetStatus(STAT_HIDDEN);
            SetRootDraggable(false);
            for (const auto& id : m_state.hideLayers) FadeOutLayer(id);
            ShowMessageLayer(false);
            HideGlyph();
            return PASS_END_FRAME;
        }
        if ((m_state.backlogAllowed && RoleDecide(kRoleOpenBacklog)) || m_backlogRequest) {
            m_backlogRequest = false;
            if (OpenBacklog()) return PASS_END_FRAME;
            SetStatus(STAT_BACKLOG);
            SetRootDraggable(false);
            for (const auto& id : m_state.backlogHideLayers) FadeOutLayer(id);
            ShowMessageLayer(false);
            HideGlyph();
            auto it = m_state.backlogLayers.find(m_state.messageLayerName);
            if (it != m_state.backlogLayers.end() && it->second.enabled && !it->second.layerId.empty()) {
                FadeInLayer(it->second.layerId);
            }
            return PASS_END_FRAME;
        }
    }

    if (RoleDecide(kRoleAutoModeStart)) {
        SetAutoMode(true, false);
        return PASS_END_FRAME;
    }
    if (RoleDecide(kRoleCommandSkipStart)) {
        SetCommandSkip(true, false);
        return PASS_END_FRAME;
    }

    if (m_state.debugMode != 0 && m_input && m_input->IsDecide(kVkF5)) DebugReload();
    return PASS_GO_ON;
}

void CMainScript::ReloadScripts() {
    m_scripts.clear();
    m_failedMacroFiles.clear();
    for (auto& caret : m_state.callStack) {
        std::string name = caret.file;
        LoadScript(name);
    }
    std::string name = m_state.caret.file;
    LoadScript(name);
}

void CMainScript::DebugReload() {
    ReloadScripts();
    ShowMessage(scriptmsg::kDebugReloaded, scriptmsg::kDebugCaption);
}

// The wait section of statuses 1, 3 and 4.
CMainScript::PassResult CMainScript::WaitSection() {
    if (m_state.caret.status == STAT_CLICK && (RoleDecide(kRoleAdvance) || IsSkipping())) {
        if (IsTextShown()) {
            m_state.caret.wakeTime = 0;
            HideGlyph();
            SetStatus(STAT_RUN);
            return PASS_NEXT;
        }
        FinishMessageTweens();
        m_variables->SetInt("s.clickskip", 1);
    }
    if (m_state.caret.status == STAT_CLICK && IsTextShown()) {
        ShowGlyph();
        if (m_state.caret.wakeTime == 0 && m_autoMode) {
            m_state.caret.wakeTime = m_now + static_cast<uint32_t>(m_variables->GetInt("s.automodewait"));
        }
    }
    if (m_state.caret.wakeTime != 0 && m_state.caret.wakeTime < m_now) {
        bool over = true;
        if (m_autoMode) {
            for (const auto& id : m_state.autoModeSyncSounds) {
                if (m_sound->IsChannelPlaying(id)) {
                    over = false;
                    break;
                }
            }
        }
        if (over) {
            m_state.caret.wakeTime = 0;
            m_state.caret.waitForText = m_state.caret.waitForClear = false;
            HideGlyph();
            SetStatus(STAT_RUN);
            return PASS_NEXT;
        }
    }
    if ((m_state.caret.waitForText && IsTextShown()) ||
        (!m_state.caret.waitForText && m_state.caret.waitForClear && IsClearShown())) {
        m_state.caret.wakeTime = 0;
        m_state.caret.waitForText = m_state.caret.waitForClear = false;
        SetStatus(STAT_RUN);
        return PASS_NEXT;
    }
    return PASS_END_FRAME;
}

}  // namespace kestrin
