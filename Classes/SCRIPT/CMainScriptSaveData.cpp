// The interpreter's save data: global and system data ("saveg.dat" and "system.dat") and the autosave.
#include "CORE/CLogWindow.h"
#include "CORE/GamePath.h"
#include "CORE/Platform/IFileSystem.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/CSaveData.h"

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
        owner.Log("%s: 読み込めないセーブデータを退避できませんでした。", name.c_str());
    } else {
        owner.Log("%s: 読み込めないセーブデータを %s%s に退避しました。", name.c_str(), name.c_str(), suffix.c_str());
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

}  // namespace kestrin
