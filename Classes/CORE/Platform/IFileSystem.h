#pragma once
// Native file-system access: what a path is, folder listings, opening, folders and the
// current directory. Paths here are native ("/" separated, as the OS spells them); the
// game-name mapping ("\", letter case, Shift_JIS) sits above, in CORE/GamePath.h.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace kestrin {

enum class EFileKind { Missing, Regular, Directory, Other };

struct SFileStatus {
    EFileKind kind = EFileKind::Missing;
    int64_t size = 0;
    // Last write time in seconds since 1970.
    int64_t modifiedSeconds = 0;
    // Its nanoseconds; always 0 on file systems that keep whole seconds (or two) only.
    int32_t modifiedNanoseconds = 0;
    // Changes whenever the entry changes (a folder: whenever an entry is added or removed).
    int64_t changeStamp = 0;
    // Set by IFolder::StatEntry for a symbolic link (kind is then Other).
    bool symbolicLink = false;
};

// A folder held open: names are looked up in it even when the path that led to it changes
// later, and nothing done through it follows a symbolic link. Used to write files inside a
// folder (the saves') so that nothing planted in it can send the bytes elsewhere.
class IFolder {
public:
    virtual ~IFolder() = default;
    // Opens the subfolder name, making it first when it is missing; null (errno set) when
    // it cannot be made or opened, is no folder, or is a symbolic link (errno ELOOP).
    virtual std::unique_ptr<IFolder> OpenSubfolder(const std::string& name) = 0;
    // The entry itself, a symbolic link not followed; true when nothing is there.
    virtual bool StatEntry(const std::string& name, SFileStatus& out) = 0;
    // The entry names, without "." and ".."; true on failure.
    virtual bool List(std::vector<std::string>& names) = 0;
    // Creates a file for writing ("wb") where nothing is yet, not even a symbolic link;
    // null (errno set, EEXIST when the name is taken) otherwise. The file stays locked
    // while the stream is open, so that RemoveIfAbandoned leaves it alone.
    virtual std::FILE* CreateNewFile(const std::string& name) = 0;
    // Renames from to to within the folder, replacing an entry at to in one step, and makes
    // the change durable; true on failure.
    virtual bool Rename(const std::string& from, const std::string& to) = 0;
    // Removes a file; true on failure.
    virtual bool Remove(const std::string& name) = 0;
    // Removes the regular file name when no stream of CreateNewFile (of any process) holds
    // it open and it last changed at least minimumAgeSeconds ago; true when removed.
    virtual bool RemoveIfAbandoned(const std::string& name, int64_t minimumAgeSeconds) = 0;
};

class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    // True when nothing is at the path (out is then Missing).
    virtual bool Stat(const std::string& path, SFileStatus& out) = 0;
    // The entry names of a folder, without "." and ".."; true on failure.
    virtual bool ListDirectory(const std::string& path, std::vector<std::string>& names) = 0;
    // Opens a regular file for reading ("rb"); null for anything else (folders included).
    virtual std::FILE* OpenRead(const std::string& path) = 0;
    // Creates or truncates a file for writing ("wb"); null on failure.
    virtual std::FILE* OpenWrite(const std::string& path) = 0;
    // Creates one folder level; true on failure (also when it exists).
    virtual bool MakeDirectory(const std::string& path) = 0;
    virtual bool ChangeDirectory(const std::string& path) = 0;
    // The absolute path of the current directory; true on failure.
    virtual bool GetCurrentDirectory(std::string& out) = 0;
    // Pushes a stream opened by OpenWrite through to the storage device (flush and sync);
    // true on failure.
    virtual bool SyncFile(std::FILE* file) = 0;
    // Renames from to to, replacing an existing file at to in one step, and makes the
    // change durable; true on failure.
    virtual bool RenameFile(const std::string& from, const std::string& to) = 0;
    // Removes a file; true on failure.
    virtual bool RemoveFile(const std::string& path) = 0;
    // Opens a folder to work inside it (see IFolder); the path itself may pass through
    // symbolic links. Null (errno set) when it is no folder.
    virtual std::unique_ptr<IFolder> OpenFolder(const std::string& path) = 0;
};

// The service the file layer uses: the one set last, else the POSIX file system.
IFileSystem* GetFileSystem();
// Installs a service (not owned); null goes back to the POSIX file system.
void SetFileSystem(IFileSystem* fileSystem);

}  // namespace kestrin
