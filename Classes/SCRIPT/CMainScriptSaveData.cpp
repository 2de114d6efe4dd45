// The interpreter's save data: global and system data ("saveg.dat" and "system.dat") and the autosave.
#include "CORE/CLogWindow.h"
#include "CORE/GamePath.h"
#include "CORE/Platform/IFileSystem.h"
#include "GRAPHICS/CMainScreen.h"
#include "SCRIPT/CBackLog.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/CSaveData.h"
#include "SCRIPT/ScriptMessages.h"

namespace kestrin {

namespace {

// A save file that exists but cannot be used is moved aside before anything can write
// over it, so the player's data are never lost to a damaged or newer file. Each copy is
// kept: "<name>.broken", then "<name>.broken.2", "<name>.broken.3", ...
constexpr int kMaxAsideCopies = 1000;

void SetAside(CMainScript& owner, const std::string& name) {
    std::string path = CSaveData::GetSavePath(name);
    std::string native;
    if (ResolveGamePath(path, native)) return;
    IFileSystem* files = GetFileSystem();
    SFileStatus status;
    if (files->Stat(native, status) || status.kind != EFileKind::Regular) return;
    std::string suffix;
    for (int number = 1; number <= kMaxAsideCopies; ++number) {
        std::string candidate = number == 1 ? std::string(".broken") : ".broken." + std::to_string(number);
        SFileStatus taken;
        if (files->Stat(native + candidate, taken)) {
            suffix = candidate;
            break;
        }
    }
    if (suffix.empty() || files->RenameFile(native, native + suffix)) {
        owner.LogMessage(scriptmsg::kSaveNotSetAside, name.c_str());
    } else {
        owner.LogMessage(scriptmsg::kSaveSetAside, name.c_str(), name.c_str(), suffix.c_str());
    }
    ClearGamePathCache();
}

}  // namespace

CSaveData& CMainScript::GetSaveData() {
    if (!m_saveData) m_saveData = std::make_shared<CSaveData>(m_screen, this);
    return *m_saveData;
}

void CMainScript::LoadGlobalData() {
    CSaveData& save = GetSaveData();
    if (save.Load("saveg.dat", CSaveData::kTypeGlobal)) SetAside(*this, "saveg.dat");
    if (save.Load("system.dat", CSaveData::kTypeSystem)) SetAside(*this, "system.dat");
}

void CMainScript::SaveGlobalData(bool forced) { GetSaveData().SaveGlobal(forced); }

void CMainScript::SaveAutoSave(bool withBacklog) { GetSaveData().Save("autosave.dat", withBacklog); }

void CMainScript::RestoreSavedState(SScriptState state) {
    m_state = std::move(state);
    // The restored macro list is tried afresh.
    m_failedMacroFiles.clear();
}

void CMainScript::ReplayPage(const std::string& layer, const std::vector<CScriptBlock>& blocks) {
    if (m_screen) m_screen->ChangeMessageLayer(layer, 0);
    m_state.messageLayerName = layer;
    for (const auto& block : blocks) ExecuteBlock(block, true);
    FinishMessageTweens();
}

void CMainScript::MakeMessageLayerCurrent(const std::string& layer, int32_t mode) {
    if (m_screen) m_screen->ChangeMessageLayer(layer, mode);
    m_state.messageLayerName = layer;
    m_variables->SetString("s.current_message_layer", layer);
}

void CMainScript::SetBackLog(std::unique_ptr<CBackLog> backlog) { m_backlog = std::move(backlog); }

}  // namespace kestrin
