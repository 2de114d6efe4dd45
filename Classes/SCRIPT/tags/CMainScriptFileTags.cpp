// Var functions that look at files ("file_exist", "file_update_time", "file_crc") and the
// "file" tag that deletes one. Scripts reach only files inside the game folder and the save
// folder: absolute names, drive letters and ".." that climbs out are refused.
#include <boost/crc.hpp>

#include <cctype>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "CORE/CDynamicVariables.h"
#include "CORE/CGameFileNames.h"
#include "CORE/COruPackFile.h"
#include "CORE/FileFunctions.h"
#include "CORE/FolderWalk.h"
#include "CORE/GamePath.h"
#include "CORE/Platform/IFileSystem.h"
#include "CORE/StringHelpers.h"
#include "SCRIPT/CMainScript.h"
#include "SCRIPT/COruVariables.h"
#include "SCRIPT/tags/TagAttributes.h"
#include "SCRIPT/tags/TagMessages.h"
#include "SCRIPT/tags/VarFunctions.h"

namespace kestrin {

namespace {

// "file_crc" reads in pieces of this size, so a file of any size needs one buffer only.
constexpr unsigned kCrcChunk = 1u << 20;

// The attribute as a clean relative name in out; false, with a trace line, when it names
// something outside the folders scripts may reach.
bool FolderNameOf(CMainScript& script, const CScriptBlock& block, const char* attribute, const char* tag,
                  std::string& out) {
    const std::string& name = block.GetAttribute(attribute);
    if (NormalizeFolderName(name, out)) return true;
    script.TraceAt(1, block, tagmsg::kOutsideGameFolders, tag, attribute, name.c_str());
    return false;
}

// The name opened through the pack-aware lookup (loose file, then the archives).
bool PackFileExists(const std::string& name) {
    if (name.empty()) return false;
    COruPackFile file;
    if (file.Open(name.c_str())) return false;
    file.Close();
    return true;
}

// The native path of a regular file, false when there is none.
bool FindRegularFile(const std::string& name, std::string& native) {
    SFileStatus status;
    return !name.empty() && !ResolveGamePath(name, native) && !GetFileSystem()->Stat(native, status) &&
           status.kind == EFileKind::Regular;
}

}  // namespace

std::string FormatFileTime(const std::string& pattern, int year, int month, int day, int hour, int minute, int second) {
    auto two = [](int value) {
        char text[16];
        std::snprintf(text, sizeof text, "%02d", value);
        return std::string(text);
    };
    struct Step {
        const char* longToken;
        std::string longValue;
        const char* shortToken;
        std::string shortValue;
    } steps[] = {
        {"yyyy", std::to_string(year), "yy", two(((year % 100) + 100) % 100)},
        {"MM", two(month), "M", std::to_string(month)},
        {"dd", two(day), "d", std::to_string(day)},
        {"hh", two(hour), "h", std::to_string(hour)},
        {"mm", two(minute), "m", std::to_string(minute)},
        {"ss", two(second), "s", std::to_string(second)},
    };
    std::string text = pattern;
    for (const Step& step : steps) {
        if (text.find(step.longToken) != std::string::npos) {
            text = StringReplaceAll(text, step.longToken, step.longValue);
        } else {
            text = StringReplaceAll(text, step.shortToken, step.shortValue);
        }
    }
    return text;
}

void VarFileExist(CMainScript& script, const CScriptBlock& block) {
    const std::string& name = block.GetAttribute("name");
    std::string file;
    if (!FolderNameOf(script, block, "file", "var system=\"file_exist\"", file)) {
        script.GetVariables().SetInt(name, 0);
        return;
    }
    // The save folder is made current for the lookup, so that the archives are searched
    // as from there too; then the game folder is current again.
    CDynamicVariables* folders = CDynamicVariables::GetInstance();
    const std::string saveFolder = folders->GetString("SaveDataPath");
    const std::string gameFolder = folders->GetString("GameDataPath");
    const bool inSaveFolder = TagFlag(block, "save") && !saveFolder.empty() && !gameFolder.empty();
    if (inSaveFolder) ChangeDirectory(saveFolder);
    const bool found = PackFileExists(file);
    if (inSaveFolder) ChangeDirectory(gameFolder);
    script.GetVariables().SetInt(name, found ? 1 : 0);
}

void VarFileUpdateTime(CMainScript& script, const CScriptBlock& block) {
    COruVariables& variables = script.GetVariables();
    const std::string& name = block.GetAttribute("name");
    std::string file;
    std::string native;
    SFileStatus status;
    bool found = false;
    if (FolderNameOf(script, block, "file", "var system=\"file_update_time\"", file) && !file.empty()) {
        const std::string saveFolder = CDynamicVariables::GetInstance()->GetString("SaveDataPath");
        found = FindRegularFile(saveFolder.empty() ? file : saveFolder + "/" + file, native) &&
                !GetFileSystem()->Stat(native, status);
    }
    const std::time_t seconds = static_cast<std::time_t>(status.modifiedSeconds);
    const std::tm* local = found ? std::localtime(&seconds) : nullptr;
    if (!local) {
        variables.SetString(name, block.GetAttribute("noexist"));
        return;
    }
    std::string pattern = block.GetAttribute("format");
    if (pattern.empty()) pattern = "yyyy/MM/dd hh:mm:ss";
    const std::string text = FormatFileTime(pattern, local->tm_year + 1900, local->tm_mon + 1, local->tm_mday,
                                            local->tm_hour, local->tm_min, local->tm_sec);
    // Straight into the table: no change flag for "g." or "s." names.
    variables.CVariables::SetString(name, text);
}

void VarFileCrc(CMainScript& script, const CScriptBlock& block) {
    COruVariables& variables = script.GetVariables();
    const std::string& name = block.GetAttribute("name");
    std::string file;
    COruPackFile input;
    if (!FolderNameOf(script, block, "file", "var system=\"file_crc\"", file) || file.empty() ||
        input.Open(file.c_str())) {
        variables.SetString(name, std::string());
        return;
    }
    boost::crc_32_type crc;
    std::vector<char> buffer(kCrcChunk);
    for (;;) {
        const int read = input.Read(buffer.data(), kCrcChunk);
        if (read <= 0) break;
        crc.process_bytes(buffer.data(), static_cast<size_t>(read));
    }
    input.Close();
    variables.SetString(
        name, IntToHexString(static_cast<int>(crc.checksum()), TagFlag(block, "zerox"), TagFlag(block, "caps")));
}

bool CMainScript::TagFile(CScriptBlock block, bool replay) {
    (void)replay;
    if (block.GetAttribute("command") != "delete") return false;
    std::string file;
    std::string native;
    // A failed deletion is not reported: scripts delete files that may not be there. The
    // folders on the way are entered as for writing (a link another user made is refused,
    // on stderr).
    if (FolderNameOf(*this, block, "target", "file command=\"delete\"", file) && FindRegularFile(file, native)) {
        RemoveFileBelow(native, nullptr);
        ClearGamePathCache();
    }
    return false;
}

}  // namespace kestrin
