#include "CORE/FileFunctions.h"

#include "CORE/CGameFileNames.h"
#include "CORE/FolderWalk.h"
#include "CORE/GamePath.h"
#include "CORE/Platform/IFileSystem.h"

#include <memory>
#include <vector>

namespace kestrin {

int32_t GetFileUpdateTime(const std::string& path, std::tm* out) {
    std::string native;
    SFileStatus status;
    if (ResolveGamePath(path, native) || GetFileSystem()->Stat(native, status) || status.kind != EFileKind::Regular) {
        return 0;
    }
    std::time_t t = static_cast<std::time_t>(status.modifiedSeconds);
    std::tm record = {};
    if (const std::tm* local = std::localtime(&t)) {
        record.tm_year = local->tm_year;
        record.tm_mon = local->tm_mon;
        record.tm_mday = local->tm_mday;
        record.tm_wday = local->tm_wday;
        record.tm_hour = local->tm_hour;
        record.tm_min = local->tm_min;
        record.tm_sec = local->tm_sec;
    }
    if (out) *out = record;
    std::tm forMktime = record;
    return static_cast<int32_t>(std::mktime(&forMktime));
}

void ChangeDirectory(const std::string& path) {
    std::string native;
    if (ResolveGamePath(path, native)) native = CGameFileNames::ToNative(path);
    GetFileSystem()->ChangeDirectory(native);
    ClearGamePathCache();
}

void MakeParentDirectories(const std::string& native) {
    if (native.empty() || native[0] != '/') {
        // Below the current folder: entered level by level, links judged by their owner.
        std::vector<std::string> levels;
        for (const std::string& level : SplitNativeLevels(native)) {
            if (level == "..") break;  // callers give clean names; nothing is made past one
            if (!level.empty() && level != ".") levels.push_back(level);
        }
        if (!levels.empty()) levels.pop_back();
        OpenFolderBelow(std::string(), levels, true, nullptr);
        return;
    }
    IFileSystem* fs = GetFileSystem();
    // Each folder level in turn. A native name is UTF-8 or bytes the OS gave: '/' is
    // never part of a character there.
    for (size_t slash = native.find('/', 1); slash != std::string::npos; slash = native.find('/', slash + 1)) {
        if (native[slash - 1] != '/') fs->MakeDirectory(native.substr(0, slash));
    }
}

bool CreateFileWithDirectories(const std::string& path, std::FILE** out) {
    std::string native = ResolveGamePathForWrite(path);
    MakeParentDirectories(native);
    std::FILE* file = GetFileSystem()->OpenWrite(native);
    if (!file) return true;
    if (out) {
        *out = file;
    } else {
        std::fclose(file);
    }
    return false;
}

int32_t GetUnixTime(int32_t* out) {
    int32_t now = static_cast<int32_t>(std::time(nullptr));
    if (out) *out = now;
    return now;
}

}  // namespace kestrin
