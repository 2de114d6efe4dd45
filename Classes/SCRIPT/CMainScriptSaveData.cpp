// The interpreter's global and system data ("saveg.dat" and "system.dat").
#include "CORE/CLogWindow.h"
#include "CORE/GamePath.h"
#include "CORE/Platform/IFileSystem.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/CSaveData.h"

namespace kestrin {

namespace {

// A save file that exists but cannot be used is moved aside before anything can write
// over it, so the player's data are never lost to a damaged or newer file.
void SetAside(const std::string& name) {
    std::string path = CSaveData::GetSavePath(name);
    std::string native;
    if (ResolveGamePath(path, native)) return;
    SFileStatus status;
    if (GetFileSystem()->Stat(native, status) || status.kind != EFileKind::Regular) return;
    std::string aside = native + ".broken";
    if (GetFileSystem()->RenameFile(native, aside)) {
        LogPrintf("%s: 読み込めないセーブデータを退避できませんでした。", name.c_str());
    } else {
        LogPrintf("%s: 読み込めないセーブデータを %s に退避しました。", name.c_str(), aside.c_str());
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
    if (save.Load("saveg.dat", CSaveData::kTypeGlobal)) SetAside("saveg.dat");
    if (save.Load("system.dat", CSaveData::kTypeSystem)) SetAside("system.dat");
}

void CMainScript::SaveGlobalData(bool forced) { GetSaveData().SaveGlobal(forced); }

}  // namespace kestrin
