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

// Whose an entry is: the user the engine runs as, root (the system's), or another user.
enum class EFileOwner { Other, Engine, System };

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
    // The permission bits (the mode's lowest nine).
    uint32_t permissions = 0;
    EFileOwner owner = EFileOwner::Other;
};

// A folder held open: names are looked up in it even when the path that led to it changes
// later, and nothing done through it follows a symbolic link, except OpenSubfolder under its
// rule. Used to write and remove files below the game and save folders (CORE/FolderWalk.h)
// so that nothing planted there can send the bytes, or the removal, elsewhere.
class IFolder {
public:
    virtual ~IFolder() = default;
    // Opens the subfolder name, making it first when it is missing and make is set. A
    // symbolic link there is followed only when it belongs to the engine's user or to root,
    // and so is every link on the way to its target (each level entered from the one above,
    // never by path), as the kernel judges links in shared sticky folders: whoever may write
    // in a folder could plant a link there to a folder only the engine may write. Null (errno
    // set) when it cannot be made or opened or is no folder; EACCES when a link on the way
    // belongs to another user, ELOOP after 40 links.
    virtual std::unique_ptr<IFolder> OpenSubfolder(const std::string& name, bool make) = 0;
    // The entry itself, a symbolic link not followed; true when nothing is there.
    virtual bool StatEntry(const std::string& name, SFileStatus& out) = 0;
    // The entry names, without "." and ".."; true on failure.
    virtual bool List(std::vector<std::string>& names) = 0;
    // Creates a file for writing ("wb") where nothing is yet, not even a symbolic link;
    // null (errno set, EEXIST when the name is taken) otherwise. Its permission bits are
    // permissions exactly (the umask not applied) when that is 0 or more, else the usual
    // 0666 less the umask. The file stays locked while the stream is open, so that
    // RemoveIfAbandoned leaves it alone.
    virtual std::FILE* CreateNewFile(const std::string& name, int permissions) = 0;
    // Renames from to to within the folder, replacing an entry at to in one step, and makes
    // the change durable; true on failure.
    virtual bool Rename(const std::string& from, const std::string& to) = 0;
    // Removes the entry name, not a folder: a symbolic link goes itself, never what it
    // points to. True on failure.
    virtual bool Remove(const std::string& name) = 0;
    // Removes the regular file name when no stream of CreateNewFile (of any process) holds
    // it open and it last changed at least minimumAgeSeconds ago; true when removed.
    virtual bool RemoveIfAbandoned(const std::string& name, int64_t minimumAgeSeconds) = 0;
};

// The calls that take a whole path follow every symbolic link on it; what scripts write or
// remove goes through IFolder instead.
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
    // Opens a folder to work inside it (see IFolder); the path itself may pass through any
    // symbolic links. Null (errno set) when it is no folder.
    virtual std::unique_ptr<IFolder> OpenFolder(const std::string& path) = 0;
};

// The service the file layer uses: the one set last, else the POSIX file system.
IFileSystem* GetFileSystem();
// Installs a service (not owned); null goes back to the POSIX file system.
void SetFileSystem(IFileSystem* fileSystem);

}  // namespace kestrin
