#include "CORE/Platform/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <vector>

namespace kestrin {

namespace {
IFileSystem* g_fileSystem = nullptr;

// Links followed on the way to one folder at most, as the kernel's own limit.
constexpr int kMaxLinks = 40;

EFileOwner OwnerOf(uid_t uid) {
    if (uid == ::geteuid()) return EFileOwner::Engine;
    return uid == 0 ? EFileOwner::System : EFileOwner::Other;
}

void Fill(const struct stat& st, SFileStatus& out) {
    if (S_ISREG(st.st_mode)) {
        out.kind = EFileKind::Regular;
    } else if (S_ISDIR(st.st_mode)) {
        out.kind = EFileKind::Directory;
    } else {
        out.kind = EFileKind::Other;
    }
    out.size = static_cast<int64_t>(st.st_size);
    out.modifiedSeconds = static_cast<int64_t>(st.st_mtim.tv_sec);
    out.modifiedNanoseconds = static_cast<int32_t>(st.st_mtim.tv_nsec);
    out.changeStamp = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec +
                      static_cast<int64_t>(st.st_ino) * 7919 + static_cast<int64_t>(st.st_size);
    out.permissions = static_cast<uint32_t>(st.st_mode & 0777);
    out.owner = OwnerOf(st.st_uid);
}
bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

int OpenFolderEntry(int dir, const char* name, int& linksLeft);

// The folder a trusted link's target names, from dir (or from "/"), each element entered
// under the same rule; ".." is the parent of the folder reached, as the kernel takes it.
int OpenLinkTarget(int dir, const std::string& target, int& linksLeft) {
    int current = target[0] == '/' ? ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : ::fcntl(dir, F_DUPFD_CLOEXEC, 0);
    size_t start = 0;
    while (current >= 0 && start < target.size()) {
        size_t end = target.find('/', start);
        if (end == std::string::npos) end = target.size();
        const std::string element = target.substr(start, end - start);
        start = end + 1;
        if (element.empty() || element == ".") continue;
        const int next = element == ".." ? ::openat(current, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                         : OpenFolderEntry(current, element.c_str(), linksLeft);
        const int code = errno;
        ::close(current);
        errno = code;
        current = next;
    }
    return current;
}

// The folder name in dir, a symbolic link followed only when it is the engine's user's or
// root's; -1 (errno set) otherwise.
int OpenFolderEntry(int dir, const char* name, int& linksLeft) {
    const int fd = ::openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0 || (errno != ELOOP && errno != ENOTDIR)) return fd;
    // The link itself held open: the owner checked is that of the target read, whatever
    // replaces the entry meanwhile.
    const int link = ::openat(dir, name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (link < 0) return -1;
    struct stat st;
    std::string target;
    int code = 0;
    if (::fstat(link, &st) != 0) {
        code = errno;
    } else if (!S_ISLNK(st.st_mode)) {
        code = ENOTDIR;
    } else if (OwnerOf(st.st_uid) == EFileOwner::Other) {
        code = EACCES;
    } else if (--linksLeft < 0) {
        code = ELOOP;
    } else {
        char buffer[PATH_MAX];
        const ssize_t length = ::readlinkat(link, "", buffer, sizeof buffer);
        if (length < 0) {
            code = errno;
        } else if (length == 0 || static_cast<size_t>(length) >= sizeof buffer) {
            code = length == 0 ? ENOENT : ENAMETOOLONG;
        } else {
            target.assign(buffer, static_cast<size_t>(length));
        }
    }
    ::close(link);
    if (code != 0) {
        errno = code;
        return -1;
    }
    return OpenLinkTarget(dir, target, linksLeft);
}

class PosixFolder : public IFolder {
public:
    explicit PosixFolder(int fd) : m_fd(fd) {}
    ~PosixFolder() override { ::close(m_fd); }

    std::unique_ptr<IFolder> OpenSubfolder(const std::string& name, bool make) override {
        if (!IsPlainName(name)) {
            errno = EINVAL;
            return nullptr;
        }
        // mkdirat makes nothing through a link (a link there is EEXIST).
        if (make && ::mkdirat(m_fd, name.c_str(), 0777) != 0 && errno != EEXIST) return nullptr;
        int linksLeft = kMaxLinks;
        const int fd = OpenFolderEntry(m_fd, name.c_str(), linksLeft);
        if (fd < 0) return nullptr;
        return std::make_unique<PosixFolder>(fd);
    }

    bool StatEntry(const std::string& name, SFileStatus& out) override {
        struct stat st;
        out = SFileStatus();
        if (!IsPlainName(name) || ::fstatat(m_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return true;
        Fill(st, out);
        out.symbolicLink = S_ISLNK(st.st_mode);
        return false;
    }

    bool List(std::vector<std::string>& names) override {
        int fd = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return true;
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
            return true;
        }
        while (struct dirent* entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
            names.emplace_back(entry->d_name);
        }
        ::closedir(dir);
        return false;
    }

    std::FILE* CreateNewFile(const std::string& name, int permissions) override {
        if (!IsPlainName(name)) {
            errno = EINVAL;
            return nullptr;
        }
        const mode_t mode = permissions >= 0 ? static_cast<mode_t>(permissions) & 0777 : 0666;
        // O_EXCL with O_CREAT never opens what is there, a link, a FIFO or another file.
        int fd = ::openat(m_fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0) return nullptr;
        // Made with no more than the bits asked for; the umask may have taken some of them.
        if (permissions >= 0) ::fchmod(fd, mode);
        // Held until the stream closes; nobody else knows the name yet, so it cannot fail.
        ::flock(fd, LOCK_EX | LOCK_NB);
        std::FILE* file = ::fdopen(fd, "wb");
        if (!file) {
            int code = errno;
            ::unlinkat(m_fd, name.c_str(), 0);
            ::close(fd);
            errno = code;
        }
        return file;
    }

    bool Rename(const std::string& from, const std::string& to) override {
        if (!IsPlainName(from) || !IsPlainName(to) || ::renameat(m_fd, from.c_str(), m_fd, to.c_str()) != 0)
            return true;
        // The new entry must reach the disk too, or a crash may bring the old one back.
        ::fsync(m_fd);
        return false;
    }

    bool Remove(const std::string& name) override {
        return !IsPlainName(name) || ::unlinkat(m_fd, name.c_str(), 0) != 0;
    }

    bool RemoveIfAbandoned(const std::string& name, int64_t minimumAgeSeconds) override {
        if (!IsPlainName(name)) return false;
        int fd = ::openat(m_fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return false;
        bool removed = false;
        struct stat st;
        struct stat again;
        // A writer holds the lock from the moment it made the file; the age covers the
        // instant between the two, and the second look makes sure the entry is this file.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            static_cast<int64_t>(std::time(nullptr)) - static_cast<int64_t>(st.st_mtim.tv_sec) >= minimumAgeSeconds &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstatat(m_fd, name.c_str(), &again, AT_SYMLINK_NOFOLLOW) == 0 &&
            again.st_dev == st.st_dev && again.st_ino == st.st_ino) {
            removed = ::unlinkat(m_fd, name.c_str(), 0) == 0;
        }
        ::close(fd);
        return removed;
    }

private:
    int m_fd;
};

}  // namespace

IFileSystem* GetFileSystem() {
    static PosixFileSystem posix;
    return g_fileSystem ? g_fileSystem : &posix;
}

void SetFileSystem(IFileSystem* fileSystem) { g_fileSystem = fileSystem; }

bool PosixFileSystem::Stat(const std::string& path, SFileStatus& out) {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        out = SFileStatus();
        return true;
    }
    Fill(st, out);
    return false;
}

bool PosixFileSystem::ListDirectory(const std::string& path, std::vector<std::string>& names) {
    DIR* dir = ::opendir(path.empty() ? "." : path.c_str());
    if (!dir) return true;
    while (struct dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return false;
}

std::FILE* PosixFileSystem::OpenRead(const std::string& path) {
    if (path.empty()) return nullptr;
    // Checked before opening too: opening a FIFO would block.
    struct stat before;
    if (::stat(path.c_str(), &before) != 0 || !S_ISREG(before.st_mode)) return nullptr;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return nullptr;
    // fopen opens folders and devices too; only regular files count as files.
    struct stat st;
    if (::fstat(::fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

std::FILE* PosixFileSystem::OpenWrite(const std::string& path) {
    if (path.empty()) return nullptr;
    return std::fopen(path.c_str(), "wb");
}

bool PosixFileSystem::MakeDirectory(const std::string& path) {
    return path.empty() || ::mkdir(path.c_str(), 0777) != 0;
}

bool PosixFileSystem::ChangeDirectory(const std::string& path) { return path.empty() || ::chdir(path.c_str()) != 0; }

bool PosixFileSystem::GetCurrentDirectory(std::string& out) {
    std::vector<char> buffer(256);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20)) return true;
        buffer.resize(buffer.size() * 2);
    }
    out = buffer.data();
    return false;
}

bool PosixFileSystem::SyncFile(std::FILE* file) {
    if (!file || std::fflush(file) != 0) return true;
    return ::fsync(::fileno(file)) != 0;
}

bool PosixFileSystem::RenameFile(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty() || ::rename(from.c_str(), to.c_str()) != 0) return true;
    // The new directory entry must reach the disk too, or a crash may bring the old one back.
    size_t slash = to.rfind('/');
    std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : to.substr(0, slash));
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return false;
}

bool PosixFileSystem::RemoveFile(const std::string& path) { return path.empty() || ::unlink(path.c_str()) != 0; }

std::unique_ptr<IFolder> PosixFileSystem::OpenFolder(const std::string& path) {
    int fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixFolder>(fd);
}

}  // namespace kestrin
