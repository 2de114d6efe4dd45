#include "NETWORK/Platform/PosixSharedMemoryService.h"

#include "NETWORK/Platform/PosixNamedEvent.h"

#include <fcntl.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

namespace kestrin {

namespace {

ISharedMemoryService* g_sharedMemoryService = nullptr;

std::string SystemName(const std::string& name) { return "/" + name; }

// Where the system keeps the named semaphore of that name.
std::string SemaphoreFile(const std::string& name) { return "/dev/shm/sem." + name; }

// Accessed with pread and pwrite on the kept descriptor, never mapped: when the other side
// shrinks the object, an access past its end fails instead of raising SIGBUS.
class PosixSharedMapping : public ISharedMapping {
public:
    PosixSharedMapping(int fd, size_t size, std::string removeName)
        : m_fd(fd), m_size(size), m_removeName(std::move(removeName)) {}
    ~PosixSharedMapping() override {
        close(m_fd);
        if (!m_removeName.empty()) shm_unlink(m_removeName.c_str());
    }
    size_t Size() const override { return m_size; }
    bool Read(size_t offset, void* out, size_t size) override {
        if (!Within(offset, size)) return true;
        uint8_t* to = static_cast<uint8_t*>(out);
        while (size > 0) {
            ssize_t got = pread(m_fd, to, size, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return true;  // shrunk since
            to += got;
            offset += static_cast<size_t>(got);
            size -= static_cast<size_t>(got);
        }
        return false;
    }
    bool Write(size_t offset, const void* data, size_t size) override {
        if (!Within(offset, size)) return true;
        // pwrite past the end would grow the object again: a shrunk one is left as it is.
        struct stat info;
        if (fstat(m_fd, &info) != 0 || info.st_size < 0 || static_cast<uint64_t>(info.st_size) < offset + size)
            return true;
        const uint8_t* from = static_cast<const uint8_t*>(data);
        while (size > 0) {
            ssize_t put = pwrite(m_fd, from, size, static_cast<off_t>(offset));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return true;
            from += put;
            offset += static_cast<size_t>(put);
            size -= static_cast<size_t>(put);
        }
        return false;
    }

private:
    bool Within(size_t offset, size_t size) const { return offset <= m_size && size <= m_size - offset; }

    int m_fd;
    size_t m_size;
    std::string m_removeName;
};

// An object another process made is used only when it belongs to this process's user and
// nobody else may open it. Empty when it may be used, else why not.
std::string Refusal(const std::string& what, const struct stat& info) {
    char text[160];
    if (info.st_uid != geteuid()) {
        std::snprintf(text, sizeof text, "belongs to user %u, not to this user (%u)",
                      static_cast<unsigned>(info.st_uid), static_cast<unsigned>(geteuid()));
    } else if ((info.st_mode & 077) != 0) {
        std::snprintf(text, sizeof text, "is open to other users (mode %03o)",
                      static_cast<unsigned>(info.st_mode & 0777));
    } else {
        return std::string();
    }
    return "\"" + what + "\" " + text;
}

}  // namespace

std::unique_ptr<ISharedMapping> PosixSharedMemoryService::OpenMapping(const std::string& name, std::string* refusal) {
    const std::string systemName = SystemName(name);
    int fd = shm_open(systemName.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    // Checked on the descriptor itself, so that nothing can be swapped in after the check.
    // The creating side fixed the size; the opening side learns it here.
    struct stat info;
    std::string why;
    if (fstat(fd, &info) != 0) {
        why = "\"" + systemName + "\" cannot be examined";
    } else if (!S_ISREG(info.st_mode)) {
        why = "\"" + systemName + "\" is not shared memory";
    } else {
        why = Refusal(systemName, info);
    }
    if (why.empty() && info.st_size <= 0) why = "\"" + systemName + "\" is empty";
    if (!why.empty()) {
        close(fd);
        if (refusal) *refusal = why;
        return nullptr;
    }
    return std::make_unique<PosixSharedMapping>(fd, static_cast<size_t>(info.st_size), std::string());
}

std::unique_ptr<INamedEvent> PosixSharedMemoryService::OpenEvent(const std::string& name, std::string* refusal) {
    // The file sem_open would open, opened here and checked on the descriptor itself.
    const std::string file = SemaphoreFile(name);
    int fd = open(file.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat info;
    std::string why;
    if (fd < 0) {
        if (errno == ENOENT) return nullptr;
        // Not ours to open, or not a file: the entry itself says which.
        if (lstat(file.c_str(), &info) != 0) return nullptr;
        if (S_ISREG(info.st_mode)) why = Refusal(file, info);
        if (why.empty()) why = "\"" + file + "\" is not a semaphore";
    } else if (fstat(fd, &info) != 0) {
        why = "\"" + file + "\" cannot be examined";
    } else if (!S_ISREG(info.st_mode) || info.st_size < static_cast<off_t>(sizeof(sem_t))) {
        why = "\"" + file + "\" is not a semaphore";
    } else {
        why = Refusal(file, info);
    }
    std::unique_ptr<PosixNamedEvent> event;
    if (why.empty()) event = PosixNamedEvent::Map(fd, std::string());
    if (fd >= 0) close(fd);
    if (!why.empty() && refusal) *refusal = why;
    return event;
}

std::unique_ptr<ISharedMapping> PosixSharedMemoryService::CreateMapping(const std::string& name, size_t size) {
    const std::string systemName = SystemName(name);
    shm_unlink(systemName.c_str());
    int fd = shm_open(systemName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    if (size == 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) {
        close(fd);
        shm_unlink(systemName.c_str());
        return nullptr;
    }
    return std::make_unique<PosixSharedMapping>(fd, size, systemName);
}

std::unique_ptr<INamedEvent> PosixSharedMemoryService::CreateEvent(const std::string& name) {
    // Made by sem_open, so that it is what a debugger's sem_open expects, then reached
    // through a mapping of its own, as the opening side does.
    const std::string systemName = SystemName(name);
    sem_unlink(systemName.c_str());
    sem_t* semaphore = sem_open(systemName.c_str(), O_CREAT | O_EXCL, 0600, 0);
    if (semaphore == SEM_FAILED) return nullptr;
    sem_close(semaphore);
    std::unique_ptr<PosixNamedEvent> event;
    int fd = open(SemaphoreFile(name).c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        event = PosixNamedEvent::Map(fd, systemName);
        close(fd);
    }
    if (!event) sem_unlink(systemName.c_str());
    return event;
}

ISharedMemoryService* GetSharedMemoryService() {
    static PosixSharedMemoryService system;
    return g_sharedMemoryService ? g_sharedMemoryService : &system;
}

void SetSharedMemoryService(ISharedMemoryService* service) { g_sharedMemoryService = service; }

}  // namespace kestrin
