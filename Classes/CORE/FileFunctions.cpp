#include "CORE/FileFunctions.h"

#include <vector>

#include "CORE/GamePath.h"
#include "CORE/Platform/IFileSystem.h"

namespace kestrin {

int32_t GetFileUpdateTime(const std::string& path, std::tm* out) {
    std::string native;
    SFileStatus status;
    if (ResolveGamePath(path, native) || GetFileSystem()->Stat(native, status) ||
        status.kind != EFileKind::Regular) {
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
    if (ResolveGamePath(path, native)) native = ToNativeSeparators(path);
    GetFileSystem()->ChangeDirectory(native);
    ClearGamePathCache();
}

void MakeParentDirectories(const std::string& native) {
    IFileSystem* fs = GetFileSystem();
    // Each folder level in turn; elements come whole, so no multibyte character is cut.
    bool absolute = !native.empty() && native[0] == '/';
    std::vector<std::string> parts = SplitPathElements(native, '/');
    std::string dir = absolute ? "/" : "";
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i].empty()) continue;
        dir = dir.empty() ? parts[i] : (dir == "/" ? "/" + parts[i] : dir + "/" + parts[i]);
        fs->MakeDirectory(dir);
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
