#include "CORE/FolderWalk.h"

#include <cerrno>
#include <cstring>

#include "CORE/CLogWindow.h"
#include "CORE/Platform/IFileSystem.h"
#include "CORE/StringHelpers.h"

namespace kestrin {

namespace {

bool Fail(std::string* error, const std::string& what, const std::string& path, int code) {
    if (error) {
        *error = what + " " + path;
        if (code != 0) {
            *error += ": ";
            *error += std::strerror(code);
        }
    }
    return true;
}

}  // namespace

void SplitNativePath(const std::string& nativePath, std::string& folder, std::string& relative) {
    const size_t slash = nativePath.rfind('/');
    if (nativePath.empty() || nativePath[0] != '/' || slash == std::string::npos) {
        folder.clear();
        relative = nativePath;
        return;
    }
    folder = slash == 0 ? "/" : nativePath.substr(0, slash);
    relative = nativePath.substr(slash + 1);
}

std::vector<std::string> SplitNativeLevels(const std::string& relative) {
    std::vector<std::string> levels;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find('/', start);
        if (end == std::string::npos) end = relative.size();
        levels.push_back(relative.substr(start, end - start));
        start = end + 1;
    }
    return levels;
}

bool ArePlainLevels(const std::vector<std::string>& levels) {
    for (const std::string& level : levels) {
        if (level.empty() || level == "." || level == "..") return false;
    }
    return true;
}

std::unique_ptr<IFolder> OpenFolderBelow(const std::string& nativeFolder, const std::vector<std::string>& levels,
                                         bool make, std::string* error) {
    errno = 0;
    std::unique_ptr<IFolder> folder = GetFileSystem()->OpenFolder(nativeFolder);
    if (!folder) {
        Fail(error, "cannot open the folder", nativeFolder.empty() ? "." : nativeFolder, errno);
        return nullptr;
    }
    std::string shown = nativeFolder;
    for (const std::string& level : levels) {
        shown = JoinPath(shown, level);
        errno = 0;
        std::unique_ptr<IFolder> next = folder->OpenSubfolder(level, make);
        if (!next) {
            const int code = errno;
            SFileStatus status;
            if (code == EACCES && !folder->StatEntry(level, status) && status.symbolicLink) {
                const std::string why = "refusing to follow the symbolic link " + shown +
                                        ": it, or a link it leads through, belongs to another user";
                Log(ELogLevel::Warning, "files", "%s", why.c_str());
                if (error) *error = why;
            } else {
                Fail(error, make ? "cannot create the folder" : "cannot open the folder", shown, code);
            }
            return nullptr;
        }
        folder = std::move(next);
    }
    return folder;
}

bool RemoveFileBelow(const std::string& nativePath, std::string* error) {
    std::string base;
    std::string relative;
    SplitNativePath(nativePath, base, relative);
    std::vector<std::string> levels = SplitNativeLevels(relative);
    if (!ArePlainLevels(levels)) return Fail(error, "cannot remove the file name", nativePath, 0);
    const std::string name = levels.back();
    levels.pop_back();
    std::unique_ptr<IFolder> folder = OpenFolderBelow(base, levels, false, error);
    if (!folder) return true;
    SFileStatus status;
    if (folder->StatEntry(name, status)) return Fail(error, "cannot remove", nativePath, ENOENT);
    if (status.kind == EFileKind::Directory) return Fail(error, "cannot remove the folder", nativePath, 0);
    errno = 0;
    if (folder->Remove(name)) return Fail(error, "cannot remove", nativePath, errno);
    return false;
}

}  // namespace kestrin
