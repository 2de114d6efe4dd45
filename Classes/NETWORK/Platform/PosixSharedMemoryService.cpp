#include "NETWORK/Platform/PosixSharedMemoryService.h"

#include <fcntl.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

namespace kestrin {

namespace {

ISharedMemoryService* g_sharedMemoryService = nullptr;

std::string SystemName(const std::string& name) { return "/" + name; }

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

class PosixNamedEvent : public INamedEvent {
public:
    PosixNamedEvent(sem_t* semaphore, std::string removeName)
        : m_semaphore(semaphore), m_removeName(std::move(removeName)) {}
    ~PosixNamedEvent() override {
        sem_close(m_semaphore);
        if (!m_removeName.empty()) sem_unlink(m_removeName.c_str());
    }
    // Auto-reset: a second Set before a wait leaves a single signal.
    void Set() override {
        int value = 0;
        if (sem_getvalue(m_semaphore, &value) == 0 && value > 0) return;
        sem_post(m_semaphore);
    }
    bool TryWait() override {
        while (sem_trywait(m_semaphore) != 0) {
            if (errno != EINTR) return false;
        }
        return true;
    }
    bool Wait(int timeoutMs) override {
        // Measured on the monotonic clock, so that setting the wall clock cannot stretch it.
        timespec until;
        clock_gettime(CLOCK_MONOTONIC, &until);
        until.tv_sec += timeoutMs / 1000;
        until.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
        if (until.tv_nsec >= 1000000000L) {
            until.tv_sec += 1;
            until.tv_nsec -= 1000000000L;
        }
        while (sem_clockwait(m_semaphore, CLOCK_MONOTONIC, &until) != 0) {
            if (errno != EINTR) return false;
        }
        return true;
    }

private:
    sem_t* m_semaphore;
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
    const std::string systemName = SystemName(name);
    // sem_open gives no descriptor to examine: the file behind it is looked at first. It
    // cannot be replaced between the look and the open by anyone but its owner, since
    // "/dev/shm" only lets owners remove their entries.
    const std::string file = "/dev/shm/sem." + name;
    struct stat info;
    if (lstat(file.c_str(), &info) != 0) return nullptr;
    std::string why;
    if (!S_ISREG(info.st_mode) || info.st_size < static_cast<off_t>(sizeof(sem_t))) {
        why = "\"" + file + "\" is not a semaphore";
    } else {
        why = Refusal(file, info);
    }
    if (!why.empty()) {
        if (refusal) *refusal = why;
        return nullptr;
    }
    sem_t* semaphore = sem_open(systemName.c_str(), 0);
    if (semaphore == SEM_FAILED) return nullptr;
    return std::make_unique<PosixNamedEvent>(semaphore, std::string());
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
    const std::string systemName = SystemName(name);
    sem_unlink(systemName.c_str());
    sem_t* semaphore = sem_open(systemName.c_str(), O_CREAT | O_EXCL, 0600, 0);
    if (semaphore == SEM_FAILED) return nullptr;
    return std::make_unique<PosixNamedEvent>(semaphore, systemName);
}

ISharedMemoryService* GetSharedMemoryService() {
    static PosixSharedMemoryService system;
    return g_sharedMemoryService ? g_sharedMemoryService : &system;
}

void SetSharedMemoryService(ISharedMemoryService* service) { g_sharedMemoryService = service; }

}  // namespace kestrin
