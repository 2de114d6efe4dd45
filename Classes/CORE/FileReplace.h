#pragma once
// Writing a whole file so that a crash, a kill or a full disk at any moment leaves either
// the old contents or the new ones, never a torn or empty file: the bytes go to a fresh
// temporary file in the same folder, which is synced and then renamed over the old one.
//
// Inside the folder that holds them (the save folder), nothing planted can redirect the
// bytes: the temporary file is always new (never a link, a FIFO or another run's file), the
// file replaced is never a link, a FIFO or a folder, and the subfolders are entered as
// CORE/FolderWalk.h says (a link another user made is refused). The folder itself is taken
// as it is, links and all: whoever chose it trusts it. The new file keeps the permission
// bits of the one it replaces when that one is the engine's user's.
//
// Temporary names are ".kestrin-" followed by 16 hexadecimal digits and ".tmp". Those that a
// killed run left behind are removed by the next replacement in their folder, once no
// running writer holds them (see IFolder::RemoveIfAbandoned) and they are a minute old.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace kestrin {

class IFolder;

// One replacement, written piece by piece (downloads) or at once (ReplaceFileContents).
// Destroying an unfinished one removes its temporary file.
class CFileReplacement {
public:
    static constexpr int64_t kAbandonedSeconds = 60;

    CFileReplacement();
    ~CFileReplacement();
    CFileReplacement(const CFileReplacement&) = delete;
    CFileReplacement& operator=(const CFileReplacement&) = delete;

    // Starts replacing the file relative ("/" separated native names) below nativeFolder
    // ("" is the current folder). Missing folders below nativeFolder are made. True on
    // failure, with a description in error (when given).
    bool BeginInside(const std::string& nativeFolder, const std::string& relative, std::string* error);
    // As BeginInside, for the file at nativePath: a relative one below the current folder,
    // an absolute one in its own folder, taken as it is (see CORE/FolderWalk.h).
    bool Begin(const std::string& nativePath, std::string* error);
    // Appends bytes; true on failure (and Commit then fails too).
    bool Write(const void* data, size_t size);
    // Syncs and closes the temporary file and renames it over the file. True on failure:
    // the old file is then untouched and the temporary file gone.
    bool Commit(std::string* error);
    // Removes the temporary file; the old file stays.
    void Abandon();

    bool IsOpen() const { return m_file != nullptr; }
    uint64_t GetSize() const { return m_size; }

    // True for the names temporary files get.
    static bool IsTemporaryName(const std::string& name);

private:
    std::unique_ptr<IFolder> m_folder;
    std::FILE* m_file = nullptr;
    std::string m_name;       // in m_folder
    std::string m_temporary;  // in m_folder
    std::string m_shown;      // the file's path, for messages
    uint64_t m_size = 0;
    int m_writeError = -1;  // errno of the first failed write; -1 while none failed
};

// Creates the missing folders of folder and of name (game names: "\" or "/" separated),
// then replaces the file name inside folder ("" is the current folder) with size bytes of
// data. A name that is absolute is written where it says, its own folder taken as it is;
// so is one whose ".." levels lead out of folder. True on failure, with a description in
// error (when given); the old file is then untouched and no temporary file is left behind.
bool ReplaceFileContents(const std::string& folder, const std::string& name, const void* data, size_t size,
                         std::string* error);
// As above for the file at path (a game name), placed as CFileReplacement::Begin says.
bool ReplaceFileContents(const std::string& path, const void* data, size_t size, std::string* error);

}  // namespace kestrin
