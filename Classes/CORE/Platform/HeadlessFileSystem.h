#pragma once
// Test double: an in-memory folder tree. Relative paths are taken from the root; every
// change bumps a counter that serves as the change stamp, so listings go stale
// deterministically. Streams are stdio cookies over the tree's bytes: writes land in the
// tree as they are flushed. The tree has no symbolic links; every entry is the engine's
// user's, files 0644 and folders 0755 unless set otherwise.
#include "CORE/Platform/IFileSystem.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace kestrin {

class HeadlessFileSystem : public IFileSystem {
public:
    HeadlessFileSystem();

    // Adds a file (and its folders).
    void AddFile(const std::string& path, const std::string& bytes, int64_t modifiedSeconds = 0);
    void AddDirectory(const std::string& path);
    void Remove(const std::string& path);
    void SetModifiedSeconds(const std::string& path, int64_t seconds);
    void SetPermissions(const std::string& path, uint32_t permissions);
    // Contents of a file; empty when absent.
    std::string Contents(const std::string& path);
    bool Exists(const std::string& path);
    int listCalls = 0;
    std::string currentDirectory;

    bool Stat(const std::string& path, SFileStatus& out) override;
    bool ListDirectory(const std::string& path, std::vector<std::string>& names) override;
    std::FILE* OpenRead(const std::string& path) override;
    std::FILE* OpenWrite(const std::string& path) override;
    bool MakeDirectory(const std::string& path) override;
    bool ChangeDirectory(const std::string& path) override;
    bool GetCurrentDirectory(std::string& out) override;
    bool SyncFile(std::FILE* file) override;
    bool RenameFile(const std::string& from, const std::string& to) override;
    bool RemoveFile(const std::string& path) override;
    std::unique_ptr<IFolder> OpenFolder(const std::string& path) override;
    // Failures to simulate (a full disk, a read-only folder).
    bool failSync = false;
    bool failRename = false;

private:
    struct SNode {
        bool directory = false;
        std::shared_ptr<std::string> bytes;
        int64_t modifiedSeconds = 0;
        int64_t stamp = 0;
        uint32_t permissions = 0644;
    };
    std::string Normalize(const std::string& path) const;
    void Touch(const std::string& normalized);

    std::map<std::string, SNode> m_nodes;
    int64_t m_counter = 1;
};

}  // namespace kestrin
