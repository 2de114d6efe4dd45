#pragma once
// The file-system service over POSIX stat, opendir, mkdir and chdir; folders held open
// are worked in with the *at calls.
#include "CORE/Platform/IFileSystem.h"

namespace kestrin {

class PosixFileSystem : public IFileSystem {
public:
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
};

}  // namespace kestrin
