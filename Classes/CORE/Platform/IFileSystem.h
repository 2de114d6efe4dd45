#pragma once
// Native file-system access: what a path is, folder listings, opening, folders and the
// current directory. Paths here are native ("/" separated, as the OS spells them); the
// game-name mapping ("\", letter case, Shift_JIS) sits above, in CORE/GamePath.h.
#include <cstdint>
#include <cstdio>
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
};

// The service the file layer uses: the one set last, else the POSIX file system.
IFileSystem* GetFileSystem();
// Installs a service (not owned); null goes back to the POSIX file system.
void SetFileSystem(IFileSystem* fileSystem);

}  // namespace kestrin
