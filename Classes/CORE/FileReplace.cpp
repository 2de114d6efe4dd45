#include "CORE/FileReplace.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

#include "CORE/FileFunctions.h"
#include "CORE/FolderWalk.h"
#include "CORE/GamePath.h"
#include "CORE/Platform/IFileSystem.h"
#include "CORE/StringHelpers.h"

namespace kestrin {

namespace {

const char kTemporaryPrefix[] = ".kestrin-";
const char kTemporarySuffix[] = ".tmp";
constexpr size_t kTemporaryDigits = 16;
constexpr int kNameTries = 16;

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

std::string NewTemporaryName() {
    static std::mt19937_64 random{(static_cast<uint64_t>(std::random_device{}()) << 32) ^ std::random_device{}()};
    char digits[kTemporaryDigits + 1];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(random()));
    return kTemporaryPrefix + std::string(digits) + kTemporarySuffix;
}

// Leftovers of killed runs; a writer that still runs holds its file and keeps it.
void RemoveAbandoned(IFolder& folder) {
    std::vector<std::string> names;
    if (folder.List(names)) return;
    for (const std::string& name : names) {
        if (CFileReplacement::IsTemporaryName(name))
            folder.RemoveIfAbandoned(name, CFileReplacement::kAbandonedSeconds);
    }
}

}  // namespace

CFileReplacement::CFileReplacement() = default;

CFileReplacement::~CFileReplacement() { Abandon(); }

bool CFileReplacement::IsTemporaryName(const std::string& name) {
    const size_t prefix = sizeof kTemporaryPrefix - 1;
    const size_t suffix = sizeof kTemporarySuffix - 1;
    if (name.size() != prefix + kTemporaryDigits + suffix) return false;
    if (name.compare(0, prefix, kTemporaryPrefix) != 0 ||
        name.compare(prefix + kTemporaryDigits, suffix, kTemporarySuffix) != 0)
        return false;
    for (size_t i = prefix; i < prefix + kTemporaryDigits; ++i) {
        const char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

bool CFileReplacement::Begin(const std::string& nativePath, std::string* error) {
    std::string folder;
    std::string relative;
    SplitNativePath(nativePath, folder, relative);
    return BeginInside(folder, relative, error);
}

bool CFileReplacement::BeginInside(const std::string& nativeFolder, const std::string& relative, std::string* error) {
    Abandon();
    m_size = 0;
    m_writeError = -1;
    m_shown = JoinPath(nativeFolder, relative);
    std::vector<std::string> levels = SplitNativeLevels(relative);
    if (!ArePlainLevels(levels)) return Fail(error, "cannot write the file name", m_shown, 0);
    const std::string name = levels.back();
    levels.pop_back();
    std::unique_ptr<IFolder> folder = OpenFolderBelow(nativeFolder, levels, true, error);
    if (!folder) return true;
    // The new file keeps the permissions of the one it replaces (a save kept private stays
    // so); not those of another user's file, which it does not replace as that user.
    int permissions = -1;
    SFileStatus status;
    if (!folder->StatEntry(name, status)) {
        if (status.symbolicLink) return Fail(error, "refusing to replace the symbolic link", m_shown, 0);
        if (status.kind == EFileKind::Directory) return Fail(error, "cannot replace the folder", m_shown, 0);
        if (status.kind != EFileKind::Regular) return Fail(error, "refusing to replace the special file", m_shown, 0);
        if (status.owner == EFileOwner::Engine) permissions = static_cast<int>(status.permissions);
    }
    RemoveAbandoned(*folder);
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        std::string temporary = NewTemporaryName();
        errno = 0;
        m_file = folder->CreateNewFile(temporary, permissions);
        if (m_file) {
            m_folder = std::move(folder);
            m_name = name;
            m_temporary = temporary;
            return false;
        }
        if (errno != EEXIST) return Fail(error, "cannot create a temporary file beside", m_shown, errno);
    }
    return Fail(error, "cannot create a temporary file beside", m_shown, EEXIST);
}

bool CFileReplacement::Write(const void* data, size_t size) {
    if (!m_file || m_writeError >= 0) return true;
    errno = 0;
    if (size != 0 && std::fwrite(data, 1, size, m_file) != size) {
        m_writeError = errno;
        return true;
    }
    m_size += size;
    return false;
}

bool CFileReplacement::Commit(std::string* error) {
    if (!m_file) return Fail(error, "cannot write", m_shown, 0);
    int code = m_writeError;
    errno = 0;
    if (code < 0 && GetFileSystem()->SyncFile(m_file)) code = errno;
    errno = 0;
    if (std::fclose(m_file) != 0 && code < 0) code = errno;
    m_file = nullptr;
    if (code >= 0) {
        Abandon();
        return Fail(error, "cannot write", m_shown, code);
    }
    errno = 0;
    if (m_folder->Rename(m_temporary, m_name)) {
        code = errno;
        Abandon();
        return Fail(error, "cannot replace", m_shown, code);
    }
    m_folder.reset();
    m_temporary.clear();
    return false;
}

void CFileReplacement::Abandon() {
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (m_folder && !m_temporary.empty()) m_folder->Remove(m_temporary);
    m_folder.reset();
    m_temporary.clear();
}

bool ReplaceFileContents(const std::string& folder, const std::string& name, const void* data, size_t size,
                         std::string* error) {
    if (name.empty()) return Fail(error, "cannot write an empty file name", name, 0);
    const bool absolute = name[0] == '/' || name[0] == '\\';
    const std::string native = ResolveGamePathForWrite(absolute ? name : JoinPath(folder, name));
    if (native.empty()) return Fail(error, "cannot write an empty file name", name, 0);

    // The levels below the folder, as they are spelled on disk.
    std::string nativeFolder = absolute || folder.empty() ? std::string() : ResolveGamePathForWrite(folder);
    while (nativeFolder.size() > 1 && nativeFolder.back() == '/') nativeFolder.pop_back();
    const std::string prefix = nativeFolder.empty() ? std::string() : JoinPath(nativeFolder, "");
    bool inside = !absolute && native.compare(0, prefix.size(), prefix) == 0;
    std::vector<std::string> levels;
    if (inside) {
        // A ".." that climbs above the folder leaves it: the path is then written as a whole.
        bool climbed = false;
        levels = CollapsePathElements(native.substr(prefix.size()), &climbed);
        if (climbed) inside = false;
    }
    CFileReplacement replacement;
    bool failed;
    if (inside && !levels.empty()) {
        std::string relative;
        for (const std::string& level : levels) relative = JoinPath(relative, level);
        // The folder itself (not what lies below it: that is made without following links).
        if (!nativeFolder.empty()) MakeParentDirectories(JoinPath(nativeFolder, levels.front()));
        failed = replacement.BeginInside(nativeFolder, relative, error);
    } else {
        // An absolute path's folders are made as it says; below the current folder Begin
        // makes them, level by level.
        if (native[0] == '/') MakeParentDirectories(native);
        failed = replacement.Begin(native, error);
    }
    if (failed) return true;
    replacement.Write(data, size);  // a failure is reported by Commit
    return replacement.Commit(error);
}

bool ReplaceFileContents(const std::string& path, const void* data, size_t size, std::string* error) {
    std::string native = ResolveGamePathForWrite(path);
    if (native.empty()) return Fail(error, "cannot write an empty file name", path, 0);
    if (native[0] == '/') MakeParentDirectories(native);
    CFileReplacement replacement;
    if (replacement.Begin(native, error)) return true;
    replacement.Write(data, size);  // a failure is reported by Commit
    return replacement.Commit(error);
}

}  // namespace kestrin
