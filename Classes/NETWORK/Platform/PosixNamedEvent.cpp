#include "NETWORK/Platform/PosixNamedEvent.h"

#include <semaphore.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>

namespace kestrin {

namespace {

// The access running under a guard on this thread, and where it may fault.
struct SGuard {
    sigjmp_buf jump;
    const char* begin;
    const char* end;
};

// A plain pointer: reading it in the signal handler needs no initialisation.
thread_local SGuard* t_guard = nullptr;
struct sigaction g_previousBusAction;

void OnBusError(int signal, siginfo_t* info, void* context) {
    SGuard* guard = t_guard;
    const char* address = static_cast<const char*>(info->si_addr);
    // Only a fault of the guarded access itself (si_code > 0: raised by the kernel, not sent).
    if (guard && info->si_code > 0 && address >= guard->begin && address < guard->end) siglongjmp(guard->jump, 1);
    // Anything else goes where it went before this handler came.
    const struct sigaction& previous = g_previousBusAction;
    if (previous.sa_flags & SA_SIGINFO) {
        previous.sa_sigaction(signal, info, context);
        return;
    }
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(signal);
        return;
    }
    // The default action: the process ends once this returns (the signal is blocked until then).
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(SIGBUS, &fallback, nullptr);
    raise(SIGBUS);
}

void InstallBusHandler() {
    static const bool installed = [] {
        struct sigaction action = {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        return sigaction(SIGBUS, &action, &g_previousBusAction) == 0;
    }();
    (void)installed;
}

// True when access faulted within [begin, begin + length).
bool RunGuarded(void* begin, size_t length, void (*access)(void*, void*), void* result) {
    InstallBusHandler();
    SGuard guard;
    guard.begin = static_cast<const char*>(begin);
    guard.end = guard.begin + length;
    SGuard* const outer = t_guard;
    // The signal mask is saved: the handler leaves SIGBUS blocked until it returns, and it
    // does not return here.
    if (sigsetjmp(guard.jump, 1) != 0) {
        t_guard = outer;
        return true;
    }
    t_guard = &guard;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    access(begin, result);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    t_guard = outer;
    return false;
}

size_t MappedLength() {
    const long page = sysconf(_SC_PAGESIZE);
    const size_t pageSize = page > 0 ? static_cast<size_t>(page) : 4096;
    return (sizeof(sem_t) + pageSize - 1) / pageSize * pageSize;
}

// Auto-reset: a second post before a wait leaves a single signal.
void PostOnce(void* semaphore, void* result) {
    (void)result;
    sem_t* s = static_cast<sem_t*>(semaphore);
    int value = 0;
    if (sem_getvalue(s, &value) == 0 && value > 0) return;
    sem_post(s);
}

void TakeSignal(void* semaphore, void* result) {
    sem_t* s = static_cast<sem_t*>(semaphore);
    bool* taken = static_cast<bool*>(result);
    *taken = false;
    while (sem_trywait(s) != 0) {
        if (errno != EINTR) return;
    }
    *taken = true;
}

void ReadValue(void* semaphore, void* result) {
    int value = 0;
    sem_getvalue(static_cast<sem_t*>(semaphore), &value);
    *static_cast<int*>(result) = value;
}

long long MonotonicMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

std::unique_ptr<PosixNamedEvent> PosixNamedEvent::Map(int fd, std::string removeName) {
    // The whole page: a fault anywhere in it is this object's.
    void* mapping = mmap(nullptr, MappedLength(), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapping == MAP_FAILED) return nullptr;
    return std::unique_ptr<PosixNamedEvent>(new PosixNamedEvent(mapping, std::move(removeName)));
}

PosixNamedEvent::PosixNamedEvent(void* mapping, std::string removeName)
    : m_mapping(mapping), m_removeName(std::move(removeName)) {}

PosixNamedEvent::~PosixNamedEvent() {
    munmap(m_mapping, MappedLength());
    if (!m_removeName.empty()) sem_unlink(m_removeName.c_str());
}

bool PosixNamedEvent::Guarded(void (*access)(void* semaphore, void* result), void* result) {
    if (!m_gone && RunGuarded(m_mapping, MappedLength(), access, result)) m_gone = true;
    return m_gone;
}

bool PosixNamedEvent::Set() { return Guarded(PostOnce, nullptr); }

bool PosixNamedEvent::TryWait() {
    bool taken = false;
    return !Guarded(TakeSignal, &taken) && taken;
}

bool PosixNamedEvent::Probe() {
    int value = 0;
    return Guarded(ReadValue, &value);
}

bool PosixNamedEvent::Wait(int timeoutMs) {
    const long long until = MonotonicMs() + (timeoutMs > 0 ? timeoutMs : 0);
    for (;;) {
        if (TryWait()) return true;
        if (m_gone || MonotonicMs() >= until) return false;
        const timespec pause = {0, 1000000L};  // 1 ms between looks
        nanosleep(&pause, nullptr);
    }
}

}  // namespace kestrin
