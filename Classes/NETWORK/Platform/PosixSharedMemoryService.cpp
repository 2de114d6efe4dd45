#include "NETWORK/Platform/PosixSharedMemoryService.h"

#include <fcntl.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace kestrin {

namespace {

ISharedMemoryService* g_sharedMemoryService = nullptr;

std::string SystemName(const std::string& name) { return "/" + name; }

class PosixSharedMapping : public ISharedMapping {
public:
    PosixSharedMapping(uint8_t* data, size_t size, std::string removeName)
        : m_data(data), m_size(size), m_removeName(std::move(removeName)) {}
    ~PosixSharedMapping() override {
        munmap(m_data, m_size);
        if (!m_removeName.empty()) shm_unlink(m_removeName.c_str());
    }
    uint8_t* Data() override { return m_data; }
    size_t Size() const override { return m_size; }

private:
    uint8_t* m_data;
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

std::unique_ptr<ISharedMapping> MapWhole(int fd, size_t size, std::string removeName) {
    void* data = size > 0 ? mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
    close(fd);
    if (data == MAP_FAILED) {
        if (!removeName.empty()) shm_unlink(removeName.c_str());
        return nullptr;
    }
    return std::make_unique<PosixSharedMapping>(static_cast<uint8_t*>(data), size, std::move(removeName));
}

}  // namespace

std::unique_ptr<ISharedMapping> PosixSharedMemoryService::OpenMapping(const std::string& name) {
    int fd = shm_open(SystemName(name).c_str(), O_RDWR | O_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    // The creating side fixed the size; the opening side learns it here.
    struct stat info;
    if (fstat(fd, &info) != 0 || info.st_size <= 0) {
        close(fd);
        return nullptr;
    }
    return MapWhole(fd, static_cast<size_t>(info.st_size), std::string());
}

std::unique_ptr<INamedEvent> PosixSharedMemoryService::OpenEvent(const std::string& name) {
    sem_t* semaphore = sem_open(SystemName(name).c_str(), 0);
    if (semaphore == SEM_FAILED) return nullptr;
    return std::make_unique<PosixNamedEvent>(semaphore, std::string());
}

std::unique_ptr<ISharedMapping> PosixSharedMemoryService::CreateMapping(const std::string& name, size_t size) {
    const std::string systemName = SystemName(name);
    shm_unlink(systemName.c_str());
    int fd = shm_open(systemName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
        close(fd);
        shm_unlink(systemName.c_str());
        return nullptr;
    }
    return MapWhole(fd, size, systemName);
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
